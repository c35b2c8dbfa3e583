#include "ui/panels/map/map_panel_view.h"

#include <stdio.h>
#include <string.h>

#include "util/zone.h"

enum : uint32_t {
  BAND_CODE = 0x00FFFF, BAND_WRITABLE = 0xFFFFFF, BAND_READ_ONLY = 0xF0F0F0,
  SECTION_CODE = 0x20, SECTION_WRITE = 0x80000000,
};

MapRect map_rect(int width, int height) {
  return {MAP_INSET, MAP_TOP + MAP_INSET, width - MAP_INSET, height - MAP_INSET};
}

bool map_view_build(MapView *view, uint32_t address) {
  map_view_free(view);
  const ModuleRecord *m = module_by_address(address);
  if (!m || m->end <= m->base) return false;
  text_copy(view->path, sizeof view->path, m->path ? m->path : "");
  view->base = m->base;
  view->size = m->end - m->base;
  view->sections = (SectionInfo *)zone_dup_bytes(
      (size_t)m->section_count * sizeof(SectionInfo), m->sections);
  view->section_count = view->sections ? m->section_count : 0;
  return true;
}

void map_view_free(MapView *view) {
  zone_free(view->sections);
  *view = MapView();
}

// MulDiv's rounding, for the non-negative values of the map.
static int scale(uint64_t value, uint64_t numerator, uint64_t denominator) {
  return (int)((value * numerator + denominator / 2) / denominator);
}

bool map_y_of(const MapView *view, const MapRect *r, uint32_t address, int *y) {
  if (!view->size || r->bottom <= r->top || address < view->base ||
      address - view->base >= view->size)
    return false;
  *y = r->top + scale(address - view->base, (uint64_t)(r->bottom - r->top), view->size);
  return true;
}

bool map_address_at(const MapView *view, const MapRect *r, int y, uint32_t *address) {
  if (!view->size || y < r->top || y >= r->bottom) return false;
  const uint64_t down = (uint64_t)(y - r->top), height = (uint64_t)(r->bottom - r->top);
  *address = view->base + (uint32_t)(view->size * down / height);
  return true;
}

int map_drag_offset(int dx, int dy) {
  const int64_t dy2 = (int64_t)dy * dy;
  if (dy2 <= 1) return 0;
  return (int)(dy * dy2 / (dy2 + 2 * (int64_t)dx * dx));
}

bool map_drag_address(const MapView *view, const MapRect *r, const MapDrag *drag, int x, int y,
                      uint32_t *address) {
  const int offset = map_drag_offset(x - drag->anchor_x, y - drag->anchor_y);
  return map_address_at(view, r, drag->anchor_y + offset, address);
}

bool map_band(const MapView *view, const MapRect *r, int index, int *top, int *bottom) {
  if (index < 0 || index >= view->section_count) return false;
  const SectionInfo &s = view->sections[index];
  if (!map_y_of(view, r, s.address, top)) return false;
  // A band that runs past the image's end stops at the map's bottom.
  if (!map_y_of(view, r, s.address + s.size, bottom) || s.address + s.size < s.address)
    *bottom = r->bottom;
  return true;
}

int map_section_at(const MapView *view, const MapRect *r, int y) {
  int top, bottom;
  for (int i = 0; i < view->section_count; i++)
    if (map_band(view, r, i, &top, &bottom) && y >= top && y < bottom) return i;
  return -1;
}

uint32_t map_band_colour(uint32_t characteristics, bool hover) {
  const uint32_t colour = characteristics & SECTION_CODE    ? BAND_CODE
                          : characteristics & SECTION_WRITE ? BAND_WRITABLE
                                                            : BAND_READ_ONLY;
  if (hover) return colour;
  uint32_t dimmed = 0;  // black blended over it with strength MAP_DIM
  for (int shift = 0; shift < 24; shift += 8)
    dimmed |= (((colour >> shift) & 0xFF) * (255 - MAP_DIM) / 255) << shift;
  return dimmed;
}

bool map_hint(const MapView *view, const MapRect *r, int y, char *out, size_t outlen) {
  if (outlen) out[0] = 0;
  const int i = map_section_at(view, r, y);
  if (i < 0 || !outlen) return false;
  char flags[KQ_PATH], text[2 * KQ_PATH];
  section_flags_text(view->sections[i].characteristics, flags, sizeof flags);
  snprintf(text, sizeof text, "SECTION '%s' = %s", view->sections[i].name, flags);
  text_copy(out, outlen, text);
  return true;
}
