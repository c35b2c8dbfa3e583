// The start-up request of the command line: open an executable, attach to a process,
// run to an expression.
#pragma once
#include <stdint.h>

#include "util/path.h"

enum : uint32_t { NO_PROCESS = 0xFFFFFFFFu };

struct StartupRequest {
  char file[KQ_PATH];            // file to load; empty for none
  uint32_t process_id;           // NO_PROCESS for none
  uint32_t event_handle;         // 0 for none
  bool run;
  char run_expression[KQ_PATH];
  bool maximize;
};
extern StartupRequest g_startup_request;

void startup_request_clear(StartupRequest *request);
// Parses the whole command line (the first token, the program's own path, is skipped)
// into request, which starts cleared. Tokens longer than a path buffer are cut.
void parse_command_line(const char *line, StartupRequest *request);
