// The name table: a DWORD count, then names of a length byte, the characters and a NUL.
// Symbols and types name themselves by a 1-based index into it.
#include <string.h>

#include "plugins/tdsread/tds_state.h"
#include "util/zone.h"

void tds_read_names(TdsState *state, ByteCursor section) {
  if (state->name_at) return;  // one table per load
  ByteCursor c = section;
  uint32_t count = cursor_u32(&c);
  // Every name takes at least its length byte and its NUL.
  uint32_t most = (uint32_t)((section.size - c.offset) / 2);
  if (!c.ok || !count) return;
  if (count > most) count = most;
  state->name_at = (uint32_t *)zone_alloc(count * sizeof(uint32_t));
  if (!state->name_at) return;
  state->names = section;
  for (uint32_t i = 0; i < count; i++) {
    size_t at = c.offset;
    uint8_t length = cursor_u8(&c);
    cursor_take(&c, (size_t)length + 1);
    if (!c.ok) break;
    state->name_at[i] = (uint32_t)at;
    state->name_count = i + 1;
  }
  state->counts.names = state->name_count;
}

void tds_at_signs(char *name) {
  for (char *p = strchr(name, '%'); p; p = strchr(p + 1, '%')) *p = '@';
}

void tds_name(const TdsState *state, uint32_t index, char name[LEAF_NAME_SIZE], bool at_signs) {
  name[0] = 0;
  if (index == 0 || index > state->name_count) return;
  leaf_name_at(&state->names, state->name_at[index - 1], name, false);
  if (at_signs) tds_at_signs(name);
}
