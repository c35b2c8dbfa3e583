// The installation script: the tail of a file after its "#pack" line, statements of an
// operator, up to three operands and ";", compiled into the package's tables.
#pragma once
#include <stddef.h>

#include "setup/files.h"
#include "setup/package.h"
#include "setup/variables.h"

struct ScriptError {
  int line;                // in the whole file, the "#pack" line and those before it counted
  char text[KQ_PATH];      // "Error in %i: " and the message; empty when there was none
};

// Compiles the file's text (len bytes) into info and vars; relative "file" patterns are
// resolved against source. False at the first error: what came before it stays in info.
bool script_compile(const char *text, size_t len, const SetupFiles *fs, const char *source,
                    PackageInfo *info, Variables *vars, ScriptError *error);

// The compile mode: reads the script file (".bat" added to a name without extension),
// compiles it and writes the package behind a copy of image_path. The package is written
// even after a script error, from the statements before it; error then holds the message.
// False on a script error or when the package cannot be written.
bool script_build_package(const SetupFiles *fs, const char *script_path, const char *source,
                          const char *image_path, const char *out_path, ScriptError *error);
