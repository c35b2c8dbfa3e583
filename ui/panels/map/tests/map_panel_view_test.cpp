// The map panel's arithmetic over a real image (Wine's msvcrt.dll loaded as a module):
// where addresses lie on the bar and back, the drag that gets finer sideways, the empty
// map outside every module, the bands' colours and the hint, and the shown record.
#include <gtest/gtest.h>

#include "symbols/tests/symbols_fixture.h"
#include "ui/panels/code/code_position.h"
#include "ui/panels/map/map_panel_view.h"

namespace {

const uint32_t kBase = 0x10000000, kSize = 0x100000;
const int kWidth = 30, kHeight = MAP_TOP + 2 * MAP_INSET + 1000;  // a map 1000 pixels high

class MapView_ : public SymbolsTest {
 protected:
  void SetUp() override {
    SymbolsTest::SetUp();
    ASSERT_TRUE(load(wine_dll("msvcrt.dll"), kBase, kSize));
    rect_ = map_rect(kWidth, kHeight);
    ASSERT_TRUE(map_view_build(&view_, kBase + 0x1234));
  }
  void TearDown() override {
    map_view_free(&view_);
    SymbolsTest::TearDown();
  }
  int section(const char *name) const {
    for (int i = 0; i < view_.section_count; i++)
      if (!strcmp(view_.sections[i].name, name)) return i;
    return -1;
  }
  MapView view_ = {};
  MapRect rect_ = {};
};

TEST_F(MapView_, RectangleBelowTheControl) {
  EXPECT_EQ(2, rect_.left);
  EXPECT_EQ(82, rect_.top);
  EXPECT_EQ(28, rect_.right);
  EXPECT_EQ(1082, rect_.bottom);
  EXPECT_EQ(kBase, view_.base);
  EXPECT_EQ(kSize, view_.size);
  EXPECT_NE(std::string::npos, std::string(view_.path).find("msvcrt.dll"));
}

TEST_F(MapView_, YOfAnAddress) {
  struct Case {
    uint32_t address;
    bool inside;
    int y;
  };
  const Case cases[] = {
      {kBase, true, 82},
      {kBase + kSize / 2, true, 582},
      {kBase + kSize / 4 + 0x100, true, 332},  // 250.24 pixels down
      {kBase + kSize / 4 + 0x300, true, 333},  // 250.73: rounded as MulDiv does
      {kBase + kSize - 1, true, 1082},
      {kBase - 1, false, 0},
      {kBase + kSize, false, 0},
      {0, false, 0},
  };
  for (const Case &c : cases) {
    int y = 0;
    EXPECT_EQ(c.inside, map_y_of(&view_, &rect_, c.address, &y)) << std::hex << c.address;
    if (c.inside) {
      EXPECT_EQ(c.y, y) << std::hex << c.address;
    }
  }
}

// Every pixel of the map stands for an address that is drawn on that pixel again.
TEST_F(MapView_, PositionFromY) {
  uint32_t address = 0;
  EXPECT_FALSE(map_address_at(&view_, &rect_, rect_.top - 1, &address));
  EXPECT_FALSE(map_address_at(&view_, &rect_, rect_.bottom, &address));
  ASSERT_TRUE(map_address_at(&view_, &rect_, rect_.top, &address));
  EXPECT_EQ(kBase, address);
  ASSERT_TRUE(map_address_at(&view_, &rect_, 582, &address));
  EXPECT_EQ(kBase + kSize / 2, address);
  uint32_t last = 0;
  for (int y = rect_.top; y < rect_.bottom; y++) {
    ASSERT_TRUE(map_address_at(&view_, &rect_, y, &address)) << y;
    int back = 0;
    ASSERT_TRUE(map_y_of(&view_, &rect_, address, &back));
    EXPECT_EQ(y, back) << std::hex << address;
    if (y > rect_.top) {
      EXPECT_GT(address, last);
    }
    last = address;
  }
}

// A panel too low for the control and the map draws nothing and points nowhere.
TEST_F(MapView_, NoRoomBelowTheControl) {
  for (int height : {0, (int)MAP_TOP, MAP_TOP + 2 * MAP_INSET}) {
    const MapRect r = map_rect(kWidth, height);
    int y = 0, top = 0, bottom = 0;
    uint32_t address = 0;
    EXPECT_FALSE(map_y_of(&view_, &r, kBase, &y)) << height;
    EXPECT_FALSE(map_address_at(&view_, &r, r.top, &address)) << height;
    EXPECT_FALSE(map_band(&view_, &r, 0, &top, &bottom)) << height;
    EXPECT_EQ(-1, map_section_at(&view_, &r, r.top)) << height;
  }
}

TEST(MapDrag, OffsetGetsFinerSideways) {
  struct Case {
    int dx, dy, offset;
  };
  const Case cases[] = {
      {0, 10, 10},     // straight down: the marker follows the mouse
      {10, 10, 3},     // 10 × 100 / (100 + 200)
      {-10, 10, 3},    // either side
      {0, -10, -10},   // up as down
      {10, -10, -3},
      {0, 1, 0},       // a pixel of jitter does not move
      {0, -1, 0},
      {7, 0, 0},
      {100, 10, 0},    // far to the side: barely moves
      {0, 400, 400},
      {20, 400, 398},  // 400 × 160000 / 160800
  };
  for (const Case &c : cases)
    EXPECT_EQ(c.offset, map_drag_offset(c.dx, c.dy)) << c.dx << "," << c.dy;
}

TEST_F(MapView_, DragFromTheMarkersEdge) {
  const MapDrag drag = {rect_.left, 300};
  struct Case {
    int x, y;
    bool inside;
    int at;  // the y whose address the drag stands for
  };
  const Case cases[] = {
      {rect_.left, 300, true, 300},      // the press itself
      {rect_.left, 310, true, 310},
      {rect_.left + 10, 310, true, 303},
      {rect_.left + 10, 290, true, 297},
      {rect_.left, 82, true, 82},
      {rect_.left, 81, false, 0},        // above the map: the position stays
      {rect_.left, 1082, false, 0},      // below it
      {rect_.left + 200, 1082, true, 991},  // 300 + 782 × 782² / (782² + 2 × 200²)
  };
  for (const Case &c : cases) {
    uint32_t address = 0, expected = 0;
    EXPECT_EQ(c.inside, map_drag_address(&view_, &rect_, &drag, c.x, c.y, &address))
        << c.x << "," << c.y;
    if (!c.inside) continue;
    ASSERT_TRUE(map_address_at(&view_, &rect_, c.at, &expected));
    EXPECT_EQ(expected, address) << c.x << "," << c.y;
  }
}

TEST_F(MapView_, EmptyOutsideEveryModule) {
  EXPECT_FALSE(map_view_build(&view_, kBase + kSize));
  EXPECT_EQ(0u, view_.size);
  EXPECT_EQ(0, view_.section_count);
  EXPECT_EQ(nullptr, view_.sections);
  int y = 0;
  uint32_t address = 0;
  EXPECT_FALSE(map_y_of(&view_, &rect_, kBase, &y));
  EXPECT_FALSE(map_address_at(&view_, &rect_, 500, &address));
  const MapDrag drag = {rect_.left, 300};
  EXPECT_FALSE(map_drag_address(&view_, &rect_, &drag, rect_.left, 310, &address));
  EXPECT_EQ(-1, map_section_at(&view_, &rect_, 500));
  char hint[KQ_PATH] = "old";
  EXPECT_FALSE(map_hint(&view_, &rect_, 500, hint, sizeof hint));
  EXPECT_STREQ("", hint);
  EXPECT_TRUE(map_view_build(&view_, kBase));  // and back
  EXPECT_GT(view_.section_count, 3);
}

TEST(MapBands, Colours) {
  struct Case {
    uint32_t characteristics;
    bool hover;
    uint32_t colour;
  };
  const Case cases[] = {
      {0x60000020, true, 0x00FFFF},   // code
      {0x60000020, false, 0x00F5F5},  // 255 × 245 / 255 per channel
      {0xE0000020, true, 0x00FFFF},   // writable code is still code
      {0xC0000040, true, 0xFFFFFF},   // writable data
      {0xC0000040, false, 0xF5F5F5},
      {0x40000040, true, 0xF0F0F0},   // read-only data
      {0x40000040, false, 0xE6E6E6},  // 240 × 245 / 255 = 230.6
      {0, true, 0xF0F0F0},
  };
  for (const Case &c : cases)
    EXPECT_EQ(c.colour, map_band_colour(c.characteristics, c.hover))
        << std::hex << c.characteristics << " " << c.hover;
}

// The bands follow the image's sections in address order; the hint names the band under
// the mouse with its flags.
TEST_F(MapView_, BandsAndHint) {
  struct Case {
    const char *name, *hint;
  };
  const Case cases[] = {
      {".text", "SECTION '.text' = EXECUTABLE | INITIATED | EXECUTE | READ"},
      {".data", "SECTION '.data' = INITIATED | READ | WRITE"},
      {".rdata", "SECTION '.rdata' = INITIATED | READ"},
  };
  for (const Case &c : cases) {
    const int i = section(c.name);
    ASSERT_GE(i, 0) << c.name;
    int top = 0, bottom = 0;
    ASSERT_TRUE(map_band(&view_, &rect_, i, &top, &bottom)) << c.name;
    ASSERT_GT(bottom, top) << c.name;
    EXPECT_EQ(i, map_section_at(&view_, &rect_, (top + bottom) / 2)) << c.name;
    char hint[KQ_PATH];
    EXPECT_TRUE(map_hint(&view_, &rect_, (top + bottom) / 2, hint, sizeof hint));
    EXPECT_STREQ(c.hint, hint);
  }
  int previous = rect_.top;
  for (int i = 0; i < view_.section_count; i++) {
    const SectionInfo &s = view_.sections[i];
    int top = 0, bottom = 0;
    // The module is given less room than the image asks: its last sections lie outside.
    ASSERT_EQ(s.address < kBase + kSize, map_band(&view_, &rect_, i, &top, &bottom)) << s.name;
    if (s.address >= kBase + kSize) continue;
    EXPECT_GE(top, previous) << view_.sections[i].name;
    EXPECT_LE(top, bottom) << view_.sections[i].name;
    EXPECT_LE(bottom, rect_.bottom) << view_.sections[i].name;
    previous = bottom;
  }
  EXPECT_FALSE(map_band(&view_, &rect_, view_.section_count, &previous, &previous));
}

// The map shows the record of the panel that took the focus; plug-ins get its address.
TEST_F(MapView_, ShownRecord) {
  positions_reset();
  position_set(&g_positions[POSITION_CODE], kBase + 0x100);
  position_set(&g_positions[POSITION_DATA], kBase + 0x200);
  changes_clear();
  EXPECT_EQ(kBase + 0x100, position_shown_address());
  position_show(POSITION_CODE);  // already shown: nothing changes
  EXPECT_FALSE(g_changes.pending[CHG_LAYOUT]);
  position_show(POSITION_DATA);
  EXPECT_TRUE(g_changes.pending[CHG_LAYOUT]);
  EXPECT_EQ(kBase + 0x200, position_shown_address());
  position_show(7);  // no such record
  EXPECT_EQ(POSITION_DATA, g_position_shown);
  position_show(POSITION_CODE);
  EXPECT_EQ(kBase + 0x100, position_shown_address());
  positions_reset();
}

// The up-down control steps the history both ways, and no further than its ends.
TEST_F(MapView_, HistoryBackAndForward) {
  positions_reset();
  PanelPosition *code = &g_positions[POSITION_CODE];
  for (uint32_t i = 1; i <= 3; i++) {
    position_push(code);
    position_set(code, kBase + 0x10 * i);
  }
  struct Step {
    int delta;
    uint32_t address;
  };
  const Step steps[] = {{1, kBase + 0x20}, {1, kBase + 0x10}, {1, kBase + 0x10},
                        {-1, kBase + 0x20}, {-1, kBase + 0x30}, {-1, kBase + 0x30},
                        {2, kBase + 0x10}};
  for (const Step &s : steps) {
    position_back(code, s.delta);
    EXPECT_EQ(s.address, code->address) << s.delta;
  }
  positions_reset();
}

}  // namespace
