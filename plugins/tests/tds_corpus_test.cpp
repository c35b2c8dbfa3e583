// The Borland reader over the real programs of the debug-information corpus, held to two
// independent sides: tdsdump's raw records (every procedure, local, data symbol, source
// and line pair the reader defines must be there, at the same address, and no more), and
// the MANIFEST's figures, which another reader made (directory entries, subsections,
// types, names).
#include <gtest/gtest.h>
#include <stdio.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "plugins/tdsread/tds_reader.h"
#include "plugins/tests/corpus_files.h"
#include "plugins/tests/recording_api.h"
#include "plugins/tests/tds_dump_oracle.h"

namespace {

struct TdsProgram {
  const char *folder;
  const char *image;  // the program, when there is one
  const char *data;   // the file tdsdump reads: the .tds file, or the image itself
  // MANIFEST: directory entries, sstModule, sstAlignSym, sstSrcModule, global symbol
  // records, global types, names.
  unsigned directory, modules, symbols, sources, globals, types, names;
};

const TdsProgram kPrograms[] = {
    {"tds/bcb6-Stopwatch", "Project1.exe", "Project1.tds", 10, 3, 2, 2, 8959, 28534, 25886},
    {"tds/cb10-bcc32c-Base64", "Project1.exe", "Project1.tds", 10, 3, 2, 2, 1417, 1821, 2601},
    {"tds/cb12-ota-plugin-dll", "Project1.dll", "Project1.tds", 47, 17, 13, 14, 36, 31543, 32164},
    {"tds/cb2010-IdentifyElements2D", "Project1.exe", "Project1.tds", 10, 3, 2, 2, 2169, 10411, 5750},
    // Debug information appended to the image, found from the trailer at its end.
    {"td32-embedded/delphi-NowoczesnyObiektowyPascal", "Project1.exe", "Project1.exe", 48, 15,
     15, 15, 9, 10102, 16222},
};

std::string at_signs(std::string name) {
  std::replace(name.begin(), name.end(), '%', '@');
  return name;
}

// The length-prefixed name at offset at of a raw record.
std::string raw_name(const DumpRecord &r, size_t at) {
  if (at >= r.bytes.size()) return "";
  size_t length = std::min<size_t>(r.bytes[at], r.bytes.size() - at - 1);
  return std::string(r.bytes.begin() + at + 1, r.bytes.begin() + at + 1 + length);
}

// The primitive indexes in the order the reader defines them: each base type, then a
// near pointer to it (index | 0x400).
const uint16_t kPrimitives[] = {0x03, 0x10, 0x11, 0x12, 0x13, 0x20, 0x21, 0x22,
                                0x23, 0x40, 0x41, 0x70, 0x71, 0x74, 0x75};

// The types of the raw records as the reader must have defined them: the primitive ones
// first, then one per pointer, array, structure, union and procedure record in index
// order. A reference resolves to a primitive or to a record defined before the one that
// refers to it; anything else is null (void).
struct TypeOracle {
  std::map<uint32_t, DebugType> defined;
  bool fits;  // as many types recorded as expected

  TypeOracle(const TdsDump &dump, const Recording &rec) {
    size_t next = 0;
    for (uint16_t index : kPrimitives) {
      for (uint32_t slot : {(uint32_t)index, index | 0x400u})
        defined[slot] = next < rec.types.size() ? (DebugType)&rec.types[next++] : nullptr;
    }
    for (size_t i = 0; i < dump.types.size() && next < rec.types.size(); i++) {
      if (!defines(dump.types[i].kind)) continue;
      defined[0x1000 + (uint32_t)i] = (DebugType)&rec.types[next++];
    }
    size_t records = std::count_if(dump.types.begin(), dump.types.end(),
                                   [](const DumpRecord &t) { return defines(t.kind); });
    fits = defined.size() == 2 * (sizeof kPrimitives / sizeof kPrimitives[0]) + records;
  }
  static bool defines(uint16_t leaf) {
    return leaf == 2 || leaf == 3 || leaf == 8 || (leaf >= 4 && leaf <= 6);
  }
  DebugType resolve(uint32_t index, uint32_t from) const {
    auto found = defined.find(index);
    if (found == defined.end() || (index >= 0x1000 && index >= from)) return nullptr;
    return found->second;
  }
};

bool is_frame(const RecordedEntry &e) {
  const RecordedType *type = recorded_type(e.type);
  return type && type->kind == REC_FRAME;
}

// Loads the program as kq would: the .TDS file beside the image (served under the name
// the reader asks for), or the image itself when there is none.
bool load(const TdsProgram &p, TdsCounts *counts) {
  recording_reset();
  std::string image = corpus_path(std::string(p.folder) + "/" + p.image);
  std::string tds = image.substr(0, image.rfind('.')) + ".TDS";
  if (std::string(p.data) != p.image)
    recording()->files[tds] = read_whole_file(corpus_path(std::string(p.folder) + "/" + p.data));
  else
    recording()->missing.insert(tds);
  return tds_seek(recording_api(), image.c_str(), counts) == LOAD_OK;
}

TEST(TdsCorpus, DefinitionsAgreeWithTheRawRecordsAndTheManifest) {
  for (const TdsProgram &p : kPrograms) {
    SCOPED_TRACE(p.folder);
    TdsDump dump;
    ASSERT_TRUE(tds_dump_read(TDSDUMP, corpus_path(std::string(p.folder) + "/" + p.data), &dump));
    // The raw walk against the MANIFEST.
    EXPECT_EQ(dump.directory, p.directory);
    EXPECT_EQ(dump.subsections[0x0120], p.modules);
    EXPECT_EQ(dump.subsections[0x0125], p.symbols);
    EXPECT_EQ(dump.subsections[0x0127], p.sources);
    // The MANIFEST's reader also counted a last global record that runs past the
    // subsection (in the C++Builder 12 and the Delphi files).
    EXPECT_EQ(dump.globals + dump.global_overruns, p.globals);
    EXPECT_LE(dump.global_overruns, 1u);
    EXPECT_EQ(dump.types.size(), p.types);
    EXPECT_EQ(dump.names.size(), p.names);
    EXPECT_EQ(dump.overruns, 0u);

    TdsCounts counts = {};
    ASSERT_TRUE(load(p, &counts)) << recording()->log;
    const Recording *rec = recording();
    EXPECT_EQ(rec->log.find("Borland signature is OK\n"), rec->log.rfind("Borland signature"));
    EXPECT_NE(rec->log.find("Borland signature is OK\n"), std::string::npos);
    EXPECT_EQ(rec->mapped, 0);
    EXPECT_EQ(counts.subsections, p.directory);
    EXPECT_EQ(counts.names, p.names);

    // Types: pointers, arrays, structures, unions and procedure types define one each;
    // every structure reports size 1.
    unsigned defining = 0, structures = 0;
    for (const DumpRecord &t : dump.types) {
      bool strukt = t.kind >= 4 && t.kind <= 6;
      defining += t.kind == 2 || t.kind == 3 || t.kind == 8 || strukt;
      structures += strukt;
    }
    EXPECT_EQ(counts.types, defining);
    unsigned recorded_structures = 0;
    for (const RecordedType &t : rec->types) {
      if (t.kind != REC_STRUCT) continue;
      recorded_structures++;
      EXPECT_EQ(t.size, 1) << t.name;
    }
    EXPECT_EQ(recorded_structures, structures);
    // Each defined type is of its record's kind, with its targets resolved as the records
    // say and structures named from the name table.
    TypeOracle oracle(dump, *rec);
    ASSERT_TRUE(oracle.fits);
    unsigned checked = 0;
    for (size_t i = 0; i < dump.types.size(); i++) {
      const DumpRecord &t = dump.types[i];
      uint32_t index = 0x1000 + (uint32_t)i;
      if (!TypeOracle::defines(t.kind)) continue;
      const RecordedType *type = recorded_type(oracle.defined.at(index));
      SCOPED_TRACE(index);
      if (t.kind == 2) {
        EXPECT_EQ(type->kind, REC_POINTER);
        EXPECT_EQ(type->target, oracle.resolve(t.u32(6), index));
      } else if (t.kind == 3) {
        EXPECT_EQ(type->kind, REC_ARRAY);
        EXPECT_EQ(type->target, oracle.resolve(t.u32(4), index));
        if (t.u16(16) < 0x8000) {
          EXPECT_EQ(type->size, t.u16(16));
        }
      } else if (t.kind == 8) {
        EXPECT_EQ(type->kind, REC_FUNCTION);
        EXPECT_EQ(type->target, oracle.resolve(t.u32(4), index));
        EXPECT_EQ(type->call, t.bytes.size() > 8 ? t.bytes[8] : -1);
      } else {
        EXPECT_EQ(type->kind, REC_STRUCT);
        EXPECT_EQ(type->name, dump.name(t.u32(t.kind == 6 ? 16 : 24)));
      }
      checked++;
    }
    EXPECT_EQ(checked, defining);

    // Procedures stand where their records put them, under their name or, when that was
    // taken, under the second name their record carries; their frames hold the locals
    // that follow them in the same module, by name and offset.
    std::multimap<uint32_t, std::set<std::string>> procedures;
    // Each procedure's address with its locals as "name@offset ".
    std::multiset<std::pair<uint32_t, std::string>> frames_raw;
    std::pair<uint32_t, std::string> frame;
    std::multiset<std::pair<std::string, uint32_t>> data;
    unsigned locals = 0, publics = 0, thunks = 0, data_count = 0;
    bool in_procedure = false;
    unsigned module = ~0u;
    for (const DumpRecord &s : dump.symbols) {
      bool starts = s.kind == 0x0204 || s.kind == 0x0205;
      if ((s.module != module || starts) && in_procedure) frames_raw.insert(frame);
      if (s.module != module) in_procedure = false;
      module = s.module;
      if (starts) {
        in_procedure = true;
        uint32_t address = recorded_address(s.u16(32), s.u32(28));
        procedures.insert({address, {at_signs(dump.name(s.u32(40))), at_signs(raw_name(s, 48))}});
        frame = {address, ""};
      }
      if (s.kind == 0x0200 && in_procedure) {
        locals++;
        frame.second += dump.name(s.u32(12)) + "@" + std::to_string((int32_t)s.u32(4)) + " ";
      }
      if (s.kind == 0x0201 || s.kind == 0x0202 || s.kind == 0x0203) {
        data.insert({at_signs(dump.name(s.u32(16))), recorded_address(s.u16(8), s.u32(4))});
        (s.kind == 0x0203 ? publics : data_count)++;
      }
      if (s.kind == 0x0206) {
        data.insert({at_signs(dump.name(s.u32(25))), recorded_address(s.u16(20), s.u32(16))});
        thunks++;
      }
    }
    if (in_procedure) frames_raw.insert(frame);
    unsigned frames = 0;
    std::multiset<std::pair<uint32_t, std::string>> frames_defined;
    for (const RecordedEntry &e : rec->entries) {
      if (!is_frame(e)) continue;
      frames++;
      std::string members;
      for (const RecordedMember &m : recorded_type(e.type)->members)
        members += m.name + "@" + std::to_string(m.shift) + " ";
      frames_defined.insert({e.address, members});
      auto range = procedures.equal_range(e.address);
      bool found = std::any_of(range.first, range.second,
                               [&](const auto &p) { return p.second.count(e.name) != 0; });
      EXPECT_TRUE(found) << e.name << " at " << std::hex << e.address;
    }
    EXPECT_EQ(frames, procedures.size());
    EXPECT_EQ(frames_defined, frames_raw);
    EXPECT_EQ(counts.procedures, procedures.size());
    EXPECT_EQ(counts.locals, locals);
    EXPECT_EQ(counts.publics, publics);
    EXPECT_EQ(counts.data, data_count);
    EXPECT_EQ(counts.thunks, thunks);
    std::multiset<std::pair<std::string, uint32_t>> defined;
    for (const RecordedEntry &e : rec->entries)
      if (!is_frame(e)) defined.insert({e.name, e.address});
    EXPECT_EQ(defined, data);

    // Every file of every line section is one source with the same pairs in order.
    EXPECT_EQ(counts.sources, dump.files.size());
    unsigned pairs = 0;
    std::multimap<std::string, const RecordedSource *> sources;
    for (const RecordedSource &s : rec->sources) sources.insert({s.name, &s});
    for (const DumpFile &file : dump.files) {
      pairs += file.lines.size();
      std::vector<uint32_t> addresses;
      for (size_t i = 0; i < file.offsets.size(); i++)
        addresses.push_back(recorded_address(file.segments[i], file.offsets[i]));
      auto range = sources.equal_range(dump.name(file.name));
      bool found = std::any_of(range.first, range.second, [&](const auto &s) {
        return s.second->lines == file.lines && s.second->addresses == addresses;
      });
      EXPECT_TRUE(found) << dump.name(file.name);
    }
    EXPECT_EQ(counts.line_pairs, pairs);
    printf("%s: directory %u/%u/%u names %u/%zu/%u types %u/%u (of %zu records/%u) procedures "
           "%u/%zu (renamed %u) locals %u/%u data %u/%u publics %u/%u thunks %u/%u sources %u/%zu "
           "pairs %u/%u (reader/tdsdump/MANIFEST)\n",
           p.folder, counts.subsections, dump.directory, p.directory, counts.names,
           dump.names.size(), p.names, counts.types, defining, dump.types.size(), p.types,
           counts.procedures, procedures.size(), counts.renamed, counts.locals, locals,
           counts.data, data_count, counts.publics, publics, counts.thunks, thunks,
           counts.sources, dump.files.size(), counts.line_pairs, pairs);
  }
}

}  // namespace
