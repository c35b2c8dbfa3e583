#include "x86/command_index.h"

#include "util/visor.h"

namespace {

// A first byte with more candidate rows than this gets a list per second byte.
enum { CROWDED = 8, MAX_FIRST = 1024, MAX_CROWDED = 16, MAX_SECOND = 4096 };

struct CommandIndex {
  bool built;
  uint16_t first_start[257];          // rows of first byte b: first_rows[start[b]..start[b+1])
  uint16_t first_rows[MAX_FIRST];
  int8_t crowded[256];                // number of the second-level table, or -1
  uint16_t second_start[MAX_CROWDED][257];
  uint16_t second_rows[MAX_SECOND];
  bool hazard_first[256];             // a HazardTable row can match this first byte
};

CommandIndex g_index;

bool byte_matches(const CommandRow &row, int byte_no, int value) {
  int shift = 8 * byte_no;
  return (((uint32_t)value << shift ^ row.code) & row.mask & 0xFFu << shift) == 0;
}

void build_index() {
  CommandIndex &x = g_index;
  int n = 0, crowded = 0, m = 0;
  for (int b = 0; b < 256; b++) {
    x.first_start[b] = (uint16_t)n;
    for (int i = 0; CommandTable[i].mask != 0; i++) {
      if (!byte_matches(CommandTable[i], 0, b)) continue;
      KQ_ASSERT(n < MAX_FIRST, "disasm");
      x.first_rows[n++] = (uint16_t)i;
    }
    x.crowded[b] = -1;
    if (n - x.first_start[b] <= CROWDED) continue;
    KQ_ASSERT(crowded < MAX_CROWDED, "disasm");
    x.crowded[b] = (int8_t)crowded;
    for (int b1 = 0; b1 < 256; b1++) {
      x.second_start[crowded][b1] = (uint16_t)m;
      for (int j = x.first_start[b]; j < n; j++) {
        if (!byte_matches(CommandTable[x.first_rows[j]], 1, b1)) continue;
        KQ_ASSERT(m < MAX_SECOND, "disasm");
        x.second_rows[m++] = x.first_rows[j];
      }
    }
    x.second_start[crowded][256] = (uint16_t)m;
    crowded++;
  }
  x.first_start[256] = (uint16_t)n;
  for (const CommandRow *h = HazardTable; h->mask != 0; h++)
    for (int b = 0; b < 256; b++) x.hazard_first[b] |= byte_matches(*h, 0, b);
  x.built = true;
}

}  // namespace

const CommandRow *next_command_row(uint32_t key, const CommandRow *after) {
  if (!g_index.built) build_index();
  int b0 = key & 0xFF, b1 = key >> 8 & 0xFF;
  const uint16_t *list, *end;
  int t = g_index.crowded[b0];
  if (t < 0) {
    list = g_index.first_rows + g_index.first_start[b0];
    end = g_index.first_rows + g_index.first_start[b0 + 1];
  } else {
    list = g_index.second_rows + g_index.second_start[t][b1];
    end = g_index.second_rows + g_index.second_start[t][b1 + 1];
  }
  int skip_to = after ? (int)(after - CommandTable) : -1;
  for (; list < end; list++) {
    const CommandRow &row = CommandTable[*list];
    if (*list > skip_to && ((key ^ row.code) & row.mask) == 0) return &row;
  }
  return nullptr;
}

bool hazard_possible(uint32_t key) {
  if (!g_index.built) build_index();
  return g_index.hazard_first[key & 0xFF];
}
