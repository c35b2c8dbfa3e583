// Code breakpoints: INT3 bytes planted in the debuggee, kept in a slot table by id and
// in an index by address; and the one temporary breakpoint of execution control.
#pragma once
#include <stdint.h>

struct Breakpoint {
  uint32_t id;
  char *expression;   // zone text, as the user or the workspace gave it
  uint32_t address;   // 0 while the text does not resolve
  uint8_t saved;      // the debuggee's byte under the INT3
  uint8_t once;       // the text follows the registers: kept where it first resolved
};

struct TemporaryBreakpoint {
  uint32_t address;  // 0 for none
  uint8_t saved;
};
extern TemporaryBreakpoint g_temporary;

void breakpoints_init();
// Removes every breakpoint and frees the table (shut-down).
void breakpoints_shutdown();

// Adds a breakpoint for the text and arms it when it resolves; gives its id, -1 when no
// slot could be had.
int breakpoint_add(const char *expression);
void breakpoint_remove(int id);
// The record of an id in use, else null; valid until the next add.
const Breakpoint *breakpoint_get(int id);
// Removes the breakpoint at address, or adds one named as the code panel names it.
void breakpoint_toggle(uint32_t address);
// Ids by exact (case-sensitive) text and by address; -1 for none.
int breakpoint_find(const char *expression);
int breakpoint_at(uint32_t address);
// Steps *id to the next breakpoint, from the highest id down; start with -1.
bool breakpoint_next(int *id);
int breakpoint_count();

// INT3 back at (arm) / saved byte back at (disarm) every breakpoint in [start, end).
void breakpoints_arm_range(uint32_t start, uint32_t end);
void breakpoints_disarm_range(uint32_t start, uint32_t end);
// Resolves every text again, except those kept where they first resolved, moves and
// re-arms the breakpoints, then re-arms the guards.
void breakpoints_reresolve();
// Takes every INT3 out of the debuggee and forgets the addresses (unload); the next
// session resolves and arms them afresh.
void breakpoints_unplant_all();
// Frees guards, breakpoints, the step and run-to records; forgets the temporary one.
void breakpoints_clear_all();

// Plants the temporary breakpoint; one planted earlier is taken out first, so that no
// stray INT3 stays behind.
bool temporary_plant(uint32_t address);
void temporary_remove();

// Whether the byte at address is an INT3 of ours (a breakpoint or the temporary one).
bool breakpoint_is_ours(uint32_t address);
// Puts saved bytes over the INT3s in buffer, which holds count bytes read at address.
void breakpoints_hide(uint32_t address, uint8_t *buffer, uint32_t count);
// After a write over [address, address + count): INT3s back, the temporary one saving
// the new byte.
void breakpoints_rearm_written(uint32_t address, uint32_t count);
