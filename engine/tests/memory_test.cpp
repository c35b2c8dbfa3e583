// Registers, memory access and code breakpoints against the "probe" debuggee.
#include "engine/breakpoints.h"
#include "engine/regions.h"
#include "engine/tests/debuggee_fixture.h"

namespace {

using namespace engine_test;

uint32_t own_teb() {
  uint32_t teb;
  __asm__("movl %%fs:0x18, %0" : "=r"(teb));
  return teb;
}

bool g_asked;
bool g_answer;
bool answer(const char *title, const char *text) {
  g_asked = true;
  EXPECT_STREQ(title, "Write protection enabled");
  EXPECT_STREQ(text, "This is a read-only section.\nDo you want to write it anyway ?");
  return g_answer;
}

TEST_F(Probe, RegisterSetHoldsTheDebuggeesOwnThreadBlockAndIsWritten) {
  ASSERT_TRUE(launch_probe());
  // The selector query would answer with our own block under Wine.
  EXPECT_EQ(g_registers.r[REG_TIB], table_.teb);
  EXPECT_NE(g_registers.r[REG_TIB], own_teb());
  EXPECT_EQ(g_registers.r[REG_LASTERROR], 0x2Au);
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_FULL;
  ASSERT_TRUE(GetThreadContext(g_debuggee.thread, &context));
  EXPECT_EQ(g_registers.r[REG_ESP], context.Esp);
  EXPECT_EQ(g_registers.r[REG_FS], context.SegFs);
  EXPECT_EQ(g_registers.r[REG_CS], context.SegCs);

  RegisterSet changed = g_registers;
  changed.r[REG_EBX] = 0x11223344;
  changed.r[REG_LASTERROR] = 0x4321;
  memset(&g_changes, 0, sizeof g_changes);
  ASSERT_TRUE(registers_write(&changed));
  EXPECT_TRUE(g_changes.pending[CHG_REGISTERS]);
  context.ContextFlags = CONTEXT_FULL;
  ASSERT_TRUE(GetThreadContext(g_debuggee.thread, &context));
  EXPECT_EQ(context.Ebx, 0x11223344u);
  uint32_t last_error = 0;
  ASSERT_EQ(memory_read(table_.teb + 0x34, &last_error, 4), 4u);
  EXPECT_EQ(last_error, 0x4321u);
  EXPECT_EQ(g_registers.r[REG_EBX], 0x11223344u);
}

TEST_F(Probe, ReadsHideBreakpointsAndWritesKeepThemArmed) {
  ASSERT_TRUE(launch_probe());
  uint32_t nops = table_.probe_nops;
  int id = breakpoint_add("0");  // address 0 counts as not resolved
  EXPECT_EQ(breakpoint_get(id)->address, 0u);
  char text[16];
  snprintf(text, sizeof text, "%X", (unsigned)nops);
  memset(&g_changes, 0, sizeof g_changes);
  int bp = breakpoint_add(text);
  EXPECT_TRUE(g_changes.pending[CHG_BREAKPOINTS]);
  ASSERT_EQ(breakpoint_get(bp)->address, nops);
  EXPECT_EQ(breakpoint_at(nops), bp);
  EXPECT_EQ(breakpoint_find(text), bp);
  EXPECT_EQ(raw_byte(nops), 0xCC);
  // The temporary breakpoint one byte further is hidden the same way.
  ASSERT_TRUE(temporary_plant(nops + 1));
  uint8_t bytes[4];
  ASSERT_EQ(memory_read(nops - 1, bytes, 4), 4u);
  EXPECT_EQ(bytes[1], 0x90);
  EXPECT_EQ(bytes[2], 0x90);
  EXPECT_EQ(raw_byte(nops + 1), 0xCC);

  // A write over both: both stay armed and take the new bytes as their own, so removing
  // them leaves what was written.
  const uint8_t written[2] = {0xF4, 0xF5};
  ASSERT_EQ(memory_write(nops, written, 2), 2u);
  EXPECT_EQ(raw_byte(nops), 0xCC);
  EXPECT_EQ(raw_byte(nops + 1), 0xCC);
  EXPECT_EQ(g_temporary.saved, 0xF5);
  temporary_remove();
  EXPECT_EQ(raw_byte(nops + 1), 0xF5);
  breakpoint_remove(bp);
  EXPECT_EQ(raw_byte(nops), 0xF4);
  EXPECT_EQ(breakpoint_at(nops), -1);
  const uint8_t nop_again[2] = {0x90, 0x90};
  ASSERT_EQ(memory_write(nops, nop_again, 2), 2u);

  // Toggling twice leaves nothing; the second breakpoint at the same place keeps the
  // INT3 when the first goes.
  breakpoint_toggle(nops);
  EXPECT_EQ(raw_byte(nops), 0xCC);
  int twin = breakpoint_add(("0x" + std::string(text)).c_str());
  breakpoint_toggle(nops);
  EXPECT_EQ(raw_byte(nops), 0xCC);
  EXPECT_EQ(breakpoint_get(twin), nullptr);  // the lower id goes first
  breakpoint_toggle(nops);
  EXPECT_EQ(raw_byte(nops), 0x90);
  EXPECT_EQ(breakpoint_count(), 1);
}

// "[esp]" reads the registers, "sym" names a symbol; both resolve to g_resolved.
uint32_t g_resolved;

// After a stop, a text that reads the registers stays where it was set; a symbol's
// breakpoint follows the symbol.
TEST_F(Probe, RegisterTextsStayWhereTheyWereSet) {
  ASSERT_TRUE(launch_probe());
  AddressEvaluator eval = g_address_eval;
  eval.address = [](const char *) { return g_resolved; };
  eval.reads_registers = [](const char *text) { return !strcmp(text, "[esp]"); };
  address_eval_install(&eval);
  const uint32_t nops = table_.probe_nops;
  g_resolved = nops;
  int stack = breakpoint_add("[esp]"), symbol = breakpoint_add("sym");
  g_resolved = nops + 1;
  breakpoints_reresolve();
  EXPECT_EQ(breakpoint_get(stack)->address, nops);
  EXPECT_EQ(breakpoint_get(symbol)->address, nops + 1);
  EXPECT_EQ(raw_byte(nops), 0xCC);
  // Taken out at the unload, it is resolved afresh in the next session.
  breakpoints_unplant_all();
  breakpoints_reresolve();
  EXPECT_EQ(breakpoint_get(stack)->address, nops + 1);
}

TEST_F(Probe, BadBreakpointPlacesAreKeptUnarmedAndLeaveNoStrayBytes) {
  ASSERT_TRUE(launch_probe());
  // Unmapped memory: kept with address 0, a warning in the log.
  int unmapped = breakpoint_add("10");
  EXPECT_EQ(breakpoint_get(unmapped)->address, 0u);
  EXPECT_TRUE(has(log(), "WARNING: breakpoint '10' cannot be planted at 00000010\n")) << log();
  // The read-only header of the executable: either planted or refused, and after the
  // removal the header is as it was.
  uint32_t header = g_debuggee.image_base + 2;
  uint8_t before = raw_byte(header);
  char text[16];
  snprintf(text, sizeof text, "%X", (unsigned)header);
  int readonly = breakpoint_add(text);
  uint8_t seen;
  ASSERT_EQ(memory_read(header, &seen, 1), 1u);
  EXPECT_EQ(seen, before);
  breakpoint_remove(readonly);
  breakpoint_remove(unmapped);
  EXPECT_EQ(raw_byte(header), before);
  EXPECT_EQ(breakpoint_count(), 0);
  EXPECT_FALSE(temporary_plant(0x10));
  EXPECT_EQ(g_temporary.address, 0u);
}

TEST_F(Probe, ReadsIntoUnreadableMemoryGiveTheReadablePart) {
  ASSERT_TRUE(launch_probe());
  // Wine reads another process's reserved and even released pages; the boundary is
  // found where the system's own read says readable before and unreadable after.
  regions_rebuild();
  uint32_t end = 0;
  for (int i = 1; i < g_regions.count && !end; i++) {
    uint32_t base = g_regions.regions[i].base;
    uint8_t byte;
    SIZE_T got = 0;
    if (base >= 0x2000 &&
        ReadProcessMemory(g_debuggee.process, (void *)(uintptr_t)(base - 0x1010), &byte, 1, &got) &&
        ReadProcessMemory(g_debuggee.process, (void *)(uintptr_t)(base - 1), &byte, 1, &got) &&
        !ReadProcessMemory(g_debuggee.process, (void *)(uintptr_t)base, &byte, 1, &got))
      end = base;
  }
  ASSERT_NE(end, 0u);
  uint8_t buffer[0x2000];
  EXPECT_EQ(memory_read(end - 0x10, buffer, sizeof buffer), 0x10u);
  EXPECT_EQ(memory_read(end - 0x1010, buffer, sizeof buffer), 0x1010u);
  EXPECT_EQ(memory_read(end, buffer, 4), 0u);
  EXPECT_EQ(memory_read(0xFFFFFFF0, buffer, sizeof buffer), 0u);
}

TEST_F(Probe, ReadOnlyPagesAreWrittenOnlyWhenAllowed) {
  ASSERT_TRUE(launch_probe());
  memory_set_write_confirm(answer);
  uint32_t header = g_debuggee.image_base + 0x40;  // inside the DOS stub: read-only, unused
  uint8_t former = raw_byte(header), value = (uint8_t)(former ^ 0x5A);
  struct Case {
    uint8_t setting;
    bool answer, asked;
    uint32_t written;
  } cases[] = {{0, false, true, 0}, {0, true, true, 1}, {1, false, false, 1}};
  for (const Case &c : cases) {
    g_settings.WriteReadOnly = c.setting;
    g_answer = c.answer;
    g_asked = false;
    EXPECT_EQ(memory_write_checked(header, &value, 1), c.written);
    EXPECT_EQ(g_asked, c.asked);
    EXPECT_EQ(raw_byte(header), c.written ? value : former);
    g_settings.WriteReadOnly = 1;
    memory_write_checked(header, &former, 1);
  }
  MEMORY_BASIC_INFORMATION info;
  ASSERT_TRUE(VirtualQueryEx(g_debuggee.process, (void *)(uintptr_t)header, &info, sizeof info));
  EXPECT_EQ(info.Protect, (DWORD)PAGE_READONLY);
  // Writable memory is written without a question.
  g_asked = false;
  uint16_t word = 0x7777;
  EXPECT_EQ(memory_write_checked(table_.word, &word, 2), 2u);
  EXPECT_FALSE(g_asked);
  g_settings.WriteReadOnly = 0;
  memory_set_write_confirm(nullptr);
}

}  // namespace
