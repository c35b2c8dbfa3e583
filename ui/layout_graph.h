// The records of the screen layout and the building of their graph: holders (the
// alternative screens), their sections (one panel each) and the bars (splitter lines)
// between them, with the size groups that share a bar-to-bar length. Free of any window
// system: windows appear only as opaque handles that the window layer fills in.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "ui/layout_script.h"
#include "ui/layout_values.h"

struct LayoutRect {
  int left, top, right, bottom;
};

struct LayoutPoint {
  int x, y;
};

// Most sections a holder may have: joining them into bars recurses along their links.
enum { LAYOUT_MAX_SECTIONS = 256 };

// Side indexes; side s has axis s % 2, and (s + 2) % 4 is the opposite side.
enum { SIDE_LEFT = 0, SIDE_TOP = 1, SIDE_RIGHT = 2, SIDE_BOTTOM = 3 };

struct Holder;
struct Section;
struct LayoutWindows;

struct Bar {
  Holder *holder;
  int index;           // in the holder's bar list
  int middle;          // how many sections begin here; they stand first in the list
  int secnum;
  Section **sections;  // every section with this bar as a side
  int axis;            // 0: vertical, pos is an x; 1: horizontal, pos is a y
  int pos;             // holder client pixels; -1 when not placed
  float sumMin;        // greatest sum of minimums from here to the far border; -1 unknown
};

// Sections laid one after another along an axis, sharing the length between the near bar
// of the first and the far bar of the last.
struct SizeGroup {
  int axis;
  float length;   // as last distributed, after the fixed parts
  float weights;  // sum of relative weights, as last distributed
  int count;
  Section **members;
};

struct Section {
  char *id;                // names the panel by its window class; may be null
  bool framed;
  Holder *holder;
  LayoutRect rect;         // the positions of the side bars after the last relayout
  LayoutNode *node;
  void *panel;             // the panel window, once shown
  Bar *side[4];
  Section *neighbour[4];   // the section beyond each side (itself while being resolved)
  uint8_t lining;          // bit per side: lining up with the sections beside it
  SizeSpec spec[2];        // width, height
  SizeGroup *group[2];
  float size[2];           // computed sizes; -1 while not yet computed in a relayout
  float key;               // min plus the far bar's sumMin: orders the sections of a bar
};

// Present while the left button is held in the holder.
struct LayoutDrag {
  bool active;
  int bar[2];     // the vertical and the horizontal bar dragged (indexes), -1 for none
  int offset[2];  // mouse minus bar position at the press
};

struct Holder {
  char *id;
  char *group;
  void *window;
  int barnum;
  Bar **bars;          // the first four are the borders: left, top, right, bottom
  int secnum;
  Section **sections;  // most recently shown first
  uint32_t bgcolor;
  LayoutDrag drag;
  int width, height;   // client size of the last relayout
};

// The one layout of the program.
struct Layout {
  LayoutNode *tree;
  int holdernum;
  Holder **holders;    // most recently shown first; [0] is the active holder
  int activenum;       // holders of the active group at the front of the list
  Section *current;    // the focused panel's section
  Section *previous;   // the one current before it
  const LayoutWindows *windows;  // the window layer (layout_order.h)
};

// Creates the holders and sections of layout->tree (holders in file order, each section
// in the nearest enclosing holder) and applies their parameters. Gives the holder count.
int layout_build(Layout *layout, uint32_t background);
// Joins a holder's sections by their side parameters into bars, computes the minimum
// sums and builds the size groups. Gives null, or why the holder cannot be laid out.
const char *layout_connect(Holder *holder);
// Frees every holder, its bars, sections and size groups, and the script tree. The
// window layer has released its windows before.
void layout_free(Layout *layout);
