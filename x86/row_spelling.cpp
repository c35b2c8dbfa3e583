#include "x86/row_spelling.h"

#include <string.h>

RowSpellings g_row_spellings;

namespace {

// Size markers, size letters, 16:32 pairs and REP words leave the spelling empty.
Name spell(const char *mnemonic) {
  size_t n = strcspn(mnemonic, ",");
  if (n >= NAME_CHARS || strcspn(mnemonic, "&$*: ") < n) return Name{};
  return operator""_name(mnemonic, n);
}

}  // namespace

void build_row_spellings() {
  for (int i = 0; i < COMMAND_ROWS; i++) g_row_spellings.rows[i] = spell(CommandTable[i].mnemonic);
  g_row_spellings.built = true;
}
