// Settings: text forms, the snapshot that finds what changed, the name-pattern rule and
// the options file. Registry access lives in settings_registry_win32.cpp.
#include "settings/settings.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "settings/changes.h"
#include "util/path.h"
#include "util/zone.h"

SettingsStore g_settings_store;

int settings_count() {
  int n = 0;
  while (g_setting_table[n].name) n++;
  return n;
}

const SettingEntry *settings_find(const char *name) {
  for (const SettingEntry *e = g_setting_table; e->name; e++)
    if (strcmp(e->name, name) == 0) return e;
  return nullptr;
}

void *setting_value(const SettingEntry *entry) { return (char *)&g_settings + entry->offset; }

void setting_text(const SettingEntry *entry, char *out, size_t outlen) {
  if (!outlen) return;
  const void *v = setting_value(entry);
  switch (entry->type) {
    case ST_BYTE: snprintf(out, outlen, "%i", *(const uint8_t *)v); break;
    case ST_INT: snprintf(out, outlen, "%i", (int)*(const int32_t *)v); break;
    case ST_TEXT: text_copy(out, outlen, (const char *)v); break;
    case ST_RECT: {
      const SettingRect *r = (const SettingRect *)v;
      snprintf(out, outlen, "%i %i %i %i", (int)r->left, (int)r->top, (int)r->right,
               (int)r->bottom);
      break;
    }
  }
}

// The leading decimal number (after blanks, with a sign); 0 when there is none. Values out
// of range are clamped rather than overflowing.
static int32_t leading_number(const char *text) {
  long long v = strtoll(text, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return (int32_t)v;
}

void setting_set_text(const SettingEntry *entry, const char *text) {
  void *v = setting_value(entry);
  switch (entry->type) {
    case ST_BYTE: *(uint8_t *)v = (uint8_t)leading_number(text); break;
    case ST_INT: *(int32_t *)v = leading_number(text); break;
    case ST_TEXT: text_copy((char *)v, entry->size, text); break;
    case ST_RECT: {
      int a = 0, b = 0, c = 0, d = 0;
      if (sscanf(text, "%i %i %i %i", &a, &b, &c, &d) == 4) *(SettingRect *)v = {a, b, c, d};
      break;
    }
  }
}

static void rect_text(char *out, size_t outlen, SettingRect r) {
  snprintf(out, outlen, "%i %i %i %i", (int)r.left, (int)r.top, (int)r.right, (int)r.bottom);
}

bool settings_init(const SettingsMachine *machine) {
  settings_free();
  g_settings_store.count = settings_count();
  g_settings_store.states =
      (SettingState *)zone_alloc(g_settings_store.count * sizeof(SettingState));
  if (!g_settings_store.states) return false;
  memset(g_settings_store.states, 0, g_settings_store.count * sizeof(SettingState));
  memset(&g_settings, 0, sizeof g_settings);
  for (const SettingEntry *e = g_setting_table; e->name; e++)
    if (e->default_text) setting_set_text(e, e->default_text);

  // The computed defaults.
  char text[SETTING_TEXT];
  const SettingRect d = machine->desktop;
  const int w = (d.right - d.left) / 6, h = (d.bottom - d.top) / 6;
  rect_text(text, sizeof text, {d.left + w, d.top + h, d.right - w, d.bottom - h});
  setting_set_text(settings_find("Position"), text);
  // Plug-ins sit beside the program file, wherever the user starts it from.
  text_copy(text, sizeof text, machine->program_path);
  char *slash = strrchr(text, '\\');
  text_copy(slash ? slash + 1 : text, sizeof text - (slash ? slash + 1 - text : 0), "plugin");
  setting_set_text(settings_find("PluginPath"), text);
  path_replace_extension(text, sizeof text, machine->program_path, ".log");
  setting_set_text(settings_find("LogFilename"), text);
  snprintf(text, sizeof text, "%s\\cmd.exe /C", machine->system_dir);
  setting_set_text(settings_find("CommandLineInterpreter"), text);
  return true;
}

void settings_free() {
  g_settings_store.states = (SettingState *)zone_free(g_settings_store.states);
  g_settings_store.snapshot = (char *)zone_free(g_settings_store.snapshot);
  g_settings_store.count = 0;
}

void settings_take_snapshot(bool mark) {
  if (!g_settings_store.states) return;
  static char text[SETTING_LONG_TEXT];
  const char *old = g_settings_store.snapshot;
  size_t old_size = zone_size(old), pos = 0, total = 0;
  for (int i = 0; i < g_settings_store.count; i++) {
    const SettingEntry *e = &g_setting_table[i];
    setting_text(e, text, sizeof text);
    // The first snapshot starts from empty texts.
    const char *before = pos < old_size ? old + pos : "";
    if (pos < old_size) pos += strlen(before) + 1;
    g_settings_store.states[i].changed = false;
    if (strcmp(before, text) != 0) {
      g_settings_store.states[i].changed = mark;
      changes_raise(CHG_SETTINGS);
    }
    total += strlen(text) + 1;
  }
  char *snap = (char *)zone_alloc(total);
  if (!snap) return;
  char *p = snap;
  for (int i = 0; i < g_settings_store.count; i++) {
    setting_text(&g_setting_table[i], text, sizeof text);
    size_t n = strlen(text) + 1;
    memcpy(p, text, n);
    p += n;
  }
  zone_free(g_settings_store.snapshot);
  g_settings_store.snapshot = snap;
}

bool settings_changed(const void *variable) {
  if (!g_settings_store.states) return false;
  for (int i = 0; i < g_settings_store.count; i++)
    if (setting_value(&g_setting_table[i]) == variable) return g_settings_store.states[i].changed;
  return false;
}

static bool pattern_is_absolute(const char *p) {
  return p[0] == '\\' || (p[0] && p[1] == ':' && p[2] == '\\');
}

void settings_pattern_path(const char *pattern, const char *debuggee_path, char *out,
                           size_t outlen) {
  if (!outlen) return;
  const char *name = debuggee_path;
  for (const char *p = debuggee_path; *p; p++)
    if (*p == '\\' || *p == '/') name = p + 1;
  const char *dot = strrchr(name, '.');
  size_t base_len = dot && dot != name ? (size_t)(dot - name) : strlen(name);
  size_t n = 0;
  auto put = [&](const char *s, size_t len) {
    for (size_t i = 0; i < len && n + 1 < outlen; i++) out[n++] = s[i];
  };
  if (!pattern_is_absolute(pattern)) put(debuggee_path, (size_t)(name - debuggee_path));
  for (const char *p = pattern; *p; p++) {
    if (*p == '*') put(name, base_len);
    else put(p, 1);
  }
  out[n] = 0;
}

// Reads one line into buf (cut to fit, the rest of an overlong line dropped) and cuts it
// at its first line feed or carriage return; false at the end of the file.
static bool read_line(FILE *f, char *buf, size_t buflen) {
  if (!fgets(buf, (int)buflen, f)) return false;
  size_t len = strlen(buf);
  if (len && buf[len - 1] != '\n' && !feof(f)) {
    int c;
    while ((c = fgetc(f)) != EOF && c != '\n') {}
  }
  buf[strcspn(buf, "\r\n")] = 0;
  return true;
}

enum { OPTIONS_ENTRY = 1024 };

static void parse_options_entry(const char *line) {
  const char *p = line;
  while ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') ||
         *p == '_')
    p++;
  char key[OPTIONS_ENTRY];
  size_t len = (size_t)(p - line);
  memcpy(key, line, len);
  key[len] = 0;
  // The key must be followed directly by "=" or ":".
  if (*p != '=' && *p != ':') return;
  p++;
  const SettingEntry *e = settings_find(key);
  if (!e || !g_settings_store.states) return;
  setting_set_text(e, p);
  g_settings_store.states[e - g_setting_table].from_file = true;
}

bool settings_read_options_file(const char *path) {
  FILE *f = fopen(path, "rb");
  if (!f) return false;
  static char entry[OPTIONS_ENTRY], next[OPTIONS_ENTRY];
  while (read_line(f, entry, sizeof entry)) {
    for (;;) {
      long at = ftell(f);
      if (!read_line(f, next, sizeof next)) break;
      if (next[0] != '\t' || next[1] != '\\') {
        fseek(f, at, SEEK_SET);
        break;
      }
      size_t len = strlen(entry);
      if (len + 1 < sizeof entry) {
        entry[len] = '\n';
        text_copy(entry + len + 1, sizeof entry - len - 1, next + 2);
      }
    }
    parse_options_entry(entry);
  }
  fclose(f);
  return true;
}

bool settings_write_options_file(const char *path) {
  if (!g_settings_store.states) return false;
  FILE *f = fopen(path, "w");
  if (!f) return false;
  static char text[SETTING_LONG_TEXT];
  for (int i = 0; i < g_settings_store.count; i++) {
    if (!g_settings_store.states[i].from_file) continue;
    const SettingEntry *e = &g_setting_table[i];
    setting_text(e, text, sizeof text);
    fprintf(f, "%s=", e->name);
    for (const char *p = text; *p; p++) {
      if (*p == '\n') fputs("\n\t\\", f);
      else fputc(*p, f);
    }
    fputc('\n', f);
  }
  fclose(f);
  return true;
}

void settings_mark_all_from_file() {
  for (int i = 0; i < g_settings_store.count; i++) g_settings_store.states[i].from_file = true;
}
