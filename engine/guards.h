// Data guards: four write watchpoints in the debug registers of the followed thread, each
// with an address expression and a condition.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum { GUARD_SLOTS = 4, GUARD_PIECES_MAX = 3 };

struct Guard {
  char *expression;    // zone text; null or empty: the slot is free
  char *condition;     // zone text; null or empty: always true
  uint8_t registers;   // the debug registers watching its value (bit r: DRr); 0: not armed
  uint32_t address;    // where the value was last watched
};
extern Guard g_guards[GUARD_SLOTS];

// Stores copies of the texts in slot n and arms the slots again; raises CHG_GUARDS. An
// empty expression frees the slot. False for n outside 0..3.
bool guard_set(int n, const char *expression, const char *condition);
// Sets the first free slot; gives its number, or -1 when none is free.
int guard_add(const char *expression, const char *condition);
// Copies the slot's texts; true when its expression is not empty.
bool guard_get(int n, char *expression, size_t expression_len, char *condition,
               size_t condition_len);
// Evaluates every slot's expression and programs the debug registers of the followed thread
// from them all at once. Slot n watches through DRn; a value that needs more watches than
// one borrows the registers of free slots, in slot order, and one that cannot have all it
// needs is not armed. Logs only the watches that came, moved or went.
void guards_arm();
// Frees every slot's texts and takes the watches out of the registers.
void guards_clear();

// One watch of a debug register: a length the processor defines (1, 2 or 4 bytes) at an
// address aligned to it, for it ignores the low address bits.
struct GuardPiece {
  uint32_t address, length;
};
// The fewest watches that cover the value [address, address + size) and nothing else;
// longer values are watched by their first 4 bytes. Gives their count (0 for size 0).
int guard_pieces(uint32_t address, uint32_t size, GuardPiece pieces[GUARD_PIECES_MAX]);

// DR7 with debug register r set to break on writes of length bytes; any length but 1, 2
// and 4 only disarms it.
uint32_t guard_dr7(uint32_t dr7, int r, uint32_t length);

// After a single-step exception that no step explains: false when DR6 names no watch of a
// guard. Otherwise the guard becomes the pause reason; when its condition holds the
// debuggee stays stopped, else it is let run on. True in both cases.
bool guards_check();
