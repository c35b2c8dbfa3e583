// Adapters from the reader's table to the KQ_ exports: the interface takes non-const
// texts and Windows integer types, and its mappings have no size.
#include "plugins/common/kq_debug_api.h"

#include <stdarg.h>
#include <stdio.h>

#include "plugin_host/kqplugin.h"
#include "plugins/common/mapped_extent.h"

namespace {

// KQ_Printf cuts at 2047 characters as well; formatting here keeps the text the reader
// passes from being read as a format a second time.
void log_line(const char *format, ...) {
  char text[2048];
  va_list ap;
  va_start(ap, format);
  vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  KQ_Printf((char *)"%s", text);
}

const uint8_t *map_whole_file(const char *path, size_t *size) {
  const uint8_t *root = KQ_MapFile((char *)path);
  *size = root ? mapped_extent(root) : 0;
  return root;
}

void unmap_whole_file(const uint8_t *root) { KQ_UnmapFile((BYTE *)root); }

DebugType get_type(const char *spec) { return KQ_GetType((char *)spec); }

uint32_t get_address(uint16_t section, uint32_t offset) { return KQ_GetAddress(section, offset); }

DebugType define_pointer(DebugType target) { return KQ_DefinePointer(target); }

DebugType define_array(DebugType element, uint32_t size) { return KQ_DefineArray(element, size); }

DebugType define_enum(const char *name, DebugType base) {
  return KQ_DefineEnum((char *)name, base);
}

DebugType define_struct(const char *name, int size) { return KQ_DefineStruct((char *)name, size); }

DebugType define_frame(const char *name, DebugType function, uint32_t start, uint32_t end) {
  return KQ_DefineFrame((char *)name, function, start, end);
}

DebugType define_function(DebugType args, DebugType result, int call) {
  return KQ_DefineFunction(args, result, call);
}

void define_member(DebugType type, const char *name, int shift, DebugType member) {
  KQ_DefineMember(type, (char *)name, shift, member);
}

// WORD and DWORD have the sizes of uint16_t and uint32_t; the debugger copies the arrays.
DebugSource define_source(const char *name, int count, const uint16_t *lines,
                          const uint32_t *addresses) {
  return KQ_DefineSource((char *)name, count, (WORD *)lines, (DWORD *)addresses);
}

DebugEntry define_entry(const char *name, uint32_t address, DebugType type, DebugSource source) {
  return KQ_DefineEntry((char *)name, address, type, source);
}

DebugEntry find_entry(const char *name) { return KQ_FindEntry((char *)name); }

void refuse(const char *reason) { KQ_RefuseDebugInfo((char *)reason); }

bool progress(uint32_t done, uint32_t total) { return KQ_LoadProgress(done, total) != FALSE; }

}  // namespace

const DebugApi kq_debug_api = {
    log_line,       map_whole_file, unmap_whole_file, get_type,      get_address,
    define_pointer, define_array,   define_enum,      define_struct, define_frame,
    define_function, define_member, define_source,    define_entry,  find_entry,
    refuse,          progress,
};

bool kq_current_module_path(char path[KQ_PATH]) {
  // The interface names the module being loaded only through its addresses: the first
  // section's address lies inside it.
  DWORD address = KQ_GetAddress(1, 0);
  HMODULE module = address ? KQ_GetModule(address) : nullptr;
  return module && KQ_GetModulePath(module, path);
}
