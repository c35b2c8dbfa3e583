#include "ui/dialogs/load_progress_win32.h"

#include "symbols/debug_info.h"
#include "ui/dialogs/search_progress_win32.h"

namespace {

// One load at a time runs, on the user-interface thread.
SearchProgress g_window;

bool open_window(const char *caption, volatile int *stop) {
  return search_progress_open(&g_window, caption, stop, "LOADING", true);
}

void tick(int permille) { search_progress_tick(&g_window, permille); }

void close_window() { search_progress_close(&g_window); }

const LoadProgressWindow kWindow = {open_window, tick, close_window};

}  // namespace

void load_progress_install(bool install) {
  debug_info_set_progress_window(install ? &kWindow : nullptr);
}
