// The command line and the options file: arbitrary text never crashes, never overflows a
// setting's buffer, and always leaves every text setting terminated within its buffer. As
// a workspace line, a patch record's bytes written back as text read back the same.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "settings/settings.h"
#include "startup/command_line.h"
#include "startup/workspace_file.h"
#include "symbols/user_patches.h"

static const SettingsMachine kMachine = {"C:\\start", "C:\\kq\\kq.exe", "C:\\windows",
                                         {0, 0, 1024, 768}};

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  std::string text((const char *)data, size);
  WorkspaceRecord record;
  if (workspace_parse_line(text.c_str(), &record) == WSL_RECORD && record.kind == WS_PATCH &&
      user_patch_load(record.args[0], record.args[1])) {
    UserPatch first = *user_patch_get(0);
    char hex[3 * USER_PATCH_BYTES + 1];
    user_patch_hex(&first, hex, sizeof hex);
    if (!user_patch_load(first.expression, hex) || user_patch_get(1)->length != first.length ||
        memcmp(user_patch_get(1)->bytes, first.bytes, first.length))
      __builtin_trap();
    user_patches_clear();
  }
  StartupRequest request;
  parse_command_line(text.c_str(), &request);
  if (strnlen(request.file, sizeof request.file) >= sizeof request.file) __builtin_trap();
  if (request.run_expression[sizeof request.run_expression - 1]) __builtin_trap();

  static char path[64];
  if (!path[0]) snprintf(path, sizeof path, "/dev/shm/kq-fuzz-%d.ini", (int)getpid());
  FILE *f = fopen(path, "wb");
  if (!f) return 0;
  fwrite(data, 1, size, f);
  fclose(f);
  settings_init(&kMachine);
  settings_read_options_file(path);
  for (const SettingEntry *e = g_setting_table; e->name; e++)
    if (e->type == ST_TEXT && strnlen((const char *)setting_value(e), e->size) >= e->size)
      __builtin_trap();
  settings_take_snapshot(true);
  settings_free();
  return 0;
}
