// The type store: the 13 base types and the types the debug information defines, each
// owned by the module whose load defined it. Handles (HTYPE) are record addresses.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "util/id_hash.h"
#include "util/record_arena.h"
#include "util/tab.h"

struct ModuleRecord;

enum TypeKind : uint8_t {
  TK_BASE = 1, TK_ENUM = 2, TK_POINTER = 3, TK_ARRAY = 4, TK_STRUCT = 5, TK_FUNCTION = 6,
  TK_FRAME = 7,
};

// The slot of each base type.
enum BaseTypeCode {
  BT_VOID, BT_CHAR, BT_SHORT, BT_LONG, BT_QUAD, BT_BYTE, BT_WORD, BT_DWORD, BT_QWORD,
  BT_FLOAT, BT_DOUBLE, BT_REAL, BT_VARIANT, BT_COUNT,
};

struct TypeRecord;

struct MemberRecord {
  const char *name;  // pooled: a few member names serve thousands of types
  int shift;   // byte offset in the struct, or frame offset
  TypeRecord *type;
};

struct MemberList {
  int count;
  int room;             // members the record has room for
  MemberRecord *items;  // record of the members arena
};

// The kind-specific blocks; each starts with its type.
struct EnumData { TypeRecord *type; TypeRecord *base; };
struct PointerData { TypeRecord *type; TypeRecord *target; };
struct ArrayData { TypeRecord *type; TypeRecord *element; uint32_t size; };
struct StructData { TypeRecord *type; int size; MemberList members; };
struct FunctionData { TypeRecord *type; TypeRecord *args; TypeRecord *result; int call; };
struct FrameData {
  TypeRecord *type;
  TypeRecord *function;
  int size;
  MemberList members;
  uint32_t start, end;
};

// The pointers first and the small fields together, so that no padding lies between
// them: a load makes thousands of these.
struct TypeRecord {
  const char *name;     // pooled, null for unnamed types
  ModuleRecord *owner;  // null for base types and types made outside a module load
  void *data;           // kind-specific block right behind the record, or null
  uint32_t id;
  TypeKind kind;
  bool orphan;          // its module has gone, but entries or types still use it
};

struct TypeStore {
  SlotTable table;      // TypeRecord pointers
  RecordArena records;  // each record with room for its kind's block
  RecordArena members;  // member lists, apart so that the growing one is mostly the last
  MemberList *growing;  // the list that took the last member, or null
  // The named types by their pooled name, whose address stands for the text: a look-up
  // pools the name it is given, then compares addresses.
  IdHash names;
  IdHash shared;        // pointer and array types, to share equal ones
  bool ready;
};
extern TypeStore g_types;

void types_init();
// Deletes every type, base types too.
void types_free();
// Deletes the types owned by the module; with null every type that has an owner. A type
// that a staying entry or type still reaches outlives its module as an orphan, which
// no name or sharing finds any more, until a later deletion finds it unused.
void types_delete_module(const ModuleRecord *module);
int types_count();

TypeRecord *type_base(int code);
TypeRecord *type_define_pointer(TypeRecord *target);
TypeRecord *type_define_array(TypeRecord *element, uint32_t size);
TypeRecord *type_define_enum(const char *name, TypeRecord *base);
TypeRecord *type_define_struct(const char *name, int size);
TypeRecord *type_define_frame(const char *name, TypeRecord *function, uint32_t start,
                              uint32_t end);
TypeRecord *type_define_function(TypeRecord *args, TypeRecord *result, int call);
void type_define_member(TypeRecord *type, const char *name, int shift, TypeRecord *member);

TypeRecord *type_find(const char *name);
TypeRecord *type_deref(const TypeRecord *type);
int type_size(const TypeRecord *type);
// The kind tag of the plug-in interface ('base', 'enum', '*', ...); -1 for null.
int type_server(const TypeRecord *type);
// Copies the name ("" for unnamed types); false for null.
bool type_name(const TypeRecord *type, char *out, size_t outlen);
// Name of member index of a struct or frame, or null.
const char *type_member(const TypeRecord *type, int index, int *shift, TypeRecord **member);
// The last member of that name; false when there is none.
bool type_find_member(const TypeRecord *type, const char *name, int *shift,
                      TypeRecord **member);
// Whether a value of the type is shown as a value: non-void base types, enums, structs,
// and pointers and arrays of char or byte.
bool type_is_value(const TypeRecord *type);
