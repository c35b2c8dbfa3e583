// The evaluator on a real paused debuggee under Wine: registers and memory through the
// engine, symbols and types as a plug-in would define them for the program, and the
// breakpoints it resolves as libraries come.
#include "bridge/module_refresh_win32.h"
#include "bridge/tests/live_evaluator.h"
#include "engine/address_eval.h"
#include "engine/breakpoints.h"
#include "engine/regions.h"
#include "symbols/entries.h"
#include "symbols/eval/expression.h"
#include "symbols/modules.h"
#include "symbols/symbols.h"
#include "symbols/types.h"
#include "util/stringpool.h"

namespace engine_test {

TEST_F(LiveEvaluator, RegistersGlobalsMembersAndAssignment) {
  ASSERT_TRUE(launch_probe());
  const uint32_t eax = g_registers.r[REG_EAX];
  define_program_symbols(eax);

  ValueDescriptor v;
  ASSERT_TRUE(expression_evaluate("EAX", &v)) << expression_last_error();
  EXPECT_EQ(*(uint32_t *)v.data, eax);

  // A global read through its symbol gives what the engine reads there.
  int16_t word = 0;
  ASSERT_EQ(memory_read(table_.word, &word, 2), 2u);
  ASSERT_TRUE(expression_evaluate("g_word", &v)) << expression_last_error();
  EXPECT_EQ(*(int16_t *)v.data, word);
  uint32_t address = 0, size = 0;
  ASSERT_TRUE(expression_locate("g_word", &address, &size));
  EXPECT_EQ(address, table_.word);
  EXPECT_EQ(size, 2u);

  // A condition on a structure member, as a guard would test it, through the engine's seam.
  char text[96];
  snprintf(text, sizeof text, "probe_table.never == 0x%X && probe_table.word != 0",
           (unsigned)table_.never);
  uint32_t holds = 0;
  ASSERT_TRUE(g_address_eval.condition(text, &holds)) << expression_last_error();
  EXPECT_EQ(holds, 1u);
  ASSERT_TRUE(g_address_eval.condition("probe_table.leaf == 0", &holds));
  EXPECT_EQ(holds, 0u);

  // Assignment into a register reaches the thread; into memory, the debuggee's memory.
  ASSERT_TRUE(expression_evaluate("EBX", &v));
  ASSERT_TRUE(expression_assign(&v, "0x1234")) << expression_last_error();
  RegisterSet regs;
  ASSERT_TRUE(registers_read(&regs));
  EXPECT_EQ(regs.r[REG_EBX], 0x1234u);
  ASSERT_TRUE(expression_evaluate("g_word", &v));
  ASSERT_TRUE(expression_assign(&v, "-2")) << expression_last_error();
  ASSERT_EQ(memory_read(table_.word, &word, 2), 2u);
  EXPECT_EQ(word, -2);
}

// "[esp]" as a breakpoint or run-to target is the address the stack holds (at a callee's
// first command, its return address), not where the stack pointer points, which a guard
// on the same text watches: the INT3 goes into the code, and the stack stays as it was.
TEST_F(LiveEvaluator, StackTopAsBreakpointAndRunToIsTheAddressItHolds) {
  ASSERT_TRUE(launch_probe());
  ASSERT_TRUE(run_to(table_.leaf));
  const uint32_t esp = g_registers.r[REG_ESP];
  uint32_t top = 0, size = 0, place = 0;
  ASSERT_EQ(memory_read(esp, &top, 4), 4u);
  ASSERT_EQ(top, table_.probe_lib);
  ASSERT_TRUE(g_address_eval.locate("[esp]", &place, &size));
  EXPECT_EQ(place, esp);

  int id = breakpoint_add("[esp]");
  ASSERT_GE(id, 0);
  EXPECT_EQ(breakpoint_get(id)->address, table_.probe_lib);
  EXPECT_EQ(raw_byte(table_.probe_lib), 0xCC);
  EXPECT_EQ(raw_byte(esp), (uint8_t)top);
  ASSERT_TRUE(debuggee_resume());
  ASSERT_TRUE(drain_until_stop());
  EXPECT_EQ(ip(), table_.probe_lib);
  EXPECT_EQ(g_debuggee.pause.code, 0x80000003u);
  breakpoint_remove(id);

  // The next round: a run-to the text names.
  ASSERT_TRUE(run_to(table_.leaf));
  ASSERT_TRUE(execution_run_to(g_address_eval.address("[esp]")));
  ASSERT_TRUE(drain_until_stop());
  EXPECT_EQ(ip(), table_.probe_lib);
  ASSERT_TRUE(debuggee_resume());
  ASSERT_TRUE(drain_until_stop());
  EXPECT_EQ(debuggee_state(), DS_EXITED);
  EXPECT_EQ(debuggee_exit_code(), 0u);
}

// The spine's refresh: the module list first, so the breakpoints resolve against it.
void refresh_modules_first(int event) {
  if (event == EVN_Refresh) module_refresh_debuggee();
  record_event(event);
}

// A breakpoint on an export of a library the program loads later has no address until the
// refresh of its load event; then it is armed, and the program stops there when it calls
// the export. The program calls it right after the load (its event is already set).
TEST_F(LiveEvaluator, BreakpointOnALateLibrarySymbolResolvesAtTheLoad) {
  const char kDll[] = "msacm32.dll", kExport[] = "acmGetVersion", kGo[] = "kq_late_breakpoint";
  HANDLE go = CreateEventA(nullptr, TRUE, TRUE, kGo);
  debuggee_set_event_sink(refresh_modules_first);
  char args[96];
  snprintf(args, sizeof args, "loadlib %s %s %s", kDll, kGo, kExport);
  ASSERT_TRUE(launch(args));
  ASSERT_TRUE(drain_until(DS_PAUSED));
  ASSERT_FALSE(module_by_name(kDll));
  int id = breakpoint_add(kExport);
  ASSERT_GE(id, 0);
  EXPECT_EQ(0u, breakpoint_get(id)->address);

  ASSERT_TRUE(debuggee_resume());
  ASSERT_TRUE(drain_until_stop());
  ASSERT_EQ(DS_PAUSED, debuggee_state()) << status();
  const ModuleRecord *dll = module_by_name(kDll);
  ASSERT_TRUE(dll);
  // The memory map asks the module list where modules start.
  EXPECT_TRUE(region_is_module_start(dll->base));
  EXPECT_FALSE(region_is_module_start(region_next_start(dll->base)));
  uint32_t address = breakpoint_get(id)->address;
  EXPECT_EQ(entry_address_in_module(kExport, dll), address);
  EXPECT_EQ(address, ip());
  EXPECT_EQ(0xCC, raw_byte(address));
  // Resumed from there, the program finishes normally.
  ASSERT_TRUE(debuggee_resume());
  ASSERT_TRUE(drain_until_stop());
  EXPECT_EQ(DS_EXITED, debuggee_state());
  EXPECT_EQ(0u, debuggee_exit_code());
  CloseHandle(go);
}

}  // namespace engine_test
