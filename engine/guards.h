// Data guards: four write watchpoints in the debug registers of the followed thread, each
// with an address expression and a condition.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum { GUARD_SLOTS = 4 };

struct Guard {
  char *expression;  // zone text; null or empty: the slot is free
  char *condition;   // zone text; null or empty: always true
};
extern Guard g_guards[GUARD_SLOTS];

// Disarms slot n, stores copies of the texts and arms it from them; raises CHG_GUARDS.
// An empty expression frees the slot. False for n outside 0..3.
bool guard_set(int n, const char *expression, const char *condition);
// Sets the first free slot; gives its number, or -1 when none is free.
int guard_add(const char *expression, const char *condition);
// Copies the slot's texts; true when its expression is not empty.
bool guard_get(int n, char *expression, size_t expression_len, char *condition,
               size_t condition_len);
// Puts the slot's address into its debug register when the expression evaluates.
void guard_arm(int n);
// Frees every slot's texts (the registers are left to the next arming).
void guards_clear();

// DR7 with slot n set to break on writes of length bytes (1..4), or disarmed when length
// is 0.
uint32_t guard_dr7(uint32_t dr7, int n, uint32_t length);

// After a single-step exception that no step explains: false when DR6 names no guard.
// Otherwise the guard becomes the pause reason; when its condition holds the debuggee
// stays stopped, else it is let run on. True in both cases.
bool guards_check();
