// First-match search of the command table through an index built on first use: for each
// first key byte the ordered list of rows that can match it, and for crowded first bytes
// (0F, the FPU escapes, REP) one such list per second byte.
#pragma once
#include <stdint.h>

#include "x86/command_table.h"

// The first row of CommandTable after `after` (null: from the start) that matches key,
// in table order; null when none does.
const CommandRow *next_command_row(uint32_t key, const CommandRow *after);
// Whether some HazardTable row can match key: the first key byte rules most out.
bool hazard_possible(uint32_t key);
