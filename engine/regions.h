// The memory map: the debuggee's virtual memory regions in address order, rebuilt from
// the system on demand, with the look-ups the panels and the search step by.
#pragma once
#include <stddef.h>
#include <stdint.h>

// As the system's region query gives it.
struct MemoryRegion {
  uint32_t base, allocation_base, allocation_protect, size, state, protect, type;
};

struct RegionList {
  MemoryRegion *regions;  // zone block
  int count;
  bool stale;             // rebuilt at the next look-up
};
extern RegionList g_regions;

void regions_rebuild();
// Marks the list for rebuilding at its next use: a query of another process's memory is
// slow under Wine, and most refreshes are followed by no look-up at all.
void regions_invalidate();
// Empties the list (unload, shut-down).
void regions_free();

// Index of the region holding address (the greatest base not above it); -1 for none.
int region_find(uint32_t address);
// The region's base / the base of the region before or after it; address when none.
uint32_t region_start(uint32_t address);
uint32_t region_previous_start(uint32_t address);
uint32_t region_next_start(uint32_t address);
// The first base above address / the last base below it; 0 when none.
uint32_t region_next_boundary(uint32_t address);
uint32_t region_previous_boundary(uint32_t address);
bool region_is_executable(uint32_t address);
// Whether address starts a region that starts its allocation, and a module of the module
// list starts there.
bool region_is_module_start(uint32_t address);
// One line: type, allocation base, base, size, state and protections; "" when none.
void region_describe(uint32_t address, char *out, size_t outlen);
// Length of the command at address, at least 1.
int region_command_length(uint32_t address);
// address + distance, held at 0 and 0xFFFFFFFF.
uint32_t address_step(uint32_t address, int32_t distance);
