// The code panel's moves over memory of one-byte commands, measured with the fixed-width
// fonts (16-pixel lines): go to, cursor moves inside the page and past it, scrolling to the
// end of the address space, and the selection in the listing.
#include <gtest/gtest.h>

#include "symbols/tests/symbols_fixture.h"
#include "ui/panels/code/code_panel_view.h"
#include "ui/panels/code/code_position.h"
#include "ui/rich_text/tests/rich_text_doc.h"

namespace {

const int kLine = 16, kPage = 10;

int read_nops(void *, uint32_t, uint8_t *out, int count) {
  memset(out, 0x90, (size_t)count);
  return count;
}
uint32_t no_starts(void *, uint32_t) { return 0; }
CodeRegionStart no_region(void *, uint32_t, char *, size_t) { return CODE_NO_REGION; }
bool no_breakpoint(void *, uint32_t) { return false; }
bool no_comment(void *, uint32_t, uint32_t, char *, size_t) { return false; }

class CodeMoves : public SymbolsTest {
 protected:
  void SetUp() override {
    SymbolsTest::SetUp();
    doc_ = new RichDoc;
    screen_.listing = doc_->dd;
    screen_.view = &view_;
    screen_.top = screen_.bottom = screen_.page_above = screen_.cursor = CODE_NONE;
    screen_.height = kPage * kLine;
  }
  void TearDown() override {
    code_free_window(&screen_.window);
    delete doc_;
    SymbolsTest::TearDown();
  }
  uint32_t top() const { return screen_.window.lines[screen_.top].address; }
  uint32_t cursor() const { return code_cursor_address(&screen_); }
  RichDoc *doc_ = nullptr;  // made after the fixture counts the blocks
  CodeSource source_ = {nullptr, read_nops, no_starts};
  CodeMarks marks_ = {nullptr, no_region, no_breakpoint, no_comment};
  CodeView view_ = {&source_, &marks_, false, 0, 0, 0};
  CodeScreen screen_ = {};
};

}  // namespace

TEST_F(CodeMoves, GoToMoveAndScroll) {
  EXPECT_FALSE(code_move_cursor(&screen_, 1));  // nothing shown yet
  EXPECT_FALSE(code_scroll(&screen_, 1));
  struct Step {
    const char *what;
    int go_to;  // an address to go to, or 0 for a cursor move of move lines
    int move;
    uint32_t top, cursor;
  } steps[] = {
      // A third of the page above the address: four 16-pixel lines reach 53 pixels.
      {"go to", 0x401000, 0, 0x400FFD, 0x401000},
      {"down", 0, 1, 0x400FFD, 0x401001},
      {"to a line on the page", 0x401005, 0, 0x400FFD, 0x401005},
      // The last line that fits is not entered: the view scrolls under the cursor, which
      // keeps its place on the screen.
      {"past the page", 0, 5, 0x401002, 0x40100A},
      {"up on the page", 0, -5, 0x401002, 0x401005},
      {"past the top", 0, -10, 0x400FF8, 0x400FFB},
      {"far off", 0x500000, 0, 0x4FFFFD, 0x500000},
  };
  for (const Step &s : steps) {
    SCOPED_TRACE(s.what);
    if (s.go_to) code_go_to(&screen_, (uint32_t)s.go_to);
    else EXPECT_TRUE(code_move_cursor(&screen_, s.move));
    EXPECT_EQ(s.top, top());
    EXPECT_EQ(s.cursor, cursor());
    EXPECT_EQ(screen_.top + kPage - 1, screen_.bottom);
    EXPECT_EQ(screen_.top - kPage, screen_.page_above);
  }
}

TEST_F(CodeMoves, PagingStopsAtTheEndOfTheAddressSpace) {
  code_go_to(&screen_, 0xFFFFFFF8);
  for (int i = 0; i < 3; i++) EXPECT_TRUE(code_scroll(&screen_, screen_.bottom - screen_.top));
  EXPECT_EQ(0xFFFFFFFFu, top());
  EXPECT_EQ(screen_.window.count - 1, screen_.top);
  EXPECT_EQ(screen_.top, screen_.bottom);
  code_go_to(&screen_, 8);
  for (int i = 0; i < 3; i++) EXPECT_TRUE(code_scroll(&screen_, screen_.page_above - screen_.top));
  EXPECT_EQ(0u, top());
}

TEST_F(CodeMoves, SelectionInTheListing) {
  code_go_to(&screen_, 0x401000);
  struct Case {
    uint32_t start, end;
    int from, to;  // listing lines, -1 for no selection
  } cases[] = {
      {0x401001, 0x401003, 4, 6}, {0x401003, 0x401001, 4, 6},  // either order
      {0x401000, 0x401000, -1, -1},
      {0x400000, 0x401001, -2, 4},  // from above the page: the listing's start
  };
  for (const Case &c : cases) {
    screen_.select_start = c.start;
    screen_.select_end = c.end;
    code_show_selection(&screen_);
    const int from = c.from == -2 ? 0 : c.from < 0 ? -1 : rich_line_start(doc_->dd, c.from);
    const int to = c.to < 0 ? -1 : rich_line_start(doc_->dd, c.to);
    EXPECT_EQ(from, doc_->dd->selstart) << std::hex << c.start;
    EXPECT_EQ(to, doc_->dd->selend) << std::hex << c.start;
  }
}

// The position records: set, the history of places inside modules, back and follow.
TEST_F(CodeMoves, PositionHistory) {
  const uint32_t base = 0x10000000;
  ASSERT_TRUE(load(wine_dll("msvcrt.dll"), base, 0x100000));
  positions_reset();
  PanelPosition *code = &g_positions[POSITION_CODE];
  position_set(code, 0);
  EXPECT_EQ(0u, code->address);
  EXPECT_FALSE(g_changes.pending[CHG_CODE_POSITION]);
  position_set(code, 0x401000);  // outside any module: not kept by a push
  EXPECT_TRUE(g_changes.pending[CHG_CODE_POSITION]);
  position_push(code);
  EXPECT_EQ(0, code->index);
  for (uint32_t i = 1; i <= 12; i++) {  // more than the history holds
    position_set(code, base + i);
    position_push(code);
  }
  EXPECT_EQ(POSITION_HISTORY - 1, code->index);
  position_set(code, base + 13);
  position_back(code, 3);
  EXPECT_EQ(base + 10, code->address);
  position_back(code, 100);
  EXPECT_EQ(base + 4, code->address);  // the oldest kept
  position_follow(base + 0x20, false);
  EXPECT_EQ(base + 0x20, g_positions[POSITION_DATA].address);
  EXPECT_EQ(base + 4, code->address);
  position_follow(base + 0x30, true);
  EXPECT_EQ(base + 0x30, code->address);
  position_back(code, 1);
  EXPECT_EQ(base + 4, code->address);
  positions_reset();
}

namespace {

uint8_t g_bytes[0x3000];  // the debuggee's bytes from 0x400000
int read_bytes(uint32_t address, uint8_t *out, int count) {
  int n = 0;
  for (; n < count && address + (uint32_t)n - 0x400000 < sizeof g_bytes; n++)
    out[n] = g_bytes[address + (uint32_t)n - 0x400000];
  return n;
}

}  // namespace

// A broadcast rebuilds the window only when the bytes around its anchor changed: a write
// inside them or a new anchor does, a write beside them or nothing does not.
TEST(CodeSnapshot, ChangedOnlyByTheBytesAroundTheAnchor) {
  CodeSnapshot snapshot = {};
  const uint32_t anchor = 0x401000;
  EXPECT_TRUE(code_snapshot_changed(&snapshot, read_bytes, anchor));  // the first look
  struct Step {
    const char *what;
    uint32_t write, anchor;  // write: a byte changed there first (0: none)
    bool changed;
  } steps[] = {
      {"nothing", 0, anchor, false},
      {"the first byte", anchor - CODE_SPAN, anchor, true},
      {"the last byte", anchor + CODE_SPAN - 1, anchor, true},
      {"just past it", anchor + CODE_SPAN, anchor, false},
      {"just before it", anchor - CODE_SPAN - 1, anchor, false},
      {"a new anchor", 0, anchor + 1, true},
      {"partly unreadable", 0, 0x402C00, true},
      {"still so", 0, 0x402C00, false},
  };
  for (const Step &s : steps) {
    if (s.write) g_bytes[s.write - 0x400000]++;
    EXPECT_EQ(s.changed, code_snapshot_changed(&snapshot, read_bytes, s.anchor)) << s.what;
  }
  EXPECT_EQ(0x402C00u - CODE_SPAN, snapshot.start);
  EXPECT_EQ(0x403000 - (int)snapshot.start, snapshot.size);
}
