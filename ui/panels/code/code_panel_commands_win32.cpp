// The code panel's commands: moves, breakpoints, the instruction pointer, the prompts for
// go to, assemble and search, copy and NOP fill; and the answers to plug-ins.
#include <stdio.h>
#include <string.h>

#include "engine/breakpoints.h"
#include "engine/debuggee.h"
#include "engine/execution.h"
#include "engine/memory.h"
#include "engine/regions.h"
#include "engine/registers.h"
#include "plugin_host/plugins.h"
#include "settings/settings.h"
#include "symbols/comments.h"
#include "symbols/eval/expression.h"
#include "ui/dialogs/input_prompt_win32.h"
#include "ui/dialogs/search_progress_win32.h"
#include "ui/keyb.h"
#include "ui/layout.h"
#include "ui/panels/code/code_panel_edit.h"
#include "ui/panels/code/code_panel_patches_win32.h"
#include "ui/panels/code/code_panel_search.h"
#include "ui/panels/code/code_panel_win32.h"
#include "ui/panels/code/code_position.h"
#include "ui/panels/code/recent_addresses.h"
#include "ui/panels/data/data_panel_win32.h"
#include "ui/screen_helpers_win32.h"
#include "util/log.h"
#include "util/path.h"
#include "util/zone.h"
#include "x86/search.h"

namespace {

const uint32_t NOP_CHUNK = 256;

CodeScreen *screen() { return &g_code.screen; }
uint32_t cursor() { return code_cursor_address(screen()); }
bool paused() { return debuggee_state() == DS_PAUSED; }

// The prompt with the keyboard commands held off while it is up.
bool ask(int message, char *text, char *history) {
  keyb_set_active(false);
  const int accepted = input_prompt(MAKEINTRESOURCEA(message), text, history);
  keyb_set_active(true);
  return accepted != 0;
}

void assemble() {
  const uint32_t address = cursor();
  if (!address || !paused()) return;
  const int old_length = code_command_text(address, memory_reader, g_code.assemble,
                                           sizeof g_code.assemble);
  if (!ask(IDS_ASSEMBLE, g_code.assemble, g_code.assemble_history)) return;
  uint8_t code[ASM_CODE];
  char error[ASM_ERROR_TEXT];
  const int length = code_assemble(g_code.assemble, address, old_length, code, error);
  if (!length) log_printf("Error: %s\n", error);
  else if (memory_write_checked(address, code, (uint32_t)length))
    code_patch_written(address, (uint32_t)length);
}

// The comment of the cursor line's bytes, typed anew.
void comment() {
  const CodeScreen *s = screen();
  if (!cursor()) return;
  const uint32_t address = cursor();
  const uint32_t end = s->cursor + 1 < s->window.count ? s->window.lines[s->cursor + 1].address
                                                       : address + 1;
  comment_text_at(address, end - address, g_code.comment, sizeof g_code.comment);
  if (ask(IDS_COMMENT, g_code.comment, g_code.comment_history))
    comment_set_at(address, g_code.comment);
}

void go_to_prompt() {
  if (!ask(IDS_GO_TO, g_code.go_to, g_code.go_to_history)) return;
  const uint32_t address = expression_address(g_code.go_to);
  if (!address) return;
  position_push(&g_positions[POSITION_CODE]);
  position_set(&g_positions[POSITION_CODE], address);
}

// From the cursor in the direction, under the progress window; a find starts a line,
// becomes the cursor's place and is selected.
void search(int direction) {
  if (!g_code.search[0] || !cursor()) return;
  char caption[KQ_PATH];
  snprintf(caption, sizeof caption, "Search: %s", g_code.search);
  SearchProgress progress = {};
  CodeSearch walk = {memory_reader, search_readable_run, search_progress_walk_tick, &progress, 0};
  if (!search_progress_open(&progress, caption, &walk.stop)) return;
  keyb_set_active(false);
  uint32_t found;
  int length;
  const bool hit = code_search(&walk, g_code.search, cursor(), direction, &found, &length);
  keyb_set_active(true);
  search_progress_close(&progress);
  if (!hit) return;
  recent_address_enter(found);
  screen()->select_start = found;
  screen()->select_end = found + (uint32_t)length;
  position_push(&g_positions[POSITION_CODE]);
  position_set(&g_positions[POSITION_CODE], found);
  // The cursor goes there now: the command's end publishes the cursor's place as the
  // position, which would otherwise take the find back.
  code_go_to(screen(), found);
  code_panel_rebuild();
}

void copy() {
  uint32_t low, high;
  if (!code_selection(screen(), &low, &high)) return;
  char *text = code_copy_text(low, high, memory_reader);
  clipboard_copy_text(text, strlen(text));
  text = (char *)zone_free(text);
}

void nop_fill() {
  uint32_t low, high;
  if (!paused() || !code_selection(screen(), &low, &high)) return;
  uint8_t nops[NOP_CHUNK];
  memset(nops, CODE_NOP, sizeof nops);
  for (uint32_t p = low; p < high;) {
    const uint32_t n = high - p < NOP_CHUNK ? high - p : NOP_CHUNK;
    if (!memory_write_checked(p, nops, n)) return;
    code_patch_written(p, n);
    p += n;
  }
}

// The window built afresh at a region's start.
void region_step(bool down) {
  if (!g_code.screen.window.count) return;
  const uint32_t anchor = g_code.screen.window.anchor;
  const uint32_t start = down ? region_next_start(anchor) : region_previous_start(anchor);
  code_build_window(&screen()->window, &g_code.source, start, CODE_SPAN);
  code_refresh(screen());
}

void scroll_x(int tenths) {
  const int x = screen()->scroll_x + tenths * screen()->width / 10;
  screen()->scroll_x = x < 0 ? 0 : x;
}

bool move(int id) {
  CodeScreen *s = screen();
  switch (id) {
    case CODE_CMD_DOWN: return code_move_cursor(s, 1);
    case CODE_CMD_UP: return code_move_cursor(s, -1);
    case CODE_CMD_PAGE_DOWN: return code_scroll(s, s->bottom - s->top);
    case CODE_CMD_PAGE_UP: return code_scroll(s, s->page_above - s->top);
    case CODE_CMD_SCROLL_DOWN: return code_scroll(s, 1);
    case CODE_CMD_SCROLL_UP: return code_scroll(s, -1);
    case CODE_CMD_PAGE_END:
    case CODE_CMD_PAGE_HOME:
      if (!s->window.count) return false;
      code_place_cursor(s, id == CODE_CMD_PAGE_HOME ? s->top
                           : s->bottom > s->top ? s->bottom - 1
                                                : s->top);
      return true;
  }
  return false;
}

// Plug-ins: KQ_Goto moves the code position; the selection is that of the code or data
// panel when it is the current one, none with another panel current; the position is the
// one the map shows.
void hook_go_to(uint32_t address) {
  position_push(&g_positions[POSITION_CODE]);
  position_set(&g_positions[POSITION_CODE], address);
}
bool hook_selection(uint32_t *low, uint32_t *high) {
  const HWND current = layout_current_panel();
  if (current && current == g_data.hwnd) {
    data_panel_selection(low, high);
    return true;
  }
  uint32_t a, b;
  if (!current || current != g_code.hwnd || !g_code.screen.window.count ||
      !code_selection(screen(), &a, &b))
    return false;
  *low = a;
  *high = b;
  return true;
}
const PluginViewHooks kHooks = {hook_go_to, hook_selection, position_shown_address};

}  // namespace

void code_panel_install_hooks(bool on) { plugins_set_view_hooks(on ? &kHooks : nullptr); }

bool code_panel_command(int id) {
  if (move(id)) {
    code_panel_moved();
    return true;
  }
  const uint32_t address = cursor();
  switch (id) {
    case CODE_CMD_LEFT: scroll_x(-1); break;
    case CODE_CMD_RIGHT: scroll_x(1); break;
    case CODE_CMD_BREAKPOINT:
      if (address) breakpoint_toggle(address);
      break;
    case CODE_CMD_NEW_ORIGIN:
      if (address && paused()) registers_set_ip(address);
      break;
    // These move the code position, which the panel follows at the next broadcast: the
    // cursor's old line must not be published over it.
    case CODE_CMD_ORIGIN:
      if (paused()) hook_go_to(registers_ip());
      return true;
    case CODE_CMD_BACK: position_back(&g_positions[POSITION_CODE], 1); return true;
    case CODE_CMD_FOLLOW:
      if (g_code.follow) position_follow(g_code.follow, region_is_executable(g_code.follow));
      return true;
    case CODE_CMD_GO_TO: go_to_prompt(); return true;
    case CODE_CMD_RUN_TO:
      if (address && paused()) execution_run_to(address);
      break;
    case CODE_CMD_COMMENT: comment(); break;
    case CODE_CMD_ASSEMBLE: assemble(); break;
    case CODE_CMD_COPY: copy(); break;
    case CODE_CMD_NOP_FILL: nop_fill(); break;
    case CODE_CMD_SAVE_PATCHES: code_save_patches(cursor()); break;
    case CODE_CMD_NEW_SEARCH:
      if (ask(IDS_SEARCH, g_code.search, g_code.search_history)) search(1);
      break;
    case CODE_CMD_SEARCH_DOWN: search(1); break;
    case CODE_CMD_SEARCH_UP: search(-1); break;
    case CODE_CMD_REGION_DOWN: region_step(true); break;
    case CODE_CMD_REGION_UP: region_step(false); break;
    case CODE_CMD_VIEW_BYTES:
      g_settings.ViewCPUBytes = !g_settings.ViewCPUBytes;
      g_code.view.show_bytes = g_settings.ViewCPUBytes != 0;
      code_refresh(screen());
      break;
    default: return false;
  }
  code_panel_moved();
  return true;
}
