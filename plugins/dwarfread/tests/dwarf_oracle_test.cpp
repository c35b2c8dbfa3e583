// The DWARF reader on programs built with mingw-w64's gcc and clang, in every DWARF
// variant, against llvm-dwarfdump (entries and line rows) and objdump (line rows):
// every procedure, global, frame-relative local, structure size and member offset, and
// line row, compared by name and address. The figures per program are printed. C++ names
// against c++filt.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "plugins/dwarfread/dwarf_reader.h"
#include "plugins/dwarfread/tests/dwarfdump_oracle.h"
#include "plugins/tests/recording_api.h"
#include "symbols/demangle_itanium.h"
#include "symbols/pe_image.h"

namespace {

const char *const kPrograms[] = {"c_dwarf5",   "c_dwarf2", "c_dwarf4",
                                 "c_o2",       "cpp_dwarf5", "c_clang"};

struct Tally {
  int agree = 0, total = 0, wrong = 0;
  void count(bool ok) {
    total++;
    agree += ok;
  }
};

// The recorded address of an address of the image as linked (0 outside its sections).
uint32_t recorded(const PeImage &image, uint64_t va) {
  uint64_t rva = va - image.optional.image_base;
  for (int i = 0; i < image.section_count; i++) {
    const PeSectionHeader &s = image.sections[i];
    if (va >= image.optional.image_base && rva >= s.rva && rva - s.rva < s.virtual_size)
      return recorded_address((uint16_t)(i + 1), (uint32_t)(rva - s.rva));
  }
  return 0;
}

// A test program read into the recording.
bool load_program(const std::string &file, PeImage *image, DwarfCounts *counts) {
  std::vector<uint8_t> bytes = read_whole_file(file);
  recording_reset();
  return !bytes.empty() && pe_read_image(bytes.data(), bytes.size(), image) &&
         dwarf_load(recording_api(), bytes.data(), bytes.size(), counts) == LOAD_OK;
}

bool same_name(const std::string &ours, const std::string &theirs) {
  return ours == theirs || (ours.size() > theirs.size() + 2 &&
                            ours.compare(ours.size() - theirs.size() - 2, std::string::npos,
                                         "::" + theirs) == 0);
}

std::string attribute(const OracleDie &die, const char *name) {
  auto it = die.attributes.find(name);
  return it == die.attributes.end() ? "" : it->second;
}


uint32_t base_size(const std::string &name) {
  static const std::map<std::string, uint32_t> kSizes = {
      {"char", 1},  {"short", 2}, {"long", 4},  {"quad", 8},  {"byte", 1},
      {"word", 2},  {"dword", 4}, {"qword", 8}, {"float", 4}, {"double", 8}};
  auto it = kSizes.find(name);
  return it == kSizes.end() ? 0 : it->second;
}

uint32_t recorded_size(DebugType handle) {
  const RecordedType *t = recorded_type(handle);
  if (!t) return 0;
  switch (t->kind) {
    case REC_BASE:
      return base_size(t->name);
    case REC_ENUM:
      return recorded_size(t->target);
    case REC_POINTER:
    case REC_FUNCTION:
      return 4;
    default:
      return (uint32_t)t->size;
  }
}

struct Oracle {
  std::vector<OracleDie> dies;
  std::map<uint64_t, size_t> by_offset;

  // The name of an entry, else of its declaration or abstract origin.
  std::string name_of(const OracleDie &die, int depth = 0) {
    if (die.attributes.count("DW_AT_name")) return oracle_quoted(attribute(die, "DW_AT_name"));
    for (const char *link : {"DW_AT_specification", "DW_AT_abstract_origin"}) {
      uint64_t offset = 0;
      if (depth < 4 && oracle_number(attribute(die, link), &offset) && by_offset.count(offset))
        return name_of(dies[by_offset[offset]], depth + 1);
    }
    return "";
  }

  // A type's size, following typedefs and qualifiers; arrays multiply their bounds.
  uint64_t size_of(const std::string &reference, int depth = 0) {
    uint64_t offset = 0;
    if (depth > 16 || !oracle_number(reference, &offset) || !by_offset.count(offset)) return 0;
    size_t index = by_offset[offset];
    const OracleDie &die = dies[index];
    uint64_t size = 0;
    if (oracle_number(attribute(die, "DW_AT_byte_size"), &size)) return size;
    if (die.tag == "DW_TAG_pointer_type" || die.tag == "DW_TAG_reference_type") return 4;
    if (die.tag != "DW_TAG_array_type") return size_of(attribute(die, "DW_AT_type"), depth + 1);
    size = size_of(attribute(die, "DW_AT_type"), depth + 1);
    for (size_t i = index + 1; i < dies.size() && dies[i].parent == (int)index; i++) {
      uint64_t bound = 0;
      if (oracle_number(attribute(dies[i], "DW_AT_count"), &bound)) size *= bound;
      else if (oracle_number(attribute(dies[i], "DW_AT_upper_bound"), &bound)) size *= bound + 1;
      else size = 0;
    }
    return size;
  }
};

// The innermost procedure around an entry of the test's own sources (the runtime's units
// are optimised and keep no frame pointer).
const OracleDie *procedure_of(const Oracle &o, const OracleDie &die) {
  const OracleDie *procedure = nullptr;
  int p = die.parent;
  for (; p >= 0 && o.dies[p].parent >= 0; p = o.dies[p].parent) {
    if (o.dies[p].tag == "DW_TAG_inlined_subroutine") return nullptr;
    if (!procedure && o.dies[p].tag == "DW_TAG_subprogram") procedure = &o.dies[p];
  }
  bool own = p >= 0 && attribute(o.dies[p], "DW_AT_name").find("programs/") != std::string::npos;
  return own ? procedure : nullptr;
}

TEST(DwarfOracle, ProgramsAgreeWithDwarfdumpAndObjdump) {
  for (const char *program : kPrograms) {
    SCOPED_TRACE(program);
    std::string file = std::string(DWARF_PROGRAMS) + "/" + program + ".exe";
    PeImage image;
    DwarfCounts counts = {};
    ASSERT_TRUE(load_program(file, &image, &counts));
    Recording *r = recording();
    EXPECT_EQ(0u, counts.damaged) << r->log;

    std::multimap<uint32_t, const RecordedEntry *> entries;
    for (const RecordedEntry &e : r->entries) entries.insert({e.address, &e});
    std::multimap<std::string, const RecordedType *> structs;
    for (const RecordedType &t : r->types)
      if (t.kind == REC_STRUCT || t.kind == REC_FRAME) {
        size_t cut = t.name.rfind("::");
        structs.insert({cut == std::string::npos ? t.name : t.name.substr(cut + 2), &t});
      }
    // The last definition at an address is the one the store keeps.
    auto entry_at = [&](uint32_t address, const std::string &name, bool frame) {
      const RecordedEntry *found = nullptr;
      for (auto [it, end] = entries.equal_range(address); it != end; ++it) {
        const RecordedType *t = recorded_type(it->second->type);
        if (same_name(it->second->name, name) && (!frame || (t && t->kind == REC_FRAME)))
          found = it->second;
      }
      return found;
    };

    Oracle o;
    o.dies = dwarfdump_entries(file);
    ASSERT_FALSE(o.dies.empty());
    for (size_t i = 0; i < o.dies.size(); i++) o.by_offset[o.dies[i].offset] = i;
    Tally procedures, globals, sizes, members, locals;
    for (size_t i = 0; i < o.dies.size(); i++) {
      const OracleDie &die = o.dies[i];
      std::string name = o.name_of(die);
      uint64_t at = 0;
      if (die.tag == "DW_TAG_subprogram" && oracle_number(attribute(die, "DW_AT_low_pc"), &at) &&
          recorded(image, at) && !name.empty()) {
        procedures.count(entry_at(recorded(image, at), name, true) != nullptr);
      }
      std::string location = attribute(die, "DW_AT_location");
      if (die.tag == "DW_TAG_variable" && location.compare(0, 11, "DW_OP_addr ") == 0 &&
          oracle_number(location, &at) && recorded(image, at) && !name.empty()) {
        const RecordedEntry *e = entry_at(recorded(image, at), name, false);
        globals.count(e != nullptr);
        std::string type = attribute(die, "DW_AT_type");
        if (type.empty() && die.attributes.count("DW_AT_specification")) {
          uint64_t spec = 0;
          oracle_number(attribute(die, "DW_AT_specification"), &spec);
          if (o.by_offset.count(spec)) type = attribute(o.dies[o.by_offset[spec]], "DW_AT_type");
        }
        if (e) sizes.count(recorded_size(e->type) == o.size_of(type));
      }
      // Locals against a frame base the reader can place: EBP itself (clang), or the
      // call frame address of a procedure that keeps EBP (gcc below -O2).
      const OracleDie *procedure = procedure_of(o, die);
      int64_t offset = 0;
      if ((die.tag == "DW_TAG_variable" || die.tag == "DW_TAG_formal_parameter") && procedure &&
          location.compare(0, 12, "DW_OP_fbreg ") == 0) {
        offset = strtoll(location.c_str() + 12, nullptr, 10);
        std::string base = attribute(*procedure, "DW_AT_frame_base");
        int64_t shift = offset + (base == "DW_OP_reg5 EBP" ? 0 : 8);
        bool found = false;
        for (auto [n, frame] = structs.equal_range(o.name_of(*procedure)); n != frame; ++n)
          if (n->second->kind == REC_FRAME)
            for (const RecordedMember &m : n->second->members)
              if (m.name == name) {
                found = true;
                if (m.shift != shift) locals.wrong++;
              }
        if (found || program != std::string("c_o2")) locals.count(found);
      }
      uint64_t size = 0;
      bool aggregate = die.tag == "DW_TAG_structure_type" || die.tag == "DW_TAG_class_type" ||
                       die.tag == "DW_TAG_union_type";
      if (aggregate && !name.empty() && !die.attributes.count("DW_AT_declaration") &&
          oracle_number(attribute(die, "DW_AT_byte_size"), &size)) {
        const RecordedType *ours = nullptr;
        for (auto [n, end] = structs.equal_range(name); n != end; ++n)
          if (n->second->kind == REC_STRUCT && (uint64_t)n->second->size == size)
            ours = n->second;
        sizes.count(ours != nullptr);
        for (size_t m = i + 1; ours && m < o.dies.size() && o.dies[m].parent >= (int)i; m++) {
          const OracleDie &member = o.dies[m];
          uint64_t member_at = 0, bits = 0;
          if (member.parent != (int)i || member.tag != "DW_TAG_member") continue;
          bool bit_field = oracle_number(attribute(member, "DW_AT_bit_size"), &bits);
          std::string member_name = oracle_quoted(attribute(member, "DW_AT_name"));
          if (bit_field) member_name += ":" + std::to_string(bits);
          bool placed = oracle_number(attribute(member, "DW_AT_data_member_location"),
                                      &member_at) || die.tag == "DW_TAG_union_type";
          if (!placed && !bit_field) continue;
          bool found = false;
          for (const RecordedMember &rm : ours->members)
            found |= rm.name == member_name && (bit_field || (uint64_t)rm.shift == member_at);
          members.count(found);
        }
      }
    }
    std::set<std::pair<uint64_t, uint32_t>> ours;
    for (const RecordedSource &s : r->sources)
      for (size_t i = 0; i < s.lines.size(); i++) ours.insert({s.addresses[i], s.lines[i]});
    // wrong: rows of ours that the oracle does not have.
    Tally dwarfdump_lines, objdump_lines;
    for (auto [rows, tally] : {std::make_pair(dwarfdump_rows(file), &dwarfdump_lines),
                               std::make_pair(objdump_rows(file), &objdump_lines)}) {
      for (auto row : rows)
        if (recorded(image, row.first))
          tally->count(ours.count({recorded(image, row.first), row.second}) != 0);
      tally->wrong = (int)ours.size() - tally->agree;
    }
    printf("%-10s procedures %d/%d globals %d/%d sizes %d/%d members %d/%d locals %d/%d "
           "(wrong %d, left out %u) lines dwarfdump %d/%d objdump %d/%d (extra %d)\n",
           program, procedures.agree, procedures.total, globals.agree, globals.total,
           sizes.agree, sizes.total, members.agree, members.total, locals.agree, locals.total,
           locals.wrong, counts.locals_left_out, dwarfdump_lines.agree, dwarfdump_lines.total,
           objdump_lines.agree, objdump_lines.total, dwarfdump_lines.wrong);
    // Optimised code keeps no frame pointer: its locals are left out, none shown.
    for (const Tally *t : {&procedures, &globals, &sizes, &members, &locals, &dwarfdump_lines,
                           &objdump_lines}) {
      EXPECT_TRUE(t->total > 0 || t == &locals) << program;
      EXPECT_EQ(t->total, t->agree);
    }
    EXPECT_EQ(0, locals.wrong);
    EXPECT_EQ(0, dwarfdump_lines.wrong);
  }
}

// The COFF form of a mangled name ("__ZN...", an underscore added) as c++filt reads it.
std::string one_underscore(const std::string &name) {
  return name.compare(0, 3, "__Z") == 0 ? name.substr(1) : name;
}

// A name read into a panel's short buffer shows the start of its whole text.
bool cut_starts_whole(const char *name) {
  char whole[2048], cut[24];
  demangle_itanium(name, whole, sizeof whole);
  demangle_itanium(name, cut, sizeof cut);
  return !strncmp(whole, cut, strlen(cut));
}

// Every mangled name of the C++ test programs (COFF symbols and DWARF linkage names) reads
// as c++filt reads it; so do those of the C++ runtime's archive, of which few are left
// unread (template arguments that are expressions).
TEST(DwarfOracle, CxxNamesAgreeWithCxxfilt) {
  std::set<std::string> own;
  for (const char *program : {"cpp_dwarf5", "cpp_dwarf4_seed"}) {
    std::string file = std::string(DWARF_PROGRAMS) + "/" + program + ".exe";
    for (const auto &symbol : nm_symbols(file))
      if (one_underscore(symbol.second).compare(0, 2, "_Z") == 0) own.insert(symbol.second);
    for (const OracleDie &die : dwarfdump_entries(file)) {
      std::string linkage = oracle_quoted(attribute(die, "DW_AT_linkage_name"));
      if (linkage.compare(0, 2, "_Z") == 0) own.insert(linkage);
    }
  }
  std::set<std::string> runtime;
  std::string archive = run_lines("i686-w64-mingw32-g++-posix -print-file-name=libstdc++.a")[0];
  for (const auto &symbol : nm_symbols(archive))
    if (symbol.second.compare(0, 3, "__Z") == 0) runtime.insert(symbol.second);
  ASSERT_GE(own.size(), 8u);
  ASSERT_GE(runtime.size(), 1000u) << archive;

  std::vector<std::string> names(own.begin(), own.end()), plain;
  names.insert(names.end(), runtime.begin(), runtime.end());
  for (const std::string &name : names) plain.push_back(one_underscore(name));
  std::vector<std::string> theirs = cxxfilt_names(plain);
  ASSERT_EQ(names.size(), theirs.size()) << "c++filt did not run";
  int agree = 0, unread = 0;
  for (size_t i = 0; i < names.size(); i++) {
    char ours[2048];
    bool read = demangle_itanium(names[i].c_str(), ours, sizeof ours);
    bool program = i < own.size();
    if (!read && !program) {
      unread++;
      continue;
    }
    EXPECT_TRUE(read) << names[i];
    EXPECT_EQ(theirs[i], ours) << names[i];
    agree += theirs[i] == ours;
    EXPECT_TRUE(cut_starts_whole(names[i].c_str())) << names[i];
  }
  printf("c++filt agrees on %d of %zu names (%zu of the test programs), %d left unread\n", agree,
         names.size(), own.size(), unread);
  EXPECT_LE(unread * 100, (int)runtime.size());
  EXPECT_TRUE(cut_starts_whole("_Z1TILb0EILb01TILb0EIEEE"));  // empty last argument at the cut
}

// The C++ program without its DWARF: each function's COFF symbol is an entry at its
// address under the name c++filt gives.
TEST(DwarfOracle, CoffSymbolsOfCxxProgramAreUnmangled) {
  std::string file = std::string(DWARF_PROGRAMS) + "/cpp_coff.exe";
  PeImage image;
  DwarfCounts counts = {};
  ASSERT_TRUE(load_program(file, &image, &counts));
  std::multimap<uint32_t, std::string> entries;
  for (const RecordedEntry &e : recording()->entries) entries.insert({e.address, e.name});
  std::vector<std::pair<uint64_t, std::string>> mangled;
  std::vector<std::string> plain;
  for (const auto &symbol : nm_symbols(file))
    if (symbol.second.compare(0, 3, "__Z") == 0 && recorded(image, symbol.first)) {
      mangled.push_back(symbol);
      plain.push_back(one_underscore(symbol.second));
    }
  std::vector<std::string> theirs = cxxfilt_names(plain);
  ASSERT_GE(mangled.size(), 5u);
  ASSERT_EQ(mangled.size(), theirs.size());
  for (size_t i = 0; i < mangled.size(); i++) {
    bool found = false;
    for (auto [it, end] = entries.equal_range(recorded(image, mangled[i].first)); it != end; ++it)
      found |= it->second == theirs[i];
    EXPECT_TRUE(found) << mangled[i].second << " as " << theirs[i];
  }
}

}  // namespace
