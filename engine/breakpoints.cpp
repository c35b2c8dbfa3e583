#include "engine/breakpoints.h"

#include <string.h>

#include "engine/address_eval.h"
#include "engine/debuggee.h"
#include "engine/execution.h"
#include "engine/guards.h"
#include "engine/memory.h"
#include "engine/registers.h"
#include "settings/changes.h"
#include "util/index.h"
#include "util/log.h"
#include "util/path.h"
#include "util/tab.h"
#include "util/zone.h"

TemporaryBreakpoint g_temporary;

namespace {

const uint8_t kInt3 = 0xCC;

struct BreakpointTable {
  SlotTable slots;
  SortedIndex by_address;
  bool ready;
};
BreakpointTable g_table;

Breakpoint *record(uint32_t id) { return (Breakpoint *)tab_slot(&g_table.slots, (int)id); }

int compare_address(const void *key, uint32_t context, uint32_t id) {
  (void)context;
  uint32_t a = *(const uint32_t *)key, b = record(id)->address;
  return a < b ? -1 : a > b;
}

void put_byte(uint32_t address, uint8_t value) { memory_write_raw(address, &value, 1); }

// Another record, or the temporary breakpoint, at the same address keeps the INT3 when
// one of them goes.
bool shared_address(uint32_t address) {
  int count = sindex_collect(&g_table.by_address, &address);
  sindex_reset(&g_table.by_address);
  return count > 1 || address == g_temporary.address;
}

// Reads the byte under address through the hiding reader (another breakpoint may stand
// there already), plants the INT3 and indexes the record. A byte that cannot be read or
// written leaves the breakpoint unresolved, to be tried again at the next refresh.
bool plant(Breakpoint *b, uint32_t address) {
  uint8_t byte;
  if (memory_read(address, &byte, 1) != 1 || memory_write_raw(address, &kInt3, 1) != 1) {
    log_printf("WARNING: breakpoint '%s' cannot be planted at %08X\n", b->expression,
               (unsigned)address);
    return false;
  }
  b->saved = byte;
  b->address = address;
  sindex_insert(&g_table.by_address, &b->address, b->id);
  return true;
}

void unplant(Breakpoint *b) {
  if (!b->address) return;
  if (!shared_address(b->address)) put_byte(b->address, b->saved);
  sindex_remove(&g_table.by_address, &b->address, b->id);
  b->address = 0;
}

uint32_t resolve(const char *expression) { return g_address_eval.address(expression); }

// A text read through the registers ("[esp]", a local) means the place it named when it
// was set: resolved again at the next stop it would wander with the registers.
void plant_resolved(Breakpoint *b, uint32_t address) {
  if (address && plant(b, address)) b->once = g_address_eval.reads_registers(b->expression);
}

// Calls visit on every breakpoint whose address lies in [start, end), once per address.
template <typename Visit>
void walk_range(uint32_t start, uint32_t end, Visit visit) {
  if (!g_table.ready) return;
  for (uint32_t id = sindex_ceiling(&g_table.by_address, &start);
       id != SINDEX_NONE && record(id)->address < end;) {
    Breakpoint *b = record(id);
    visit(b);
    id = sindex_after(&g_table.by_address, &b->address);
  }
}

}  // namespace

void breakpoints_init() {
  if (g_table.ready) return;
  tab_init(&g_table.slots, sizeof(Breakpoint));
  sindex_init(&g_table.by_address);
  sindex_set_compare(&g_table.by_address, compare_address, 0);
  g_table.ready = true;
}

void breakpoints_shutdown() {
  if (!g_table.ready) return;
  breakpoints_clear_all();
  sindex_destroy(&g_table.by_address);
  tab_free(&g_table.slots);
  g_table.ready = false;
}

int breakpoint_add(const char *expression) {
  breakpoints_init();
  int id = tab_alloc(&g_table.slots);
  if (id < 0) return -1;
  Breakpoint *b = record((uint32_t)id);
  b->id = (uint32_t)id;
  b->expression = zone_strdup(expression ? expression : "");
  b->once = 0;
  plant_resolved(b, resolve(b->expression));
  changes_raise(CHG_BREAKPOINTS);
  return id;
}

void breakpoint_remove(int id) {
  if (!g_table.ready || !tab_in_use(&g_table.slots, id)) return;
  Breakpoint *b = record((uint32_t)id);
  unplant(b);
  b->expression = (char *)zone_free(b->expression);
  tab_release(&g_table.slots, id);
  changes_raise(CHG_BREAKPOINTS);
}

const Breakpoint *breakpoint_get(int id) {
  return g_table.ready && tab_in_use(&g_table.slots, id) ? record((uint32_t)id) : nullptr;
}

void breakpoint_toggle(uint32_t address) {
  if (!address) return;
  int id = breakpoint_at(address);
  if (id >= 0) {
    breakpoint_remove(id);
    return;
  }
  char name[KQ_PATH];
  g_address_eval.name_address(address, name, sizeof name);
  breakpoint_add(name);
}

int breakpoint_find(const char *expression) {
  for (int id = -1; breakpoint_next(&id);)
    if (!strcmp(record((uint32_t)id)->expression, expression)) return id;
  return -1;
}

int breakpoint_at(uint32_t address) {
  if (!g_table.ready || !address) return -1;
  uint32_t id = sindex_find(&g_table.by_address, &address);
  return id == SINDEX_NONE ? -1 : (int)id;
}

bool breakpoint_next(int *id) {
  return g_table.ready && tab_prev_used(&g_table.slots, id);
}

int breakpoint_count() { return g_table.ready ? tab_used(&g_table.slots) : 0; }

void breakpoints_arm_range(uint32_t start, uint32_t end) {
  walk_range(start, end, [](Breakpoint *b) { put_byte(b->address, kInt3); });
}

void breakpoints_disarm_range(uint32_t start, uint32_t end) {
  walk_range(start, end, [](Breakpoint *b) { put_byte(b->address, b->saved); });
}

void breakpoints_reresolve() {
  bool changed = false;
  for (int id = -1; breakpoint_next(&id);) {
    Breakpoint *b = record((uint32_t)id);
    uint32_t address = b->once && b->address ? b->address : resolve(b->expression);
    if (address != b->address) {
      unplant(b);
      plant_resolved(b, address);
      changed = true;
    }
    if (b->address) put_byte(b->address, kInt3);
  }
  if (changed) changes_raise(CHG_BREAKPOINTS);
  guards_arm();
}

void breakpoints_unplant_all() {
  for (int id = -1; breakpoint_next(&id);) unplant(record((uint32_t)id));
  temporary_remove();
}

void breakpoints_clear_all() {
  guards_clear();
  for (int id = -1; breakpoint_next(&id);) breakpoint_remove(id);
  execution_forget();
  g_debuggee.pause = PauseReason{0, -1};
  g_temporary = TemporaryBreakpoint{0, 0};
}

bool temporary_plant(uint32_t address) {
  if (g_temporary.address) temporary_remove();
  uint8_t byte;
  if (memory_read(address, &byte, 1) != 1 || memory_write_raw(address, &kInt3, 1) != 1)
    return false;
  g_temporary = TemporaryBreakpoint{address, byte};
  return true;
}

void temporary_remove() {
  if (!g_temporary.address) return;
  // A stop on the engine's own breakpoint shows no reason.
  if (g_registers.r[REG_EIP] == g_temporary.address) g_debuggee.pause.code = 0;
  // A user breakpoint at the same place keeps its INT3.
  if (breakpoint_at(g_temporary.address) < 0) put_byte(g_temporary.address, g_temporary.saved);
  g_temporary = TemporaryBreakpoint{0, 0};
}

bool breakpoint_is_ours(uint32_t address) {
  return address && (address == g_temporary.address || breakpoint_at(address) >= 0);
}

void breakpoints_hide(uint32_t address, uint8_t *buffer, uint32_t count) {
  if (!count) return;
  uint32_t end = address + count < address ? 0xFFFFFFFFu : address + count;
  if (g_temporary.address && g_temporary.address - address < count)
    buffer[g_temporary.address - address] = g_temporary.saved;
  walk_range(address, end, [=](Breakpoint *b) { buffer[b->address - address] = b->saved; });
}

void breakpoints_rearm_written(uint32_t address, uint32_t count) {
  uint32_t end = address + count < address ? 0xFFFFFFFFu : address + count;
  // The written bytes are what the user wants under the breakpoints: each keeps its new
  // byte to restore when it goes, so a patch is not undone by removing a breakpoint. All
  // are read before any INT3 goes back, as twins share one address.
  walk_range(address, end, [](Breakpoint *b) { memory_read_raw(b->address, &b->saved, 1); });
  if (g_temporary.address && g_temporary.address - address < count) {
    memory_read_raw(g_temporary.address, &g_temporary.saved, 1);
    put_byte(g_temporary.address, kInt3);
  }
  breakpoints_arm_range(address, end);
}
