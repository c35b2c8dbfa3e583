// Installing a package's files with the uninstaller beside them, and removing them again.
#pragma once
#include <stdint.h>

#include "setup/files.h"
#include "setup/package.h"
#include "setup/variables.h"

// Called after every block copied with its size; false asks to stop (the user cancelled).
struct Progress {
  bool (*report)(void *context, const char *name, uint32_t bytes);
  void *context;
};

// Creates every missing folder of path from its start. False, with a log line, when one
// cannot be created or a file stands in the way.
bool setup_make_folders(const SetupFiles *fs, const char *path);

// Writes folder\uninst.exe and then the package's files below folder. Every destination is
// checked before anything is written. On failure or cancellation what was written is taken
// away again (the files, the uninstaller, the folders left empty), so that no half product
// stays behind without an uninstaller. Why it failed goes to why, for the user.
bool package_extract(const SetupFiles *fs, const ByteSource *package, const PackageInfo *info,
                     const Variables *vars, const char *folder, const Progress *progress,
                     char *why = nullptr, size_t whylen = 0);

// Deletes every file entry below folder (temporary ones included), the uninstaller and its
// log, then removes the folders that became empty, deepest first. Other files stay.
void package_remove_files(const SetupFiles *fs, const PackageInfo *info, const Variables *vars,
                          const char *folder);

// Removes the empty folders below folder, deepest first, and then folder itself if empty.
void setup_remove_empty_folders(const SetupFiles *fs, const char *folder);

extern const char kUninstaller[];  // "uninst.exe"
