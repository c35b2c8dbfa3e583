// Standard-container allocator over the memory zones, so that the blocks of a
// std::vector or std::map are guarded and listed in the leak report like any other.
#pragma once
#include <stddef.h>

#include "zone.h"

template <class T>
struct ZoneAllocator {
  typedef T value_type;

  ZoneAllocator() = default;
  template <class U>
  ZoneAllocator(const ZoneAllocator<U> &) {}

  T *allocate(size_t n) { return (T *)zone_alloc(n * sizeof(T)); }
  void deallocate(T *p, size_t) { zone_free(p); }
};

template <class T, class U>
bool operator==(const ZoneAllocator<T> &, const ZoneAllocator<U> &) { return true; }
template <class T, class U>
bool operator!=(const ZoneAllocator<T> &, const ZoneAllocator<U> &) { return false; }
