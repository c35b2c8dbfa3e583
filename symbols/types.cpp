#include "symbols/types.h"

#include <string.h>

#include "symbols/entries.h"
#include "symbols/modules.h"
#include "util/path.h"
#include "util/stringpool.h"
#include "util/visor.h"
#include "util/zone.h"

TypeStore g_types;

namespace {

struct BaseType {
  const char *name;
  int size;
};
const BaseType kBaseTypes[BT_COUNT] = {
    {"void", 0}, {"char", 1},  {"short", 2},  {"long", 4},   {"quad", 8},
    {"byte", 1}, {"word", 2},  {"dword", 4},  {"qword", 8},  {"float", 4},
    {"double", 8}, {"real", 8}, {"tp_variant", 0},
};

TypeRecord *record(uint32_t id) { return *(TypeRecord **)tab_slot(&g_types.table, (int)id); }

// The key of the sharing index: kind, owner, target or element, then array size.
struct ShareKey {
  int kind;
  uintptr_t owner;
  uintptr_t target;
  uint32_t size;
};

ShareKey share_key(const TypeRecord *t) {
  ShareKey k = {t->kind, (uintptr_t)t->owner, 0, 0};
  if (t->kind == TK_POINTER) k.target = (uintptr_t)((PointerData *)t->data)->target;
  if (t->kind == TK_ARRAY) {
    k.target = (uintptr_t)((ArrayData *)t->data)->element;
    k.size = ((ArrayData *)t->data)->size;
  }
  return k;
}

bool same_key(const ShareKey &a, const ShareKey &b) {
  return a.kind == b.kind && a.owner == b.owner && a.target == b.target && a.size == b.size;
}

bool is_shared(const void *key, uint32_t id) {
  return same_key(*(const ShareKey *)key, share_key(record(id)));
}

uint32_t share_hash(const ShareKey &k) {
  uint64_t h = ((uint64_t)k.target * 0x9E3779B97F4A7C15ull) ^ ((uint64_t)k.owner * 0xC2B2AE3Dull) ^
               ((uint64_t)k.size << 3 | (uint64_t)k.kind);
  h *= 0xFF51AFD7ED558CCDull;
  return (uint32_t)(h >> 32);
}

uint32_t name_hash(const char *pooled) {
  return (uint32_t)(((uint64_t)(uintptr_t)pooled * 0x9E3779B97F4A7C15ull) >> 32);
}

bool is_named(const void *pooled, uint32_t id) { return record(id)->name == pooled; }

// The type listed under the pooled name, or null.
TypeRecord *by_name(const char *pooled) {
  const uint32_t id = idhash_find(&g_types.names, name_hash(pooled), pooled, is_named);
  return id == IDHASH_NONE ? nullptr : record(id);
}

// Bytes of each kind's block, which every record has room for behind it.
const size_t kDataSize[] = {0, 0, sizeof(EnumData), sizeof(PointerData), sizeof(ArrayData),
                            sizeof(StructData), sizeof(FunctionData), sizeof(FrameData)};

// The kind-specific block of a type that has none yet, zeroed, with its back reference.
void *give_data(TypeRecord *t) {
  if (!t->data && kDataSize[t->kind]) {
    t->data = t + 1;
    *(TypeRecord **)t->data = t;
  }
  return t->data;
}

// A new record in a free slot, or in slot when it is given (the reserved base types),
// given its kind's block at once or later. It takes over the reference of the pooled
// name (null for none) and is listed under it.
TypeRecord *new_type(const char *pooled, int kind, bool with_data, int slot = -1) {
  int id = slot >= 0 ? slot : tab_alloc(&g_types.table);
  const size_t size = sizeof(TypeRecord) + kDataSize[kind];
  TypeRecord *t = (TypeRecord *)arena_alloc(&g_types.records, size);
  if (id < 0 || !t) {
    tab_release(&g_types.table, id);
    if (pooled) pool_drop(pooled);
    return (TypeRecord *)arena_free(t);
  }
  memset(t, 0, size);
  t->id = (uint32_t)id;
  t->kind = (TypeKind)kind;
  t->owner = module_current();
  t->name = pooled;
  if (pooled) idhash_insert(&g_types.names, name_hash(pooled), t->id);
  if (with_data) give_data(t);
  *(TypeRecord **)tab_slot(&g_types.table, id) = t;
  return t;
}

// The list's room beyond its members goes back to its pack when it is still the last
// record there: a load adds each type's members in a row, then never again.
void trim_members(MemberList *list) {
  const size_t width = sizeof(MemberRecord);
  if (list && list->room > list->count &&
      arena_resize_in_place(&g_types.members, list->items, (size_t)list->room * width,
                            (size_t)list->count * width))
    list->room = list->count;
}

void free_members(MemberList *list) {
  if (list == g_types.growing) g_types.growing = nullptr;
  for (int i = 0; i < list->count; i++) pool_drop(list->items[i].name);
  list->items = (MemberRecord *)arena_free(list->items);
  list->count = list->room = 0;
}

MemberList *members_of(const TypeRecord *t) {
  if (!t || !t->data) return nullptr;
  if (t->kind == TK_STRUCT) return &((StructData *)t->data)->members;
  if (t->kind == TK_FRAME) return &((FrameData *)t->data)->members;
  return nullptr;
}

// Nothing new finds the type any more: not its name, not the sharing of equal pointers.
void unlist_type(TypeRecord *t) {
  if (t->orphan) return;
  if (t->kind == TK_POINTER || t->kind == TK_ARRAY) {
    idhash_remove(&g_types.shared, share_hash(share_key(t)), t->id);
  }
  if (t->name) idhash_remove(&g_types.names, name_hash(t->name), t->id);
}

void delete_type(TypeRecord *t) {
  unlist_type(t);
  if (MemberList *list = members_of(t)) free_members(list);
  t->data = nullptr;
  if (t->name) pool_drop(t->name);
  tab_release(&g_types.table, (int)t->id);
  arena_free(t);
}

// The types a type refers to, with their count.
int referred_types(const TypeRecord *t, TypeRecord **out, int outlen) {
  int n = 0;
  auto add = [&](TypeRecord *r) {
    if (r && n < outlen) out[n++] = r;
  };
  const void *d = t->data;
  if (!d) return 0;
  switch (t->kind) {
    case TK_ENUM: add(((const EnumData *)d)->base); break;
    case TK_POINTER: add(((const PointerData *)d)->target); break;
    case TK_ARRAY: add(((const ArrayData *)d)->element); break;
    case TK_FUNCTION:
      add(((const FunctionData *)d)->args);
      add(((const FunctionData *)d)->result);
      break;
    case TK_FRAME: add(((const FrameData *)d)->function); break;
    default: break;  // base types and structs refer to none (members apart)
  }
  return n;
}

// The types reached so far (mark[id] set) and those whose references are still to be
// followed; each type is pushed once, so the stack holds at most every type.
struct Reach {
  uint8_t *mark;
  uint32_t *stack;
  int top;
};

void reach(Reach *r, const TypeRecord *from) {
  auto push = [r](const TypeRecord *t) {
    if (!t || r->mark[t->id]) return;
    r->mark[t->id] = 1;
    r->stack[r->top++] = t->id;
  };
  push(from);
  while (r->top) {
    const TypeRecord *t = record(r->stack[--r->top]);
    TypeRecord *next[2];
    const int n = referred_types(t, next, 2);
    for (int i = 0; i < n; i++) push(next[i]);
    if (const MemberList *list = members_of(t))
      for (int i = 0; i < list->count; i++) push(list->items[i].type);
  }
}

TypeRecord *or_void(TypeRecord *t) { return t ? t : type_base(BT_VOID); }

// The pointer or array type of the key made before in the current module, or a new one
// (made only then: most of a load's pointers repeat one made before), filled by fill.
template <class Fill>
TypeRecord *shared_type(int kind, TypeRecord *target, uint32_t size, Fill fill) {
  ShareKey k = {kind, (uintptr_t)module_current(), (uintptr_t)or_void(target), size};
  const uint32_t hash = share_hash(k);
  const uint32_t found = idhash_find(&g_types.shared, hash, &k, is_shared);
  if (found != IDHASH_NONE) return record(found);
  TypeRecord *t = new_type(nullptr, kind, true);
  if (!t || !t->data) return t;
  fill(t->data);
  idhash_insert(&g_types.shared, hash, t->id);
  return t;
}

// The pooled copy of a name, null for none or an empty one.
const char *pooled_name(const char *name) { return name && *name ? pool_intern(name) : nullptr; }

TypeRecord *named_type(const char *name, int kind) {
  const char *pooled = pooled_name(name);
  TypeRecord *t = pooled ? by_name(pooled) : nullptr;
  if (!t) return new_type(pooled, kind, false);
  pool_drop(pooled);
  return t;
}


}  // namespace

void types_init() {
  tab_init(&g_types.table, sizeof(TypeRecord *));
  arena_init(&g_types.records);
  arena_init(&g_types.members);
  g_types.growing = nullptr;
  idhash_init(&g_types.names);
  idhash_init(&g_types.shared);
  g_types.ready = true;
  tab_reserve(&g_types.table, BT_COUNT);
  for (int code = 0; code < BT_COUNT; code++)
    new_type(pool_intern(kBaseTypes[code].name), TK_BASE, false, code);
}

void types_free() {
  if (!g_types.ready) return;
  for (int id = -1; tab_prev_used(&g_types.table, &id);) delete_type(record((uint32_t)id));
  idhash_destroy(&g_types.shared);
  idhash_destroy(&g_types.names);
  arena_release(&g_types.members);
  arena_release(&g_types.records);
  tab_free(&g_types.table);
  g_types.ready = false;
}

void types_delete_module(const ModuleRecord *module) {
  auto going = [module](const TypeRecord *t) {
    return t->orphan || (module ? t->owner == module : t->owner != nullptr);
  };
  // What the staying entries and types reach stays too.
  const size_t count = (size_t)tab_count(&g_types.table);
  Reach r = {(uint8_t *)zone_alloc_zeroed(count), (uint32_t *)zone_alloc(count * sizeof(uint32_t)),
             0};
  for (int id = 0; id < tab_count(&g_entries.table); id++)
    if (tab_in_use(&g_entries.table, id))
      reach(&r, (*(EntryRecord **)tab_slot(&g_entries.table, id))->type);
  // The going types leave the name map and the sharing index in one pass over each.
  uint8_t *listed = (uint8_t *)zone_alloc_zeroed(count);
  for (int id = -1; tab_prev_used(&g_types.table, &id);) {
    if (!going(record((uint32_t)id))) reach(&r, record((uint32_t)id));
    else if (listed) listed[id] = 1;
  }
  if (listed) {
    idhash_remove_marked(&g_types.names, listed, (uint32_t)count);
    idhash_remove_marked(&g_types.shared, listed, (uint32_t)count);
  }
  for (int id = -1; tab_prev_used(&g_types.table, &id);) {
    TypeRecord *t = record((uint32_t)id);
    if (!going(t)) continue;
    if (listed) t->orphan = true;  // unlisted above
    if (!r.mark[id]) {
      delete_type(t);
      continue;
    }
    unlist_type(t);
    t->orphan = true;
    t->owner = nullptr;
  }
  zone_free(listed);
  zone_free(r.stack);
  zone_free(r.mark);
}

int types_count() { return tab_used(&g_types.table); }

TypeRecord *type_base(int code) {
  return code >= 0 && code < BT_COUNT && tab_in_use(&g_types.table, code) ? record(code) : nullptr;
}

TypeRecord *type_define_pointer(TypeRecord *target) {
  return shared_type(TK_POINTER, target, 0,
                     [target](void *d) { ((PointerData *)d)->target = or_void(target); });
}

TypeRecord *type_define_array(TypeRecord *element, uint32_t size) {
  return shared_type(TK_ARRAY, element, size, [element, size](void *d) {
    ((ArrayData *)d)->element = or_void(element);
    ((ArrayData *)d)->size = size;
  });
}

TypeRecord *type_define_enum(const char *name, TypeRecord *base) {
  TypeRecord *t = named_type(name, TK_ENUM);
  if (t && !t->data && t->kind == TK_ENUM) {
    EnumData *d = (EnumData *)give_data(t);
    if (d) d->base = or_void(base);
  }
  return t;
}

TypeRecord *type_define_struct(const char *name, int size) {
  TypeRecord *t = named_type(name, TK_STRUCT);
  if (!t || size == 0 || t->kind != TK_STRUCT) return t;
  bool fresh = !t->data;
  StructData *d = (StructData *)give_data(t);
  if (d && (fresh || size > d->size)) d->size = size;
  return t;
}

TypeRecord *type_define_frame(const char *name, TypeRecord *function, uint32_t start,
                              uint32_t end) {
  // A same-named procedure of another module has locals of its own, so a frame of its
  // own; the name keeps finding the first one.
  const char *pooled = pooled_name(name);
  TypeRecord *t = pooled ? by_name(pooled) : nullptr;
  if (t && t->kind == TK_FRAME && t->owner != module_current()) {
    t = new_type(nullptr, TK_FRAME, false);
    if (t) t->name = pooled;
    else pool_drop(pooled);
  } else if (!t) {
    t = new_type(pooled, TK_FRAME, false);
  } else {
    pool_drop(pooled);
  }
  if (t && !t->data && t->kind == TK_FRAME) {
    FrameData *d = (FrameData *)give_data(t);
    if (d) {
      d->function = function;
      d->start = start;
      d->end = end;
    }
  }
  return t;
}

TypeRecord *type_define_function(TypeRecord *args, TypeRecord *result, int call) {
  TypeRecord *t = new_type(nullptr, TK_FUNCTION, true);
  if (t && t->data) {
    FunctionData *d = (FunctionData *)t->data;
    d->args = args;
    d->result = result;
    d->call = call;
  }
  return t;
}

void type_define_member(TypeRecord *type, const char *name, int shift, TypeRecord *member) {
  MemberList *list = members_of(type);
  if (!list) return;
  if (list != g_types.growing) {
    trim_members(g_types.growing);
    g_types.growing = list;
  }
  // Members come one by one, often by the hundred thousand: the list grows by half at a
  // time, by at least a few.
  if (list->count >= list->room) {
    const int room = list->count * 3 / 2 + 4;
    MemberRecord *items = (MemberRecord *)arena_resize(
        &g_types.members, list->items, (size_t)list->room * sizeof(MemberRecord),
        (size_t)room * sizeof(MemberRecord));
    if (!items) return;
    list->items = items;
    list->room = room;
  }
  MemberRecord &m = list->items[list->count++];
  m.name = pool_intern(name ? name : "");
  m.shift = shift;
  m.type = member;
  if (type->kind == TK_FRAME) {
    FrameData *d = (FrameData *)type->data;
    int reach = shift + type_size(member);
    if (reach > d->size) d->size = reach;
  }
}

TypeRecord *type_find(const char *name) {
  const char *pooled = name ? pool_find(name) : nullptr;
  return pooled ? by_name(pooled) : nullptr;
}

TypeRecord *type_deref(const TypeRecord *type) {
  if (!type || !type->data) return nullptr;
  switch (type->kind) {
    case TK_ENUM: return ((EnumData *)type->data)->base;
    case TK_POINTER: return ((PointerData *)type->data)->target;
    case TK_ARRAY: return ((ArrayData *)type->data)->element;
    default: return nullptr;
  }
}

int type_size(const TypeRecord *type) {
  if (!type) return 1;
  switch (type->kind) {
    case TK_BASE: return type->id < BT_COUNT ? kBaseTypes[type->id].size : 0;
    case TK_ENUM: return type_size(type_deref(type));
    case TK_POINTER:
    case TK_FUNCTION: return 4;
    case TK_ARRAY: return type->data ? (int)((ArrayData *)type->data)->size : 0;
    case TK_STRUCT: return type->data ? ((StructData *)type->data)->size : 0;
    case TK_FRAME: return type->data ? ((FrameData *)type->data)->size : 0;
    default: return 0;
  }
}

int type_server(const TypeRecord *type) {
  static const int kTags[] = {0, 0x62617365, 0x656E756D, 42, 0x5B5D, 0x7B7D, 0x2829, 0x6270};
  if (!type) return -1;
  return type->kind >= TK_BASE && type->kind <= TK_FRAME ? kTags[type->kind] : 0;
}

bool type_name(const TypeRecord *type, char *out, size_t outlen) {
  if (!type) return false;
  text_copy(out, outlen, type->name ? type->name : "");
  return true;
}

const char *type_member(const TypeRecord *type, int index, int *shift, TypeRecord **member) {
  MemberList *list = members_of(type);
  if (!list || index < 0 || index >= list->count) return nullptr;
  if (shift) *shift = list->items[index].shift;
  if (member) *member = list->items[index].type;
  return list->items[index].name;
}

bool type_find_member(const TypeRecord *type, const char *name, int *shift,
                      TypeRecord **member) {
  MemberList *list = members_of(type);
  for (int i = list && name ? list->count - 1 : -1; i >= 0; i--) {
    if (strcmp(list->items[i].name, name) != 0) continue;
    type_member(type, i, shift, member);
    return true;
  }
  return false;
}

bool type_is_value(const TypeRecord *type) {
  if (!type) return false;
  switch (type->kind) {
    case TK_BASE: return type->id != BT_VOID;
    case TK_ENUM:
    case TK_STRUCT: return true;
    case TK_POINTER:
    case TK_ARRAY: {
      const TypeRecord *target = type_deref(type);
      return target && (target->id == BT_CHAR || target->id == BT_BYTE) && target->kind == TK_BASE;
    }
    default: return false;
  }
}
