#include "engine/regions.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "engine/address_eval.h"
#include "engine/debuggee.h"
#include "engine/memory.h"
#include "util/zone.h"

RegionList g_regions;

namespace {

struct Word {
  uint32_t value;
  const char *text;
};

const Word kStates[] = {{0x1000, "COMMIT"}, {0x10000, "FREE"}, {0x2000, "RESERVE"}};
const Word kTypes[] = {{0x1000000, "IMAGE"}, {0x40000, "MAPPED"}, {0x20000, "PRIVATE"}};
// In the order they are written.
const Word kProtections[] = {
    {0x2, "READONLY"},           {0x4, "READWRITE"},         {0x8, "WRITECOPY"},
    {0x10, "EXECUTE"},           {0x20, "EXECUTE_READ"},     {0x40, "EXECUTE_READWRITE"},
    {0x80, "EXECUTE_WRITECOPY"}, {0x100, "GUARD"},           {0x1, "NOACCESS"},
    {0x200, "NOCACHE"},
};
const uint32_t kExecutableMask = 0xF0;

template <size_t N>
const char *word_of(const Word (&table)[N], uint32_t value) {
  for (const Word &w : table)
    if (w.value == value) return w.text;
  return "";
}

void rebuild_if_stale() {
  if (g_regions.stale) regions_rebuild();
}

const MemoryRegion *found(uint32_t address) {
  int i = region_find(address);
  return i < 0 ? nullptr : &g_regions.regions[i];
}

}  // namespace

void regions_free() {
  g_regions.regions = (MemoryRegion *)zone_free(g_regions.regions);
  g_regions.count = 0;
  g_regions.stale = false;
}

void regions_invalidate() { g_regions.stale = true; }

void regions_rebuild() {
  regions_free();
  if (g_debuggee.state == DS_NOTLOADED) return;
  MEMORY_BASIC_INFORMATION info;
  for (uint32_t address = 0;
       VirtualQueryEx(g_debuggee.process, (const void *)(uintptr_t)address, &info, sizeof info);) {
    MemoryRegion r = {(uint32_t)(uintptr_t)info.BaseAddress,
                      (uint32_t)(uintptr_t)info.AllocationBase,
                      info.AllocationProtect,
                      (uint32_t)info.RegionSize,
                      info.State,
                      info.Protect,
                      info.Type};
    void *grown = zone_append(g_regions.regions, &r, sizeof r);
    if (!grown) break;
    g_regions.regions = (MemoryRegion *)grown;
    g_regions.count++;
    uint32_t next = r.base + r.size;
    if (!r.size || next <= address) break;  // the last region ends the address space
    address = next;
  }
}

int region_find(uint32_t address) {
  rebuild_if_stale();
  int low = 0, high = g_regions.count - 1, hit = -1;
  while (low <= high) {
    int mid = (low + high) / 2;
    if (g_regions.regions[mid].base <= address) {
      hit = mid;
      low = mid + 1;
    } else {
      high = mid - 1;
    }
  }
  return hit;
}

uint32_t region_start(uint32_t address) {
  const MemoryRegion *r = found(address);
  return r ? r->base : address;
}

uint32_t region_previous_start(uint32_t address) {
  int i = region_find(address);
  return i > 0 ? g_regions.regions[i - 1].base : address;
}

uint32_t region_next_start(uint32_t address) {
  int i = region_find(address);
  return i >= 0 && i + 1 < g_regions.count ? g_regions.regions[i + 1].base : address;
}

uint32_t region_next_boundary(uint32_t address) {
  int i = region_find(address) + 1;  // -1 (below all) gives the first region
  return i < g_regions.count ? g_regions.regions[i].base : 0;
}

uint32_t region_previous_boundary(uint32_t address) {
  int i = region_find(address);
  if (i >= 0 && g_regions.regions[i].base == address) i--;
  return i >= 0 ? g_regions.regions[i].base : 0;
}

bool region_is_executable(uint32_t address) {
  const MemoryRegion *r = found(address);
  return r && (r->protect & kExecutableMask);
}

bool region_is_module_start(uint32_t address) {
  const MemoryRegion *r = found(address);
  return r && r->base == address && r->base == r->allocation_base &&
         g_address_eval.module_starts_at(address);
}

void region_describe(uint32_t address, char *out, size_t outlen) {
  out[0] = 0;
  const MemoryRegion *r = found(address);
  if (!r) return;
  char protections[256] = "";
  for (const Word &w : kProtections) {
    if (!(r->protect & w.value)) continue;
    if (protections[0]) strncat(protections, " | ", sizeof protections - strlen(protections) - 1);
    strncat(protections, w.text, sizeof protections - strlen(protections) - 1);
  }
  snprintf(out, outlen, "%s\t%08X %08X [%X] %s {%s}", word_of(kTypes, r->type),
           (unsigned)r->allocation_base, (unsigned)r->base, (unsigned)r->size,
           word_of(kStates, r->state), protections);
}

int region_command_length(uint32_t address) { return command_length_at(address, nullptr); }

uint32_t address_step(uint32_t address, int32_t distance) {
  int64_t to = (int64_t)address + distance;
  return to < 0 ? 0 : to > 0xFFFFFFFF ? 0xFFFFFFFFu : (uint32_t)to;
}
