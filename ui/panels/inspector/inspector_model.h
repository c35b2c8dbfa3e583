// What an inspector window browses, free of windows: a path of named steps from the root
// (the watch list, the call stack and the sources) down through frames, structures, arrays
// and pointers, re-resolved by name after every change, and the items of the level shown.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "engine/execution.h"

struct TypeRecord;

// An item's kind is the kind of the level that opening it creates.
enum InspectorKind {
  IK_ERROR = 0,      // a watch that cannot be evaluated; cannot be opened
  IK_ROOT = 1,
  IK_STACK = 2,
  IK_FRAME = 3,
  IK_STRUCT = 4,
  IK_ARRAY = 5,
  IK_POINTER = 6,
  IK_WATCHES = 7,
  IK_SOURCE = 8,
  IK_VALUE = 9,      // opening it changes the value
};

enum { INSPECTOR_FRAME_WORDS = 64, INSPECTOR_POINTER_ELEMENTS = 256 };

struct InspectorItem {
  char *name;   // zone text
  char *value;  // zone text; written only for the level shown
  int kind;
  uint32_t address, size;
  TypeRecord *type;
};

struct InspectorLevel {
  int kind;
  uint32_t address, size;
  TypeRecord *type;
  char *selected;  // zone text: the name of the item opened from this level, "" at first
  int top;         // the list's top row when the level was left
};

struct InspectorModel {
  InspectorItem *items;  // zone array, list order
  int item_count;
  InspectorLevel *levels;  // zone array, the root first
  int level_count;
  int resolved;  // levels whose kind and place are known, from the root
  int current;   // the level the path leads to
};
// A zeroed model is empty: the first path fills it.

// Where the model reaches the debuggee beyond the evaluator: a fresh call-stack snapshot
// (null without a debuggee) and memory reads (pointer levels).
struct InspectorEnvironment {
  const CallStack *(*call_stack)();
  bool (*read_memory)(uint32_t address, void *buffer, uint32_t size);
};
// Copies env; null installs one without a stack or memory.
void inspector_set_environment(const InspectorEnvironment *env);

// Follows the path ("\\" separates names, a leading one starts from the root, ".." goes
// up, a trailing one enters the last named item), then resolves it.
void inspector_set_path(InspectorModel *m, const char *path);
// Looks the levels up again by name from the root and rebuilds the shown items (after a
// change of the debuggee or of the watches).
void inspector_refresh(InspectorModel *m);
// The level whose items are shown: the current one, or the deepest resolved one above it
// while a name of the path is missing; -1 for none.
int inspector_shown_level(const InspectorModel *m);

enum InspectorOpen { OPEN_NOTHING, OPEN_MOVED, OPEN_CHANGE_VALUE };
// Opens item index of the shown level, the list's top row being top: enters or leaves a
// level (OPEN_MOVED), or says the item is a plain value to change.
InspectorOpen inspector_open(InspectorModel *m, int index, int top);
// The item of that name, the last one when names repeat; -1 for none.
int inspector_find_item(const InspectorModel *m, const char *name);
// The row to select: the item named as the shown level's selected name, 0 when none.
int inspector_selected_row(const InspectorModel *m);
// "\\" and the selected names of the levels before the current one, each followed by "\\".
void inspector_path_text(const InspectorModel *m, char *out, size_t outlen);
// The name of the object shown: the selected name of the level before, "\\" at the root.
const char *inspector_object_name(const InspectorModel *m);

// The item's value as the evaluator writes it now; false (and "") when it has no type.
bool inspector_value_text(const InspectorItem *item, char *out, int outlen);
// Assigns text to item index through the evaluator (its message into error on failure),
// then resolves from the root again.
bool inspector_assign(InspectorModel *m, int index, const char *text, char *error,
                      size_t errorlen);

// Where a new inspector stands: the shared rectangle moved 60 right and 10 down, or, when
// the moved one no longer meets the desktop, with its top-left corner at (0, 0).
struct InspectorRect {
  int left, top, right, bottom;
};
InspectorRect inspector_next_place(InspectorRect place, InspectorRect desktop);

// Frees the items and the levels.
void inspector_free(InspectorModel *m);
