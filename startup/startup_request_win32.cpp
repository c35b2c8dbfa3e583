#include "startup/startup_request_win32.h"

#include <windows.h>

#include "engine/debuggee.h"
#include "startup/command_line.h"
#include "startup/commands.h"
#include "startup/main_window.h"
#include "util/log.h"

void startup_request_carry_out() {
  StartupRequest &r = g_startup_request;
  parse_command_line(GetCommandLineA(), &r);
  if (r.file[0]) {
    log_trace("Processing command to load module '%s'\n", r.file);
    debuggee_unload();
    // The run expression itself is used at EVN_Initiate; the toggle does nothing while
    // the debuggee is still loading.
    if (debuggee_launch(r.file) && r.run) main_command(CMD_PAUSE_RESUME);
  }
  if (r.process_id != NO_PROCESS) {
    debuggee_unload();
    log_trace("Processing command to open pid '%i'\n", (int)r.process_id);
    // Signalling the event releases the system's crash handler that started us.
    if (debuggee_attach_process(r.process_id) && r.event_handle)
      SetEvent((HANDLE)(uintptr_t)r.event_handle);
  }
  if (r.maximize && g_main.hwnd) {
    ShowWindow(g_main.hwnd, SW_MAXIMIZE);
    UpdateWindow(g_main.hwnd);
  }
}
