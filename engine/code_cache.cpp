#include "engine/code_cache.h"

#include <windows.h>
#include <string.h>

#include "engine/debuggee.h"
#include "engine/memory.h"

namespace {

const uint32_t kPage = 0x1000;
// Long enough for a run of steps, short against what a user notices.
const DWORD kKeepMs = 200;
const DWORD kReadOnly = PAGE_READONLY | PAGE_EXECUTE | PAGE_EXECUTE_READ;

struct KeptPage {
  uint32_t address;
  DWORD read_at;
  bool valid;
  uint8_t bytes[kPage];
};
// An instruction crosses at most one page border.
KeptPage g_pages[2];

bool read_only(uint32_t page) {
  MEMORY_BASIC_INFORMATION info;
  return VirtualQueryEx((HANDLE)g_debuggee.process, (const void *)(uintptr_t)page, &info,
                        sizeof info) &&
         info.State == MEM_COMMIT && (info.Protect & kReadOnly) &&
         !(info.Protect & (PAGE_GUARD | PAGE_NOCACHE));
}

// The slot other than keep's; without keep, a free one or the one read longer ago.
int slot_for_new(const KeptPage *keep) {
  if (keep) return keep == &g_pages[0] ? 1 : 0;
  if (!g_pages[0].valid || !g_pages[1].valid) return g_pages[0].valid ? 1 : 0;
  return g_pages[1].read_at - g_pages[0].read_at < 0x80000000u ? 0 : 1;
}

// The page kept or read now into the slot other than keep's; null when it cannot be kept.
const KeptPage *kept(uint32_t page, const KeptPage *keep) {
  DWORD now = GetTickCount();
  for (KeptPage &p : g_pages)
    if (p.valid && p.address == page && now - p.read_at < kKeepMs) return &p;
  if (g_debuggee.state != DS_PAUSED || !read_only(page)) return nullptr;
  KeptPage &p = g_pages[slot_for_new(keep)];
  p.valid = memory_read_raw(page, p.bytes, kPage) == kPage;
  p.address = page;
  p.read_at = now;
  return p.valid ? &p : nullptr;
}

}  // namespace

uint32_t code_cache_read(uint32_t address, void *buffer, uint32_t length) {
  uint32_t first = address & ~(kPage - 1), last = (address + length - 1) & ~(kPage - 1);
  const KeptPage *a = length && last - first <= kPage ? kept(first, nullptr) : nullptr;
  const KeptPage *b = a && last != first ? kept(last, a) : a;
  if (!b) return memory_read_raw(address, buffer, length);
  uint32_t head = last != first ? last - address : length;
  memcpy(buffer, a->bytes + (address - first), head);
  memcpy((uint8_t *)buffer + head, b->bytes, length - head);
  return length;
}

void code_cache_written(uint32_t address, const void *buffer, uint32_t length) {
  for (KeptPage &p : g_pages) {
    if (!p.valid) continue;
    uint32_t start = address > p.address ? address : p.address;
    uint64_t end = (uint64_t)address + length, page_end = (uint64_t)p.address + kPage;
    if (end > page_end) end = page_end;
    if (start < end)
      memcpy(p.bytes + (start - p.address), (const uint8_t *)buffer + (start - address),
             (size_t)(end - start));
  }
}

void code_cache_forget() {
  for (KeptPage &p : g_pages) p.valid = false;
}
