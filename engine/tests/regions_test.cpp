// The memory map of a real debuggee, with the system's own query as the witness.
#include "engine/address_eval.h"
#include "engine/regions.h"
#include "engine/tests/debuggee_fixture.h"

#include <tlhelp32.h>

namespace {

using namespace engine_test;

TEST(Regions, AddressStepHoldsAtTheEnds) {
  struct Case {
    uint32_t address;
    int32_t distance;
    uint32_t expected;
  } cases[] = {{0xFFFFFFF0, 0x20, 0xFFFFFFFF}, {0x10, -0x20, 0},
               {0x1000, 0x10, 0x1010},         {0x1000, -0x1000, 0}};
  for (const Case &c : cases) EXPECT_EQ(address_step(c.address, c.distance), c.expected);
}

TEST_F(Session, NoDebuggeeNoRegions) {
  regions_rebuild();
  char text[256] = "x";
  region_describe(0x401000, text, sizeof text);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(region_find(0x401000), -1);
  EXPECT_EQ(region_start(0x401000), 0x401000u);
  EXPECT_EQ(region_next_start(0x401000), 0x401000u);
  EXPECT_EQ(region_previous_start(0x401000), 0x401000u);
  EXPECT_EQ(region_next_boundary(0x401000), 0u);
  EXPECT_EQ(region_previous_boundary(0x401000), 0u);
  EXPECT_FALSE(region_is_executable(0x401000));
  EXPECT_FALSE(region_is_module_start(0x400000));
}

TEST_F(Probe, RegionsOfRealImagesAndTheirDescriptions) {
  ASSERT_TRUE(launch_probe());
  regions_rebuild();
  ASSERT_GT(g_regions.count, 10);
  // The list covers the address space without gaps, as the system reports it.
  for (int i = 0; i + 1 < g_regions.count; i++)
    ASSERT_EQ(g_regions.regions[i].base + g_regions.regions[i].size, g_regions.regions[i + 1].base);

  uint32_t kernel32 = (uint32_t)(uintptr_t)GetModuleHandleA("kernel32.dll");
  uint32_t code_addresses[] = {table_.probe, (uint32_t)(uintptr_t)GetProcAddress(
                                                 (HMODULE)(uintptr_t)kernel32, "GetTickCount")};
  for (uint32_t code : code_addresses) {
    // Wine answers a query inside an image section with the pages from there on, so the
    // system's word is taken for what the region is, and the list for where it starts.
    MEMORY_BASIC_INFORMATION info;
    ASSERT_TRUE(VirtualQueryEx(g_debuggee.process, (void *)(uintptr_t)code, &info, sizeof info));
    ASSERT_EQ(info.Protect, (DWORD)PAGE_EXECUTE_READ);
    ASSERT_EQ(info.Type, (DWORD)MEM_IMAGE);
    int i = region_find(code);
    ASSERT_GE(i, 0);
    const MemoryRegion &r = g_regions.regions[i];
    EXPECT_LT(code - r.base, r.size);
    char expected[256], text[256];
    snprintf(expected, sizeof expected, "IMAGE\t%08X %08X [%X] COMMIT {EXECUTE_READ}",
             (unsigned)(uintptr_t)info.AllocationBase, (unsigned)r.base, (unsigned)r.size);
    region_describe(code, text, sizeof text);
    EXPECT_STREQ(text, expected);
    EXPECT_TRUE(region_is_executable(code));
    EXPECT_EQ(region_start(code), r.base);
    EXPECT_EQ(region_next_boundary(code), r.base + r.size);
    EXPECT_EQ(region_next_start(code), region_next_boundary(code));
    EXPECT_EQ(region_previous_boundary(region_start(code)), region_previous_start(code));
  }
  EXPECT_FALSE(region_is_executable(table_.word));
  char text[256];
  region_describe(table_.word, text, sizeof text);
  EXPECT_EQ(std::string(text).substr(0, 6), "IMAGE\t");
  // The last region: its next start is the address itself.
  uint32_t last = g_regions.regions[g_regions.count - 1].base;
  EXPECT_EQ(region_next_start(last + 1), last + 1);
  EXPECT_EQ(region_command_length(table_.probe_call), 5);
  EXPECT_EQ(region_command_length(table_.probe_lib), 6);
  EXPECT_EQ(region_command_length(0x10), 1);
}

// The module list the program would install: here the system's own module snapshot of the
// debuggee, cut down where a test says so.
std::vector<uint32_t> g_module_bases;
bool module_in_list(uint32_t address) {
  return std::find(g_module_bases.begin(), g_module_bases.end(), address) != g_module_bases.end();
}

std::vector<uint32_t> snapshot_module_bases(uint32_t process_id) {
  std::vector<uint32_t> bases;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process_id);
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Module32First(snap, &entry); more; more = Module32Next(snap, &entry))
    bases.push_back((uint32_t)(uintptr_t)entry.modBaseAddr);
  CloseHandle(snap);
  return bases;
}

// A module start is where the module list says a module is mapped, and where a region
// starts its allocation; that the system maps an image there is not enough.
TEST_F(Probe, ModuleStartsComeFromTheModuleList) {
  ASSERT_TRUE(launch_probe());
  regions_rebuild();
  uint32_t kernel32 = (uint32_t)(uintptr_t)GetModuleHandleA("kernel32.dll");
  int i = region_find(kernel32);
  ASSERT_GE(i, 0);
  ASSERT_EQ(g_regions.regions[i].base, kernel32);
  ASSERT_EQ(g_regions.regions[i].type, (uint32_t)MEM_IMAGE);
  // Without a module list no module is known.
  EXPECT_FALSE(region_is_module_start(g_debuggee.image_base));
  EXPECT_FALSE(region_is_module_start(kernel32));

  AddressEvaluator eval = g_address_eval;
  eval.module_starts_at = module_in_list;
  address_eval_install(&eval);
  g_module_bases = snapshot_module_bases(debuggee_process_id());
  ASSERT_GE(g_module_bases.size(), 2u);
  for (uint32_t base : g_module_bases) EXPECT_TRUE(region_is_module_start(base)) << std::hex << base;
  EXPECT_FALSE(region_is_module_start(table_.probe));
  // A list of the executable alone: the library's image is no module start.
  g_module_bases = {g_debuggee.image_base};
  EXPECT_TRUE(region_is_module_start(g_debuggee.image_base));
  EXPECT_FALSE(region_is_module_start(kernel32));
  // A list that names a place inside an allocation does not make it a module's first region.
  uint32_t code = region_start(table_.probe);
  ASSERT_NE(code, g_debuggee.image_base);
  g_module_bases = {code};
  EXPECT_FALSE(region_is_module_start(code));
}

}  // namespace
