// Execution control against the "probe" debuggee: steps, run-to, return, step back, the
// register history, calls into the debuggee and the call stack.
#include "engine/breakpoints.h"
#include "engine/step_journal.h"
#include "engine/tests/debuggee_fixture.h"
#include "engine/thread_info.h"

namespace {

using namespace engine_test;

std::string hex(uint32_t address) {
  char text[16];
  snprintf(text, sizeof text, "%X", (unsigned)address);
  return text;
}

TEST_F(Probe, StepOverAndIntoACallInsideTheProgram) {
  ASSERT_TRUE(launch_probe());
  g_settings.CpuViewMode = 1;
  ASSERT_TRUE(run_to(table_.probe_call));
  EXPECT_EQ(g_debuggee.pause.code, 0u);  // a stop on our own breakpoint shows no reason
  EXPECT_EQ(raw_byte(table_.probe_call), 0xE8);
  take_events();
  ASSERT_TRUE(step(true));
  EXPECT_EQ(ip(), table_.probe_lib);
  EXPECT_EQ(g_temporary.address, 0u);
  EXPECT_EQ(raw_byte(table_.probe_lib), 0xFF);
  EXPECT_EQ(execution_step_record(), nullptr);
  // The intermediate stops never reached the user interface.
  std::vector<int> events = take_events();
  EXPECT_EQ(std::count(events.begin(), events.end(), EVN_Pause), 1);

  // Next round: step into enters the callee of the program itself, trace-over or not.
  ASSERT_TRUE(run_to(table_.probe_call));
  g_settings.TraceOverLibraryCalls = 1;
  ASSERT_TRUE(step(false));
  EXPECT_EQ(ip(), table_.leaf);
  g_settings.TraceOverLibraryCalls = 0;
}

// Steps decode from kept code pages; what we write there is what the next step decodes.
TEST_F(Probe, StepDecodesTheCodeWrittenSinceTheLastStop) {
  ASSERT_TRUE(launch_probe());
  g_settings.CpuViewMode = 1;
  ASSERT_TRUE(run_to(table_.probe_lib));
  ASSERT_EQ(command_length_at(table_.probe_lib, nullptr), 6);  // call [import], kept now
  // It becomes "call kq_leaf; nop": a step over ends after the 5-byte call, not after 6.
  uint8_t call[6] = {0xE8, 0, 0, 0, 0, 0x90};
  uint32_t offset = table_.leaf - (table_.probe_lib + 5);
  memcpy(call + 1, &offset, 4);
  ASSERT_EQ(memory_write(table_.probe_lib, call, 6), 6u);
  ASSERT_TRUE(step(true));
  EXPECT_EQ(ip(), table_.probe_lib + 5);
  EXPECT_EQ(g_registers.r[REG_EAX], 7u);
}

// Stepping through SetLastError: after every step the set holds the last error the thread
// block holds, also where a step kept the block's words from the stop before.
TEST_F(Probe, StepsThroughSetLastErrorShowTheBlocksValue) {
  ASSERT_TRUE(launch("fault"));
  ASSERT_TRUE(drain_until(DS_PAUSED));
  g_settings.CpuViewMode = 1;
  g_settings.TraceOverLibraryCalls = 0;
  uint32_t set_last_error =
      (uint32_t)(uintptr_t)GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetLastError");
  ASSERT_TRUE(run_to(set_last_error));
  ASSERT_NE(g_registers.r[REG_LASTERROR], (uint32_t)ERROR_FILE_NOT_FOUND);
  bool seen = false;
  for (int i = 0; i < 40 && !seen; i++) {
    ASSERT_TRUE(step(false));
    ASSERT_EQ(debuggee_state(), DS_PAUSED);
    uint32_t value = 0;
    ASSERT_TRUE(thread_last_error(g_debuggee.process, g_debuggee.thread, &value));
    ASSERT_EQ(g_registers.r[REG_LASTERROR], value) << "step " << i;
    seen = value == ERROR_FILE_NOT_FOUND;
  }
  EXPECT_TRUE(seen);
}

TEST_F(Probe, StepIntoALibraryCallFollowsTraceOverLibraryCalls) {
  ASSERT_TRUE(launch_probe());
  g_settings.CpuViewMode = 1;
  uint32_t slot = 0, callee = 0;
  ASSERT_EQ(memory_read(table_.probe_lib + 2, &slot, 4), 4u);  // call [slot]
  ASSERT_EQ(memory_read(slot, &callee, 4), 4u);
  struct Case {
    uint8_t trace_over;
    uint32_t stop;
  } cases[] = {{1, table_.probe_nops}, {0, callee}};
  for (const Case &c : cases) {
    g_settings.TraceOverLibraryCalls = c.trace_over;
    ASSERT_TRUE(run_to(table_.probe_lib));
    ASSERT_TRUE(step(false));
    EXPECT_EQ(ip(), c.stop) << (int)c.trace_over;
  }
  g_settings.TraceOverLibraryCalls = 0;
}

TEST_F(Probe, BreakpointInsideAStepRangeDoesNotStopTheStep) {
  ASSERT_TRUE(launch_probe());
  int bp = breakpoint_add(hex(table_.probe_lib).c_str());
  ASSERT_TRUE(run_to(table_.probe_call));
  ASSERT_TRUE(execution_step_range(table_.probe_nops, true));
  ASSERT_TRUE(drain_until_stop());
  EXPECT_EQ(ip(), table_.probe_nops);
  EXPECT_EQ(raw_byte(table_.probe_lib), 0xCC);
  breakpoint_remove(bp);
}

TEST_F(Probe, ResumingFromABreakpointRunsOnAndMeetsItNextTimeRound) {
  ASSERT_TRUE(launch_probe());
  int bp = breakpoint_add(hex(table_.probe_nops).c_str());
  int hits = 0;
  while (debuggee_resume() && drain_until_stop() && ip() == table_.probe_nops) {
    hits++;
    EXPECT_EQ(g_debuggee.pause.code, 0x80000003u);
    EXPECT_EQ(raw_byte(table_.probe_nops), 0xCC);
  }
  // Five rounds, each met once; then the program ends.
  EXPECT_EQ(hits, 5);
  EXPECT_EQ(debuggee_state(), DS_EXITED);
  EXPECT_EQ(debuggee_exit_code(), 0u);
  breakpoint_remove(bp);
}

TEST_F(Probe, StepBackRestoresRegistersButNotMemory) {
  ASSERT_TRUE(launch_probe());
  g_settings.CpuViewMode = 1;
  ASSERT_TRUE(run_to(table_.probe_nops));
  RegisterSet before = g_registers;
  ASSERT_TRUE(step(false));
  uint16_t word = 0x5151;
  memory_write(table_.word, &word, 2);
  ASSERT_TRUE(step(false));
  EXPECT_EQ(ip(), table_.probe_nops + 2);
  ASSERT_TRUE(execution_step_back());
  EXPECT_EQ(ip(), table_.probe_nops + 1);
  ASSERT_TRUE(execution_step_back());
  EXPECT_EQ(ip(), table_.probe_nops);
  for (int i = 0; i < REG_WORDS; i++) EXPECT_EQ(g_registers.r[i], before.r[i]) << i;
  word = 0;
  memory_read(table_.word, &word, 2);
  EXPECT_EQ(word, 0x5151);
}

TEST_F(Session, HistoryKeepsTheNewest32) {
  history_clear();
  for (uint32_t i = 1; i <= 33; i++) {
    g_registers.r[REG_EAX] = i;
    history_push();
  }
  EXPECT_EQ(g_debuggee.history_count, 32);
  EXPECT_EQ(history_entry(0)->r[REG_EAX], 2u);
  EXPECT_EQ(history_entry(31)->r[REG_EAX], 33u);
  EXPECT_EQ(history_entry(32), nullptr);
  // Without a paused debuggee there is nothing to step back in.
  EXPECT_FALSE(execution_step_back());
  history_clear();
  memset(&g_registers, 0, sizeof g_registers);
}

TEST_F(Probe, ReturnFromProcedureAndTheCallStack) {
  ASSERT_TRUE(launch_probe());
  ASSERT_TRUE(run_to(table_.probe_nops));
  const CallStack *stack = execution_call_stack();
  ASSERT_NE(stack, nullptr);
  ASSERT_GE(stack->count, 3);
  EXPECT_EQ(stack->code[0], table_.probe_nops);
  EXPECT_EQ(stack->code[1], table_.round_ret);
  EXPECT_EQ(stack->frame[0], g_registers.r[REG_EBP]);
  EXPECT_EQ(stack->start_ebp, g_registers.r[REG_EBP]);
  ASSERT_TRUE(execution_return());
  ASSERT_TRUE(drain_until_stop());
  EXPECT_EQ(ip(), table_.round_ret);
}

TEST_F(Probe, RunToRefusesAddressZeroAndARunningDebuggee) {
  ASSERT_TRUE(launch_probe());
  EXPECT_FALSE(execution_run_to(0));
  ASSERT_TRUE(debuggee_resume());
  EXPECT_FALSE(execution_run_to(table_.probe_nops));
  EXPECT_FALSE(execution_step(false));
  EXPECT_TRUE(drain_until(DS_EXITED));
}

TEST_F(Probe, RunToAgainWhileOnePendsLeavesNoStrayInt3) {
  // The program spins until it is let go, so the pause lands before its rounds.
  ASSERT_TRUE(launch_probe("probe wait"));
  ASSERT_TRUE(execution_run_to(table_.never));
  EXPECT_EQ(raw_byte(table_.never), 0xCC);
  // A stop that is not the run-to's own leaves it pending, its INT3 planted.
  execution_pause_or_resume();
  ASSERT_EQ(debuggee_state(), DS_PAUSED);
  EXPECT_NE(execution_run_to_record(), nullptr);
  EXPECT_EQ(raw_byte(table_.never), 0xCC);
  // The new run-to takes the first one's INT3 away at once, and ends at its target.
  const uint32_t go = 1;
  ASSERT_EQ(memory_write(table_.go, &go, 4), 4u);
  ASSERT_TRUE(execution_run_to(table_.probe_nops));
  EXPECT_EQ(raw_byte(table_.never), 0xC3);
  ASSERT_TRUE(drain_until_stop());
  ASSERT_EQ(debuggee_state(), DS_PAUSED);
  EXPECT_EQ(ip(), table_.probe_nops);
  EXPECT_EQ(g_debuggee.pause.code, 0u);
  EXPECT_EQ(execution_run_to_record(), nullptr);
  EXPECT_EQ(raw_byte(table_.never), 0xC3);
  EXPECT_EQ(raw_byte(table_.probe_nops), 0x90);
}

TEST_F(Probe, ExitDuringARunToAndCrashDuringAStep) {
  ASSERT_TRUE(launch_probe());
  ASSERT_TRUE(execution_run_to(table_.never));
  ASSERT_TRUE(drain_until(DS_EXITED));
  EXPECT_EQ(debuggee_exit_code(), 0u);
  EXPECT_TRUE(debuggee_unload());
  EXPECT_EQ(execution_run_to_record(), nullptr);
  EXPECT_EQ(g_temporary.address, 0u);

  ASSERT_TRUE(launch_probe("probe crash"));
  g_settings.CpuViewMode = 1;
  ASSERT_TRUE(run_to(table_.crash_call));
  ASSERT_TRUE(step(true));
  EXPECT_EQ(g_debuggee.pause.code, 0xC0000005u);
  EXPECT_EQ(execution_step_record(), nullptr);
  EXPECT_EQ(g_temporary.address, 0u);
  EXPECT_EQ(raw_byte(table_.crash_call + 5), 0xC3);  // the return address: no INT3 left
}

TEST_F(Probe, CallInTheDebuggeeAsksItsWindow) {
  ASSERT_TRUE(launch_probe());
  uint32_t get_window_long =
      (uint32_t)(uintptr_t)GetProcAddress(GetModuleHandleA("user32.dll"), "GetWindowLongA");
  ASSERT_NE(table_.window, 0u);
  RegisterSet before = g_registers, result;
  uint8_t stack[32], stack_after[32];
  memory_read(before.r[REG_ESP] - 32, stack, 32);
  ASSERT_TRUE(execution_call(get_window_long, table_.window, (uint32_t)GWL_USERDATA, &result));
  EXPECT_EQ(result.r[REG_EAX], 0x1234ABCDu);
  registers_refresh();
  EXPECT_EQ(memcmp(g_registers.r, before.r, sizeof before.r), 0);
  memory_read(before.r[REG_ESP] - 32, stack_after, 32);
  EXPECT_EQ(memcmp(stack + 12, stack_after + 12, 20), 0);  // the stub's bytes are back

  // A procedure that takes a second is not waited for; the thread gets its registers back.
  uint32_t sleep = (uint32_t)(uintptr_t)GetProcAddress(GetModuleHandleA("kernel32.dll"), "Sleep");
  EXPECT_FALSE(execution_call(sleep, 1000, 0, &result));
  registers_refresh();
  EXPECT_EQ(memcmp(g_registers.r, before.r, sizeof before.r), 0);

  // A stack pointer into unmapped memory: no stub, nothing changed.
  RegisterSet broken = before;
  broken.r[REG_ESP] = 0x1000;
  ASSERT_TRUE(registers_write(&broken));
  EXPECT_FALSE(execution_call(get_window_long, table_.window, (uint32_t)GWL_USERDATA, &result));
  registers_refresh();
  EXPECT_EQ(g_registers.r[REG_ESP], 0x1000u);
  EXPECT_EQ(g_registers.r[REG_EIP], before.r[REG_EIP]);
  registers_write(&before);
  // The program goes on and ends normally.
  ASSERT_TRUE(debuggee_resume());
  EXPECT_TRUE(drain_until(DS_EXITED));
}

}  // namespace

namespace {

// The debuggee's stack around ESP, its two pages of data and the word its thread block
// keeps for the program, read with the system's reader, not the engine's.
struct Outside {
  std::vector<uint8_t> stack, pages, block;
  bool operator==(const Outside &o) const { return difference(o).empty(); }
  // Where this differs from o first, in each area; empty when nowhere.
  std::string difference(const Outside &o) const {
    std::string text;
    const std::vector<uint8_t> *mine[] = {&stack, &pages, &block},
                               *theirs[] = {&o.stack, &o.pages, &o.block};
    for (int a = 0; a < 3; a++) {
      const std::vector<uint8_t> &x = *mine[a], &y = *theirs[a];
      if (x.size() != y.size()) text += " area " + std::to_string(a) + " size";
      for (size_t i = 0; i < x.size() && i < y.size(); i++)
        if (x[i] != y[i]) {
          text += " area " + std::to_string(a) + " offset " + std::to_string(i);
          break;
        }
    }
    return text;
  }
};

// A repeated store held to one repeat whose counter fell by more at the stop keeps
// registers only: its record would put back part of what it wrote.
TEST_F(Session, RepeatsPastTheTrapLeaveMemoryAlone) {
  const int32_t limit = g_settings.StepJournalBytes;
  g_settings.StepJournalBytes = 4096;
  RegisterSet regs = {};
  regs.r[REG_ECX] = 0x20005;
  for (uint32_t after : {0x20004u, 0x20003u, 0x1FFF0u}) {
    journal_add_step(regs, (const uint8_t *)"\x67\xF3\xAB", 3);  // the counter is CX
    journal_step_stopped(after);
    uint32_t address;
    EXPECT_EQ(journal_restore_newest(&address), after == 0x20004 ? JOURNAL_EXACT : JOURNAL_REPEATS);
  }
  g_settings.StepJournalBytes = limit;
}

std::vector<uint8_t> read_outside(uint32_t address, uint32_t length) {
  std::vector<uint8_t> bytes(length);
  SIZE_T got = 0;
  ReadProcessMemory(g_debuggee.process, (const void *)(uintptr_t)address, bytes.data(), length,
                    &got);
  bytes.resize(got);
  return bytes;
}

}  // namespace

// For each part of kq_writes: a step at a time through it, saving what lies outside
// before each step, then step back to each of those points in reverse, where memory must
// be as it was, byte for byte, and the registers too.
TEST_F(Probe, StepBackRestoresEveryKindOfWrite) {
  ASSERT_TRUE(launch_probe("probe writes"));
  g_settings.CpuViewMode = 1;
  g_settings.StepJournalBytes = 1 << 22;
  const uint32_t parts[][2] = {{table_.writes, table_.writes_string},
                               {table_.writes_string, table_.writes_fpu},
                               {table_.writes_fpu, table_.writes_call}};
  for (const auto &part : parts) {
    ASSERT_TRUE(run_to(part[0]));
    uint32_t esp = g_registers.r[REG_ESP];
    auto outside = [&] {
      return Outside{read_outside(esp - 0x100, 0x140), read_outside(table_.pages, 8192),
                     read_outside(g_registers.r[REG_TIB] + 0x14, 4)};
    };
    std::vector<Outside> before;
    std::vector<RegisterSet> registers;
    std::vector<int> counts;
    for (int i = 0; i < 40 && ip() != part[1]; i++) {
      before.push_back(outside());
      registers.push_back(g_registers);
      counts.push_back(g_debuggee.history_count);
      ASSERT_TRUE(step(false));
    }
    ASSERT_EQ(ip(), part[1]);
    EXPECT_FALSE(outside() == before[0]) << "the part wrote nothing";
    for (size_t k = before.size(); k-- > 0;) {
      while (g_debuggee.history_count > counts[k]) ASSERT_TRUE(execution_step_back());
      EXPECT_STREQ(execution_step_back_note(), "");
      EXPECT_EQ(outside().difference(before[k]), "") << std::hex << registers[k].r[REG_EIP];
      for (int r = 0; r < REG_WORDS; r++)
        EXPECT_EQ(g_registers.r[r], registers[k].r[r]) << std::hex << registers[k].r[REG_EIP];
    }
  }
  // A step over a call that writes: its memory stays, and the log and the status say so.
  ASSERT_TRUE(run_to(table_.writes_call));
  uint32_t esp = g_registers.r[REG_ESP];
  std::vector<uint8_t> slot = read_outside(esp - 4, 4);
  ASSERT_TRUE(step(true));
  ASSERT_EQ(ip(), table_.writes_end);
  ASSERT_TRUE(execution_step_back());
  EXPECT_EQ(ip(), table_.writes_call + 5 + 4);  // the callee, entered by the call's own step
  EXPECT_TRUE(has(execution_step_back_note(), "Memory changed by the call to"));
  EXPECT_TRUE(has(log(), "Memory changed by the call to"));
  EXPECT_TRUE(has(status(), "was not restored"));
  uint32_t written = 0;
  memory_read(table_.pages + 600, &written, 4);
  EXPECT_EQ(written, 0x77777777u);
  ASSERT_TRUE(execution_step_back());
  EXPECT_EQ(ip(), table_.writes_call);
  EXPECT_EQ(g_registers.r[REG_ESP], esp);
  EXPECT_EQ(read_outside(esp - 4, 4), slot);
}
