#include "settings/settings_registry_win32.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "settings/settings.h"
#include "util/path.h"
#include "util/zone.h"

const char kSettingsKey[] = "SOFTWARE\\KaquinDebugger";
const char kSettingsKeyVariable[] = "KQ_SETTINGS_KEY";

const char *settings_key() {
  static char key[KQ_PATH];
  DWORD length = GetEnvironmentVariableA(kSettingsKeyVariable, key, sizeof key);
  if (length == 0 || length >= sizeof key) text_copy(key, sizeof key, kSettingsKey);
  return key;
}

static bool open_for_reading(HKEY *key) {
  return RegOpenKeyExA(HKEY_CURRENT_USER, settings_key(), 0, KEY_READ, key) == ERROR_SUCCESS;
}

void settings_load_registry() {
  HKEY key;
  if (!open_for_reading(&key)) return;
  static char value[1024];
  for (int i = 0; g_setting_table[i].name && i < g_settings_store.count; i++) {
    DWORD type = 0, size = sizeof value - 1;
    if (RegQueryValueExA(key, g_setting_table[i].name, nullptr, &type, (BYTE *)value, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
      continue;
    value[size < sizeof value ? size : sizeof value - 1] = 0;
    setting_set_text(&g_setting_table[i], value);
    g_settings_store.states[i].from_file = false;
  }
  RegCloseKey(key);
}

static bool open_for_writing(HKEY *key) {
  return RegCreateKeyExA(HKEY_CURRENT_USER, settings_key(), 0, nullptr, 0, KEY_ALL_ACCESS,
                         nullptr, key, nullptr) == ERROR_SUCCESS;
}

bool settings_save_registry() {
  HKEY key;
  if (!g_settings_store.states || !open_for_writing(&key)) return false;
  static char text[SETTING_LONG_TEXT];
  bool ok = true;
  for (int i = 0; i < g_settings_store.count; i++) {
    if (g_settings_store.states[i].from_file) continue;
    setting_text(&g_setting_table[i], text, sizeof text);
    ok &= RegSetValueExA(key, g_setting_table[i].name, 0, REG_SZ, (const BYTE *)text,
                         (DWORD)strlen(text) + 1) == ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return ok;
}

bool registry_write_binary(const char *name, const void *bytes, size_t length) {
  HKEY key;
  if (!open_for_writing(&key)) return false;
  bool ok = RegSetValueExA(key, name, 0, REG_BINARY, (const BYTE *)bytes, (DWORD)length) ==
            ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

void *registry_read_binary(const char *name, size_t *length) {
  *length = 0;
  HKEY key;
  if (!open_for_reading(&key)) return nullptr;
  DWORD type = 0, size = 0;
  void *copy = nullptr;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      type == REG_BINARY && size > 0) {
    copy = zone_alloc(size);
    if (copy && RegQueryValueExA(key, name, nullptr, &type, (BYTE *)copy, &size) == ERROR_SUCCESS &&
        type == REG_BINARY) {
      *length = size;
    } else {
      copy = zone_free(copy);
    }
  }
  RegCloseKey(key);
  return copy;
}

bool settings_startup(const char *start_dir) {
  char program[KQ_PATH], system[KQ_PATH];
  GetModuleFileNameA(nullptr, program, sizeof program);
  GetSystemDirectoryA(system, sizeof system);
  RECT desktop;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &desktop, 0))
    GetWindowRect(GetDesktopWindow(), &desktop);
  SettingsMachine machine = {start_dir, program, system,
                             {desktop.left, desktop.top, desktop.right, desktop.bottom}};
  if (!settings_init(&machine)) return false;
  settings_load_registry();
  return true;
}

void settings_shutdown() {
  settings_save_registry();
  settings_free();
}

static void options_path(const char *debuggee_path, char *out, size_t outlen) {
  settings_pattern_path(g_settings.OptionsFilename, debuggee_path, out, outlen);
}

void settings_read_debuggee_options(const char *debuggee_path) {
  char path[KQ_PATH];
  options_path(debuggee_path, path, sizeof path);
  settings_read_options_file(path);
}

// An options file is only written when it has entries, so that debugging a program does
// not leave an empty kq.ini beside it.
void settings_save_at_unload(const char *debuggee_path) {
  char path[KQ_PATH];
  options_path(debuggee_path, path, sizeof path);
  bool any = false;
  for (int i = 0; i < g_settings_store.count; i++) any |= g_settings_store.states[i].from_file;
  if (any) settings_write_options_file(path);
  settings_save_registry();
  settings_load_registry();
}

bool settings_create_options_file(const char *start_dir, const char *debuggee_path,
                                  void *owner) {
  char path[KQ_PATH];
  snprintf(path, sizeof path, "%s\\%s", start_dir, g_settings.OptionsFilename);
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    char question[2 * KQ_PATH];
    snprintf(question, sizeof question,
             "Configuration file '%s' already exists\nDo You want to overwrite it ?", path);
    if (MessageBoxA((HWND)owner, question, "Attention", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
      return false;
  }
  settings_mark_all_from_file();
  options_path(debuggee_path, path, sizeof path);
  return settings_write_options_file(path);
}
