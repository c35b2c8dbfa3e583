#include "plugins/common/mapped_extent.h"

#include <windows.h>

#include <stdint.h>

namespace {

bool readable(const MEMORY_BASIC_INFORMATION &info) {
  const DWORD read_access = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  return info.State == MEM_COMMIT && (info.Protect & read_access) &&
         !(info.Protect & (PAGE_GUARD | PAGE_NOACCESS));
}

}  // namespace

size_t mapped_extent(const void *start) {
  MEMORY_BASIC_INFORMATION info;
  const uint8_t *at = (const uint8_t *)start;
  if (!start || !VirtualQuery(at, &info, sizeof info) || !readable(info)) return 0;
  // A view can be split into regions of differing protection; walk them to the end of
  // the allocation, stopping at the first page that cannot be read.
  const void *allocation = info.AllocationBase;
  size_t size = 0;
  while (VirtualQuery(at, &info, sizeof info) && info.AllocationBase == allocation &&
         readable(info)) {
    const uint8_t *end = (const uint8_t *)info.BaseAddress + info.RegionSize;
    size += (size_t)(end - at);
    at = end;
  }
  return size;
}
