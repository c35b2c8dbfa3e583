// The installer's command line and the choice of its role from its own file.
#pragma once
#include "setup/files.h"
#include "util/path.h"

struct SetupOptions {
  char pack[KQ_PATH];    // the script to compile
  char out[KQ_PATH];     // the package to write
  char source[KQ_PATH];  // the folder relative "file" patterns start from
  bool silent;           // script errors only in the log
};

// Splits the command line at white space (a double-quoted stretch keeps its spaces and
// loses its quotes), logs every argument and takes the options "-NAME=value" or
// "/NAME:value". Gives the number of arguments.
int setup_parse_arguments(const char *command_line, SetupOptions *options);

enum SetupMode { MODE_NONE, MODE_COMPILE, MODE_INSTALL, MODE_CONFIRM, MODE_UNINSTALL };

// Uninstall when own_path lies in temp_folder; otherwise compile without a trailer, and
// install or confirm-uninstall by the data length in the header. None when the file
// cannot be read. Logs the mode's line.
SetupMode setup_choose_mode(const SetupFiles *fs, const char *own_path, const char *temp_folder);
