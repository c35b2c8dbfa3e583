// What a debug-information reader calls to define symbols: the plug-in shell fills it
// with the debugger's KQ_ functions, host tests with a recorder. Handles are opaque.
#pragma once
#include <stddef.h>
#include <stdint.h>

typedef void *DebugType;
typedef void *DebugEntry;
typedef void *DebugSource;

struct DebugApi {
  void (*printf)(const char *format, ...);
  // A whole file mapped read-only; null when it cannot be opened. size gets its length.
  const uint8_t *(*map_file)(const char *path, size_t *size);
  void (*unmap_file)(const uint8_t *root);
  DebugType (*get_type)(const char *spec);
  uint32_t (*get_address)(uint16_t section, uint32_t offset);
  DebugType (*define_pointer)(DebugType target);
  DebugType (*define_array)(DebugType element, uint32_t size);
  DebugType (*define_enum)(const char *name, DebugType base);
  DebugType (*define_struct)(const char *name, int size);
  DebugType (*define_frame)(const char *name, DebugType function, uint32_t start, uint32_t end);
  DebugType (*define_function)(DebugType args, DebugType result, int call);
  void (*define_member)(DebugType type, const char *name, int shift, DebugType member);
  DebugSource (*define_source)(const char *name, int count, const uint16_t *lines,
                               const uint32_t *addresses);
  DebugEntry (*define_entry)(const char *name, uint32_t address, DebugType type,
                             DebugSource source);
  DebugEntry (*find_entry)(const char *name);
  // Both may be null (a debugger without them): nothing is told, nothing is cancelled.
  // Why the data offered was not read, in one line without a line break.
  void (*refuse)(const char *reason);
  // The part of the load done; false when the user cancelled it.
  bool (*progress)(uint32_t done, uint32_t total);
};
