// The PE section reader on a built image, on damaged copies of it, and on real DLLs.
#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "tests/support/pe_builder.h"
#include "tools/code_corpus.h"
#include "tools/pe_sections.h"

namespace {

const uint32_t kPeOffset = PeBuilder::PE;
size_t section_field(int index, int offset) { return PeBuilder::section_field(index, offset); }

// A small image: ".text" (code, 0x30 bytes in memory, 0x200 in the file) and ".data".
Bytes make_image() {
  PeBuilder pe(0x600, 0x10000000);
  pe.section(0, ".text", 0x30, 0x1000, 0x200, 0x200, 0x60000020);
  pe.section(1, ".data", 0x1000, 0x2000, 0x200, 0x400, 0xC0000040);
  return pe.bytes;
}

// Reads from an exactly sized heap copy, so that a read past the end is caught.
const char *read_exact(const std::vector<uint8_t> &bytes, size_t size, PeImage *image) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
  memcpy(copy.get(), bytes.data(), size);
  return pe_read_sections(copy.get(), size, image);
}

TEST(PeSections, ReadsBuiltImage) {
  PeImage image;
  std::vector<uint8_t> b = make_image();
  ASSERT_EQ(nullptr, read_exact(b, b.size(), &image));
  EXPECT_EQ(0x10000000u, image.optional.image_base);
  ASSERT_EQ(2, image.section_count);
  const PeSectionHeader *text = &image.sections[0], *data = &image.sections[1];
  EXPECT_STREQ(".text", text->name);
  EXPECT_EQ(0x1000u, text->rva);
  EXPECT_EQ(0x200u, text->raw_offset);
  EXPECT_EQ(0x30u, pe_section_size(text));  // the file padding beyond the virtual size is left out
  EXPECT_TRUE(pe_is_code(text));
  EXPECT_EQ(0x200u, pe_section_size(data));
  EXPECT_FALSE(pe_is_code(data));
}

TEST(PeSections, RefusesDamagedImages) {
  struct Damage {
    size_t at;
    int width;  // 2 or 4
    uint32_t value;
    const char *error;
  };
  const Damage cases[] = {
      {0, 2, 0x5A4E, "no MZ header"},
      {0x3C, 4, 0x5F0, "no PE signature"},
      {0x3C, 4, 0xFFFFFFF0, "no PE signature"},
      {kPeOffset, 4, 0x00004551, "no PE signature"},
      {kPeOffset + 4, 2, 0x8664, "not an i386 image"},
      {kPeOffset + 24, 2, 0x20B, "not a 32-bit (PE32) optional header"},
      {kPeOffset + 20, 2, 0, "optional header too short"},
      {kPeOffset + 20, 2, 0x5F, "optional header too short"},
      {kPeOffset + 20, 2, 0xFFFF, "optional header runs past the end of the file"},
      {kPeOffset + 6, 2, PE_MAX_SECTIONS + 1, "too many sections"},
      {kPeOffset + 6, 2, 90, "section table runs past the end of the file"},
      {section_field(1, 20), 4, 0x500, "section data runs past the end of the file"},
      {section_field(1, 16), 4, 0xFFFFFFFF, "section data runs past the end of the file"},
      {section_field(0, 20), 4, 0xFFFFFF00, "section data runs past the end of the file"},
  };
  for (const Damage &d : cases) {
    std::vector<uint8_t> b = make_image();
    if (d.width == 2) put16(&b, d.at, d.value);
    else put32(&b, d.at, d.value);
    PeImage image;
    const char *error = read_exact(b, b.size(), &image);
    ASSERT_NE(nullptr, error) << "damage at " << d.at;
    EXPECT_STREQ(d.error, error) << "damage at " << d.at;
  }
}

TEST(PeSections, EveryCutImageIsReadOrRefusedWithinItsBytes) {
  std::vector<uint8_t> b = make_image();
  for (size_t size = 0; size <= b.size(); size++) {
    PeImage image;
    if (read_exact(b, size, &image)) continue;
    for (int i = 0; i < image.section_count; i++) {
      const PeSectionHeader *s = &image.sections[i];
      uint32_t bytes = pe_section_size(s);
      EXPECT_LE(bytes ? (size_t)s->raw_offset + bytes : 0, size) << "cut at " << size;
    }
  }
}

TEST(PeSections, ReadsTheWineDlls) {
  ASSERT_EQ(access(WINE_PE_DIR "/kernel32.dll", R_OK), 0) << "no " WINE_PE_DIR " (tools/setup.sh installs Wine)";
  // Every fifth DLL keeps the run short; all of them are read by the decoder's oracle.
  CodeCorpus corpus;
  ASSERT_TRUE(corpus_load(WINE_PE_DIR, ".dll", 5, &corpus));
  EXPECT_GT(corpus.module_count, 50);
  EXPECT_EQ(0, corpus.skipped_count);
  // A few DLLs hold only resources.
  EXPECT_GT(corpus.blocks.size(), (size_t)corpus.module_count * 9 / 10);
  for (const CodeBlock &block : corpus.blocks) {
    EXPECT_STREQ(".text", block.section) << block.module;
    EXPECT_EQ(0u, block.address & 0xFFF) << block.module;
  }
}

}  // namespace
