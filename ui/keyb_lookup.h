// The keyboard command processor without a window system: the command tables in force,
// the modifier state, the look-up of a key, the function-key and balloon lists, and the
// filter's decisions. Windows are opaque here; keyb_win32.cpp supplies the seam.
#pragma once
#include <stdint.h>

#include "ui/key_names.h"

// One row of a window's command table, packed as the tables sit in static data. A table
// ends with a row whose title is null; command 0 marks a command not implemented.
#pragma pack(push, 1)
struct KeyCommand {
  uint8_t modifiers;  // KEYMOD_ flags, compared exactly
  uint16_t key;       // virtual-key code
  uint16_t command;   // also the string-table number of its help text
  const char *title;
};
#pragma pack(pop)
static_assert(sizeof(KeyCommand) == 5 + sizeof(void *), "rows stay packed");

// A command as the function-key bar and the balloon list it and run it.
struct CommandRef {
  uint16_t category;     // KeyCategory of the key
  const char *key_name;  // the key alone, without modifiers
  const char *title;
  void *window;          // the window whose table holds the command
  uint16_t command;
};

enum { MAXKEYTAB = 6, FUNCTION_KEY_COUNT = 10, BALLOON_COMMANDS = 40 };

// What the processor needs from the window system.
struct KeybSeam {
  uint8_t (*read_modifiers)();            // ALT, CTRL and SHIFT as they are now
  void *(*focus)();                       // the window with the keyboard focus
  void (*execute)(const CommandRef *ref);  // runs a command (algorithm of keyb_win32.cpp)
};
// The balloon and the function-key bar, which follow the tables and the modifiers; each
// entry may be null while its window does not exist.
struct KeybViews {
  void (*balloon_report)(void *focus);
  void (*balloon_hide)();
  void (*bar_refresh)();
  void (*bar_enable)(bool enabled);
};

struct KeyTableRef {
  void *window;
  const KeyCommand *table;
};
struct KeyboardState {
  KeyTableRef tabs[MAXKEYTAB];
  int tabnum;
  uint8_t modifiers;
  bool active;  // keys are looked up only while the application is active
  const KeybSeam *seam;
  const KeybViews *views;
};
extern KeyboardState g_keyb;

// Empties the list and installs the seam; the application starts active.
void keyb_reset(const KeybSeam *seam);
void keyb_set_views(const KeybViews *views);
// Appends (window, table) unless registered already; its index. A sixth table is a
// programming error (fatal assertion).
int keyb_register_table(void *window, const KeyCommand *table);
void keyb_unregister_table(void *window, const KeyCommand *table);
// Stores the flag, re-reads the modifiers, hides the balloon, enables or disables the bar.
void keyb_set_active(bool active);
bool keyb_active();
uint8_t keyb_modifiers();

// The first row, searching the latest table first, whose modifiers equal modifiers and
// whose key is key.
bool keyb_find(uint8_t modifiers, int key, CommandRef *out);
// The F1-F10 commands of the current modifier state; later tables override earlier ones.
// Always 10: keys without a command have title null, command 0 and no window.
int keyb_function_keys(CommandRef out[FUNCTION_KEY_COUNT]);
// The editing and character keys of the current modifier state, one per key name (the
// latest table wins), sorted by category, then name; at most limit.
int keyb_available_commands(CommandRef *out, int limit);
// One key message: key down or up, system (ALT-menu) or not; true when consumed.
bool keyb_filter_key(int key, bool down, bool system);
void keyb_execute(const CommandRef *ref);
