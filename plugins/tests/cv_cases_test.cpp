// The reader's rules on small CodeView data built here, and its refusals on copies of
// corpus files patched in memory.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "plugins/cvread/cv_load.h"
#include "plugins/cvread/cv_reader.h"
#include "plugins/tests/corpus_files.h"
#include "plugins/tests/recording_api.h"
#include "plugins/tests/undname_oracle.h"
#include "plugins/tests/winedump_oracle.h"
#include "tests/support/pe_builder.h"

namespace {

void put_name(Bytes *b, const char *name) {
  b->push_back((uint8_t)strlen(name));
  b->insert(b->end(), name, name + strlen(name));
}
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes &p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// A type or symbol record: its length WORD, then kind and body.
Bytes record(uint16_t kind, const Bytes &body) {
  Bytes r;
  append16(&r, 2 + body.size());
  append16(&r, kind);
  return cat({r, body});
}

struct Fields {
  Bytes b;
  Fields &u16(uint32_t v) {
    append16(&b, v);
    return *this;
  }
  Fields &u32(uint32_t v) {
    append32(&b, v);
    return *this;
  }
  Fields &u8(uint8_t v) {
    b.push_back(v);
    return *this;
  }
  Fields &name(const char *n) {
    put_name(&b, n);
    return *this;
  }
};

enum : uint16_t {
  LF_POINTER = 0x1002,
  LF_ARRAY = 0x1003,
  LF_STRUCTURE = 0x1005,
  LF_UNION = 0x1006,
  LF_ENUM = 0x1007,
  LF_PROCEDURE = 0x1008,
  LF_FIELDLIST = 0x1203,
  LF_ENUMERATE = 0x0403,
  LF_MEMBER = 0x1405,
  LF_STMEMBER = 0x1406,
  LF_ONEMETHOD = 0x140B,
  S_BPREL32 = 0x1006,
  S_GDATA32 = 0x1008,
  S_PUB32 = 0x1009,
  S_GPROC32 = 0x100B,
  S_PUB32_16T = 0x0203,
  S_GPROC32_16T = 0x0205,
  S_BPREL32_16T = 0x0200,
  SST_TYPES = 0x0121,
  SST_GLOBAL_SYM = 0x0129,
  SST_GLOBAL_PUB = 0x012A,
};
const uint32_t T_LONG = 0x0074, T_PCHAR = 0x0470 | 0x0400;

Bytes member(const char *name, uint32_t type, uint16_t offset) {
  return Fields().u16(LF_MEMBER).u16(3).u32(type).u16(offset).name(name).b;
}
Bytes structure(uint16_t count, uint32_t fields, uint16_t size, const char *name) {
  return record(LF_STRUCTURE,
                Fields().u16(count).u16(0).u32(fields).u32(0).u32(0).u16(size).name(name).b);
}
// A global symbol subsection: its 16-byte header, then the records.
Bytes globals(const Bytes &records) {
  return cat({Fields().u16(0).u16(0).u32(records.size()).u32(0).u32(0).b, records});
}

// "NB11", the directory offset, the subsections, then the directory.
Bytes nb11(std::vector<std::pair<uint16_t, Bytes>> sections) {
  Bytes data = {'N', 'B', '1', '1', 0, 0, 0, 0};
  std::vector<std::pair<uint32_t, uint32_t>> places;
  for (auto &s : sections) {
    places.push_back({(uint32_t)data.size(), (uint32_t)s.second.size()});
    data = cat({data, s.second});
  }
  uint32_t directory = data.size();
  memcpy(&data[4], &directory, 4);
  append16(&data, 16);
  append16(&data, 12);
  append32(&data, sections.size());
  append32(&data, 0);
  append32(&data, 0);
  for (size_t i = 0; i < sections.size(); i++) {
    append16(&data, sections[i].first);
    append16(&data, 1);
    append32(&data, places[i].first);
    append32(&data, places[i].second);
  }
  return data;
}

bool load(const Bytes &data, const char *image_path = nullptr, CvCounts *counts = nullptr) {
  recording_reset();
  CvCounts ignored;
  return cv_load(recording_api(), data.data(), data.size(), data.data(), image_path,
                 counts ? counts : &ignored) == LOAD_OK;
}

const RecordedType *find_type(RecordedKind kind, const std::string &name) {
  for (const RecordedType &t : recording()->types)
    if (t.kind == kind && t.name == name) return &t;
  return nullptr;
}

std::string member_names(const RecordedType *t) {
  std::string names;
  for (const RecordedMember &m : t->members) names += m.name + "@" + std::to_string(m.shift) + " ";
  return names;
}

TEST(CvTypes, FieldListsKeepTheDataMembersTheyCanReach) {
  struct Case {
    const char *title;
    Bytes list;  // the members of a field list at 0x1000
    const char *members;
  };
  Bytes virtual_method =
      Fields().u16(LF_ONEMETHOD).u16(4 << 2).u32(0x1001).u32(8).name("f").b;  // introducing
  Bytes plain_method = Fields().u16(LF_ONEMETHOD).u16(0).u32(0x1001).name("g").b;
  const Case cases[] = {
      {"static before data",
       cat({Fields().u16(LF_STMEMBER).u16(3).u32(T_LONG).name("s").b, member("m", T_LONG, 4)}),
       "m@4 "},
      {"unknown leaf ends the list",
       cat({member("a", T_LONG, 0), Fields().u16(0x1499).u16(0).b, member("b", T_LONG, 4)}),
       "a@0 "},
      {"padding between members",
       cat({member("a", T_LONG, 0), Bytes{0xF3, 0xF2, 0xF1}, member("b", T_LONG, 4)}), "a@0 b@4 "},
      {"methods with and without a vtable offset",
       cat({virtual_method, plain_method, member("c", T_LONG, 8)}), "c@8 "},
      {"numeric offsets",
       cat({Fields().u16(LF_MEMBER).u16(3).u32(T_LONG).u16(0x8004).u32(70000).name("far").b,
            Fields().u16(LF_MEMBER).u16(3).u32(T_LONG).u16(0x8000).u8(0xFF).name("neg").b}),
       "far@70000 neg@-1 "},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.title);
    Bytes types = cat({record(LF_FIELDLIST, c.list), structure(2, 0x1000, 12, "S")});
    ASSERT_TRUE(load(nb11({{SST_TYPES, types}})));
    const RecordedType *s = find_type(REC_STRUCT, "S");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->size, 12);
    EXPECT_EQ(member_names(s), c.members);
    EXPECT_EQ(recording()->log, "CodeView signature is OK\nLoading OMF directory\n");
  }
}

TEST(CvTypes, RecordsResolveOnlyWhatCameBefore) {
  Bytes types = cat({
      record(LF_POINTER, Fields().u32(0x1001).u32(0).b),  // 0x1000
      structure(0, 0, 4, "Later"),                        // 0x1001
      record(LF_POINTER, Fields().u32(0x1001).u32(0).b),  // 0x1002
      structure(0, 0, 1, "__unnamed"),                    // 0x1003
      record(LF_ARRAY, Fields().u32(0x1001).u32(T_LONG).u16(0x8004).u32(100000).name("").b),
      record(LF_ENUM, Fields().u16(0).u16(0).u32(T_LONG).u32(0x1007).name("E").b),
      record(LF_PROCEDURE, Fields().u32(0x1001).u8(7).u8(0).u16(0).u32(0).b),
      record(LF_FIELDLIST, Fields().u16(LF_ENUMERATE).u16(3).u16(1).name("ONE").b),
      record(LF_UNION, Fields().u16(1).u16(0).u32(0x1009).u16(8).name("U").b),
      record(LF_FIELDLIST, member("u", 0x1002, 0)),
  });
  CvCounts counts;
  ASSERT_TRUE(load(nb11({{SST_TYPES, types}}), nullptr, &counts));
  const std::deque<RecordedType> &t = recording()->types;
  const RecordedType *later = find_type(REC_STRUCT, "Later");
  ASSERT_NE(later, nullptr);
  std::vector<const RecordedType *> pointers;
  for (const RecordedType &type : t)
    if (type.kind == REC_POINTER && type.target == later) pointers.push_back(&type);
  EXPECT_EQ(pointers.size(), 1u) << "the pointer before the structure points to void";
  EXPECT_NE(find_type(REC_STRUCT, ""), nullptr) << "__unnamed";
  EXPECT_EQ(find_type(REC_STRUCT, "__unnamed"), nullptr);
  const RecordedType *array = nullptr, *function = nullptr;
  for (const RecordedType &type : t) {
    if (type.kind == REC_ARRAY) array = &type;
    if (type.kind == REC_FUNCTION) function = &type;
  }
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array->size, 100000);
  EXPECT_EQ(array->target, later);
  ASSERT_NE(function, nullptr);
  EXPECT_EQ(function->target, later);
  EXPECT_EQ(function->call, 7);
  const RecordedType *e = find_type(REC_ENUM, "E");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(recorded_type(e->target)->name, "long");
  const RecordedType *u = find_type(REC_STRUCT, "U");
  ASSERT_NE(u, nullptr);
  ASSERT_EQ(u->members.size(), 1u);
  EXPECT_EQ(recorded_type(u->members[0].type)->kind, REC_POINTER);
  EXPECT_EQ(counts.types, 8u);  // the two field lists define nothing themselves
}

TEST(CvTypes, AFieldListGoesOnInTheListItsIndexNames) {
  const uint16_t LF_INDEX = 0x1404;
  Bytes types = cat({
      structure(2, 0x1001, 8, "Long"),  // 0x1000
      record(LF_FIELDLIST,
             cat({member("a", T_LONG, 0), Fields().u16(LF_INDEX).u16(0).u32(0x1002).b})),
      record(LF_FIELDLIST, member("b", T_LONG, 4)),
      structure(1, 0x1004, 4, "Loop"),  // 0x1003: its list goes on in itself
      record(LF_FIELDLIST,
             cat({member("c", T_LONG, 0), Fields().u16(LF_INDEX).u16(0).u32(0x1004).b})),
  });
  ASSERT_TRUE(load(nb11({{SST_TYPES, types}})));
  EXPECT_EQ(member_names(find_type(REC_STRUCT, "Long")), "a@0 b@4 ");
  const RecordedType *loop = find_type(REC_STRUCT, "Loop");
  ASSERT_NE(loop, nullptr);
  EXPECT_GE(loop->members.size(), 1u);
  EXPECT_LE(loop->members.size(), types.size()) << "the walk budget ends the chain";
}

TEST(CvSymbols, ProceduresFramesLocalsAndEntries) {
  Bytes proc = Fields()
                   .u32(0)
                   .u32(0)
                   .u32(0)
                   .u32(0x40)
                   .u32(3)
                   .u32(0x3C)
                   .u32(0)
                   .u32(0x10)
                   .u16(1)
                   .u8(0)
                   .name("main")
                   .b;
  Bytes proc16 = Fields()
                     .u32(0)
                     .u32(0)
                     .u32(0)
                     .u32(0x20)
                     .u32(1)
                     .u32(0x1F)
                     .u32(0x80)
                     .u16(1)
                     .u16(T_LONG)
                     .u8(0)
                     .name("old")
                     .b;
  Bytes run = cat({
      record(S_BPREL32, Fields().u32(8).u32(T_LONG).name("orphan").b),
      record(S_GPROC32, proc),
      record(S_BPREL32, Fields().u32(0xFFFFFFFC).u32(T_PCHAR).name("text").b),
      record(S_GDATA32, Fields().u32(T_LONG).u32(0x200).u16(2).name("__unnamed").b),
      record(S_GDATA32, Fields().u32(T_LONG).u32(0x200).u16(0).name("nowhere").b),
      record(S_PUB32, Fields().u32(0).u32(0x10).u16(1).name("_main").b),
      record(S_GPROC32_16T, proc16),
      record(S_BPREL32_16T, Fields().u32(12).u16(T_LONG).name("count").b),
      record(S_PUB32_16T, Fields().u32(0x80).u16(1).u16(0).name("_old").b),
  });
  CvCounts counts;
  ASSERT_TRUE(load(nb11({{SST_GLOBAL_SYM, globals(run)}}), nullptr, &counts));
  const std::deque<RecordedEntry> &entries = recording()->entries;
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].name, "main");
  EXPECT_EQ(entries[0].address, 0x01000010u);
  const RecordedType *frame = recorded_type(entries[0].type);
  ASSERT_EQ(frame->kind, REC_FRAME);
  EXPECT_EQ(frame->name, "main");
  EXPECT_EQ(frame->start, 0x01000013u);
  EXPECT_EQ(frame->end, 0x0100004Cu);
  EXPECT_EQ(member_names(frame), "text@-4 ");
  EXPECT_EQ(recorded_type(frame->members[0].type)->kind, REC_POINTER);
  EXPECT_EQ(entries[1].name, "");
  EXPECT_EQ(entries[1].address, 0x02000200u);
  EXPECT_EQ(entries[2].name, "main");  // the public, without the C name's underscore
  EXPECT_EQ(entries[3].name, "old");
  EXPECT_EQ(member_names(recorded_type(entries[3].type)), "count@12 ");
  EXPECT_EQ(entries[4].name, "old");
  EXPECT_EQ(entries[4].address, 0x01000080u);
  EXPECT_EQ(counts.procedures, 2u);
  EXPECT_EQ(counts.publics, 2u);
  EXPECT_EQ(counts.locals, 2u);
}

// Nothing is logged; only an older CodeView is told to the debugger as a format not read.
TEST(CvSignature, ForeignDataIsRefusedSilently) {
  const struct {
    const char *signature;
    LoadStatus status;
  } cases[] = {{"NB08", LOAD_UNSUPPORTED}, {"NB05", LOAD_UNSUPPORTED}, {"RSDT", LOAD_FOREIGN},
               {"FB09", LOAD_FOREIGN}, {"NB1", LOAD_FOREIGN}, {"NBx9", LOAD_FOREIGN}};
  for (const auto &c : cases) {
    Bytes data(c.signature, c.signature + strlen(c.signature));
    data.resize(64);
    recording_reset();
    EXPECT_EQ(c.status, cv_load(recording_api(), data.data(), data.size(), data.data(), nullptr,
                                nullptr))
        << c.signature;
    EXPECT_EQ(recording()->log, "");
    const std::vector<std::string> refusals = {"format not read: CodeView " +
                                               std::string(c.signature) + " data"};
    EXPECT_EQ(recording()->refusals,
              c.status == LOAD_FOREIGN ? std::vector<std::string>{} : refusals);
  }
}

// The VC6 program of the corpus, whose database's recorded path does not exist here.
struct PeekPE {
  std::string folder;
  Bytes image, pdb;
  uint32_t at;  // its CodeView entry's data
  std::string recorded;
};

PeekPE peekpe() {
  PeekPE p;
  p.folder = corpus_path("pdb2-jg/vc60-peekPE/");
  p.image = read_whole_file(p.folder + "peekPE.exe");
  p.pdb = read_whole_file(p.folder + "peekPE.pdb");
  p.at = codeview_offset(p.image);
  p.recorded = p.at ? (const char *)&p.image[p.at + 16] : "";
  return p;
}

// Patches of the database served under the recorded path: each refused with its log line,
// after which nothing is defined and the file is unmapped.
TEST(CvProgramDatabase, RefusalsDefineNothing) {
  struct Patch {
    int stream;  // -1: the file's header
    uint32_t at, value, width;
  };
  struct Case {
    const char *title;
    Patch patches[2];  // width 0: no patch
    const char *line;
    LoadStatus status;
  };
  const char *kNotADatabase = "' is not a program database 2.00\n";
  const Case cases[] = {
      {"root block version", {{1, 0, 19990101, 4}}, "Unknown root block version 19990101\n",
       LOAD_BAD_VERSION},
      {"type info version", {{2, 0, 19990102, 4}}, "Unknown type info version 19990102\n",
       LOAD_BAD_VERSION},
      {"symbol info version", {{3, 4, 19990103, 4}}, "Unknown symbol info version 19990103\n",
       LOAD_BAD_VERSION},
      {"signature",
       {{1, 4, 0x5555cd50, 4}},
       "' belongs to another build (signature 5555CD50 age 2, the image wants 5555CD4F age 2)\n",
       LOAD_WRONG_BUILD},
      {"age",
       {{1, 8, 3, 4}},
       "' belongs to another build (signature 5555CD4F age 3, the image wants 5555CD4F age 2)\n",
       LOAD_WRONG_BUILD},
      {"signature text", {{-1, 0, 0x7263694E, 4}}, kNotADatabase, LOAD_BAD_SIGNATURE},
      {"page size larger than the file", {{-1, 44, 0x70000000, 4}}, kNotADatabase,
       LOAD_BAD_SIGNATURE},
      {"page and root stream larger than the file",
       {{-1, 44, 0x70000000, 4}, {-1, 52, 0x6FFFFFF0, 4}},
       kNotADatabase, LOAD_BAD_SIGNATURE},
      {"page size too small", {{-1, 44, 16, 4}}, kNotADatabase, LOAD_BAD_SIGNATURE},
      {"root stream larger than the file", {{-1, 52, 0x7FFFFFF0, 4}}, kNotADatabase,
       LOAD_BAD_SIGNATURE},
      {"root page outside the file", {{-1, 60, 0xFFFF, 2}}, kNotADatabase, LOAD_BAD_SIGNATURE},
  };
  const PeekPE p = peekpe();
  ASSERT_NE(p.at, 0u);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.title);
    Bytes patched = p.pdb;
    for (const Patch &patch : c.patches) {
      size_t offset = patch.at + (patch.stream < 0 ? 0 : pdb_stream_offset(p.pdb, patch.stream));
      memcpy(&patched[offset], &patch.value, patch.width);
    }
    recording_reset();
    recording()->files[p.recorded] = patched;
    EXPECT_EQ(c.status, cv_load_debug_info(recording_api(), p.image.data(), p.image.size(),
                                           p.image.data() + p.at, nullptr));
    const Recording *rec = recording();
    // One refusal, which says why in the words of the log line.
    ASSERT_EQ(rec->refusals.size(), 1u);
    EXPECT_EQ(rec->refusals[0].rfind(load_status_text(c.status), 0), 0u) << rec->refusals[0];
    std::string line = c.line;
    EXPECT_NE(rec->refusals[0].find(line.substr(0, line.size() - 1)), std::string::npos)
        << rec->refusals[0];
    EXPECT_NE(rec->log.find(c.line), std::string::npos) << rec->log;
    EXPECT_NE(rec->log.find("Processing .PDB file '" + p.recorded + "'\n"), std::string::npos);
    EXPECT_EQ(rec->log.find("successfully parsed"), std::string::npos);
    EXPECT_TRUE(rec->entries.empty());
    EXPECT_TRUE(rec->sources.empty());
    EXPECT_EQ(find_type(REC_STRUCT, ""), nullptr);
    EXPECT_EQ(rec->mapped, 0);
  }
}

TEST(CvProgramDatabase, FoundAsRecordedOrBesideTheImage) {
  const PeekPE p = peekpe();
  ASSERT_NE(p.at, 0u);
  const std::string &folder = p.folder, &recorded = p.recorded;
  const std::string image_path = folder + "peekPE.exe";
  EXPECT_EQ(recorded, "C:\\USERS\\M0RPHIZ3\\DESKTOP\\PROTECTOR\\peekPE\\Debug\\peekPE.pdb");
  auto run = [&](const char *path) {
    return cv_load_debug_info(recording_api(), p.image.data(), p.image.size(),
                              p.image.data() + p.at, path) == LOAD_OK;
  };
  // Missing, and no image path to look beside.
  recording_reset();
  EXPECT_FALSE(run(nullptr));
  EXPECT_EQ(recording()->log,
            "CodeView signature is OK\nUnable to open PDB file '" + recorded + "'\n");
  EXPECT_TRUE(recording()->entries.empty());
  EXPECT_EQ(recording()->refusals,
            std::vector<std::string>{"file not found: PDB file tried at '" + recorded + "'"});
  // Missing in both places: the refusal names both.
  recording_reset();
  recording()->missing.insert(folder + "peekPE.pdb");
  EXPECT_FALSE(run(image_path.c_str()));
  EXPECT_EQ(recording()->refusals,
            std::vector<std::string>{"file not found: PDB file tried at '" + recorded + "', '" +
                                     folder + "peekPE.pdb'"});
  // Missing where recorded: the file of that name beside the image.
  recording_reset();
  EXPECT_TRUE(run(image_path.c_str()));
  ASSERT_GE(recording()->opened.size(), 2u);
  EXPECT_EQ(recording()->opened[0], recorded);
  EXPECT_EQ(recording()->opened[1], folder + "peekPE.pdb");
  size_t beside = recording()->entries.size();
  EXPECT_GT(beside, 0u);
  // Present where recorded: that one, even with an image path.
  recording_reset();
  recording()->files[recorded] = p.pdb;
  EXPECT_TRUE(run(image_path.c_str()));
  ASSERT_GE(recording()->opened.size(), 2u);
  EXPECT_EQ(recording()->opened[0], recorded);
  EXPECT_NE(recording()->opened[1], folder + "peekPE.pdb");
  EXPECT_EQ(recording()->entries.size(), beside);
  // A recorded path longer than any path buffer: only the name counts, beside the image.
  Bytes long_record = p.image;
  const std::string long_path = std::string(300, 'D') + "\\peekPE.pdb";
  long_record.resize(std::max(long_record.size(), p.at + 16 + long_path.size() + 1));
  memcpy(&long_record[p.at + 16], long_path.c_str(), long_path.size() + 1);
  for (const char *image : {image_path.c_str(), (const char *)nullptr}) {
    recording_reset();
    EXPECT_EQ(cv_load_debug_info(recording_api(), long_record.data(), long_record.size(),
                                 long_record.data() + p.at, image) == LOAD_OK,
              image != nullptr);
    // The long path is never asked for; the database beside the image is the first file.
    const std::vector<std::string> &opened = recording()->opened;
    EXPECT_EQ(opened.empty() ? std::string() : opened[0], image ? folder + "peekPE.pdb" : "");
    if (!image) {
      EXPECT_EQ(recording()->log, "CodeView signature is OK\nUnable to open PDB file '" +
                                      long_path.substr(0, 259) + "'\n");
    }
  }
  // A newer database format under the recorded name.
  recording_reset();
  recording()->files[recorded] =
      read_whole_file(corpus_path("pdb7-msf-negative/vs2013-MyDll/MyDll.pdb"));
  EXPECT_FALSE(run(nullptr));
  EXPECT_NE(recording()->log.find("'" + recorded + "' is not a program database 2.00\n"),
            std::string::npos);
  EXPECT_EQ(recording()->mapped, 0);
}

// VC5 and VC6 programs keep most types in the compiler's database (vc50.pdb, vc60.pdb)
// and refer to them with the import number in the index's high byte: found beside the
// program's database, they give procedures and locals their types.
TEST(CvProgramDatabase, TypeServersBesideTheDatabaseTypeTheLocals) {
  struct Case {
    const char *folder, *image, *server;
    const char *result;  // of main's imported procedure type (winedump)
    const char *local;   // one of main's locals with an imported pointer type
  };
  const Case cases[] = {
      {"pdb2-jg/vc50-GameC/", "GameC.exe", "vc50.pdb", "dword", "argv"},
      {"pdb2-jg/vc60-peekPE/", "peekPE.exe", "vc60.pdb", "long", nullptr},
  };
  for (const Case &c : cases) {
    for (bool present : {true, false}) {
      SCOPED_TRACE(std::string(c.image) + (present ? " with " : " without ") + c.server);
      const std::string folder = corpus_path(c.folder);
      const Bytes image = read_whole_file(folder + c.image);
      const uint32_t at = codeview_offset(image);
      recording_reset();
      if (!present) recording()->missing.insert(folder + c.server);
      CvCounts counts;
      ASSERT_EQ(LOAD_OK, cv_load(recording_api(), image.data(), image.size(), image.data() + at,
                                 (folder + c.image).c_str(), &counts));
      EXPECT_EQ(counts.servers, present ? 1u : 0u);
      const std::string line =
          present ? "Types imported from '" + folder + c.server + "'\n"
                  : "vc" + std::string(c.server + 2) + "' not found, its types are ignored\n";
      EXPECT_NE(recording()->log.find(line), std::string::npos) << recording()->log;
      const RecordedType *frame = find_type(REC_FRAME, "main");
      ASSERT_NE(frame, nullptr);
      const RecordedType *function = recorded_type(frame->target);
      if (!present) {
        EXPECT_EQ(function, nullptr);
        continue;
      }
      ASSERT_NE(function, nullptr);
      EXPECT_EQ(function->kind, REC_FUNCTION);
      EXPECT_EQ(recorded_type(function->target)->name, c.result);
      int typed = 0;
      for (const RecordedMember &m : frame->members) {
        if (!c.local || m.name != c.local) continue;
        EXPECT_EQ(recorded_type(m.type)->kind, REC_POINTER);
        typed++;
      }
      EXPECT_EQ(typed, c.local ? 1 : 0);
    }
  }
}

// VC 4.x databases use the 16-bit-index numbering throughout; the Windows structures in
// them must have the layout the Windows headers give.
TEST(CvProgramDatabase, SixteenBitTypesHaveTheWindowsLayouts) {
  struct Case {
    const char *name;
    int size;
    const char *members;
  };
  const Case cases[] = {
      {"tagRECT", 16, "left@0 top@4 right@8 bottom@12 "},
      {"tagPOINT", 8, "x@0 y@4 "},
      {"tagMSG", 28, "hwnd@0 message@4 wParam@8 lParam@12 time@16 pt@20 "},
      {"_GUID", 16, "Data1@0 Data2@4 Data3@6 Data4@8 "},
  };
  const std::string folder = corpus_path("pdb2-jg/vc40-gun_eyes/");
  const Bytes image = read_whole_file(folder + "gun_eyes.exe");
  const uint32_t at = codeview_offset(image);
  ASSERT_NE(at, 0u);
  recording_reset();
  ASSERT_EQ(LOAD_OK, cv_load_debug_info(recording_api(), image.data(), image.size(),
                                        image.data() + at, (folder + "gun_eyes.exe").c_str()));
  // Forward declarations (size 0, no members) come first; the full one is wanted.
  auto full = [](const char *name) -> const RecordedType * {
    for (const RecordedType &t : recording()->types)
      if (t.kind == REC_STRUCT && t.name == name && t.size) return &t;
    return nullptr;
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const RecordedType *t = full(c.name);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->size, c.size);
    EXPECT_EQ(member_names(t), c.members);
  }
  const RecordedType *msg = full("tagMSG");
  ASSERT_NE(msg, nullptr);
  const RecordedType *pt = recorded_type(msg->members.back().type);
  ASSERT_NE(pt, nullptr);
  EXPECT_EQ(pt->name, "tagPOINT");
}

// A directory that is empty or does not fit is refused, so another reader gets the entry.
TEST(CvDirectory, UnreadableDirectoryIsRefused) {
  const Bytes good = nb11({{SST_GLOBAL_SYM, globals({})}});
  struct {
    const char *why;
    size_t at;  // the directory offset, or its entry count (before 12 bytes of entry)
    uint32_t value;
  } cases[] = {
      {"directory offset past the end", 4, 0x10000},
      {"no entries", good.size() - 24, 0},
      {"more entries than fit", good.size() - 24, 2},
  };
  for (auto &c : cases) {
    Bytes data = good;
    memcpy(&data[c.at], &c.value, 4);
    EXPECT_FALSE(load(data)) << c.why;
    EXPECT_EQ(recording()->log,
              "CodeView signature is OK\nLoading OMF directory\nNo CodeView debug information: "
              "the subsection directory is empty or lies outside the file\n")
        << c.why;
  }
  EXPECT_TRUE(load(good));
}

// The NB09 debug file of the corpus holds only publics (of the 16-bit-type kind, in its
// sstGlobalPub): all of them, as winedump reads them, become entries.
TEST(CvDirectory, DebugFilePublicsAgreeWithWinedump) {
  const std::string path = corpus_path("dbg-nb09/bds2006-calldemo/calldemo.dbg");
  const Bytes file = read_whole_file(path);
  const uint32_t at = 0x18C;  // the CodeView entry's data (MANIFEST)
  ASSERT_GT(file.size(), at + 4);
  recording_reset();
  CvCounts counts;
  ASSERT_EQ(LOAD_OK,
            cv_load(recording_api(), file.data(), file.size(), file.data() + at, nullptr, &counts));
  OracleDump dump;
  ASSERT_TRUE(winedump_read(path, &dump)) << "winedump-stable (tools/setup.sh)";
  ASSERT_EQ(dump.publics.size(), 6130u);
  EXPECT_EQ(counts.publics, dump.publics.size());
  ASSERT_EQ(recording()->entries.size(), dump.publics.size());
  for (size_t i = 0; i < dump.publics.size(); i++) {
    const RecordedEntry &entry = recording()->entries[i];
    EXPECT_TRUE(reads_as(dump.publics[i].name, "", entry.name)) << entry.name;
    EXPECT_EQ(entry.address, recorded_address(dump.publics[i].segment, dump.publics[i].offset));
  }
  printf("calldemo.dbg: publics %u/%zu (reader/winedump)\n", counts.publics, dump.publics.size());
}

}  // namespace
