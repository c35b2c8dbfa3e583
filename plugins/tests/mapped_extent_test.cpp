// How far the plug-ins read memory whose size the interface does not pass: real file
// views and real allocations under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "plugins/common/mapped_extent.h"

namespace {

size_t page_size() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
}

size_t round_to_page(size_t n) { return (n + page_size() - 1) / page_size() * page_size(); }

// A file of size bytes mapped read-only as the debugger maps images, in the test's folder.
struct FileView {
  std::string path;
  HANDLE file = INVALID_HANDLE_VALUE, mapping = nullptr;
  const uint8_t *view = nullptr;
  bool make(size_t size) {
    std::string own = _pgmptr ? _pgmptr : ".\\test";
    path = own.substr(0, own.find_last_of("\\/") + 1) + "mapped-extent-" +
           std::to_string(GetCurrentProcessId()) + ".bin";
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::string bytes(size, 'x');
    DWORD written = 0;
    bool ok = out != INVALID_HANDLE_VALUE &&
              WriteFile(out, bytes.data(), (DWORD)size, &written, nullptr) && written == size;
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                       nullptr);
    mapping = file != INVALID_HANDLE_VALUE
                  ? CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr)
                  : nullptr;
    view = mapping ? (const uint8_t *)MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    return ok && view;
  }
  ~FileView() {
    if (view) UnmapViewOfFile(view);
    if (mapping) CloseHandle(mapping);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    DeleteFileA(path.c_str());
  }
};

TEST(MappedExtent, FileViewsReachTheEndOfTheirLastPage) {
  const size_t sizes[] = {1, 4095, 4096, 4097, 65536 + 17, 1115136};
  for (size_t size : sizes) {
    SCOPED_TRACE(size);
    FileView f;
    ASSERT_TRUE(f.make(size));
    EXPECT_EQ(mapped_extent(f.view), round_to_page(size));
    // From inside the view (a debug root) to the same end.
    size_t inside = size / 2;
    EXPECT_EQ(mapped_extent(f.view + inside), round_to_page(size) - inside);
  }
}

// Allocations of four pages: which pages are committed and readable, and how many bytes
// are readable from the first.
struct AllocationCase {
  const char *what;
  DWORD protect[4];  // 0: reserved only
  size_t readable_pages;
};

const AllocationCase kAllocations[] = {
    {"all committed", {PAGE_READONLY, PAGE_READONLY, PAGE_READONLY, PAGE_READONLY}, 4},
    {"mixed protections read on", {PAGE_READWRITE, PAGE_READONLY, PAGE_EXECUTE_READ, PAGE_READWRITE}, 4},
    {"reserved tail", {PAGE_READONLY, PAGE_READONLY, 0, 0}, 2},
    {"no access in the middle", {PAGE_READONLY, PAGE_NOACCESS, PAGE_READONLY, PAGE_READONLY}, 1},
    {"guard page", {PAGE_READONLY, PAGE_READONLY, PAGE_READONLY | PAGE_GUARD, PAGE_READONLY}, 2},
    {"first page reserved", {0, PAGE_READONLY, PAGE_READONLY, PAGE_READONLY}, 0},
};

TEST(MappedExtent, AllocationsEndAtTheFirstPageThatCannotBeRead) {
  const size_t page = page_size();
  for (const AllocationCase &c : kAllocations) {
    SCOPED_TRACE(c.what);
    uint8_t *block = (uint8_t *)VirtualAlloc(nullptr, 4 * page, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 4; i++) {
      if (!c.protect[i]) continue;
      ASSERT_NE(VirtualAlloc(block + i * page, page, MEM_COMMIT, PAGE_READWRITE), nullptr);
      DWORD old;
      ASSERT_TRUE(VirtualProtect(block + i * page, page, c.protect[i], &old));
    }
    EXPECT_EQ(mapped_extent(block), c.readable_pages * page);
    if (c.readable_pages) {
      EXPECT_EQ(mapped_extent(block + 10), c.readable_pages * page - 10);
    }
    VirtualFree(block, 0, MEM_RELEASE);
  }
  EXPECT_EQ(mapped_extent(nullptr), 0u);
}

}  // namespace
