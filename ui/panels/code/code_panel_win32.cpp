#include "ui/panels/code/code_panel_win32.h"
#include "ui/panels/panel_windows.h"

#include <stdio.h>
#include <string.h>

#include "engine/breakpoints.h"
#include "engine/debuggee.h"
#include "engine/execution.h"
#include "engine/memory.h"
#include "engine/regions.h"
#include "engine/registers.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "symbols/address_name.h"
#include "symbols/comments.h"
#include "symbols/entries.h"
#include "symbols/sources.h"
#include "ui/dialogs/search_progress_win32.h"
#include "ui/global_resources_win32.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"
#include "ui/layout.h"
#include "ui/panels/code/code_panel_arrows.h"
#include "ui/panels/code/code_panel_operands.h"
#include "ui/panels/code/code_position.h"
#include "ui/panels/code/recent_addresses.h"
#include "ui/panels/status_bar/status_bar_win32.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "ui/screen_helpers_win32.h"
#include "util/picture_win32.h"
#include "util/zone.h"
#include "x86/disasm.h"

CodePanel g_code;

namespace {

// Places and looks of the drawing.
enum {
  PATTERN_PICTURE = 110, ARROW_PICTURE = 100, BREAKPOINT_MARK = 0, IP_MARK = 1, IP_JUMP_MARK = 2,
  SOURCE_MARK = 3, PIECE = 16, CAP = 10, PIECE_WIDTH = 40, ARROW_X = 320, ARROW_X_BYTES = 420,
  ARROW_REACH = 60, ARROW_STEM = 35, FOCUSED_ALPHA = 60, UNFOCUSED_ALPHA = 20, WHEEL_STEP = 30,
};
const COLORREF kCursorBar = 0xFFC800;
const COLORREF kPieceClear = 0xFFFFFF;
const int kBuildFlags[] = {CHG_MEMORY, CHG_STATE, CHG_REGISTERS, 0};
const int kMarkFlags[] = {CHG_BREAKPOINTS, CHG_COMMENTS, 0};  // rebuilt without comparing

RichHandle handle_of(HGDIOBJ object) { return (RichHandle)(uintptr_t)object; }

int read_debuggee(void *, uint32_t address, uint8_t *out, int count) {
  return (int)memory_read(address, out, (uint32_t)count);
}

uint32_t nearer(uint32_t best, uint32_t candidate, uint32_t address) {
  return candidate > address && (!best || candidate < best) ? candidate : best;
}

// Lines start at the instruction pointer, region starts, symbols, source lines and the
// recently visited addresses: the entry point, the stops and the search's finds.
uint32_t next_start(void *, uint32_t address) {
  uint32_t best = region_next_boundary(address);
  if (best <= address) best = 0;
  if (debuggee_state() == DS_PAUSED) best = nearer(best, registers_ip(), address);
  const EntryRecord *entry = entry_after(address);
  if (entry) best = nearer(best, entry->address, address);
  best = nearer(best, source_next_line(address), address);
  return nearer(best, recent_address_next(address), address);
}

CodeRegionStart region_at(void *, uint32_t address, char *text, size_t textlen) {
  if (region_find(address) < 0 || region_start(address) != address) return CODE_NO_REGION;
  region_describe(address, text, textlen);
  return region_is_module_start(address) ? CODE_MODULE_START : CODE_REGION_START;
}

bool breakpoint_here(void *, uint32_t address) { return breakpoint_at(address) >= 0; }

bool comment_of(void *, uint32_t low, uint32_t high, char *text, size_t textlen) {
  return comment_text_at(low, high - low, text, textlen);
}

bool have_code() { return g_code.screen.window.count > 0; }

// The bytes around the anchor as they are now; true when they differ from the last look.
bool snapshot_changed() {
  return code_snapshot_changed(&g_code.snapshot, memory_reader, g_code.screen.window.anchor);
}

// The operands of the cursor command, and where "Follow" goes from there.
void update_box() {
  const uint32_t address = code_cursor_address(&g_code.screen);
  if (address) g_code.follow = code_write_operands(g_code.box, address, memory_reader,
                                                   handle_of(g_resources.fixed_font[0]));
  else rich_clear(g_code.box);
}

void go_to(uint32_t address) {
  code_go_to(&g_code.screen, address);
  snapshot_changed();
  code_panel_moved();
}

void listener(int) {
  const DebuggeeState state = debuggee_state();
  if (state == DS_NOTLOADED || state == DS_CLOSING) {
    if (have_code()) {
      code_free_window(&g_code.screen.window);
      rich_clear(g_code.screen.listing);
      g_code.screen.top = g_code.screen.bottom = g_code.screen.cursor = CODE_NONE;
      InvalidateRect(g_code.hwnd, nullptr, FALSE);
    }
    return;
  }
  if (have_code() && changes_test_any(kBuildFlags) && snapshot_changed()) {
    code_panel_rebuild();
  } else if (changes_test(CHG_CODE_POSITION)) {
    const uint32_t address = g_positions[POSITION_CODE].address;
    if (address && address != code_cursor_address(&g_code.screen)) go_to(address);
    else InvalidateRect(g_code.hwnd, nullptr, FALSE);
  } else if (have_code() && changes_test_any(kMarkFlags)) {
    code_panel_rebuild();
  } else if (changes_test_any(kBuildFlags)) {
    InvalidateRect(g_code.hwnd, nullptr, FALSE);  // the instruction pointer's mark moved
  }
}

// Grey glass at the top-right corner, with the operands right-aligned in it.
void draw_box(HDC dc) {
  const int height = rich_height(g_code.box), width = rich_width(g_code.box);
  if (!height) return;
  const int box_width = width > CODE_BOX_WIDTH ? width : CODE_BOX_WIDTH;
  const RECT r = {g_code.screen.width - box_width, 0, g_code.screen.width, height};
  blend_rect(dc, r, CODE_BOX, CODE_BOX_ALPHA);
  rich_arrange(g_code.box, r.left, r.top, r.right, r.bottom, 2, 1);
  RichGdiDrawer drawer;
  rich_gdi_drawer_init(&drawer, dc);
  rich_draw(g_code.box, &drawer.drawer);
}

// Part of a picture, stretched to the target, with one colour clear.
void piece(HDC dc, HDC picture, int x, int y, int w, int h, int sx, int sy, int sw, int sh,
           COLORREF clear) {
  if (w > 0 && h > 0) TransparentBlt(dc, x, y, w, h, picture, sx, sy, sw, sh, clear);
}

int line_top(int i) {
  return code_line_top(g_code.screen.listing, &g_code.screen.window, i, g_code.screen.height);
}

void draw_arrows(HDC dc) {
  const CodeWindow &w = g_code.screen.window;
  if (!g_code.arrows || !w.arrow_count) return;
  HDC pieces = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(pieces, g_code.arrows);
  const int x0 = (g_code.view.show_bytes ? ARROW_X_BYTES : ARROW_X) - g_code.screen.scroll_x;
  for (int a = 0; a < w.arrow_count; a++) {
    const JumpArrow &arrow = w.arrows[a];
    const int right = x0 + arrow.lane + ARROW_REACH;
    if (arrow.last > arrow.first) {
      const int top = line_top(arrow.first) + PIECE, bottom = line_top(arrow.last);
      piece(dc, pieces, right - PIECE_WIDTH + ARROW_STEM, top, 1, bottom - top, ARROW_STEM,
            8 * PIECE, 1, PIECE, kPieceClear);
    }
    for (int m = 0; m < arrow.member_count; m++) {
      const int i = arrow.members[m];
      int row = arrow.member_count == 1 ? 0 : m == 0 ? 7 : m == arrow.member_count - 1 ? 9 : 8;
      if (i == arrow.target && row) row -= 6;
      else if (w.lines[i].command_class == CC_JMC) row -= 3;
      const int y = line_top(i);
      if (y < -PIECE || y > g_code.screen.height) continue;
      piece(dc, pieces, x0, y, CAP, PIECE, 0, row * PIECE, CAP, PIECE, kPieceClear);
      piece(dc, pieces, x0 + CAP, y, right - x0 - 2 * CAP, PIECE, CAP, row * PIECE,
            PIECE_WIDTH - 2 * CAP, PIECE, kPieceClear);
      piece(dc, pieces, right - CAP, y, CAP, PIECE, PIECE_WIDTH - CAP, row * PIECE, CAP, PIECE,
            kPieceClear);
    }
  }
  SelectObject(pieces, old);
  DeleteDC(pieces);
}

// The instruction pointer's picture at the left of its line, bottom-aligned.
void draw_ip_mark(HDC dc) {
  if (debuggee_state() != DS_PAUSED) return;
  const CodeWindow &w = g_code.screen.window;
  const uint32_t ip = registers_ip();
  const int i = code_line_at(&w, ip);
  if (i == CODE_NONE || w.lines[i].address != ip || w.lines[i].document_line < 0) return;
  const bool taken = w.lines[i].command_class == CC_JMC && execution_jump_taken();
  HBITMAP mark = (HBITMAP)g_resources.pictures[taken ? IP_JUMP_MARK : IP_MARK];
  BITMAP b;
  if (!mark || !GetObjectA(mark, sizeof b, &b)) return;
  RichRect r;
  rich_line_rect(g_code.screen.listing, w.lines[i].document_line, &r);
  HDC picture = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(picture, mark);
  piece(dc, picture, 0, r.bottom - b.bmHeight, b.bmWidth, b.bmHeight, 0, 0, b.bmWidth,
        b.bmHeight, GetPixel(picture, 0, 0));
  SelectObject(picture, old);
  DeleteDC(picture);
}

void draw_cursor_bar(HDC dc) {
  const RichRect &c = g_code.screen.cursor_rect;
  if (c.bottom <= c.top) return;
  const RECT bar = {0, c.top, g_code.screen.width, c.bottom};
  blend_rect(dc, bar, kCursorBar, g_code.focused ? FOCUSED_ALPHA : UNFOCUSED_ALPHA);
  HPEN dots = CreatePen(PS_DOT, 1, kCursorBar);
  HGDIOBJ old = SelectObject(dc, dots);
  SetBkMode(dc, TRANSPARENT);  // the gaps between the dots
  MoveToEx(dc, 0, c.bottom - 1, nullptr);
  LineTo(dc, g_code.screen.width, c.bottom - 1);
  SelectObject(dc, old);
  DeleteObject(dots);
}

void place_caret() {
  if (!g_code.focused) return;
  SetCaretPos(0, g_code.screen.cursor_rect.bottom - 1);
  ShowCaret(g_code.hwnd);
}

// The code line under the point; false off the lines.
bool line_under(LPARAM lparam, int *index) {
  const int line = rich_line_at(g_code.screen.listing, (short)LOWORD(lparam),
                                (short)HIWORD(lparam), true);
  if (line < 0 || !rich_has_param(g_code.screen.listing, line)) return false;
  *index = (int)rich_line_param(g_code.screen.listing, line);
  return *index < g_code.screen.window.count;
}

uint32_t address_after(int i) {
  const CodeWindow &w = g_code.screen.window;
  return i + 1 < w.count ? w.lines[i + 1].address : w.lines[i].address + 1;
}

void press(LPARAM lparam) {
  SetFocus(g_code.hwnd);
  layout_focus(g_code.hwnd);
  g_code.pressed = rich_tag_at(g_code.screen.listing, (short)LOWORD(lparam),
                               (short)HIWORD(lparam), false);
  int i;
  if (g_code.pressed < 0 && line_under(lparam, &i)) {
    code_place_cursor(&g_code.screen, i);
    g_code.screen.select_start = g_code.screen.window.lines[i].address;
    g_code.screen.select_end = address_after(i);
    code_show_selection(&g_code.screen);
    g_code.dragging = true;
    code_panel_moved();
  }
  SetCapture(g_code.hwnd);
}

void drag(LPARAM lparam) {
  int i;
  if (!line_under(lparam, &i)) return;
  g_code.screen.select_end = address_after(i);
  code_show_selection(&g_code.screen);
  InvalidateRect(g_code.hwnd, nullptr, FALSE);
}

void release(LPARAM lparam) {
  if (g_code.dragging) {
    drag(lparam);
    g_code.dragging = false;
  } else if (g_code.pressed >= 0 &&
             g_code.pressed == rich_tag_at(g_code.screen.listing, (short)LOWORD(lparam),
                                           (short)HIWORD(lparam), false)) {
    const uint32_t address = rich_tag_param(g_code.screen.listing, g_code.pressed);
    position_follow(address, region_is_executable(address));
  }
  g_code.pressed = -1;
  ReleaseCapture();
}

// The status line names the link under the point.
bool hint(int x, int y) {
  const int tag = rich_tag_at(g_code.screen.listing, x, y, false);
  if (tag < 0) return false;
  const uint32_t address = rich_tag_param(g_code.screen.listing, tag);
  char text[KQ_PATH];
  if (!address_name(code_cursor_address(&g_code.screen), address, true, text, sizeof text))
    snprintf(text, sizeof text, "0x%X", address);
  status_set_hint(text);
  return true;
}

// The cursor line as the listing writes it, for whoever reads the window's text (screen
// readers, tests); gives its length.
int cursor_text(char *out, int size) {
  const CodeScreen &s = g_code.screen;
  const int line = s.cursor >= 0 ? s.window.lines[s.cursor].document_line : -1;
  if (size <= 0) return 0;
  out[0] = 0;
  if (line < 0 || line + 1 >= rich_line_count(s.listing)) return 0;
  char *text = rich_text_range(s.listing, rich_line_start(s.listing, line),
                               rich_line_start(s.listing, line + 1));
  text[strcspn(text, "\r\n")] = 0;
  text_copy(out, (size_t)size, text);
  text = (char *)zone_free(text);
  return (int)strlen(out);
}


void create(HWND hwnd) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  g_code.hwnd = hwnd;
  g_code.pressed = -1;
  rich_gdi_measurer_init(&g_code.measurer, g_resources.big_font, g_resources.small_font,
                         g_resources.button_face, instance);
  rich_gdi_window_init(&g_code.window, hwnd, instance);
  g_code.pattern = picture_load(instance, MAKEINTRESOURCEA(PATTERN_PICTURE));
  g_code.arrows = picture_load(instance, MAKEINTRESOURCEA(ARROW_PICTURE));
  g_code.source = {nullptr, read_debuggee, next_start};
  g_code.marks = {nullptr, region_at, breakpoint_here, comment_of};
  g_code.view = {&g_code.source, &g_code.marks, g_settings.ViewCPUBytes != 0,
                 handle_of(g_resources.fixed_font[0]), handle_of(g_resources.pictures[SOURCE_MARK]),
                 handle_of(g_resources.pictures[BREAKPOINT_MARK])};
  CodeScreen &s = g_code.screen;
  s.listing = rich_create(&g_code.measurer.measurer);
  g_code.box = rich_create(&g_code.measurer.measurer);
  rich_set_selection_colors(s.listing, 0xFFFFFF, 0x800000);
  s.view = &g_code.view;
  s.top = s.bottom = s.page_above = s.cursor = CODE_NONE;
  text_copy(g_code.go_to, sizeof g_code.go_to, "main");
  changes_add_listener(listener, 0);
  code_panel_install_hooks(true);
}

void destroy() {
  code_panel_install_hooks(false);
  changes_remove_listener(listener, 0);
  code_free_window(&g_code.screen.window);
  g_code.screen.listing = rich_destroy(g_code.screen.listing);
  g_code.box = rich_destroy(g_code.box);
  rich_gdi_measurer_free(&g_code.measurer);
  if (g_code.pattern) DeleteObject(g_code.pattern);
  if (g_code.arrows) DeleteObject(g_code.arrows);
  g_code = CodePanel();
}

}  // namespace

LRESULT CALLBACK code_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: create(hwnd); return 0;
    case WM_DESTROY: destroy(); return 0;
    case WM_SIZE:
      g_code.screen.width = LOWORD(lparam);
      g_code.screen.height = HIWORD(lparam);
      code_refresh(&g_code.screen);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_PAINT:
      panel_default_proc(hwnd, message, wparam, lparam);
      place_caret();
      return 0;
    case WM_LBUTTONDOWN: press(lparam); return 0;
    case WM_MOUSEMOVE:
      if (g_code.dragging) drag(lparam);
      else rich_hover(g_code.screen.listing, &g_code.window.window, (short)LOWORD(lparam),
                      (short)HIWORD(lparam));
      return 0;
    case WM_LBUTTONUP: release(lparam); return 0;
    case WM_LBUTTONDBLCLK: return code_panel_command(CODE_CMD_FOLLOW);
    case WM_STATUS_HINT: return hint((short)LOWORD(lparam), (short)HIWORD(lparam));
    case WM_GETTEXT: return cursor_text((char *)lparam, (int)wparam);
    case WM_GETTEXTLENGTH: {
      char text[KQ_PATH];
      return cursor_text(text, sizeof text);
    }
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}

void code_panel_focus(bool on) {
  g_code.focused = on;
  if (on) {
    position_show(POSITION_CODE);
    CreateCaret(g_code.hwnd, nullptr, g_code.screen.width, 1);
    // The position is not published here: the focus comes back after a prompt whose
    // command has just moved it elsewhere.
    place_caret();
  } else {
    DestroyCaret();
  }
  InvalidateRect(g_code.hwnd, nullptr, FALSE);
}

void code_panel_wheel(int delta) {
  if (code_scroll(&g_code.screen, -delta / WHEEL_STEP)) code_panel_moved();
}


void code_panel_rebuild() {
  CodeScreen &s = g_code.screen;
  if (!s.window.count) return;
  code_build_window(&s.window, &g_code.source, s.window.anchor, CODE_SPAN);
  code_refresh(&s);
  snapshot_changed();
  update_box();
  InvalidateRect(g_code.hwnd, nullptr, FALSE);
}

void code_panel_moved() {
  if (g_code.focused && have_code())
    position_set(&g_positions[POSITION_CODE], code_cursor_address(&g_code.screen));
  update_box();
  place_caret();
  InvalidateRect(g_code.hwnd, nullptr, FALSE);
}

void code_panel_draw(HDC dc) {
  const RECT all = {0, 0, g_code.screen.width, g_code.screen.height};
  HBRUSH paper = g_code.pattern ? CreatePatternBrush(g_code.pattern)
                                : CreateSolidBrush(GetSysColor(COLOR_WINDOW));
  FillRect(dc, &all, paper);
  DeleteObject(paper);
  if (!g_code.screen.listing) return;
  draw_cursor_bar(dc);
  draw_arrows(dc);
  rich_set_scroll(g_code.screen.listing, g_code.screen.scroll_x, 0);
  RichGdiDrawer drawer;
  rich_gdi_drawer_init(&drawer, dc);
  rich_draw(g_code.screen.listing, &drawer.drawer);
  draw_ip_mark(dc);
  draw_box(dc);
}
