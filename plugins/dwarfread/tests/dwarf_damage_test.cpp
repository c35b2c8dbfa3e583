// Damaged DWARF in a real program: each case patches the built image and expects the
// reader to log what it passed over and to keep the rest, without reading outside the
// file (the host tests run under ASan in the sanitizer build).
#include <gtest/gtest.h>
#include <string.h>

#include <functional>

#include "plugins/dwarfread/dwarf_reader.h"
#include "plugins/dwarfread/tests/dwarfdump_oracle.h"
#include "plugins/tests/recording_api.h"
#include "symbols/pe_image.h"
#include "tests/support/pe_builder.h"

namespace {

// The file offset of a section of the image.
size_t section_at(const std::vector<uint8_t> &bytes, const char *name) {
  PeImage image;
  if (!pe_read_image(bytes.data(), bytes.size(), &image)) return 0;
  const PeSectionHeader *s = pe_find_section(&image, name);
  return s ? s->raw_offset : 0;
}

// A typedef of the first unit made to name itself: resolving it must end.
void typedef_names_itself(std::vector<uint8_t> &bytes, const std::string &file) {
  std::vector<OracleDie> dies = dwarfdump_entries(file);
  size_t info = section_at(bytes, ".debug_info");
  for (size_t i = 0; i + 1 < dies.size(); i++) {
    uint64_t target = 0;
    if (dies[i].tag != "DW_TAG_typedef" ||
        !oracle_number(dies[i].attributes["DW_AT_type"], &target))
      continue;
    // The unit-relative reference lies among the entry's bytes.
    for (size_t at = info + dies[i].offset; at + 4 <= info + dies[i + 1].offset; at++) {
      uint32_t value;
      memcpy(&value, &bytes[at], 4);
      if (value == target) {
        put32(&bytes, at, (uint32_t)dies[i].offset);
        return;
      }
    }
  }
}

void abbrevs_past_end(std::vector<uint8_t> &bytes, const std::string &) {
  PeImage image;
  if (!pe_read_image(bytes.data(), bytes.size(), &image)) return;
  uint32_t pe = 0;
  memcpy(&pe, &bytes[0x3C], 4);
  size_t table = pe + 24 + image.header.optional_size;
  const PeSectionHeader *s = pe_find_section(&image, ".debug_abbrev");
  if (s) put32(&bytes, table + (size_t)(s - image.sections) * 40 + 20, (uint32_t)bytes.size() + 1);
}

struct DamageCase {
  const char *name;
  std::function<void(std::vector<uint8_t> &, const std::string &)> patch;
  const char *logged;  // part of the log line expected
};

TEST(DwarfDamage, DamageIsLoggedAndPassedOver) {
  const DamageCase kCases[] = {
      {"unit longer than its section",
       [](std::vector<uint8_t> &b, const std::string &) {
         put32(&b, section_at(b, ".debug_info"), 0x7ffffff0);
       },
       "DWARF: damaged unit at 00000000"},
      {"abbreviations outside their section",
       [](std::vector<uint8_t> &b, const std::string &) {
         put32(&b, section_at(b, ".debug_info") + 8, 0x7ffffff0);
       },
       "DWARF: damaged unit at 00000000"},
      {"line program longer than its section",
       [](std::vector<uint8_t> &b, const std::string &) {
         put32(&b, section_at(b, ".debug_line"), 0x7ffffff0);
       },
       "DWARF: damaged line program at 00000000"},
      {"line header longer than its program",
       [](std::vector<uint8_t> &b, const std::string &) {
         put32(&b, section_at(b, ".debug_line") + 6 + 2, 0x7ffffff0);
       },
       "DWARF: damaged line program at 00000000"},
      {"abbreviation code unknown",
       [](std::vector<uint8_t> &b, const std::string &file) {
         b[section_at(b, ".debug_info") + dwarfdump_entries(file)[0].offset] = 0x7f;
       },
       "DWARF: damaged unit at 00000000"},
      {"typedef naming itself", typedef_names_itself, "DWARF debug information found"},
      {".debug_abbrev placed past the file's end", abbrevs_past_end,
       "DWARF: .debug_info or .debug_abbrev lies outside the file"},
  };
  for (const char *program : {"c_dwarf5_seed", "c_dwarf2_seed", "cpp_dwarf4_seed"}) {
    std::string file = std::string(DWARF_PROGRAMS) + "/" + program + ".exe";
    std::vector<uint8_t> original = read_whole_file(file);
    ASSERT_FALSE(original.empty()) << file;
    for (const DamageCase &c : kCases) {
      SCOPED_TRACE(std::string(program) + ": " + c.name);
      std::vector<uint8_t> bytes = original;
      c.patch(bytes, file);
      // An exact-size copy, so that a read past the end is caught.
      std::vector<uint8_t> exact(bytes.begin(), bytes.end());
      recording_reset();
      DwarfCounts counts = {};
      dwarf_load(recording_api(), exact.data(), exact.size(), &counts);
      EXPECT_NE(std::string::npos, recording()->log.find(c.logged)) << recording()->log;
      // The COFF symbols are read whatever the DWARF holds.
      EXPECT_GT(counts.coff_symbols, 0u);
    }
  }
}

}  // namespace
