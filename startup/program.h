// The debugger program's own state and entry.
#pragma once
#include "util/path.h"

struct ProgramState {
  char start_dir[KQ_PATH];  // base of the help file and of the default plug-in folder
};
extern ProgramState g_program;

int program_main();
