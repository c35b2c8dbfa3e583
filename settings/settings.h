// The settings: one static table of named global values that every part of the program
// reads directly (g_settings), kept in the registry for the user and overridden per
// debugged program by its options file while that program is loaded.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "util/path.h"

enum { SETTING_TEXT = KQ_PATH, SETTING_LONG_TEXT = 2048 };

struct SettingRect {
  int32_t left, top, right, bottom;
};

// Field names are the keys of the registry and the options file.
struct Settings {
  uint8_t WriteReadOnly;
  uint8_t ShowMMX;
  uint8_t ShowFormatWarning;
  int32_t WatchWidth;
  int32_t SymbolFilter;
  int32_t ContextHelpDelay;
  uint8_t CpuViewMode;  // 1: steps go by instruction; 0: by source line
  char Arguments[SETTING_TEXT];
  char ArgumentsHistory[SETTING_TEXT];
  char WorkspaceFilename[SETTING_TEXT];
  char OptionsFilename[SETTING_TEXT];
  int32_t LastOpenFilter;
  char LastProcess[SETTING_TEXT];
  char LastModule[SETTING_TEXT];
  char LastGlobal[SETTING_TEXT];
  char LastCommentExpression[SETTING_TEXT];
  char LastBreakpointExpression[SETTING_TEXT];
  char LastCommand[SETTING_TEXT];
  char LastExpression[SETTING_TEXT];
  char LastFill[SETTING_TEXT];
  char LastInsert[SETTING_TEXT];
  char LastExpressionHistory[SETTING_TEXT];
  char LastValueHistory[SETTING_TEXT];
  char LastFillHistory[SETTING_TEXT];
  char LastInsertHistory[SETTING_TEXT];
  char CodeJump[SETTING_TEXT];
  char CodeJumpHistory[SETTING_TEXT];
  char DataJump[SETTING_TEXT];
  char DataJumpHistory[SETTING_TEXT];
  char DataSearch[SETTING_TEXT];
  char DataSearchHistory[SETTING_TEXT];
  char CodeSearch[SETTING_TEXT];
  char CodeSearchHistory[SETTING_TEXT];
  char SourceSearch[SETTING_TEXT];
  char SourceSearchHistory[SETTING_TEXT];
  char LogSearch[SETTING_TEXT];
  char LogSearchHistory[SETTING_TEXT];
  char LogGoto[SETTING_TEXT];
  char LogGotoHistory[SETTING_TEXT];
  char LogFilter[SETTING_TEXT];
  char PluginPath[SETTING_TEXT];
  uint8_t SearchSourceInSubfolders;
  char SourceSearchPaths[SETTING_LONG_TEXT];
  SettingRect Position;
  SettingRect NavigatorPosition;
  SettingRect PluginControlPosition;
  SettingRect ConsolePosition;
  uint8_t TraceOverLibraryCalls;
  char HotKey[SETTING_TEXT];
  uint8_t ExecuteStartupCode;
  uint8_t ViewCPUBytes;
  uint8_t ShowStdMenu;
  uint8_t MasterMode;
  int32_t CommentComparizonMethod;
  int32_t BreakComparizonMethod;
  int32_t ModuleComparizonMethod;
  int32_t WindowComparizonMethod;
  int32_t ThreadComparizonMethod;
  int32_t ProcessComparizonMethod;
  char LogFilename[SETTING_TEXT];
  uint8_t HyperlinkSymbols;
  char CommandLineInterpreter[SETTING_TEXT];
  char PluginOrder[SETTING_TEXT];
  char LastLine[SETTING_TEXT];
  char LastLineHistory[SETTING_TEXT];
  int32_t StepJournalBytes;  // memory step back may keep; 0 restores registers only
};
extern Settings g_settings;

enum SettingType : uint8_t { ST_BYTE = 0, ST_INT = 1, ST_TEXT = 2, ST_RECT = 3 };

// One row of the setting table; the table ends with a row without name.
struct SettingEntry {
  const char *name;
  size_t offset;  // of the value in Settings
  SettingType type;
  size_t size;    // of the value
  const char *default_text;  // text form of the default; null for computed defaults
};
extern const SettingEntry g_setting_table[];

// Per-entry flags, in table order.
struct SettingState {
  bool from_file;
  bool changed;
};

struct SettingsStore {
  SettingState *states;   // zone block, one per table row
  char *snapshot;         // zone block: text forms, each ended by a zero, in table order
  int count;
};
extern SettingsStore g_settings_store;

// What the settings need from outside that depends on the machine: the computed defaults.
struct SettingsMachine {
  const char *start_dir;        // current directory at start
  const char *program_path;     // the debugger's own executable
  const char *system_dir;       // the system folder
  SettingRect desktop;          // work area of the desktop
};

int settings_count();
const SettingEntry *settings_find(const char *name);  // exact, case-sensitive
void *setting_value(const SettingEntry *entry);
// The text form of an entry's current value; cut to fit out.
void setting_text(const SettingEntry *entry, char *out, size_t outlen);
// Sets the value from its text form (texts cut to fit their buffer).
void setting_set_text(const SettingEntry *entry, const char *text);

// Defaults, the computed ones from the machine record; flags cleared. Registry loading is
// separate (settings_registry.h) so this part stays portable.
bool settings_init(const SettingsMachine *machine);
void settings_free();

// Compares each entry's text form with the snapshot; an entry that differs gets the
// changed flag set to mark and raises CHG_SETTINGS. Then rebuilds the snapshot.
void settings_take_snapshot(bool mark);
// True while the entry whose value is variable has its changed flag set.
bool settings_changed(const void *variable);

// The name-pattern rule: pattern placed in the debuggee's folder unless absolute, each
// "*" replaced by the debuggee's base name. debuggee_path may be empty.
void settings_pattern_path(const char *pattern, const char *debuggee_path, char *out,
                           size_t outlen);

// The options file at path: read (sets values and their from-file flags; false when it
// cannot be opened) and write (the from-file entries, in table order).
bool settings_read_options_file(const char *path);
bool settings_write_options_file(const char *path);
// Marks every entry as from-file (the dialog's "Flush Into Config File").
void settings_mark_all_from_file();
