// The code panel's line window over the code of a real DLL, its exports forcing line starts
// as symbols do in the program, and over a corpus program built by another compiler: every
// line ends where the next begins, the anchor is a line, and from the first forced start on
// the lines are Zydis's commands, cut short only where a forced start (exports, and
// stand-ins for found places) falls inside one. And the window at the ends of the address
// space.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "symbols/entries.h"
#include "symbols/tests/symbols_fixture.h"
#include "tests/oracle/zydis_view.h"
#include "tools/code_corpus.h"
#include "ui/panels/code/code_panel_lines.h"
#include "util/zone.h"
#include "x86/disasm.h"

namespace {

const uint32_t kBase = 0x10000000;

// An image's code sections as the debuggee would hold them at kBase.
struct Image {
  const char *name;
  CodeCorpus corpus;
  int32_t shift = 0;  // from the loaded address to the corpus's (its preferred) address
};

int read_image(void *context, uint32_t address, uint8_t *out, int count) {
  const Image *image = (const Image *)context;
  const uint32_t a = address + (uint32_t)image->shift;
  for (const CodeBlock &b : image->corpus.blocks)
    if (!strcmp(b.module, image->name) && a >= b.address && a - b.address < b.size) {
      const uint32_t left = b.size - (a - b.address);
      const int n = left < (uint32_t)count ? (int)left : count;
      memcpy(out, image->corpus.bytes.data() + b.offset + (a - b.address), (size_t)n);
      return n;
    }
  return 0;
}

// The exports, and every 61st address as places a search found would be.
const uint32_t kFound = 61;
uint32_t next_start(void *, uint32_t address) {
  const EntryRecord *e = entry_after(address);
  const uint32_t found = (address / kFound + 1) * kFound;
  return e && e->address < found ? e->address : found;
}

// Zydis's length of the command at p, 0 where it is outside our decoder's instruction set.
// The few aliases Zydis knows and our decoder refuses (C0 /6) are one-byte lines.
int zydis_length(const CodeSource *source, uint32_t p) {
  uint8_t bytes[CODE_READ];
  const int count = source->read(source->context, p, bytes, CODE_READ);
  ZydisView view;
  zydis_view(bytes, (size_t)count, p, &view);
  if (!ZYAN_SUCCESS(view.status) || !view.in_set) return 0;
  DisasmResult ours;
  decode_command(bytes, count, p, &ours, DECODE_ANALYSE);
  return code_undecodable(ours.error) ? 1 : view.length;
}

int line_length(const CodeWindow &w, int i) {
  return (int)(w.lines[i + 1].address - w.lines[i].address);
}

class CodeLines : public SymbolsTest {
 protected:
  // The image's code loaded as a module at kBase; the code section's bounds there.
  bool load_image(const char *dir, Image *image, uint32_t *low, uint32_t *high) {
    if (!corpus_load(dir, image->name, 1, &image->corpus)) return false;
    const ModuleRecord *module = load(std::string(dir) + "/" + image->name, kBase, 0x1000000);
    const CodeBlock *text = nullptr;
    for (const CodeBlock &b : image->corpus.blocks)
      if (!strcmp(b.module, image->name)) text = &b;
    if (!module || !text) return false;
    for (int s = 0; s < module->section_count; s++)
      if (!strcmp(module->sections[s].name, text->section))
        image->shift = (int32_t)(text->address - module->sections[s].address);
    *low = text->address - (uint32_t)image->shift + CODE_SPAN;
    *high = *low + text->size - 3 * CODE_SPAN;
    return true;
  }
  // Builds the window around each anchor and walks it with Zydis from its first forced
  // start, cutting at every one: the lines must be Zydis's commands, cut short only where a
  // forced start falls inside one.
  void check_windows(Image *image, const std::vector<uint32_t> &anchors) {
    const CodeSource source = {image, read_image, next_start};
    int walked = 0, checked = 0, cuts = 0;
    CodeWindow w = {};
    for (uint32_t anchor : anchors) {
      ASSERT_EQ(code_build_window(&w, &source, anchor, CODE_SPAN), w.count);
      SCOPED_TRACE(::testing::Message() << std::hex << "anchor " << anchor);
      ASSERT_EQ(anchor - CODE_SPAN, w.lines[0].address);
      EXPECT_GE(w.lines[w.count - 1].address + 16, anchor + CODE_SPAN);
      EXPECT_LE(w.lines[w.count - 1].address, anchor + CODE_SPAN);
      const int at = code_line_at(&w, anchor);
      ASSERT_EQ(anchor, w.lines[at].address);
      int i = code_line_at(&w, next_start(nullptr, w.lines[0].address));
      ASSERT_EQ(next_start(nullptr, w.lines[0].address), w.lines[i].address);
      while (i + 1 < w.count) {
        const uint32_t p = w.lines[i].address;
        const uint32_t forced = next_start(nullptr, p);
        const int length = zydis_length(&source, p);
        walked++;
        if (!length) {  // out of step with Zydis until the next forced start
          if (!forced || forced > w.lines[w.count - 1].address) break;
          i = code_line_at(&w, forced);
          ASSERT_EQ(forced, w.lines[i].address);
          continue;
        }
        const bool cut = forced > p && forced < p + (uint32_t)length;
        ASSERT_EQ(cut ? (int)(forced - p) : length, line_length(w, i)) << "at " << p;
        ASSERT_EQ(cut, w.lines[i].cut) << "at " << p;
        cuts += cut;
        checked++;
        i++;
      }
    }
    code_free_window(&w);
    // Most lines lie in the instruction sets that both decoders know, and many are cut.
    EXPECT_GE(checked * 10, walked * 9);
    EXPECT_GE(cuts, (int)anchors.size());
  }
};

}  // namespace

TEST_F(CodeLines, RealCodeFollowsZydisFromEveryForcedStart) {
  Image image;
  image.name = "msvcrt.dll";
  uint32_t low, high;
  ASSERT_TRUE(load_image(WINE_PE_DIR, &image, &low, &high));
  std::vector<uint32_t> anchors;  // every few exports, not all
  for (EntryRecord *e = entry_after(low - 1); e && e->address < high; e = entry_after(e->address + 97))
    anchors.push_back(e->address);
  EXPECT_GE(anchors.size(), 20u);
  check_windows(&image, anchors);
}

// A program compiled by another compiler than Wine's, with no exports: the forced starts
// are the found places alone, and the anchors (which the program takes from lines) found
// places every 3 KB of its code.
TEST_F(CodeLines, ACorpusProgramFollowsZydisToo) {
  Image image;
  image.name = "peekPE.exe";
  uint32_t low, high;
  ASSERT_TRUE(load_image(KQ_CORPUS_PEEKPE, &image, &low, &high));
  std::vector<uint32_t> anchors;
  for (uint32_t a = low; a < high; a += 3 * 1024) anchors.push_back(next_start(nullptr, a));
  EXPECT_GE(anchors.size(), 10u);
  check_windows(&image, anchors);
}

namespace {

int read_nothing(void *, uint32_t, uint8_t *, int) { return 0; }
uint32_t no_starts(void *, uint32_t) { return 0; }
// NOPs everywhere: one byte each, so the lines count the bytes of the window.
int read_nops(void *, uint32_t, uint8_t *out, int count) {
  memset(out, 0x90, (size_t)count);
  return count;
}

}  // namespace

TEST(CodeLineWindow, HeldInsideTheAddressSpace) {
  const int blocks = zone_block_count();
  const CodeSource unreadable = {nullptr, read_nothing, no_starts};
  const CodeSource nops = {nullptr, read_nops, no_starts};
  struct Case {
    const CodeSource *source;
    uint32_t anchor, span, first, last;
  } cases[] = {
      {&unreadable, 0x401000, CODE_SPAN, 0x401000 - CODE_SPAN, 0x401000 + CODE_SPAN},
      {&nops, 0x10, CODE_SPAN, 0, 0x10 + CODE_SPAN},
      {&nops, 0xFFFFFF80, CODE_SPAN, 0xFFFFFF80 - CODE_SPAN, 0xFFFFFFFF},
      {&unreadable, 0xFFFFFFFF, CODE_GOTO_SPAN, 0xFFFFFFFF - CODE_GOTO_SPAN, 0xFFFFFFFF},
      {&nops, 0, 0, 0, 0},
  };
  CodeWindow w = {};
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.anchor);
    EXPECT_EQ((int)(c.last - c.first + 1), code_build_window(&w, c.source, c.anchor, c.span));
    EXPECT_EQ(c.first, w.lines[0].address);
    EXPECT_EQ(c.last, w.lines[w.count - 1].address);
    EXPECT_EQ(c.anchor, w.lines[code_line_at(&w, c.anchor)].address);
    EXPECT_EQ(0, code_line_at(&w, c.first - (c.first > 0)));  // below the window: the first
  }
  code_free_window(&w);
  EXPECT_EQ(blocks, zone_block_count());
}
