#include "ui/panels/animator/animator_win32.h"

#include "engine/debuggee.h"
#include "engine/execution.h"
#include "settings/changes.h"
#include "symbols/entries.h"
#include "symbols/modules.h"
#include "ui/global_resources_win32.h"
#include "ui/panels/animator/animator_draw_win32.h"
#include "ui/panels/log/log_panel_page.h"
#include "ui/panels/log/log_panel_text.h"
#include "ui/panels/log/log_panel_win32.h"
#include "ui/panels/panel_windows.h"
#include "ui/rich_text/rich_text_gdi_win32.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/zone.h"

namespace {

enum {
  TICK_TIMER = 1, TICK_MS = 20, BEEP_HZ = 500, BEEP_MS = 10, LOG_LINES_MAX = 100,
  RANDOM_SEED = 1
};

struct AnimatorPanel {
  HWND hwnd;
  AnimatorGraph graph;
  RichGdiMeasurer measurer;
  AnimatorDocs docs;
  int top;  // the column's offset, moved by the wheel
  RECT client;
  int line_height;
  // The last page of the file the log panel shows: where it stands, and its lines.
  LogView view;
  LogFilter no_kinds;
  LogLine lines[LOG_LINES_MAX];
};
AnimatorPanel g_anim;

// The entry that holds a code address: the nearest one below it in the same module.
bool lookup(void *, uint32_t code, AnimatorFrame *frame) {
  const ModuleRecord *module = module_by_address(code);
  const EntryRecord *entry = module ? entry_nearest(code) : nullptr;
  if (!entry || entry->address < module->base) return false;
  *frame = {entry->address, entry->name};
  return true;
}

int take_stack(void *, AnimatorFrame *out, int max) {
  const CallStack *stack = execution_call_stack();
  if (!stack) return 0;
  return animator_frames(stack->code, stack->count < max ? stack->count : max, lookup, nullptr,
                         out);
}

const AnimatorStack kStack = {take_stack, nullptr};

// The log panel's file, once that panel has opened one.
bool have_log() { return g_log.file && g_log.file != INVALID_HANDLE_VALUE; }

// The last page of the log, as many lines as the panel is high.
void write_log_page() {
  int shown = 0;
  if (have_log()) {
    const int lines = (g_anim.client.bottom - g_anim.client.top) / g_anim.line_height;
    g_anim.view.lines = lines < 1 ? 1 : lines > LOG_LINES_MAX ? LOG_LINES_MAX : lines;
    log_go_end(&g_log.source, &g_anim.view);
    shown = log_read_page(&g_log.source, &g_anim.view, g_anim.lines, g_anim.view.lines);
  }
  const LogStyle style = {&g_anim.no_kinds, false, nullptr, nullptr, 0, 0, 0};
  log_write_page(g_anim.docs.log, g_anim.lines, shown, &style);
}

void publish() {
  char *set = animator_describe(&g_anim.graph, g_anim.top);
  SetWindowTextA(g_anim.hwnd, set ? set : "");
  zone_free(set);
}

void tick() {
  if (!IsWindowVisible(g_anim.hwnd)) return;
  animator_tick(&g_anim.graph, debuggee_state() == DS_RUNNING, &kStack);
  publish();
  if (have_log() && log_refresh(&g_log.source, &g_anim.view))
    write_log_page();
  InvalidateRect(g_anim.hwnd, nullptr, FALSE);
}

// An unloaded debuggee leaves nothing behind.
void listener(int) {
  if ((!changes_test(CHG_STATE) && !changes_test(CHG_MODULES)) ||
      debuggee_state() != DS_NOTLOADED)
    return;
  animator_clear(&g_anim.graph);
  publish();
  InvalidateRect(g_anim.hwnd, nullptr, FALSE);
}

void create(HWND hwnd) {
  g_anim.hwnd = hwnd;
  animator_init(&g_anim.graph, RANDOM_SEED);
  rich_gdi_measurer_init(&g_anim.measurer, g_resources.big_font, g_resources.small_font,
                         ANIMATOR_PAPER, GetModuleHandleA(nullptr));
  g_anim.docs = {rich_create(&g_anim.measurer.measurer), rich_create(&g_anim.measurer.measurer),
                 rich_create(&g_anim.measurer.measurer)};
  int width = 0;
  g_anim.measurer.measurer.text_size(g_anim.measurer.measurer.context, 0, "Xg", 2, &width,
                                     &g_anim.line_height);
  if (g_anim.line_height < 1) g_anim.line_height = 16;
  SetTimer(hwnd, TICK_TIMER, TICK_MS, nullptr);
  changes_add_listener(listener, 0);
}

void destroy() {
  changes_remove_listener(listener, 0);
  KillTimer(g_anim.hwnd, TICK_TIMER);
  animator_free(&g_anim.graph);
  rich_destroy(g_anim.docs.counters);
  rich_destroy(g_anim.docs.column);
  rich_destroy(g_anim.docs.log);
  rich_gdi_measurer_free(&g_anim.measurer);
  g_anim = AnimatorPanel();
}

}  // namespace

LRESULT CALLBACK animator_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: create(hwnd); return 0;
    case WM_DESTROY: destroy(); return 0;
    case WM_SIZE:
      g_anim.client = {0, 0, LOWORD(lparam), HIWORD(lparam)};
      write_log_page();
      return 0;
    case WM_TIMER:
      if (wparam == TICK_TIMER) tick();
      return 0;
    case WM_RBUTTONDOWN: panel_activate(hwnd); return 0;  // the panel has no menu
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}

void animator_panel_draw(HDC dc) {
  animator_draw(dc, &g_anim.client, &g_anim.graph, &g_anim.docs, g_anim.top);
}

void animator_wheel(int delta) {
  g_anim.top -= delta;
  Beep(BEEP_HZ, BEEP_MS);
  publish();
  InvalidateRect(g_anim.hwnd, nullptr, FALSE);
}

bool animator_command(int id) {
  if (id != ANIMATOR_CMD_PAGE_UP) return false;
  animator_wheel(g_anim.client.bottom - g_anim.client.top);
  return true;
}
