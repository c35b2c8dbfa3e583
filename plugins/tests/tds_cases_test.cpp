// The reader's rules on copies of a corpus file patched in memory: refusals, the naming
// rules, and where the data of an image without a debug directory is looked for.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "plugins/tdsread/tds_reader.h"
#include "plugins/tests/corpus_files.h"
#include "plugins/tests/recording_api.h"
#include "tests/support/pe_builder.h"

namespace {


const char kSmall[] = "tds/cb10-bcc32c-Base64/Project1.tds";

bool load(const Bytes &file, TdsCounts *counts = nullptr) {
  recording_reset();
  return tds_load(recording_api(), file.data(), file.size(), file.data(), counts) == LOAD_OK;
}

// Where the directory's entries start, and their size.
size_t entries_at(const Bytes &file, uint16_t *entry_size, uint32_t *count) {
  size_t dir = get32(file, 4);
  *entry_size = (uint16_t)get16(file, dir + 2);
  *count = get32(file, dir + 4);
  return dir + get16(file, dir);
}

TEST(TdsCases, RefusedDataDefinesNothingAndSaysWhy) {
  Bytes good = read_whole_file(corpus_path(kSmall));
  ASSERT_FALSE(good.empty());
  Bytes stub = read_whole_file(corpus_path("tds/bcb6-empty-stub/Project1.tds"));
  Bytes foreign = good;
  memcpy(foreign.data(), "NB11", 4);
  Bytes directory_outside = good;
  put32(&directory_outside, 4, (uint32_t)good.size() - 4);
  Bytes entries_outside = good;
  uint16_t entry_size;
  uint32_t count;
  size_t at = entries_at(good, &entry_size, &count);
  for (uint32_t i = 0; i < count; i++)
    put32(&entries_outside, at + i * entry_size + 4, 0xFFFFFF00u);
  struct Case {
    const char *what;
    Bytes file;
    const char *log;  // "" for a silent refusal
  };
  const Case cases[] = {
      {"the empty stub", stub, "No Borland debug information: the subsection directory"},
      {"a foreign signature", foreign, ""},
      {"the directory past the end", directory_outside,
       "No Borland debug information: the subsection directory"},
      {"every entry outside", entries_outside,
       "Borland subsection 0120 of module 1 lies outside the file\nNo Borland debug "
       "information: no subsection lies inside the file\n"},
      {"cut after the header", Bytes(good.begin(), good.begin() + 8),
       "No Borland debug information: the subsection directory"},
      {"cut in the directory", Bytes(good.begin(), good.begin() + 40),
       "No Borland debug information: the subsection directory"},
      {"only the signature", Bytes(good.begin(), good.begin() + 4),
       "No Borland debug information: the subsection directory"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_FALSE(c.file.empty());
    EXPECT_FALSE(load(c.file));
    const Recording *rec = recording();
    if (c.log[0]) {
      EXPECT_NE(rec->log.find(c.log), std::string::npos) << rec->log;
    } else {
      EXPECT_EQ(rec->log, "");
    }
    EXPECT_TRUE(rec->entries.empty());
    EXPECT_TRUE(rec->sources.empty());
  }
}

TEST(TdsCases, TruncatedFilesKeepWhatLiesInside) {
  Bytes good = read_whole_file(corpus_path(kSmall));
  TdsCounts whole = {};
  ASSERT_TRUE(load(good, &whole));
  // Cut inside the symbols of the last modules: what lies before the cut is still read,
  // the subsections beyond it are named in the log.
  for (size_t size : {good.size() / 2, good.size() - 70000, (size_t)0x22b6c + 100}) {
    SCOPED_TRACE(size);
    TdsCounts cut = {};
    bool ok = load(Bytes(good.begin(), good.begin() + size), &cut);
    EXPECT_EQ(ok, cut.subsections > 0);
    EXPECT_LT(cut.subsections, whole.subsections);
    EXPECT_NE(recording()->log.find("lies outside the file"), std::string::npos);
  }
}

TEST(TdsCases, EntryNamesTakeAtSignsAndDuplicatesTheirSecondName) {
  // The C++Builder 2010 program names templates with percent signs in its name table and
  // has procedures whose names repeat.
  Bytes file = read_whole_file(corpus_path("tds/cb2010-IdentifyElements2D/Project1.tds"));
  std::string table(file.begin(), file.end());
  ASSERT_NE(table.find("@std@%"), std::string::npos);
  TdsCounts counts = {};
  ASSERT_TRUE(load(file, &counts));
  EXPECT_GT(counts.renamed, 0u);
  unsigned templates = 0;
  std::set<std::string> procedures;
  for (const RecordedEntry &e : recording()->entries) {
    EXPECT_EQ(e.name.find('%'), std::string::npos) << e.name;
    templates += e.name.find("@std@@") != std::string::npos;
    if (recorded_type(e.type) && recorded_type(e.type)->kind == REC_FRAME)
      procedures.insert(e.name);
  }
  EXPECT_GT(templates, 0u);
  // A renamed procedure stands under a name no procedure before it had.
  EXPECT_GT(procedures.size() + counts.renamed, counts.procedures);
}

TEST(TdsCases, StructuresGetTheirMembersWithOffsetsAndTypes) {
  // The C library's struct lconv, whose layout the language standard fixes: ten text
  // pointers, then eight chars.
  Bytes file = read_whole_file(corpus_path(kSmall));
  ASSERT_TRUE(load(file));
  const char *const names[] = {
      "decimal_point", "thousands_sep",     "grouping",          "int_curr_symbol",
      "currency_symbol", "mon_decimal_point", "mon_thousands_sep", "mon_grouping",
      "positive_sign", "negative_sign",     "int_frac_digits",   "frac_digits",
      "p_cs_precedes", "p_sep_by_space",    "n_cs_precedes",     "n_sep_by_space",
      "p_sign_posn",   "n_sign_posn"};
  const RecordedType *lconv = nullptr;
  for (const RecordedType &t : recording()->types)
    if (t.kind == REC_STRUCT && t.name == "@std@lconv" && !t.members.empty()) lconv = &t;
  ASSERT_NE(lconv, nullptr);
  EXPECT_EQ(lconv->size, 1);
  ASSERT_EQ(lconv->members.size(), 18u);
  for (int i = 0; i < 18; i++) {
    SCOPED_TRACE(names[i]);
    const RecordedMember &m = lconv->members[i];
    EXPECT_EQ(m.name, names[i]);
    EXPECT_EQ(m.shift, i < 10 ? 4 * i : 40 + (i - 10));
    const RecordedType *type = recorded_type(m.type);
    ASSERT_NE(type, nullptr);
    if (i < 10) {
      ASSERT_EQ(type->kind, REC_POINTER);
      type = recorded_type(type->target);
    }
    EXPECT_EQ(type->kind, REC_BASE);
    EXPECT_EQ(type->name, "char");
  }
}

TEST(TdsCases, SeekLooksBesideTheImageThenAtItsEnd) {
  Bytes tds = read_whole_file(corpus_path(kSmall));
  Bytes delphi =
      read_whole_file(corpus_path("td32-embedded/delphi-NowoczesnyObiektowyPascal/Project1.exe"));
  ASSERT_FALSE(delphi.empty());
  // A mapping by pages reads zeros past the file's end.
  Bytes padded = delphi;
  padded.resize((delphi.size() + 4095) / 4096 * 4096);
  Bytes cut_trailer(delphi.begin(), delphi.end() - 8);
  Bytes wrong_distance = delphi;
  put32(&wrong_distance, delphi.size() - 4, 12345);
  struct Case {
    const char *what;
    const Bytes *tds;    // served as C:\app\prog.TDS, or none
    const Bytes *image;  // served as C:\app\prog.exe
    bool found;
    const char *log;  // "" when nothing in particular is said
  };
  const Case cases[] = {
      {"the .TDS beside the image", &tds, &delphi, true, "Borland signature is OK\n"},
      {"appended to the image", nullptr, &delphi, true,
       "Borland debug information appended to the image at 00028220\n"},
      {"appended, mapped by pages", nullptr, &padded, true,
       "Borland debug information appended to the image at 00028220\n"},
      {"no trailer", nullptr, &cut_trailer, false, ""},
      {"a trailer pointing elsewhere", nullptr, &wrong_distance, false, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    recording_reset();
    Recording *rec = recording();
    if (c.tds) {
      rec->files["C:\\app\\prog.TDS"] = *c.tds;
    } else {
      rec->missing.insert("C:\\app\\prog.TDS");
    }
    rec->files["C:\\app\\prog.exe"] = *c.image;
    EXPECT_EQ(tds_seek(recording_api(), "C:\\app\\prog.exe", nullptr) == LOAD_OK, c.found);
    ASSERT_FALSE(rec->opened.empty());
    EXPECT_EQ(rec->opened[0], "C:\\app\\prog.TDS");
    if (c.log[0]) {
      EXPECT_NE(rec->log.find(c.log), std::string::npos) << rec->log;
    }
    if (!c.found) {
      EXPECT_TRUE(rec->entries.empty());
    }
    EXPECT_EQ(rec->mapped, 0);
  }
  // An image path too long for the .TDS name: no cut name is tried, the image is read.
  recording_reset();
  std::string long_path = "C:\\" + std::string(250, 'a') + "\\prog.exe";
  recording()->files[long_path] = delphi;
  EXPECT_EQ(LOAD_OK, tds_seek(recording_api(), long_path.c_str(), nullptr));
  ASSERT_EQ(recording()->opened.size(), 1u);
  EXPECT_EQ(recording()->opened[0], long_path);
}

}  // namespace
