#include "ui/panels/data/data_panel_win32.h"
#include "ui/panels/panel_windows.h"

#include <stdio.h>
#include <string.h>

#include "engine/memory.h"
#include "engine/regions.h"
#include "settings/changes.h"
#include "symbols/address_name.h"
#include "symbols/comments.h"
#include "symbols/eval/expression.h"
#include "symbols/symbols.h"
#include "ui/dialogs/guard_dialog.h"
#include "ui/dialogs/input_prompt_win32.h"
#include "ui/dialogs/search_progress_win32.h"
#include "ui/global_resources_win32.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"
#include "ui/layout.h"
#include "ui/panels/code/code_position.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "ui/screen_helpers_win32.h"
#include "util/picture_win32.h"
#include "util/zone.h"

DataPanel g_data;

namespace {

enum : uint32_t { DATA_PAPER = 0xFFFFFF, SELECTED_TEXT = 0xFFFFFF, SELECTED_PAPER = 0x800000 };
enum { PULSE_TIMER = 1, PATTERN_PICTURE = 110 };
// The most bytes one copy takes to the clipboard.
enum { COPY_MAX = 65536 };

const int kMoveFlags[] = {CHG_DATA_POSITION, CHG_COMMENTS, 0};
const int kContentFlags[] = {CHG_STATE, CHG_MEMORY, CHG_REGISTERS, CHG_MODULES, 0};

RichHandle handle_of(HGDIOBJ object) { return (RichHandle)(uintptr_t)object; }

bool region_at(uint32_t address, char *out, size_t outlen) {
  const int i = region_find(address);
  if (i < 0 || g_regions.regions[i].base != address) return false;
  region_describe(address, out, outlen);
  return true;
}

const DataSource kSource = {memory_reader, region_next_boundary, region_previous_boundary,
                            region_at};

uint32_t position() { return g_positions[POSITION_DATA].address; }

void order(uint32_t *low, uint32_t *high) {
  *low = g_data.first < g_data.last ? g_data.first : g_data.last;
  *high = g_data.first < g_data.last ? g_data.last : g_data.first;
}

void take_snapshot() {
  g_data.snapshot = (uint8_t *)zone_resize(g_data.snapshot, g_data.page.shown);
  if (g_data.snapshot) memory_read(g_data.page.position, g_data.snapshot, g_data.page.shown);
}

// Whether the page's bytes are no longer those it was written from.
bool snapshot_differs() {
  const uint32_t n = g_data.page.shown;
  if (!n || zone_size(g_data.snapshot) != n) return true;
  uint8_t *now = (uint8_t *)zone_alloc(n);
  const bool differs = memory_read(g_data.page.position, now, n) != n ||
                       memcmp(now, g_data.snapshot, n) != 0;
  zone_free(now);
  return differs;
}

// Repaints; the window's text says the position, the ordered selection, the count of
// pages written and the first row's bytes as the page was written from them, for readers
// from outside.
void show_state() {
  uint32_t low, high;
  order(&low, &high);
  char text[KQ_PATH];
  int n = snprintf(text, sizeof text, "%08X %08X %08X %d", position(), low, high, g_data.rebuilds);
  const uint32_t first_row = g_data.page.row_count ? g_data.page.rows[0].count : 0;
  for (uint32_t i = 0; i < first_row && i < zone_size(g_data.snapshot) && n < (int)sizeof text - 4; i++)
    n += snprintf(text + n, sizeof text - (size_t)n, " %02X", g_data.snapshot[i]);
  SetWindowTextA(g_data.hwnd, text);
  InvalidateRect(g_data.hwnd, nullptr, FALSE);
}

void write_page() {
  if (!g_data.dd) return;
  const DataView view = {handle_of(g_resources.gui_font[0]), handle_of(g_resources.fixed_font[0]),
                         handle_of(g_resources.big_font)};
  data_write_page(g_data.dd, &g_data.page, &kSource, &view, position(), g_data.height);
  rich_set_selection_colors(g_data.dd, SELECTED_TEXT, SELECTED_PAPER);
  data_mark_selection(g_data.dd, &g_data.page, g_data.first, g_data.last);
  take_snapshot();
  g_data.rebuilds++;
  show_state();
}

void select_one(uint32_t address) {
  g_data.current = g_data.first = g_data.last = address;
}

void set_position(uint32_t address) {
  if (!address) return;
  position_set(&g_positions[POSITION_DATA], address);
  if (g_data.current < address || g_data.current - address >= g_data.page.shown)
    select_one(address);
  write_page();
}

// A jump (go to, follow, search) makes the target the current byte; scrolling keeps it.
void push_and_set(uint32_t address) {
  if (!address) return;
  position_push(&g_positions[POSITION_DATA]);
  select_one(address);
  set_position(address);
}

// The registers shown as labels: those of the stop, none while nothing is stopped.
void read_registers() {
  g_data.have_registers = expression_read_registers(&g_data.registers);
}

void listener(int) {
  if (changes_test_any(kContentFlags)) read_registers();
  if (changes_test_any(kMoveFlags) &&
      (changes_test(CHG_COMMENTS) || position() != g_data.page.position)) {
    if (position() != g_data.page.position) select_one(position());
    write_page();
  } else if (changes_test_any(kContentFlags) && snapshot_differs()) {
    write_page();
  }
}

// Asks through the input prompt; false when cancelled.
bool ask(int message, char *text, char *history) {
  keyb_set_active(false);
  const int accepted = input_prompt(MAKEINTRESOURCEA(message), text, history);
  keyb_set_active(true);
  return accepted != 0;
}

// The bytes of the selection, at most COPY_MAX; gives the count read (a zone block).
uint32_t read_selection(uint8_t **bytes) {
  uint32_t low, high;
  order(&low, &high);
  uint32_t size = high - low + 1;
  if (!size || size > COPY_MAX) size = COPY_MAX;
  *bytes = (uint8_t *)zone_alloc(size);
  return memory_read(low, *bytes, size);
}

void copy() {
  uint8_t *bytes = nullptr;
  const uint32_t n = read_selection(&bytes);
  const size_t outlen = (size_t)n * 5 + 1;
  char *text = (char *)zone_alloc(outlen);
  const int len = data_copy_text(bytes, (int)n, g_data.current_column ? g_data.current_column : DATA_HEX,
                                 text, outlen);
  clipboard_copy_text(text, (size_t)len);
  zone_free(text);
  zone_free(bytes);
}

// Bytes to write: a sequence with no byte left open.
bool bytes_from_text(const char *text, DataSequence *sequence) {
  return data_sequence_from_text(text, sequence) && !sequence->masked;
}

void write(uint32_t address, const uint8_t *bytes, int count) {
  if (count > 0) memory_write_checked(address, bytes, (uint32_t)count);
}

void fill() {
  uint32_t low, high;
  order(&low, &high);
  const uint32_t size = high - low + 1;
  DataSequence sequence;
  if (!size || size > COPY_MAX || !ask(IDS_DATA_FILL, g_data.fill, g_data.fill_history) ||
      !bytes_from_text(g_data.fill, &sequence))
    return;
  const int n = sequence.length < (int)size ? sequence.length : (int)size;
  uint8_t *bytes = (uint8_t *)zone_alloc(size);
  data_fill_bytes(sequence.bytes, n, bytes, (int)size);
  write(low, bytes, (int)size);
  zone_free(bytes);
}

// The prompt's text starts as given (a typed character after a line feed stands unselected).
void insert(const char *initial) {
  if (initial) text_copy(g_data.insert, sizeof g_data.insert, initial);
  DataSequence sequence;
  if (!ask(IDS_DATA_INSERT, g_data.insert, g_data.insert_history) ||
      !bytes_from_text(g_data.insert, &sequence))
    return;
  const int n = sequence.length;
  uint8_t *selection = nullptr;
  const uint32_t size = read_selection(&selection);
  uint8_t *out = (uint8_t *)zone_alloc((size_t)(size > (uint32_t)n ? size : (uint32_t)n));
  uint32_t low, high;
  order(&low, &high);
  write(low, out, data_insert_bytes(sequence.bytes, n, selection, (int)size, out));
  zone_free(out);
  zone_free(selection);
}

void comment() {
  comment_text_at(g_data.current, DATA_ROW_BYTES, g_data.comment, sizeof g_data.comment);
  if (ask(IDS_DATA_COMMENT, g_data.comment, g_data.comment_history))
    comment_set_at(g_data.current, g_data.comment);
}

// From the current byte in the direction over the readable memory, under the progress
// window that Escape or Cancel stops.
void search(int direction) {
  DataSequence sequence;
  if (!data_sequence_from_text(g_data.search, &sequence)) return;
  char caption[KQ_PATH];
  snprintf(caption, sizeof caption, "Search: %s", g_data.search);
  SearchProgress progress = {};
  CodeSearch walk = {memory_reader, search_readable_run, search_progress_walk_tick, &progress, 0};
  if (!search_progress_open(&progress, caption, &walk.stop)) return;
  keyb_set_active(false);
  uint32_t found;
  const bool hit = data_search_runs(&walk, &sequence, g_data.current, direction, &found);
  keyb_set_active(true);
  search_progress_close(&progress);
  if (!hit) return;
  const int n = sequence.length;
  push_and_set(found);
  g_data.current = g_data.first = found;
  g_data.last = found + (uint32_t)n - 1;
  write_page();
}

void follow() {
  uint32_t address = 0;
  if (memory_read(g_data.current, &address, sizeof address) == sizeof address && address)
    position_follow(address, region_is_executable(address));
}

void go_to() {
  if (!ask(IDS_DATA_GOTO, g_data.go_to, g_data.go_to_history)) return;
  push_and_set(expression_address(g_data.go_to));
}

void go_to_stack() {
  EvalRegisters regs;
  if (expression_read_registers(&regs)) push_and_set(regs.r[ER_ESP]);
}

void go_to_origin() {
  MainModuleInfo main_module;
  if (symbols_main_module(&main_module)) push_and_set(main_module.data);
}

void guard() {
  char name[KQ_PATH];
  address_name(g_data.current, g_data.current, true, name, sizeof name);
  guard_dialog_open(g_data.hwnd, name);
}

void scroll_rows(int rows) { set_position(data_scroll(&kSource, position(), rows)); }

void page_down() {
  const DataPage &p = g_data.page;
  const uint32_t last = p.row_count ? p.rows[p.row_count - 1].address : position();
  if (last != position()) set_position(last);
  else scroll_rows(1);
}

void scroll_x(int tenths) {
  int x = g_data.scroll_x + tenths * g_data.width / 10;
  const int right = rich_width(g_data.dd) - g_data.width;
  x = x > right ? right : x;
  g_data.scroll_x = x < 0 ? 0 : x;
  InvalidateRect(g_data.hwnd, nullptr, FALSE);
}

}  // namespace

bool data_panel_command(int id) {
  const uint32_t at = position();
  switch (id) {
    case DATA_CMD_ALIGN: set_position(at & ~15u); break;
    case DATA_CMD_BYTE_DOWN: if (at != 0xFFFFFFFFu) set_position(at + 1); break;
    case DATA_CMD_BYTE_UP: if (at) set_position(at - 1); break;
    case DATA_CMD_COMMENT: comment(); break;
    case DATA_CMD_COPY: copy(); break;
    case DATA_CMD_FILL: fill(); break;
    case DATA_CMD_FOLLOW: follow(); break;
    case DATA_CMD_GOTO: go_to(); break;
    case DATA_CMD_STACK: go_to_stack(); break;
    case DATA_CMD_GUARD: guard(); break;
    case DATA_CMD_INSERT: insert(nullptr); break;
    case DATA_CMD_ORIGIN: go_to_origin(); break;
    case DATA_CMD_PAGE_DOWN: page_down(); break;
    case DATA_CMD_PAGE_UP: scroll_rows(-(g_data.page.row_count > 1 ? g_data.page.row_count - 1 : 1)); break;
    case DATA_CMD_LEFT: scroll_x(-1); break;
    case DATA_CMD_RIGHT: scroll_x(1); break;
    case DATA_CMD_ROW_DOWN: scroll_rows(1); break;
    case DATA_CMD_ROW_UP: scroll_rows(-1); break;
    case DATA_CMD_NEW_SEARCH:
      if (ask(IDS_DATA_SEARCH, g_data.search, g_data.search_history)) search(1);
      break;
    case DATA_CMD_SEARCH_DOWN: search(1); break;
    case DATA_CMD_SEARCH_UP: search(-1); break;
    case DATA_CMD_REGION_DOWN: set_position(region_next_start(at)); break;
    case DATA_CMD_REGION_UP: set_position(region_previous_start(at)); break;
    default: return false;
  }
  return true;
}

namespace {

// The cell under a mouse position, or null.
const DataCell *cell_at(LPARAM lparam) {
  const int tag = rich_tag_at(g_data.dd, (short)LOWORD(lparam), (short)HIWORD(lparam), false);
  return data_cell_of_tag(&g_data.page, tag);
}

void press(LPARAM lparam) {
  const DataCell *cell = cell_at(lparam);
  if (!cell) return;
  select_one(cell->address);
  g_data.current_column = cell->column;
  g_data.dragging = true;
  SetCapture(g_data.hwnd);
  data_mark_selection(g_data.dd, &g_data.page, g_data.first, g_data.last);
  show_state();
}

void drag(LPARAM lparam, bool end) {
  if (!g_data.dragging) return;
  if (const DataCell *cell = cell_at(lparam)) g_data.current = g_data.last = cell->address;
  if (end) {
    g_data.dragging = false;
    ReleaseCapture();
  }
  data_mark_selection(g_data.dd, &g_data.page, g_data.first, g_data.last);
  show_state();
}

void create(HWND hwnd) {
  g_data.hwnd = hwnd;
  rich_gdi_measurer_init(&g_data.measurer, g_resources.big_font, g_resources.small_font,
                         DATA_PAPER, GetModuleHandleA(nullptr));
  g_data.dd = rich_create(&g_data.measurer.measurer);
  g_data.pattern = picture_load(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(PATTERN_PICTURE));
  changes_add_listener(listener, 0);
  SetTimer(hwnd, PULSE_TIMER, DATA_PHASE_MS, nullptr);
}

void destroy() {
  KillTimer(g_data.hwnd, PULSE_TIMER);
  changes_remove_listener(listener, 0);
  data_page_free(&g_data.page);
  zone_free(g_data.snapshot);
  g_data.dd = rich_destroy(g_data.dd);
  rich_gdi_measurer_free(&g_data.measurer);
  if (g_data.pattern) DeleteObject(g_data.pattern);
  g_data = DataPanel();
}

// Each register's name over the cells its value points at, in the small font, black on
// the marker colour, centred on the cell's left edge; blended by the phase so it pulses.
void draw_labels(HDC dc) {
  g_data.label_count = 0;
  if (!g_data.have_registers) return;
  DataLabel labels[DATA_LABELS];
  const int n = data_page_labels(&g_data.page, g_data.registers.r, labels, DATA_LABELS);
  const BYTE alpha = (BYTE)(255 - (g_data.phase < 0 ? -g_data.phase : g_data.phase));
  HGDIOBJ old_font = SelectObject(dc, g_resources.small_font);
  for (int i = 0; i < n; i++) {
    const DataMarker &marker = g_data_markers[labels[i].marker];
    const char *name = marker.name;
    RichRect at;
    rich_tag_rect(g_data.dd, g_data.page.cells[labels[i].cell].tag, &at);
    SIZE size;
    GetTextExtentPoint32A(dc, name, lstrlenA(name), &size);
    RECT box = {at.left - size.cx / 2 - 1, at.top, at.left + size.cx / 2 + 1, at.top + size.cy};
    HDC label = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, box.right - box.left, size.cy);
    HGDIOBJ old_bitmap = SelectObject(label, bitmap);
    SelectObject(label, g_resources.small_font);
    SetBkColor(label, marker.color);
    SetTextColor(label, 0);
    RECT inside = {0, 0, box.right - box.left, size.cy};
    ExtTextOutA(label, 1, 0, ETO_OPAQUE, &inside, name, (UINT)lstrlenA(name), nullptr);
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha, 0};
    AlphaBlend(dc, box.left, box.top, inside.right, inside.bottom, label, 0, 0, inside.right,
               inside.bottom, blend);
    SelectObject(label, old_bitmap);
    DeleteObject(bitmap);
    DeleteDC(label);
    g_data.labels[g_data.label_count++] = box;
  }
  SelectObject(dc, old_font);
}

// The timer steps the phase and repaints the labels.
void pulse() {
  g_data.phase = data_phase_next(g_data.phase);
  for (int i = 0; i < g_data.label_count; i++) InvalidateRect(g_data.hwnd, &g_data.labels[i], FALSE);
}

}  // namespace

LRESULT CALLBACK data_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: create(hwnd); return 0;
    case WM_DESTROY: destroy(); return 0;
    case WM_SIZE:
      g_data.width = LOWORD(lparam);
      g_data.height = HIWORD(lparam);
      write_page();
      return 0;
    case WM_CHAR:
      if (wparam >= 32 && wparam < 128) {
        const char initial[3] = {'\n', (char)wparam, 0};
        insert(initial);
      }
      return 0;
    case WM_LBUTTONDOWN:
      panel_activate(hwnd);
      press(lparam);
      return 0;
    case WM_TIMER: pulse(); return 0;
    case WM_MOUSEMOVE: drag(lparam, false); return 0;
    case WM_LBUTTONUP: drag(lparam, true); return 0;
    case WM_LBUTTONDBLCLK: follow(); return 0;
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}

void data_panel_focus(bool on) {
  if (on) position_show(POSITION_DATA);
}

void data_panel_wheel(int delta) { scroll_rows(delta > 0 ? -1 : 1); }

void data_panel_selection(uint32_t *low, uint32_t *high) { order(low, high); }

void data_panel_draw(HDC dc) {
  RECT all = {0, 0, g_data.width, g_data.height};
  HBRUSH paper = g_data.pattern ? CreatePatternBrush(g_data.pattern) : CreateSolidBrush(DATA_PAPER);
  FillRect(dc, &all, paper);
  DeleteObject(paper);
  if (!g_data.dd) return;
  rich_set_scroll(g_data.dd, g_data.scroll_x, 0);
  RichGdiDrawer drawer;
  rich_gdi_drawer_init(&drawer, dc);
  rich_draw(g_data.dd, &drawer.drawer);
  draw_labels(dc);
}
