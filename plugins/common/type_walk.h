// The steps of a type section walk that the CodeView and Borland readers share: every
// record is registered first and then defined in index order, so a reference to a later
// index resolves to null (void) at that moment; a structure's field list is walked member
// by member over padding, fixed bytes and numeric leaves. Each reader keeps its record
// layouts, how it names members, and how far a forged section may make it walk.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "plugins/common/leaf_index.h"
#include "plugins/common/leaf_read.h"
#include "plugins/common/type_map.h"
#include "symbols/byte_cursor.h"

enum TypeAction {
  TYPE_POINTER,
  TYPE_ARRAY,
  TYPE_STRUCTURE,
  TYPE_ENUM,
  TYPE_PROCEDURE,
  TYPE_ALIAS,  // the type of its target (a modifier, a bit field's type)
};

enum MemberAction {
  MEMBER_DATA,       // a member of the structure
  MEMBER_SKIP,       // stepped over
  MEMBER_METHOD,     // stepped over; a virtual one carries its vtable offset as well
  MEMBER_ENUMERATE,  // an enumerator: the only member of an enumeration's list
  MEMBER_INDEX,      // the list goes on in the record whose index it holds
};

// A field list member, from its start: its fixed bytes, how many numeric leaves follow
// (the first is a data member's offset), whether a length-prefixed name follows them,
// and where a data member's type index lies and how wide it is.
struct MemberLayout {
  uint16_t leaf;
  MemberAction action;
  uint8_t fixed, numerics;
  bool named;
  uint8_t type_at, width;
};

// The records of one type section by index - TYPE_FIRST_DEFINED: each record's window,
// not ok when it overruns the section.
struct TypeRecords {
  ByteCursor *records;  // zone block
  uint32_t count;
  uint32_t next;   // the next index - TYPE_FIRST_DEFINED to define
  uint8_t *spill;  // zone block: copies of the records that could not be read in place
};

// Room for count records and spill bytes of copies; false for no records or no memory.
bool type_records_make(TypeRecords *records, uint32_t count, size_t spill = 0);
void type_records_free(TypeRecords *records);
// The record of an index when it lies inside the section, else null.
inline const ByteCursor *type_record(const TypeRecords *records, uint32_t index) {
  if (index < TYPE_FIRST_DEFINED || index - TYPE_FIRST_DEFINED >= records->count) return nullptr;
  const ByteCursor *record = &records->records[index - TYPE_FIRST_DEFINED];
  return record->ok ? record : nullptr;
}
// The next record to define in index order, skipping those outside the section, and its
// index; null after the last.
const ByteCursor *type_records_next(TypeRecords *records, uint32_t *index);
// Stores the type defined for index and counts it; leaves that define nothing (null)
// keep their slot empty.
void type_records_store(TypeMap *map, uint32_t index, DebugType type, uint32_t *count);

// How far the field-list walks of one type section may go, in bytes of list walked. A
// list serves one structure, rarely a few, so in a real section each is walked about once;
// a forged section whose lists lead into each other again and again ends when the budget
// runs out.
struct WalkBudget {
  size_t left;
};
WalkBudget walk_budget(size_t section_size);
// Takes n bytes of the budget; false (nothing taken) when fewer are left.
bool walk_budget_take(WalkBudget *budget, size_t n);

// Steps over padding at the cursor: a byte of 0xF0 or more skips its low four bits' worth
// of bytes (at least one). True when there was padding.
inline bool field_list_padding(ByteCursor *c) {
  uint8_t first = c->offset < c->size ? c->data[c->offset] : 0;
  if (first < 0xF0) return false;
  uint8_t skip = first & 0x0F;
  cursor_seek(c, c->offset + (skip ? skip : 1));
  return true;
}
// A method's fixed bytes, with the vtable offset of one that introduces a virtual.
size_t method_fixed(const ByteCursor *c, size_t start, const MemberLayout *layout);
// Reads the member that starts at start, whose leaf the cursor has passed: steps over its
// fixed bytes and numeric leaves, the first numeric into offset. False when the fixed
// bytes do not fit; the cursor is not ok when the numerics overrun. Inline: a walk reads
// every member through it.
inline bool member_fields(ByteCursor *c, size_t start, const MemberLayout *layout,
                          uint32_t *offset) {
  size_t fixed = layout->action == MEMBER_METHOD ? method_fixed(c, start, layout) : layout->fixed;
  if (!cursor_seek(c, start + fixed)) return false;
  for (int i = 0; i < layout->numerics; i++) {
    uint32_t value = leaf_numeric(c);
    if (i == 0) *offset = value;
  }
  return true;
}
