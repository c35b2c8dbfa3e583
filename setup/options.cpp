#include "setup/options.h"

#include <ctype.h>
#include <stddef.h>
#include <string.h>
#include <strings.h>

#include "setup/package.h"
#include "util/log.h"

// The next argument from *at into out (cut to fit); false at the end of the line.
static bool next_argument(const char **at, char *out, size_t outlen) {
  const char *p = *at;
  while (*p == ' ' || *p == '\t') p++;
  if (!*p) return false;
  size_t n = 0;
  bool quoted = false;
  for (; *p && (quoted || (*p != ' ' && *p != '\t')); p++) {
    if (*p == '"') {
      quoted = !quoted;
    } else if (n + 1 < outlen) {
      out[n++] = *p;
    }
  }
  out[n] = 0;
  *at = p;
  return true;
}

struct OptionRow {
  const char *name;
  bool flag;     // a switch without value
  size_t field;  // offset of the text or flag in SetupOptions
};
static const OptionRow kOptions[] = {
    {"PACK", false, offsetof(SetupOptions, pack)},
    {"OUT", false, offsetof(SetupOptions, out)},
    {"SOURCE", false, offsetof(SetupOptions, source)},
    {"SILENT", true, offsetof(SetupOptions, silent)},
};

static void take_option(const char *arg, SetupOptions *options) {
  const char *name = arg + 1;
  size_t n = 0;
  while (isalnum((unsigned char)name[n]) || name[n] == '_') n++;
  const char *value = name + n;
  if (*value == '=' || *value == ':') value++;
  for (const OptionRow &row : kOptions) {
    if (strlen(row.name) != n || strncasecmp(row.name, name, n)) continue;
    if (row.flag)
      *(bool *)((char *)options + row.field) = true;
    else
      text_copy((char *)options + row.field, KQ_PATH, value);
  }
}

int setup_parse_arguments(const char *command_line, SetupOptions *options) {
  memset(options, 0, sizeof *options);
  log_printf("Processing command line agruments...\n");
  char arg[KQ_PATH];
  int count = 0;
  for (const char *at = command_line; next_argument(&at, arg, sizeof arg); count++) {
    log_printf("args[%i]=%s\n", count, arg);
    if (arg[0] == '-' || arg[0] == '/') take_option(arg, options);
  }
  return count;
}

static SetupMode mode(SetupMode m) {
  static const char *const kLines[] = {"", "SETUP MODE: compile package\n", "SETUP MODE: install\n",
                                       "SETUP MODE: confirm uninstall\n",
                                       "SETUP MODE: uninstall\n"};
  log_printf("%s", kLines[m]);
  return m;
}

SetupMode setup_choose_mode(const SetupFiles *fs, const char *own_path, const char *temp_folder) {
  void *self = fs->open_read(own_path);
  if (!self) return MODE_NONE;
  uint32_t size = 0;
  uint8_t trailer[PACKAGE_TRAILER_SIZE], raw[PACKAGE_HEADER_SIZE];
  uint32_t header_offset = 0;
  PackageHeader h = {};
  bool sized = fs->size(self, &size);
  bool has_trailer = sized && size >= sizeof trailer && fs->seek(self, size - sizeof trailer) &&
                     fs->read(self, trailer, sizeof trailer) == sizeof trailer &&
                     package_trailer(trailer, &header_offset);
  bool has_header = has_trailer && fs->seek(self, header_offset) &&
                    fs->read(self, raw, sizeof raw) == sizeof raw && package_header_get(raw, &h);
  fs->close(self);
  if (!sized) return MODE_NONE;
  size_t temp_len = strlen(temp_folder);
  if (temp_len && !strncmp(own_path, temp_folder, temp_len)) return mode(MODE_UNINSTALL);
  if (!has_trailer) return mode(MODE_COMPILE);
  if (!has_header) {
    log_warning("The package is damaged: the trailer names no header\n");
    return MODE_NONE;
  }
  return mode(h.data_length ? MODE_INSTALL : MODE_CONFIRM);
}
