#include "ui/panels/cpu/cpu_panel_win32.h"

#include <stdio.h>
#include <string.h>

#include "engine/debuggee.h"
#include "engine/execution.h"
#include "engine/regions.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "symbols/address_name.h"
#include "symbols/entries.h"
#include "symbols/eval/expression.h"
#include "ui/dialogs/input_prompt_win32.h"
#include "ui/global_resources_win32.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"
#include "ui/layout.h"
#include "ui/panels/code/code_position.h"
#include "ui/panels/panel_windows.h"
#include "ui/panels/status_bar/status_bar_win32.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "ui/screen_helpers_win32.h"
#include "util/log.h"

CpuPanel g_cpu;

namespace {

enum { FRAME_PICTURE = 3, OPTIONS_COMMAND = 10076, WHEEL_STEP = 6, SCROLL_MARGIN = 4 };

// Scrolling commands: steps in tenths of the panel's width and height.
struct CpuScroll {
  int command, x_tenths, y_tenths;
};
const CpuScroll kScrolls[] = {
    {CPU_CMD_LINE_DOWN, 0, 1},  {CPU_CMD_LINE_UP, 0, -1},  {CPU_CMD_PAGE_DOWN, 0, 10},
    {CPU_CMD_PAGE_UP, 0, -10},  {CPU_CMD_PAGE_LEFT, -1, 0}, {CPU_CMD_PAGE_RIGHT, 1, 0},
};

// Flags after which the registers are read again, and those after which the document is
// only written again (memory under the stack, names, the MMX setting, the code panel's
// procedure).
const int kRereadFlags[] = {CHG_STATE, CHG_REGISTERS, CHG_THREAD, 0};
const int kRewriteFlags[] = {CHG_MEMORY, CHG_MODULES, CHG_SETTINGS, CHG_CODE_POSITION, 0};

RichHandle handle_of(HGDIOBJ object) { return (RichHandle)(uintptr_t)object; }

// A stop with registers other than the shown ones makes the shown ones the previous set;
// a running thread keeps the last stop's.
void reread() {
  const DebuggeeState state = debuggee_state();
  if (state == DS_NOTLOADED || state == DS_CLOSING) {
    g_cpu.have = false;
    return;
  }
  if (state != DS_PAUSED && g_cpu.have) return;
  EvalRegisters now;
  if (!expression_read_registers(&now)) return;
  if (!g_cpu.have) g_cpu.previous = now;
  else if (memcmp(&now, &g_cpu.current, sizeof now)) g_cpu.previous = g_cpu.current;
  g_cpu.current = now;
  g_cpu.have = true;
  execution_call_stack();
}

void scroll_to(int x, int y) {
  const int right = rich_width(g_cpu.dd) + SCROLL_MARGIN - g_cpu.width;
  const int bottom = rich_height(g_cpu.dd) + SCROLL_MARGIN - g_cpu.height;
  x = x > right ? right : x;
  y = y > bottom ? bottom : y;
  x = x < 0 ? 0 : x;
  y = y < 0 ? 0 : y;
  if (x == g_cpu.scroll_x && y == g_cpu.scroll_y) return;
  g_cpu.scroll_x = x;
  g_cpu.scroll_y = y;
  InvalidateRect(g_cpu.hwnd, nullptr, FALSE);
}

const CallStack *shown_stack() {
  return g_cpu.have ? (const CallStack *)g_debuggee.call_stack : nullptr;
}

// The document's view of the panel's state; stack entries returning into the procedure the
// code panel shows are marked.
CpuView view_of_state() {
  const CallStack *stack = shown_stack();
  CpuView view = {};
  if (g_cpu.have) {
    view.current = &g_cpu.current;
    view.previous = &g_cpu.previous;
  }
  view.zoom = g_cpu.zoom;
  view.mmx = g_settings.ShowMMX != 0;
  view.fixed_font = handle_of(g_resources.fixed_font[0]);
  view.frame_picture = handle_of(g_resources.pictures[FRAME_PICTURE]);
  if (stack) {
    view.frames = stack->count;
    view.returns = stack->code;
  }
  view.reference = g_cpu.current.r[ER_EIP];
  const uint32_t code = g_positions[POSITION_CODE].address;
  const EntryRecord *procedure = code ? entry_nearest(code) : nullptr;
  view.code_procedure = procedure ? procedure->address : 0;
  return view;
}

void rewrite() {
  const CpuView view = view_of_state();
  cpu_write(g_cpu.dd, &view);
  scroll_to(g_cpu.scroll_x, g_cpu.scroll_y);
  InvalidateRect(g_cpu.hwnd, nullptr, FALSE);
}

void listener(int) {
  if (changes_test_any(kRereadFlags)) reread();
  else if (!changes_test_any(kRewriteFlags)) return;
  rewrite();
}

// The value's new text through the input prompt, written by the evaluator; the register
// write raises the change that shows it.
void change_value(int row) {
  const char *name = expression_register_name(row);
  ValueDescriptor target;
  if (!g_cpu.have || !name || !expression_register_value(&g_cpu.current, row, &target)) return;
  // The value shown may be the last of a thread that has ended since: nothing to write to.
  if (debuggee_state() != DS_PAUSED) {
    char text[KQ_PATH];
    snprintf(text, sizeof text, "%s cannot be changed: the thread is not stopped", name);
    log_printf("WARNING: %s\n", text);
    MessageBoxA(g_cpu.hwnd, text, name, MB_OK | MB_ICONERROR);
    return;
  }
  expression_format_value(&target, g_cpu.value, sizeof g_cpu.value);
  keyb_set_active(false);
  const int accepted = input_prompt(MAKEINTRESOURCEA(IDS_CHANGE_REGISTER), g_cpu.value,
                                    g_cpu.history, name, name);
  if (accepted && !expression_assign(&target, g_cpu.value))
    MessageBoxA(g_cpu.hwnd, expression_last_error() ? expression_last_error() : g_cpu.value,
                name, MB_OK | MB_ICONERROR);
  keyb_set_active(true);
}

// Names follow their values and stack entries move the code or data position; the value
// and the picture are this panel's own.
void click(uint32_t link) {
  if (link == CPU_PICTURE_LINK) {
    SendMessageA(GetAncestor(g_cpu.hwnd, GA_ROOTOWNER), WM_COMMAND, OPTIONS_COMMAND, 0);
    return;
  }
  if (link >> 16 == CPU_LINK_VALUE) {
    change_value((int)(link & 0xFFFF));
    return;
  }
  const CallStack *stack = shown_stack();
  const CpuView view = view_of_state();
  const CpuClick go = cpu_click_target(&view, stack ? stack->frame : nullptr, link);
  if (go.target == CPU_TARGET_FOLLOW) {
    position_follow(go.address, region_is_executable(go.address));
  } else if (go.target != CPU_TARGET_NONE) {
    PanelPosition *p = &g_positions[go.target == CPU_TARGET_CODE ? POSITION_CODE : POSITION_DATA];
    position_push(p);
    position_set(p, go.address);
  }
}

uint32_t row_bits(int row) {
  ValueDescriptor v;
  uint32_t bits = 0;
  if (expression_register_value(&g_cpu.current, row, &v)) memcpy(&bits, v.data, sizeof bits);
  return bits;
}

// The status line's text for the link under (x, y); false over no link.
bool hint(int x, int y) {
  const int tag = g_cpu.have ? rich_tag_at(g_cpu.dd, x, y, false) : -1;
  if (tag < 0) return false;
  const uint32_t link = rich_tag_param(g_cpu.dd, tag);
  const int index = (int)(link & 0xFFFF);
  const CallStack *stack = (const CallStack *)g_debuggee.call_stack;
  char text[KQ_PATH] = "";
  switch (link >> 16) {
    case CPU_LINK_NAME:
      if (!address_name(g_cpu.current.r[ER_EIP], row_bits(index), true, text, sizeof text))
        snprintf(text, sizeof text, "0x%X", row_bits(index));
      break;
    case CPU_LINK_VALUE: snprintf(text, sizeof text, "%i", (int)row_bits(index)); break;
    case CPU_LINK_FRAME:
    case CPU_LINK_RETURN:
      if (!stack || index >= stack->count) return false;
      snprintf(text, sizeof text, "0x%X",
               link >> 16 == CPU_LINK_FRAME ? stack->frame[index] : stack->code[index]);
      break;
    default: LoadStringA(GetModuleHandleA(nullptr), OPTIONS_COMMAND, text, sizeof text);
  }
  status_set_hint(text);
  return true;
}

}  // namespace

bool cpu_panel_command(int id) {
  for (const CpuScroll &s : kScrolls)
    if (s.command == id) {
      scroll_to(g_cpu.scroll_x + s.x_tenths * g_cpu.width / 10,
                g_cpu.scroll_y + s.y_tenths * g_cpu.height / 10);
      return true;
    }
  switch (id) {
    case CPU_CMD_HOME: scroll_to(0, 0); return true;
    case CPU_CMD_ZOOM: g_cpu.zoom = !g_cpu.zoom; break;
    case CPU_CMD_MMX: g_settings.ShowMMX = !g_settings.ShowMMX; break;
    default: return false;
  }
  rewrite();
  return true;
}

namespace {

void create(HWND hwnd) {
  g_cpu.hwnd = hwnd;
  g_cpu.pressed = -1;
  rich_gdi_measurer_init(&g_cpu.measurer, g_resources.big_font, g_resources.small_font,
                         CPU_PAPER, GetModuleHandleA(nullptr));
  rich_gdi_window_init(&g_cpu.window, hwnd, GetModuleHandleA(nullptr));
  g_cpu.dd = rich_create(&g_cpu.measurer.measurer);
  changes_add_listener(listener, 0);
}

void destroy() {
  changes_remove_listener(listener, 0);
  g_cpu.dd = rich_destroy(g_cpu.dd);
  rich_gdi_measurer_free(&g_cpu.measurer);
  g_cpu = CpuPanel();
}

int tag_under(LPARAM lparam) {
  return rich_tag_at(g_cpu.dd, (short)LOWORD(lparam), (short)HIWORD(lparam), false);
}

}  // namespace

LRESULT CALLBACK cpu_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: create(hwnd); return 0;
    case WM_DESTROY: destroy(); return 0;
    case WM_SIZE:
      g_cpu.width = LOWORD(lparam);
      g_cpu.height = HIWORD(lparam);
      scroll_to(g_cpu.scroll_x, g_cpu.scroll_y);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      g_cpu.pressed = tag_under(lparam);
      if (g_cpu.pressed < 0) layout_focus(hwnd);
      return 0;
    case WM_LBUTTONUP: {
      const int tag = tag_under(lparam), pressed = g_cpu.pressed;
      g_cpu.pressed = -1;
      if (tag >= 0 && tag == pressed) click(rich_tag_param(g_cpu.dd, tag));
      return 0;
    }
    case WM_MOUSEMOVE:
      rich_hover(g_cpu.dd, &g_cpu.window.window, (short)LOWORD(lparam), (short)HIWORD(lparam));
      return 0;
    case WM_STATUS_HINT: return hint((short)LOWORD(lparam), (short)HIWORD(lparam));
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}

void cpu_panel_wheel(int delta) {
  scroll_to(g_cpu.scroll_x, g_cpu.scroll_y - delta / WHEEL_STEP);
}


void cpu_panel_draw(HDC dc) {
  RECT all = {0, 0, g_cpu.width, g_cpu.height};
  HBRUSH paper = CreateSolidBrush(CPU_PAPER);
  FillRect(dc, &all, paper);
  DeleteObject(paper);
  if (!g_cpu.dd) return;
  rich_set_scroll(g_cpu.dd, g_cpu.scroll_x, g_cpu.scroll_y);
  RichGdiDrawer drawer;
  rich_gdi_drawer_init(&drawer, dc);
  rich_draw(g_cpu.dd, &drawer.drawer);
}
