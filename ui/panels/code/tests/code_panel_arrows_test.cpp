// Jump arrows over hand-assembled code: which jumps get an arrow, its members and span, and
// the lanes that nest overlapping arrows.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "symbols/tests/symbols_fixture.h"
#include "ui/panels/code/code_panel_arrows.h"
#include "ui/panels/code/code_panel_listing.h"
#include "ui/rich_text/tests/rich_text_doc.h"
#include "util/zone.h"

namespace {

const uint32_t kCode = 0x1000;
// NOPs around the commands below.
const uint8_t kCommands[] = {
    0xEB, 0xFE,  // 1000 jmp 1000: to itself
    0x74, 0x04,  // 1002 je 1008
    0x75, 0x02,  // 1004 jne 1008
    0xEB, 0x01,  // 1006 jmp 1009: into the middle of the next command
    0xB0, 0x01,  // 1008 mov al,1
    0x90,        // 100A
    0xEB, 0xF3,  // 100B jmp 1000
    0xEB, 0xF3,  // 100D jmp 1002
};
const uint32_t kFar = 0x1300;  // jmp 1000, more than 512 lines below it
const uint8_t kFarJump[] = {0xE9, 0xFB, 0xFC, 0xFF, 0xFF};

int read_code(void *, uint32_t address, uint8_t *out, int count) {
  for (int i = 0; i < count; i++) {
    const uint32_t a = address + (uint32_t)i;
    out[i] = a - kCode < sizeof kCommands ? kCommands[a - kCode]
             : a - kFar < sizeof kFarJump  ? kFarJump[a - kFar]
                                           : 0x90;
  }
  return count;
}
uint32_t no_starts(void *, uint32_t) { return 0; }

}  // namespace

TEST(CodeArrows, MembersSpansAndLanes) {
  const int blocks = zone_block_count();
  const CodeSource source = {nullptr, read_code, no_starts};
  CodeWindow w = {};
  ASSERT_GT(code_build_window(&w, &source, kCode, CODE_SPAN), 0);
  auto line = [&](uint32_t address) { return code_line_at(&w, address); };
  ASSERT_EQ(kCode, w.lines[line(kCode)].address);
  struct Expected {
    uint32_t target;
    std::vector<uint32_t> members;
    uint32_t first, last;
    int lane;
  } expected[] = {
      // Sorted by span: the innermost first.
      {0x1008, {0x1002, 0x1004, 0x1008}, 0x1002, 0x1008, 10},
      {0x1000, {0x1000, 0x100B}, 0x1000, 0x100B, 20},
      {0x1002, {0x1002, 0x100D}, 0x1002, 0x100D, 40},  // the third level steps twice
  };
  ASSERT_EQ(3, w.arrow_count);
  for (int a = 0; a < w.arrow_count; a++) {
    const JumpArrow &arrow = w.arrows[a];
    const Expected &e = expected[a];
    SCOPED_TRACE(::testing::Message() << std::hex << e.target);
    EXPECT_EQ(line(e.target), arrow.target);
    EXPECT_EQ(line(e.first), arrow.first);
    EXPECT_EQ(line(e.last), arrow.last);
    EXPECT_EQ(e.lane, arrow.lane);
    ASSERT_EQ(e.members.size(), arrow.member_count);
    for (int m = 0; m < arrow.member_count; m++)
      EXPECT_EQ(line(e.members[m]), arrow.members[m]);
    EXPECT_EQ(a, w.lines[arrow.target].target_arrow);
  }
  // Lines and the arrows they jump along.
  struct Source {
    uint32_t address;
    int arrow;
  } sources[] = {{0x1000, 1}, {0x1002, 0}, {0x1004, 0}, {0x1006, CODE_NONE},
                 {0x100B, 1}, {0x100D, 2}, {kFar, CODE_NONE}};
  for (const Source &s : sources)
    EXPECT_EQ(s.arrow, w.lines[line(s.address)].source_arrow) << s.address;
  EXPECT_EQ(CODE_NONE, w.lines[line(0x1008)].source_arrow);
  EXPECT_EQ(kFar, w.lines[line(kFar)].address);
  code_free_window(&w);
  EXPECT_EQ(blocks, zone_block_count());
}

namespace {

CodeRegionStart no_region(void *, uint32_t, char *, size_t) { return CODE_NO_REGION; }
bool no_breakpoint(void *, uint32_t) { return false; }

// The listing names addresses through the symbol stores, set up here.
class CodeArrowsPage : public SymbolsTest {};

}  // namespace

// A page of three lines from je 1008 on: the arrow to 1002 comes from above the page (the
// jump at 1002 itself is not written) and goes on below it to the jump at 100D; lines not
// written stand a page above or below, so its stem leaves the page at both ends.
TEST_F(CodeArrowsPage, ArrowsLeavingThePage) {
  const CodeSource source = {nullptr, read_code, no_starts};
  const CodeMarks marks = {nullptr, no_region, no_breakpoint, nullptr};
  const CodeView view = {&source, &marks, false, 0, 0, 0};
  CodeWindow w = {};
  ASSERT_GT(code_build_window(&w, &source, 0x1004, CODE_SPAN), 0);
  auto line = [&](uint32_t address) { return code_line_at(&w, address); };
  RichDoc doc;
  const int height = 3 * 16;
  const int last = code_fill_listing(doc.dd, &w, line(0x1004), 1, height, &view);
  ASSERT_LT(last, line(0x100D));
  struct Case {
    uint32_t address;
    int top;  // -1: the line's own top on the page
  } cases[] = {{0x1002, -height}, {0x1004, -1}, {0x100D, 2 * height}, {kFar, 2 * height},
               {0x0F00, -height}};
  for (const Case &c : cases) {
    const int i = line(c.address);
    const int expected = c.top == -1 ? rich_line_top(doc.dd, w.lines[i].document_line) : c.top;
    EXPECT_EQ(expected, code_line_top(doc.dd, &w, i, height)) << std::hex << c.address;
  }
  const JumpArrow *to_1002 = nullptr;
  for (int a = 0; a < w.arrow_count; a++)
    if (w.arrows[a].target == line(0x1002)) to_1002 = &w.arrows[a];
  ASSERT_TRUE(to_1002);
  EXPECT_LT(code_line_top(doc.dd, &w, to_1002->first, height), 0);
  EXPECT_GT(code_line_top(doc.dd, &w, to_1002->last, height), height);
  code_free_window(&w);
}
