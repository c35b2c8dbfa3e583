// Patches of a relocated DLL loaded into this process: the call patched out and a data
// byte changed are found, and nothing the loader changed; their file offsets are those
// objdump's section table gives; the saved copy runs with the changed behaviour; a byte of
// uninitialised data is refused; a save that cannot write leaves no file.
#include <windows.h>
#include <gtest/gtest.h>
#include <stdio.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "symbols/pe_patches.h"
#include "tests/debuggees/debuggee_drive.h"
#include "util/zone.h"

namespace {

std::vector<uint8_t> read_bytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// objdump -h: the file offset of an address, from the section that holds it.
uint32_t objdump_offset(const std::string &table, uint32_t address) {
  std::istringstream in(table);
  std::string line;
  while (std::getline(in, line)) {
    unsigned index, size, vma, lma, offset;
    char name[64];
    if (sscanf(line.c_str(), "%u %63s %x %x %x %x", &index, name, &size, &vma, &lma,
               &offset) == 6 &&
        address >= vma && address - vma < size)
      return offset + (address - vma);
  }
  return 0;
}

typedef int(__cdecl *ValueFn)(void);

TEST(PePatches, RelocatedDllPatchedSavedAndRun) {
  std::string dll = beside_test(KQ_PATCH_DLL);
  std::string copy = dll.substr(0, dll.size() - 4) + ".patched.dll";
  std::vector<uint8_t> file = read_bytes(dll);
  PeImage image;
  ASSERT_TRUE(pe_read_image(file.data(), file.size(), &image));
  HMODULE module = LoadLibraryA(dll.c_str());
  ASSERT_TRUE(module);
  uint32_t base = (uint32_t)(uintptr_t)module;
  ASSERT_NE(base, image.optional.image_base);  // the executable holds that place
  auto value = (ValueFn)(void *)GetProcAddress(module, "kq_patch_value");
  uint8_t *data = (uint8_t *)GetProcAddress(module, "kq_patch_data");
  uint8_t *bss = (uint8_t *)GetProcAddress(module, "kq_patch_bss");
  ASSERT_TRUE(value && data && bss);
  ASSERT_EQ(value(), 42);

  uint8_t *call = (uint8_t *)(void *)value + 2;  // after "xor eax, eax"
  ASSERT_EQ(call[0], 0xE8);
  DWORD former;
  ASSERT_TRUE(VirtualProtect(call, 5, PAGE_EXECUTE_READWRITE, &former));
  memset(call, 0x90, 5);
  VirtualProtect(call, 5, former, &former);
  data[0] = 50;

  PePatchList patches;
  ASSERT_TRUE(pe_find_patches(&image, base, (const uint8_t *)module,
                              image.optional.size_of_image, &patches));
  std::vector<uint32_t> expected;
  for (uint32_t i = 0; i < 5; i++) expected.push_back((uint32_t)(call + i - (uint8_t *)module));
  expected.push_back((uint32_t)(data - (uint8_t *)module));
  ASSERT_EQ(patches.count, (int)expected.size());
  std::ifstream table_file(beside_test(KQ_PATCH_SECTIONS));
  std::string table((std::istreambuf_iterator<char>(table_file)), {});
  for (int i = 0; i < patches.count; i++) {
    EXPECT_EQ(patches.items[i].rva, expected[i]);
    EXPECT_EQ(patches.items[i].offset,
              objdump_offset(table, image.optional.image_base + patches.items[i].rva));
  }

  DeleteFileA(copy.c_str());
  ASSERT_TRUE(pe_save_patched(file.data(), file.size(), &patches, copy.c_str()));
  std::vector<uint8_t> saved = read_bytes(copy);
  ASSERT_EQ(saved.size(), file.size());
  int differing = 0;
  for (size_t i = 0; i < saved.size(); i++) differing += saved[i] != file[i];
  EXPECT_EQ(differing, patches.count);
  // A save into a folder that does not exist writes nothing.
  std::string nowhere = dll.substr(0, dll.find_last_of('\\')) + "\\no such folder\\x.dll";
  EXPECT_FALSE(pe_save_patched(file.data(), file.size(), &patches, nowhere.c_str()));
  EXPECT_EQ(GetFileAttributesA((nowhere + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
  zone_free(patches.items);
  FreeLibrary(module);

  HMODULE patched = LoadLibraryA(copy.c_str());
  ASSERT_TRUE(patched);
  auto patched_value = (ValueFn)(void *)GetProcAddress(patched, "kq_patch_value");
  ASSERT_TRUE(patched_value);
  EXPECT_EQ(patched_value(), 50);
  FreeLibrary(patched);
  DeleteFileA(copy.c_str());

  uint32_t offset = 0, refused = 0, bss_rva = (uint32_t)(bss - (uint8_t *)module);
  EXPECT_FALSE(pe_backed_range(&image, bss_rva, 1, &offset, &refused));
  EXPECT_EQ(refused, bss_rva);
  EXPECT_TRUE(pe_backed_range(&image, expected[5], 1, &offset, &refused));
  EXPECT_EQ(offset, objdump_offset(table, image.optional.image_base + expected[5]));
}

}  // namespace
