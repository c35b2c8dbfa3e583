// The watch list: the expressions the user follows, each with the text of its value (or of
// the evaluator's error), in display order. Values are computed by the evaluator and the
// value formatter; a value whose text differs from the one at the previous evaluation is
// marked changed. Free of windows: the panel window, the workspace and the tests share it.
#pragma once
#include <stddef.h>

#include "ui/rich_text/rich_text_records.h"

enum { WATCH_VALUE_MAX = 256 };

struct WatchEntry {
  char *expression;  // zone text
  char *value;       // zone text
  bool changed;      // the value moved at the last re-evaluation
};

struct WatchList {
  WatchEntry *entries;  // zone array
  int count;
  int selected;         // -1 for none
};
extern WatchList g_watches;

// Inserts the expression at position (a negative one counts from the end: -1 appends),
// evaluates it and selects it; raises the watch change flag. False when the same text
// (case-sensitive) is already watched or the text is empty.
bool watch_add(const char *expression, int position);
// Replaces the expression of entry index and evaluates it again; false when index is out
// of the list or the new text is watched by another entry.
bool watch_edit(int index, const char *expression);
bool watch_delete(int index);
// Swaps entry index with its neighbour (+1 down, -1 up); the selection follows it. False
// when there is no neighbour.
bool watch_move(int index, int delta);
// Moves the selection by delta entries, kept inside the list; with none selected, a step
// down selects the first entry and a step up the last. False when it did not move.
bool watch_select_step(int delta);
// Frees every entry (the workspace's reset, shut-down).
void watch_clear();
// Evaluates every entry again, the last first, and marks those whose text changed.
void watch_reevaluate();
// Whether the broadcast's current flags call for re-evaluation (modules, registers, state,
// memory).
bool watch_flags_call_for_reevaluation();

// The watch panel's document: a line per entry, the expression then ": " and the value;
// the selected line in white on red when the panel has the focus, changed values marked.
// Each line carries its entry's index.
struct WatchView {
  RichHandle expression_font, value_font;
  bool focused;
};
enum : unsigned {
  WATCH_EXPRESSION = 0x000000, WATCH_VALUE = 0x9B0000, WATCH_CHANGED_PAPER = 0x00AEFF,
  WATCH_SELECTED_PAPER = 0x0000FF, WATCH_SELECTED_TEXT = 0xFFFFFF
};
void watch_write(RichText *dd, const WatchView *view);

// The preferred width after a change by d pixels: at most the client width + d, then at
// most the widest line, at least 0.
int watch_preferred_width(int width, int d, int client_width, int widest_line);
