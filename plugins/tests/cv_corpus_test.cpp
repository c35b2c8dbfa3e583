// The reader over the real programs of the debug-information corpus. Where winedump can
// dump the program database (VC5, VC6, MASM), every module, procedure, public and line
// pair it prints must be what the reader defined, at the same address. winedump crashes
// on the VC 4.x databases: those are held to the MANIFEST's figures and to counts taken
// by a separate walk of their streams (a script outside this program).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "plugins/cvread/cv_load.h"
#include "plugins/cvread/cv_reader.h"
#include "plugins/tests/corpus_files.h"
#include "plugins/tests/recording_api.h"
#include "plugins/tests/undname_oracle.h"
#include "plugins/tests/winedump_oracle.h"

namespace {

struct CorpusProgram {
  const char *folder;
  const char *image;
  const char *pdb;
  bool winedump;  // else the figures below are the expectation
  uint32_t modules, types, procedures, locals, publics, sources, line_pairs;
};

const CorpusProgram kPrograms[] = {
    {"pdb2-jg/masm-TestOglAsm", "TestOglAsm.exe", "TestOglAsm.pdb", true, 0, 0, 0, 0, 0, 0, 0},
    {"pdb2-jg/vc50-GameC", "GameC.exe", "GameC.pdb", true, 0, 0, 0, 0, 0, 0, 0},
    {"pdb2-jg/vc60-peekPE", "peekPE.exe", "peekPE.pdb", true, 0, 0, 0, 0, 0, 0, 0},
    // 16-bit type indexes throughout: types, procedures, locals and publics of the old
    // numbering.
    {"pdb2-jg/vc40-gun_eyes", "gun_eyes.exe", "gun_eyes.pdb", false, 91, 837, 175, 598, 657, 66,
     3126},
    {"pdb2-jg/vc42-classs", "classs.exe", "classs.pdb", false, 175, 1177, 1911, 4369, 3262, 223,
     10777},
};

struct Loaded {
  bool ok;
  CvCounts counts;
};

Loaded load_program(const CorpusProgram &program) {
  std::string image_path = corpus_path(std::string(program.folder) + "/" + program.image);
  std::vector<uint8_t> image = read_whole_file(image_path);
  uint32_t at = codeview_offset(image);
  EXPECT_NE(at, 0u) << image_path;
  recording_reset();
  Loaded loaded = {};
  if (at)
    loaded.ok = cv_load(recording_api(), image.data(), image.size(), image.data() + at,
                        image_path.c_str(), &loaded.counts) == LOAD_OK;
  return loaded;
}

// A procedure: name, address and its locals as "name@offset ".
typedef std::tuple<std::string, uint32_t, std::string> Procedure;

std::multiset<Procedure> oracle_procedures(const std::vector<OracleSymbol> &symbols) {
  std::multiset<Procedure> set;
  for (const OracleSymbol &s : symbols)
    set.insert(Procedure(s.name, recorded_address(s.segment, s.offset), s.locals));
  return set;
}

std::multiset<Procedure> defined_procedures() {
  std::multiset<Procedure> set;
  for (const RecordedEntry &e : recording()->entries) {
    const RecordedType *type = recorded_type(e.type);
    if (!type || type->kind != REC_FRAME) continue;
    std::string locals;
    for (const RecordedMember &m : type->members)
      locals += m.name + "@" + std::to_string(m.shift) + " ";
    set.insert(Procedure(e.name, e.address, locals));
  }
  return set;
}

// An entry at the symbol's address under its name, or, with names, under what its
// decorated name reads as.
bool has_entry(const OracleSymbol &s, const UndnameOracle *names = nullptr) {
  uint32_t address = recorded_address(s.segment, s.offset);
  for (const RecordedEntry &e : recording()->entries)
    if (e.address == address && (names ? names->reads_as(s.name, e.name) : e.name == s.name))
      return true;
  return false;
}

TEST(CvCorpus, ProgramDatabasesAgreeWithWinedumpAndTheManifest) {
  for (const CorpusProgram &program : kPrograms) {
    SCOPED_TRACE(program.folder);
    Loaded loaded = load_program(program);
    ASSERT_TRUE(loaded.ok) << recording()->log;
    const Recording *rec = recording();
    std::string pdb_path = corpus_path(std::string(program.folder) + "/" + program.pdb);
    EXPECT_NE(rec->log.find("CodeView signature is OK\n"), std::string::npos);
    EXPECT_NE(rec->log.find("Processing .PDB file '" + pdb_path + "'\n"), std::string::npos)
        << rec->log;
    EXPECT_NE(rec->log.find("File '" + pdb_path + "' successfully parsed\n"), std::string::npos);
    EXPECT_EQ(rec->mapped, 0);
    const CvCounts &counts = loaded.counts;
    if (!program.winedump) {
      EXPECT_EQ(counts.modules, program.modules);
      EXPECT_EQ(counts.types, program.types);
      EXPECT_EQ(counts.procedures, program.procedures);
      EXPECT_EQ(counts.locals, program.locals);
      EXPECT_EQ(counts.publics + counts.covered, program.publics);
      EXPECT_EQ(counts.sources, program.sources);
      EXPECT_EQ(counts.line_pairs, program.line_pairs);
      continue;
    }
    OracleDump dump;
    ASSERT_TRUE(winedump_read(pdb_path, &dump)) << "winedump-stable (tools/setup.sh)";
    EXPECT_EQ(counts.modules, (uint32_t)dump.modules);
    EXPECT_EQ(defined_procedures(), oracle_procedures(dump.procedures));
    // A public at the address of a procedure, datum or thunk is left out: the entry there is
    // theirs.
    std::set<uint32_t> taken;
    for (const auto *list : {&dump.procedures, &dump.data, &dump.thunks})
      for (const OracleSymbol &s : *list) taken.insert(recorded_address(s.segment, s.offset));
    std::vector<std::string> public_names;
    for (const OracleSymbol &s : dump.publics) public_names.push_back(s.name);
    UndnameOracle names;
    ASSERT_TRUE(names.read(public_names, testing::TempDir() + "cv_publics.txt"))
        << "llvm-undname-14 (package llvm-14)";
    uint32_t placed_publics = 0;
    for (const OracleSymbol &s : dump.publics) {
      if (taken.count(recorded_address(s.segment, s.offset))) continue;
      placed_publics++;
      EXPECT_TRUE(has_entry(s, &names)) << s.name;
    }
    EXPECT_EQ(counts.publics, placed_publics);
    // Data in no section (absolute or unresolved) gets no entry.
    uint32_t placed_data = 0;
    for (const OracleSymbol &s : dump.data) {
      if (!recorded_address(s.segment, s.offset)) continue;
      placed_data++;
      EXPECT_TRUE(has_entry(s)) << s.name;
    }
    EXPECT_EQ(counts.data, placed_data);
    EXPECT_EQ(counts.thunks, dump.thunks.size());
    for (const OracleSymbol &s : dump.thunks) EXPECT_TRUE(has_entry(s)) << s.name;
    // Every file winedump lists is one source with the same pairs in the same order.
    EXPECT_EQ(counts.sources, dump.files.size());
    std::multimap<std::string, const RecordedSource *> sources;
    for (const RecordedSource &s : rec->sources) sources.insert({s.name, &s});
    uint32_t oracle_pairs = 0;
    for (const OracleFile &file : dump.files) {
      oracle_pairs += file.lines.size();
      auto range = sources.equal_range(file.name);
      bool found = std::any_of(range.first, range.second, [&](const auto &s) {
        return s.second->lines == file.lines && s.second->addresses == file.addresses;
      });
      EXPECT_TRUE(found) << file.name;
    }
    EXPECT_EQ(counts.line_pairs, oracle_pairs);
    uint32_t oracle_locals = 0;
    for (const OracleSymbol &s : dump.procedures)
      oracle_locals += std::count(s.locals.begin(), s.locals.end(), '@');
    EXPECT_EQ(counts.locals, oracle_locals);
    printf(
        "%s: modules %u/%d procedures %u/%zu locals %u/%u publics %u/%zu data %u/%u thunks %u/%zu "
        "sources %u/%zu pairs %u/%u (reader/winedump)\n",
        program.pdb, counts.modules, dump.modules, counts.procedures, dump.procedures.size(),
        counts.locals, oracle_locals, counts.publics, dump.publics.size(), counts.data, placed_data,
        counts.thunks, dump.thunks.size(), counts.sources, dump.files.size(), counts.line_pairs,
        oracle_pairs);
  }
}

}  // namespace
