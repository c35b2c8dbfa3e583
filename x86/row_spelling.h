// The printed spelling of each command-table row, made once: the text before the first
// comma, so that writing a mnemonic is one copy.
#pragma once
#include <stdint.h>

#include "x86/command_table.h"
#include "x86/names.h"

struct RowSpellings {
  bool built;
  Name rows[COMMAND_ROWS];
};
extern RowSpellings g_row_spellings;
void build_row_spellings();

// The spelling of a CommandTable row, of length 0 when it depends on a size or holds a
// REP word (such rows are spelled at each use); null for the rows of the other tables.
// Inline: every command's text asks for one.
inline const Name *row_spelling(const CommandRow *row) {
  uintptr_t offset = (uintptr_t)row - (uintptr_t)CommandTable;
  if (offset >= sizeof(CommandRow) * COMMAND_ROWS) return nullptr;
  if (!g_row_spellings.built) build_row_spellings();
  return &g_row_spellings.rows[offset / sizeof(CommandRow)];
}
