// The rows of a layout table (record kinds, leaves) found by their 16-bit kind through a
// hash built from the table at compile time: the walks look up every record's layout, and
// a scan of the table for each cost more than the rest of reading most records.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum { LEAF_INDEX_SLOTS = 256 };

// Open addressing with linear probing: a slot holds a kind and its row + 1 (0: empty).
struct LeafIndex {
  uint16_t leaf[LEAF_INDEX_SLOTS];
  uint8_t row[LEAF_INDEX_SLOTS];
};

constexpr size_t leaf_slot(uint16_t leaf) {
  return (uint16_t)(leaf * 40503u) >> 8 & (LEAF_INDEX_SLOTS - 1);
}

// The index of rows by the field key; a kind listed twice is found at its first row.
template <class Row, size_t N>
constexpr LeafIndex leaf_index(const Row (&rows)[N], uint16_t Row::*key) {
  static_assert(N < LEAF_INDEX_SLOTS / 2, "a table this long needs a larger index");
  LeafIndex index{};
  for (size_t i = 0; i < N; i++) {
    size_t s = leaf_slot(rows[i].*key);
    while (index.row[s] && index.leaf[s] != rows[i].*key) s = (s + 1) % LEAF_INDEX_SLOTS;
    if (!index.row[s]) {
      index.leaf[s] = rows[i].*key;
      index.row[s] = (uint8_t)(i + 1);
    }
  }
  return index;
}

// The row of leaf, or null when the table has none.
template <class Row>
const Row *find_row(const Row *rows, const LeafIndex &index, uint16_t leaf) {
  for (size_t s = leaf_slot(leaf); index.row[s]; s = (s + 1) % LEAF_INDEX_SLOTS)
    if (index.leaf[s] == leaf) return &rows[index.row[s] - 1];
  return nullptr;
}
