// The type section: every record is registered first, then the records are visited in
// index order, so a reference to a later index resolves to null (void) at that moment.
// Records come in two numberings: leaves from 0x1000 carry 32-bit type indexes, the older
// ones (VC 4.x program databases) 16-bit ones at other places; tables give both layouts.
#include <string.h>

#include "plugins/common/leaf_read.h"
#include "plugins/common/name_table.h"
#include "plugins/common/type_walk.h"
#include "plugins/cvread/cv_state.h"
#include "util/zone.h"

namespace {

// Where a type record's fields lie, from the record's start (0: not used).
struct TypeLayout {
  uint16_t leaf;
  TypeAction action;
  uint8_t width;  // of the type indexes
  uint8_t target_at, list_at, size_at, name_at, call_at;
};
constexpr TypeLayout kTypes[] = {
#define CV_TYPE(name, leaf, action, width, target_at, list_at, size_at, name_at, call_at) \
  {leaf, action, width, target_at, list_at, size_at, name_at, call_at},
#include "plugins/cvread/cv_kinds.def"
#undef CV_TYPE
};

constexpr MemberLayout kMembers[] = {
#define CV_MEMBER(name, leaf, action, fixed, numerics, named, type_at, width) \
  {leaf, action, fixed, numerics, named, type_at, width},
#include "plugins/cvread/cv_kinds.def"
#undef CV_MEMBER
};
constexpr LeafIndex kTypeIndex = leaf_index(kTypes, &TypeLayout::leaf);
constexpr LeafIndex kMemberIndex = leaf_index(kMembers, &MemberLayout::leaf);
// Leaves from here on end their names with a NUL.
const uint16_t kFirstTextLeaf = 0x1500;
// A structure's property WORD: declared only, or with a decorated unique name after its
// name.
const size_t kPropertyAt = 6;
const uint16_t kForwardReference = 0x0080, kUniqueName = 0x0200;
// The id records of a function and of a method: scope or class, then the function type.
const uint16_t kFunctionId = 0x1601, kMethodId = 0x1602;
const size_t kIdTypeAt = 8, kIdNameAt = 12;

bool text_leaf(const ByteCursor *record, size_t at) {
  return record_field(record, at, 2) >= kFirstTextLeaf;
}

// The records of the section being read and where their types go.
struct TypeSection {
  CvTypes *types;
  TypeRecords records;
  WalkBudget budget;
};

// Structures and enumerations: named, and declared ahead of their definitions.
bool is_named_kind(const TypeLayout *layout) {
  return layout->action == TYPE_STRUCTURE || layout->action == TYPE_ENUM;
}

bool is_forward(const ByteCursor *record) {
  return (record_field(record, kPropertyAt, 2) & kForwardReference) != 0;
}

// Reads a record's size (0 for a kind without one) and name, and with key the name that
// identifies a structure among its forward references (its unique name, else its name;
// empty when it has none). Each stays in the record, or is cut into its buffer.
uint32_t record_name(const ByteCursor *record, const TypeLayout *layout, const char **name,
                     char buffer[LEAF_NAME_SIZE], const char **key = nullptr,
                     char key_buffer[LEAF_NAME_SIZE] = nullptr) {
  ByteCursor c = *record;
  cursor_seek(&c, layout->size_at ? layout->size_at : layout->name_at);
  uint32_t size = layout->size_at ? leaf_numeric(&c) : 0;
  bool text = text_leaf(record, 2);
  *name = leaf_any_name(&c, text, buffer, true);
  if (!key) return size;
  *key = record_field(record, kPropertyAt, 2) & kUniqueName
             ? leaf_any_name(&c, text, key_buffer, false)
             : *name;
  return size;
}

// Walks a field list from its byte 4 to its end. For a structure each data member
// becomes a member of strukt; an enumeration's list only holds enumerators. A leaf the
// walk does not know ends it, keeping what was read.
void walk_field_list(const CvState *state, TypeSection *section, const TypeMap *map,
                     const ByteCursor *first, bool is_enum, DebugType strukt) {
  // A long list goes on in the list an LF_INDEX names; the walk budget ends a chain that
  // comes back to itself.
  for (const ByteCursor *list = first; list && walk_budget_take(&section->budget, list->size);) {
    ByteCursor c = *list;
    const ByteCursor *next = nullptr;
    cursor_seek(&c, 4);
    while (c.ok && c.offset + 2 < c.size) {
      if (field_list_padding(&c)) continue;
      size_t start = c.offset;
      const MemberLayout *layout = find_row(kMembers, kMemberIndex, cursor_u16(&c));
      if (!layout) return;
      uint32_t offset = 0;
      if (!member_fields(&c, start, layout, &offset)) return;
      if (layout->action == MEMBER_INDEX) {
        next = type_record(&section->records, record_field(list, start + layout->type_at, 4));
        break;
      }
      if (is_enum != (layout->action == MEMBER_ENUMERATE)) return;
      char buffer[LEAF_NAME_SIZE];
      const char *name = "";
      if (layout->named) name = leaf_any_name(&c, text_leaf(list, start), buffer, true);
      if (!c.ok) return;
      if (layout->action != MEMBER_DATA) continue;
      ByteCursor member = cursor_window(list, start, c.offset - start);
      DebugType type = type_map_resolve(map, record_field(&member, layout->type_at, layout->width));
      state->api->define_member(strukt, name, (int)offset, type);
    }
    list = next;
  }
}

// A structure's or an array's size.
uint32_t record_size(const ByteCursor *record, const TypeLayout *layout) {
  ByteCursor c = *record;
  cursor_seek(&c, layout->size_at);
  return leaf_numeric(&c);
}

// Walks the field list a structure's or enumeration's record names, if it has one.
void walk_list_of(const CvState *state, TypeSection *section, const ByteCursor *record,
                  const TypeLayout *layout, DebugType strukt) {
  const ByteCursor *list =
      type_record(&section->records, record_field(record, layout->list_at, layout->width));
  if (list)
    walk_field_list(state, section, &section->types->map, list, layout->action == TYPE_ENUM,
                    strukt);
}

// Defines the type of one record; null for leaves that define nothing. Only a structure
// or enumeration not defined ahead needs its name.
DebugType define_record(const CvState *state, TypeSection *section, uint32_t index,
                        const ByteCursor *record) {
  const TypeLayout *layout = find_row(kTypes, kTypeIndex, (uint16_t)record_field(record, 2, 2));
  if (!layout) return nullptr;
  const DebugApi *api = state->api;
  TypeMap *map = &section->types->map;
  DebugType target = type_map_resolve(map, record_field(record, layout->target_at, layout->width));
  // Defined ahead: a forward reference resolved, or the definition itself.
  DebugType ahead = section->types->ahead && is_named_kind(layout) ? type_map_resolve(map, index)
                                                                   : nullptr;
  if (ahead && is_forward(record)) return ahead;
  char buffer[LEAF_NAME_SIZE];
  const char *name;
  switch (layout->action) {
    case TYPE_POINTER:
      return api->define_pointer(target);
    case TYPE_ARRAY:
      return api->define_array(target, record_size(record, layout));
    case TYPE_STRUCTURE: {
      DebugType strukt = ahead;
      if (!strukt) {
        uint32_t size = record_name(record, layout, &name, buffer);
        strukt = api->define_struct(name, (int)size);
      }
      // Stored before its members are read: a member may point back to it.
      type_map_store(map, index, strukt);
      walk_list_of(state, section, record, layout, strukt);
      return strukt;
    }
    case TYPE_ENUM: {
      DebugType enumeration = ahead;
      if (!enumeration) {
        record_name(record, layout, &name, buffer);
        enumeration = api->define_enum(name, target);
      }
      walk_list_of(state, section, record, layout, nullptr);
      return enumeration;
    }
    case TYPE_PROCEDURE:
      return api->define_function(nullptr, target, (int)record_field(record, layout->call_at, 1));
    case TYPE_ALIAS:
      return target;
  }
  return nullptr;
}

// The layout of a structure or enumeration with a NUL-terminated name, else null.
const TypeLayout *named_layout(const ByteCursor *record) {
  const TypeLayout *layout =
      record ? find_row(kTypes, kTypeIndex, (uint16_t)record_field(record, 2, 2)) : nullptr;
  return layout && is_named_kind(layout) && text_leaf(record, 2) ? layout : nullptr;
}

// The structures and enumerations of a section, defined before the walk under their own
// index and under the index of every forward reference with the same key (unique name,
// else name); a forward reference without a definition is left to the walk. One walk of
// the section finds them, and the table of keys holds the definitions alone.
void define_ahead(const CvState *state, TypeSection *section) {
  TypeMap *map = &section->types->map;
  uint32_t *named = (uint32_t *)zone_alloc(section->records.count * sizeof(uint32_t) + 1);
  if (!named) return;
  uint32_t count = 0, definitions = 0;
  for (uint32_t i = 0; i < section->records.count; i++) {
    const ByteCursor *record = type_record(&section->records, TYPE_FIRST_DEFINED + i);
    if (!named_layout(record)) continue;
    named[count++] = TYPE_FIRST_DEFINED + i;
    definitions += !is_forward(record);
  }
  NameTable table;
  if (name_table_make(&table, definitions)) {
    for (int forward = 0; forward < 2; forward++) {
      for (uint32_t i = 0; i < count; i++) {
        uint32_t index = named[i];
        const ByteCursor *record = type_record(&section->records, index);
        if (is_forward(record) != (forward == 1)) continue;
        const TypeLayout *layout = named_layout(record);
        char buffer[LEAF_NAME_SIZE], key_buffer[LEAF_NAME_SIZE];
        const char *name, *key;
        uint32_t size = record_name(record, layout, &name, buffer, &key, key_buffer);
        if (!forward) {
          const DebugApi *api = state->api;
          uint32_t base = record_field(record, layout->target_at, layout->width);
          type_map_store(map, index,
                         layout->action == TYPE_STRUCTURE
                             ? api->define_struct(name, (int)size)
                             : api->define_enum(name, type_map_resolve(map, base)));
          if (key[0]) name_table_add(&table, key, index);
        } else if (uint32_t definition = key[0] ? name_table_find(&table, key) : 0) {
          type_map_store(map, index, type_map_resolve(map, definition));
        }
      }
    }
    name_table_free(&table);
  }
  zone_free(named);
}

}  // namespace

namespace {

// A section read front to back, with where the section's bytes [low, high) lie: all of a
// window, or the run of pages that held the last record.
struct SectionReader {
  const TypeBytes *section;
  const uint8_t *bytes;
  size_t low, high;
};

SectionReader section_reader(const TypeBytes *section) {
  if (section->pages.pdb) return SectionReader{section, nullptr, 0, 0};
  return SectionReader{section, section->window.data, 0, section->size};
}

// Moves the reader to the run of pages holding at, then reads as section_bytes does.
const uint8_t *section_bytes_moved(SectionReader *r, size_t at, size_t length, uint8_t *out) {
  const TypeBytes *section = r->section;
  if (!section->pages.pdb || at > section->size || length > section->size - at) return nullptr;
  PdbRun run = pdb_pages_run(&section->pages, section->from + at);
  if (run.end) {
    size_t start = run.start > section->from ? run.start : section->from;
    r->bytes = run.bytes + (start - run.start);
    r->low = start - section->from;
    r->high = run.end - section->from < section->size ? run.end - section->from : section->size;
    if (length <= r->high - at) return r->bytes + (at - r->low);
  }
  return out ? pdb_pages_read(&section->pages, section->from + at, length, out) : nullptr;
}

// length bytes at at of the section: in place, else copied into out when given; null
// when they do not lie inside it. Most reads fall in the run of the last one.
inline const uint8_t *section_bytes(SectionReader *r, size_t at, size_t length, uint8_t *out) {
  if (at >= r->low && at <= r->high && length <= r->high - at) return r->bytes + (at - r->low);
  return section_bytes_moved(r, at, length, out);
}

// The length with its WORD of the record at at; 0 when the WORD cannot be read.
size_t record_length(SectionReader *r, size_t at) {
  uint8_t word[2];
  const uint8_t *p = section_bytes(r, at, 2, word);
  return p ? 2 + (size_t)(p[0] | p[1] << 8) : 0;
}

}  // namespace

bool cv_index_records(TypeRecords *records, const TypeBytes *section) {
  // Counted first, with the bytes of the records that must be copied.
  SectionReader r = section_reader(section);
  uint32_t count = 0;
  size_t spill = 0, size = section->size;
  for (size_t at = 0; at <= size && size - at >= 4; count++) {
    size_t length = record_length(&r, at);
    if (!length) break;
    if (length <= size - at && !section_bytes(&r, at, length, nullptr)) spill += length;
    at += length;
  }
  if (!type_records_make(records, count, spill)) return false;
  size_t at = 0, spilled = 0;
  for (uint32_t i = 0; i < count; i++) {
    size_t length = record_length(&r, at);
    const uint8_t *bytes = section_bytes(&r, at, length, nullptr);
    if (!bytes && length <= size - at &&
        (bytes = section_bytes(&r, at, length, records->spill + spilled)))
      spilled += length;
    records->records[i] = bytes ? ByteCursor{bytes, length, 0, true} : ByteCursor{};
    at += length;
  }
  return true;
}

DebugType cv_resolve_id(const CvState *state, uint32_t id, const char **name,
                        char buffer[LEAF_NAME_SIZE]) {
  const ByteCursor *record = type_record(&state->ids, id);
  uint32_t leaf = record ? record_field(record, 2, 2) : 0;
  if (leaf != kFunctionId && leaf != kMethodId) return nullptr;
  if (!**name) {
    ByteCursor c = *record;
    cursor_seek(&c, kIdNameAt);
    *name = leaf_text(&c, buffer, true);
  }
  return cv_resolve_type(state, record_field(record, kIdTypeAt, 4));
}

void cv_read_types(CvState *state, CvTypes *types, const TypeBytes *records) {
  if (types->read) return;
  types->read = true;
  TypeSection section = {types, {}, walk_budget(records->size)};
  if (!cv_index_records(&section.records, records)) return;
  if (types->ahead) define_ahead(state, &section);
  uint32_t index;
  while (const ByteCursor *record = type_records_next(&section.records, &index)) {
    if (index % CV_PROGRESS_EVERY == 0 &&
        !cv_progress(state, index - TYPE_FIRST_DEFINED, section.records.count))
      break;
    type_records_store(&types->map, index, define_record(state, &section, index, record),
                       &state->counts.types);
  }
  if (types == &state->types)
    types->records = section.records;
  else
    type_records_free(&section.records);
}

void cv_define_typedef(CvState *state, uint32_t index, const char *name) {
  CvTypes *types = &state->types;
  const ByteCursor *record = type_record(&types->records, index);
  const TypeLayout *layout =
      record ? find_row(kTypes, kTypeIndex, (uint16_t)record_field(record, 2, 2)) : nullptr;
  if (!layout || !is_named_kind(layout) || is_forward(record) || !name[0]) return;
  char buffer[LEAF_NAME_SIZE];
  const char *own;
  uint32_t size = record_name(record, layout, &own, buffer);
  if (!strcmp(own, name)) return;
  // A name per record at most; names beyond that are left out. Most loads have few such
  // typedefs, so the table starts small.
  if (!types->typedef_names.hashes) {
    if (!name_table_make(&types->typedef_names, 0)) return;
    types->typedefs_left = types->records.count;
  }
  if (!types->typedefs_left || name_table_find(&types->typedef_names, name) ||
      !name_table_add(&types->typedef_names, name, index))
    return;
  types->typedefs_left--;
  const DebugApi *api = state->api;
  state->counts.typedefs++;
  if (layout->action == TYPE_ENUM) {
    uint32_t base = record_field(record, layout->target_at, layout->width);
    api->define_enum(name, type_map_resolve(&types->map, base));
    return;
  }
  const ByteCursor *list =
      type_record(&types->records, record_field(record, layout->list_at, layout->width));
  DebugType strukt = api->define_struct(name, (int)size);
  TypeSection section = {types, types->records, walk_budget(list ? list->size : 0)};
  if (list) walk_field_list(state, &section, &types->map, list, false, strukt);
}
