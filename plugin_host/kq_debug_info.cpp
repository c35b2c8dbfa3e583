// The plug-in interface, group 2: the stores of entries, sources and types. The
// definitions belong to CurrentModule while a plug-in loads debug information.
#define KQ_BUILDING_DEBUGGER
#include "plugin_host/kqplugin.h"

#include "symbols/entries.h"
#include "symbols/eval/expression.h"
#include "symbols/modules.h"
#include "symbols/sources.h"
#include "symbols/types.h"
#include "util/path.h"

namespace {
TypeRecord *T(HTYPE type) { return (TypeRecord *)type; }
EntryRecord *E(HENTRY entry) { return (EntryRecord *)entry; }
}  // namespace

extern "C" {

DBGAPI HSOURCE KQ_DefineSource(char *fname, int num, WORD *lines, DWORD *adrs) {
  if (!fname || num < 0 || (num > 0 && (!lines || !adrs))) return nullptr;
  return source_define(fname, num, (const uint16_t *)lines, (const uint32_t *)adrs);
}

DBGAPI HENTRY KQ_DefineEntry(char *name, DWORD adr, HTYPE type, HSOURCE source) {
  return name ? entry_define(name, adr, T(type), (SourceRecord *)source) : nullptr;
}

DBGAPI HTYPE KQ_DefinePointer(HTYPE target) { return type_define_pointer(T(target)); }

DBGAPI HTYPE KQ_DefineArray(HTYPE element, DWORD size) {
  return type_define_array(T(element), size);
}

DBGAPI HTYPE KQ_DefineEnum(char *name, HTYPE base) { return type_define_enum(name, T(base)); }

DBGAPI HTYPE KQ_DefineStruct(char *name, int size) { return type_define_struct(name, size); }

DBGAPI HTYPE KQ_DefineFrame(char *name, HTYPE func, DWORD start, DWORD end) {
  return type_define_frame(name, T(func), start, end);
}

DBGAPI HTYPE KQ_DefineFunction(HTYPE args, HTYPE rettype, int call) {
  return type_define_function(T(args), T(rettype), call);
}

DBGAPI void KQ_DefineMember(HTYPE type, char *name, int shift, HTYPE member) {
  if (type && name) type_define_member(T(type), name, shift, T(member));
}

DBGAPI char *KQ_EnumTypeMember(HTYPE type, int index, int *shift, HTYPE *member) {
  return (char *)type_member(T(type), index, shift, (TypeRecord **)member);
}

DBGAPI BOOL KQ_FindTypeMember(HTYPE type, char *name, int *shift, HTYPE *member) {
  return name && type_find_member(T(type), name, shift, (TypeRecord **)member);
}

DBGAPI HTYPE KQ_FindType(char *name) { return name ? type_find(name) : nullptr; }

DBGAPI HENTRY KQ_FindEntry(char *name) { return name ? entry_find(name) : nullptr; }

DBGAPI HTYPE KQ_DerefType(HTYPE type) { return type_deref(T(type)); }

DBGAPI int KQ_GetTypeSize(HTYPE type) { return type_size(T(type)); }

DBGAPI int KQ_GetTypeServer(HTYPE type) { return type_server(T(type)); }

DBGAPI BOOL KQ_GetTypeName(HTYPE type, char name[]) {
  return name && type_name(T(type), name, KQ_PATH);
}

DBGAPI HTYPE KQ_GetType(char *spec) { return spec ? expression_get_type(spec) : nullptr; }

DBGAPI DWORD KQ_GetAddress(WORD section, DWORD offset) {
  return module_section_address(section, offset);
}

DBGAPI HENTRY KQ_FindNearestEntry(DWORD adr) { return entry_nearest(adr); }

DBGAPI HENTRY KQ_FindEqualEntry(DWORD adr) { return entry_equal(adr); }

DBGAPI DWORD KQ_GetEntryAddress(HENTRY entry) { return entry ? E(entry)->address : 0; }

DBGAPI HTYPE KQ_GetEntryType(HENTRY entry) { return entry ? E(entry)->type : nullptr; }

DBGAPI BOOL KQ_GetEntryName(HENTRY entry, char name[], int len) {
  if (!entry || !name || len <= 0) return FALSE;
  text_copy(name, (size_t)len, E(entry)->name);
  return TRUE;
}
}
