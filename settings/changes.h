// The change broadcast: flags raised anywhere during a tick are handed, all together, to
// every listener once on the next tick (last registered first).
#pragma once

enum ChangeFlag {
  CHG_STATE = 1,
  CHG_REGISTERS = 2,
  CHG_THREAD = 3,
  CHG_MODULES = 4,
  CHG_BREAKPOINTS = 6,
  CHG_GUARDS = 7,
  CHG_MEMORY = 8,
  CHG_LAYOUT = 9,
  CHG_CODE_POSITION = 10,
  CHG_DATA_POSITION = 11,
  CHG_WATCHES = 12,
  CHG_SETTINGS = 13,
  CHG_PLUGINS = 14,
  CHG_COMMANDS = 15,
  CHG_COMMENTS = 16,
  CHG_PRIVILEGE = 17,
  CHG_COUNT = 18,
};

typedef void (*ChangeListener)(int argument);

struct ChangeListenerEntry {
  ChangeListener function;
  int argument;
};

struct ChangeFlags {
  bool pending[CHG_COUNT];
  bool current[CHG_COUNT];
  ChangeListenerEntry *listeners;  // zone block
  int listener_count;
};
extern ChangeFlags g_changes;

// Clears both copies; listeners stay.
void changes_clear();
// Sets the pending flag; raising an already pending flag does nothing.
void changes_raise(int flag);
// True while the flag is current (during a broadcast).
bool changes_test(int flag);
// True if any flag of the list (ended by 0) is current.
bool changes_test_any(const int *flags);
bool changes_add_listener(ChangeListener function, int argument);
// Removes the last entry with the same function and argument; false when there is none.
bool changes_remove_listener(ChangeListener function, int argument);
// Once per tick: when a flag is pending, makes the pending flags current and calls every
// listener, last added first. Flags raised meanwhile wait for the next tick. Gives the
// number of listener calls.
int changes_broadcast();
// Frees the listener list (shut-down).
void changes_free();
