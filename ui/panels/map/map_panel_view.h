// The map panel's arithmetic, free of windows: the module of the shown position as a
// vertical bar of section bands, where an address lies on it and which address a point
// or a drag stands for, the bands' colours and the hint for the band under the mouse.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/modules.h"
#include "util/path.h"

enum {
  MAP_TOP = 80,            // the up-down control and a gap above the map
  MAP_INSET = 2,           // room for the sunken edge round the map
  MAP_CONTROL_HEIGHT = 70,
  MAP_MARKER_WIDTH = 19,   // picture 350: a row per marker
  MAP_MARKER_HEIGHT = 13,
  MAP_MARKER_LIFT = 6,     // the marker's point sits this far below its top
  MAP_DIM = 10,            // how far the bands darken while the mouse is elsewhere
};

struct MapRect {
  int left, top, right, bottom;
};

// The module shown, copied so that an unload between two paints cannot pull it away.
struct MapView {
  char path[KQ_PATH];
  uint32_t base, size;  // size 0: an empty map
  int section_count;
  SectionInfo *sections;  // zone block
};

// The map inside a client area of width × height.
MapRect map_rect(int width, int height);

// The module holding address, or an empty map outside every module; true when there is one.
bool map_view_build(MapView *view, uint32_t address);
void map_view_free(MapView *view);

// Where address lies on the map; false outside the shown module or on a map with no room.
bool map_y_of(const MapView *view, const MapRect *r, uint32_t address, int *y);
// The address at y; false outside the map's vertical span or on an empty map.
bool map_address_at(const MapView *view, const MapRect *r, int y, uint32_t *address);

// How far a drag moves along the map for a mouse (dx, dy) away from where it went down:
// straight down it follows the mouse, and the further sideways the finer it gets.
int map_drag_offset(int dx, int dy);

// A drag's anchor: the map edge of the shown marker and the y where the button went down.
struct MapDrag {
  int anchor_x, anchor_y;
};
// The address a drag to (x, y) points at; false when it leaves the map's span.
bool map_drag_address(const MapView *view, const MapRect *r, const MapDrag *drag, int x, int y,
                      uint32_t *address);

// The band of section index, from the y of its address to the y of its end; false for a
// section outside the shown module.
bool map_band(const MapView *view, const MapRect *r, int index, int *top, int *bottom);
// The index of the section whose band holds y, -1 for none.
int map_section_at(const MapView *view, const MapRect *r, int y);
// A band's colour (0x00BBGGRR): yellow for code, white when writable, light grey otherwise;
// a little darker while the mouse is not over the map.
uint32_t map_band_colour(uint32_t characteristics, bool hover);
// "SECTION '<name>' = " and the section's flags for the band under y; false (out empty)
// when no band holds it.
bool map_hint(const MapView *view, const MapRect *r, int y, char *out, size_t outlen);
