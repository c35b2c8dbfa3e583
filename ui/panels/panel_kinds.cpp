// The panels of the main window, in creation order: each one's class, keys and hooks, and
// its turn when commands are offered and when the windows are destroyed.
#include "ui/keyb_tables.h"
#include "ui/panels/animator/animator_win32.h"
#include "ui/panels/balloon/balloon_win32.h"
#include "ui/panels/code/code_panel_win32.h"
#include "ui/panels/command_line/cmdline_panel_win32.h"
#include "ui/panels/console/console_window_win32.h"
#include "ui/panels/cpu/cpu_panel_win32.h"
#include "ui/panels/data/data_panel_win32.h"
#include "ui/panels/function_keys/function_keys_win32.h"
#include "ui/panels/log/log_panel_win32.h"
#include "ui/panels/map/map_panel_win32.h"
#include "ui/panels/panel_windows.h"
#include "ui/panels/source/source_panel_win32.h"
#include "ui/panels/start_page/start_page_win32.h"
#include "ui/panels/status_bar/status_bar_win32.h"
#include "ui/panels/watch/watch_panel_win32.h"

namespace {
const LPCSTR kArrow = (LPCSTR)IDC_ARROW, kBeam = (LPCSTR)IDC_IBEAM, kHand = (LPCSTR)IDC_HAND;
}  // namespace

// clang-format off
const PanelKind g_panel_kinds[PANEL_COUNT] = {
//  class       cursor   class style  window style                keys           menu   own procedure       paint                wheel               command               focus               offer  destroy
    {"cover",    kArrow,  0,           WS_POPUP | WS_CLIPCHILDREN, nullptr,       false, start_page_proc,    start_page_draw,     nullptr,            nullptr,              nullptr,            0,     13},
    {"balloon",  kHand,   0,           WS_POPUP | WS_BORDER,       nullptr,       false, balloon_proc,       balloon_draw,        nullptr,            nullptr,              nullptr,            0,     12},
    {"console",  kArrow,  0,           WS_OVERLAPPEDWINDOW,        nullptr,       false, console_proc,       nullptr,             nullptr,            nullptr,              nullptr,            0,     0},
    {"menu",     kArrow,  0,           WS_CHILD,                   nullptr,       false, function_keys_proc, function_keys_draw,  nullptr,            nullptr,              nullptr,            0,     8},
    {"status",   nullptr, 0,           WS_CHILD,                   nullptr,       false, status_bar_proc,    status_bar_draw,     nullptr,            nullptr,              nullptr,            0,     9},
    {"animator", kArrow,  0,           WS_POPUP | WS_BORDER,       animator_keys, false, animator_proc,      animator_panel_draw, animator_wheel,     animator_command,     nullptr,            0,     11},
    {"cmdline",  kArrow,  0,           WS_POPUP,                   nullptr,       false, cmdline_proc,       cmdline_draw,        nullptr,            nullptr,              nullptr,            0,     10},
    {"reg",      kArrow,  0,           WS_POPUP,                   reg_keys,      true,  cpu_panel_proc,     cpu_panel_draw,      cpu_panel_wheel,    cpu_panel_command,    nullptr,            4,     3},
    {"map",      kArrow,  0,           WS_POPUP | WS_CLIPCHILDREN, nullptr,       false, map_panel_proc,     map_panel_draw,      nullptr,            nullptr,              nullptr,            0,     2},
    {"log",      kBeam,   0,           WS_POPUP,                   log_keys,      true,  log_panel_proc,     log_panel_draw,      log_panel_wheel,    log_panel_command,    nullptr,            3,     7},
    {"source",   kBeam,   0,           WS_POPUP,                   source_keys,   false, source_panel_proc,  source_panel_draw,   source_panel_wheel, source_panel_command, source_panel_focus, 5,     5},
    {"code",     kBeam,   CS_DBLCLKS,  WS_POPUP,                   code_keys,     true,  code_panel_proc,    code_panel_draw,     code_panel_wheel,   code_panel_command,   code_panel_focus,   1,     4},
    {"data",     kBeam,   CS_DBLCLKS,  WS_POPUP,                   data_keys,     true,  data_panel_proc,    data_panel_draw,     data_panel_wheel,   data_panel_command,   data_panel_focus,   2,     6},
    {"watch",    kArrow,  0,           WS_POPUP | WS_CLIPCHILDREN, watch_keys,    true,  watch_panel_proc,   watch_panel_draw,    watch_panel_wheel,  watch_panel_command,  watch_panel_focus,  6,     1},
};
// clang-format on
