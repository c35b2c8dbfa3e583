#include "engine/execution.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "engine/address_eval.h"
#include "engine/breakpoints.h"
#include "engine/code_cache.h"
#include "engine/debuggee.h"
#include "engine/guards.h"
#include "engine/memory.h"
#include "engine/step_journal.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "util/log.h"
#include "util/zone.h"
#include "x86/command_writes.h"
#include "x86/disasm.h"

namespace {

const uint32_t kTrapFlag = 0x100;
const uint32_t kBreakpointCode = 0x80000003, kSingleStepCode = 0x80000004;

// A resume from EIP with INT3s of ours inside the instruction there: they are taken out,
// the instruction runs under the trap flag, and the trap puts them back. So a breakpoint
// is not hit again at once, yet still stops the next time round a loop.
struct ResumeOver {
  uint32_t start, end;
  bool active;
};

// The command execution_step decoded to size the range, taken again by the step's first
// phase at the same address: reading debuggee memory is slow under Wine.
struct DecodedCommand {
  uint32_t address;
  int length, command_class;
  bool valid;
};

// Execution control's state beside the Debuggee record (which keeps the history count).
struct ExecutionControl {
  RegisterSet history[HISTORY_SIZE];  // oldest first
  StepRecord *step;                   // zone block; null when no step is in progress
  RunToRecord *run_to;                // zone block; null when no run-to is pending
  ResumeOver over;
  DecodedCommand decoded;
  char note[128];  // what the last step back could not restore
};
ExecutionControl g_control;

// The register set onto the history, dropping the oldest when full.
void push_registers() {
  RegisterSet *history = g_control.history;
  int &count = g_debuggee.history_count;
  if (count == HISTORY_SIZE) {
    memmove(history, history + 1, (HISTORY_SIZE - 1) * sizeof history[0]);
    count--;
  }
  history[count++] = g_registers;
  g_control.note[0] = '\0';
}

int command_at(uint32_t address, int *command_class) {
  DecodedCommand &decoded = g_control.decoded;
  if (decoded.valid && decoded.address == address) {
    decoded.valid = false;
    *command_class = decoded.command_class;
    return decoded.length;
  }
  return command_length_at(address, command_class);
}

// The debuggee's own bytes of the command at ip, from the kept code pages.
struct CommandBytes {
  uint8_t bytes[16];
  int count;
};

CommandBytes command_bytes(uint32_t ip) {
  CommandBytes c;
  c.count = (int)code_cache_read(ip, c.bytes, sizeof c.bytes);
  breakpoints_hide(ip, c.bytes, (uint32_t)c.count);
  return c;
}

// Whether the command at ip, run once under the trap flag, leaves the thread block as it
// is: it writes no memory but the stack below ESP, and that lies away from the block.
bool keeps_thread_block(uint32_t ip, const CommandBytes &code) {
  const uint64_t kStackReach = 0x1000, kBlockBytes = 56;  // ENTER writes the most below ESP
  uint64_t esp = g_registers.r[REG_ESP], tib = g_debuggee.tib;
  if (!tib || (tib < esp && tib + kBlockBytes + kStackReach > esp)) return false;
  return !command_may_write_memory(code.bytes, code.count, ip);
}

bool temporary_inside(uint32_t start, uint32_t end) {
  return g_temporary.address && g_temporary.address - start < end - start;
}

void arm_range(uint32_t start, uint32_t end) {
  breakpoints_arm_range(start, end);
  if (temporary_inside(start, end)) memory_write_raw(g_temporary.address, "\xCC", 1);
}

void disarm_range(uint32_t start, uint32_t end) {
  breakpoints_disarm_range(start, end);
  if (temporary_inside(start, end)) memory_write_raw(g_temporary.address, &g_temporary.saved, 1);
}

// Only the thread runs again: no history, no state change beyond DS_RUNNING. A thread
// held by its pending exception event runs when the event is continued.
void resume_thread() {
  if (g_debuggee.held_by_event)
    g_debuggee.held_by_event = false;
  else
    ResumeThread(g_debuggee.thread);
  g_debuggee.state = DS_RUNNING;
}

// A history record for a phase that runs at full speed: its writes are not journalled.
void push_free_run(JournalMark mark) {
  push_registers();
  journal_add_mark(mark, g_registers.r[REG_EIP]);
  debuggee_record_cpu_time();
  code_cache_forget();  // the thread runs freely now
}

void run_phase() {
  push_free_run(JOURNAL_CALL);
  resume_thread();
}

void end_over() {
  ResumeOver &over = g_control.over;
  arm_range(over.start, over.end);
  over.active = false;
}

// A stop the step did not ask for (a fault, a breakpoint of the debuggee's own) ends it:
// the trap flag goes, the temporary breakpoint of a call goes, its range is armed again.
void end_step() {
  StepRecord *s = g_control.step;
  if (!s) return;
  if (s->mode == STEP_TRAP) registers_set_trap_flag(false);
  if (s->mode == STEP_INT3) temporary_remove();
  arm_range(s->start, s->end);
  g_control.step = (StepRecord *)zone_free(s);
}

void run_to_end() {
  RunToRecord *r = g_control.run_to;
  if (!r) return;
  temporary_remove();
  arm_range(r->start, r->target);
  g_control.run_to = (RunToRecord *)zone_free(r);
}

bool in_main_module(uint32_t address) {
  MEMORY_BASIC_INFORMATION info;
  return g_debuggee.image_base &&
         VirtualQueryEx(g_debuggee.process, (const void *)(uintptr_t)address, &info,
                        sizeof info) &&
         (uint32_t)(uintptr_t)info.AllocationBase == g_debuggee.image_base;
}

// Whether step into runs a callee whole instead of entering it.
bool traced_over(uint32_t callee) {
  if (!callee) return false;
  bool entered = g_address_eval.have_sources() ? g_address_eval.in_source(callee)
                                               : in_main_module(callee);
  return !entered && g_settings.TraceOverLibraryCalls;
}

// Goes on with the step after a stop; false when no step is in progress.
bool step_go_on() {
  StepRecord *s = g_control.step;
  if (!s) return false;
  uint32_t ip = g_registers.r[REG_EIP];
  if (s->mode == STEP_TRAP && (g_registers.r[REG_EFLAGS] & kTrapFlag))
    registers_set_trap_flag(false);
  if (s->mode == STEP_INT3) {
    temporary_remove();
    s->call_return = 0;
  }
  s->mode = STEP_NOTHING;
  if (s->call_return && (s->over || traced_over(ip))) {
    run_to_end();  // the one temporary breakpoint is the step's now
    if (temporary_plant(s->call_return)) {
      s->mode = STEP_INT3;
      run_phase();
      return true;
    }
  }
  if (ip - s->start < s->end - s->start) {
    int command_class;
    int length = command_at(ip, &command_class);
    s->call_return = (command_class & CC_KIND) == CC_CALL ? ip + length : 0;
    // A refresh during the step may have armed the range again.
    disarm_range(s->start, s->end);
    // Before the trap flag: step back must not bring it back. One command is below the
    // clock's resolution, and one that is no call or interrupt leaves read-only code alone.
    push_registers();
    debuggee_defer_cpu_time();
    if ((command_class & CC_KIND) == CC_CALL) code_cache_forget();
    CommandBytes code = command_bytes(ip);
    journal_add_step(g_registers, code.bytes, code.count);
    if (keeps_thread_block(ip, code)) registers_keep_thread_block();
    registers_set_trap_flag(true);
    s->mode = STEP_TRAP;
    resume_thread();
    return true;
  }
  arm_range(s->start, s->end);
  g_control.step = (StepRecord *)zone_free(s);
  g_debuggee.pause.code = 0;
  return true;
}

// The trap of a resume over our INT3s: they go back and the thread runs on, unless a
// guard fired on the same instruction or the user paused meanwhile.
bool over_done(bool was_running) {
  if (!g_control.over.active) return false;
  end_over();
  if (!guards_check() && was_running) {
    g_debuggee.pause.code = 0;
    resume_thread();
  }
  return true;
}

}  // namespace

void history_push() { push_free_run(JOURNAL_RAN); }

void history_clear() {
  g_debuggee.history_count = 0;
  g_control.note[0] = '\0';
  journal_clear();
}

const StepRecord *execution_step_record() { return g_control.step; }
const RunToRecord *execution_run_to_record() { return g_control.run_to; }

void execution_let_run() {
  uint32_t ip = g_registers.r[REG_EIP];
  history_push();
  // Without INT3s of ours there is nothing to step over (and no code to read).
  if (!g_control.over.active && (breakpoint_count() || g_temporary.address)) {
    uint32_t end = ip + (uint32_t)command_length_at(ip, nullptr);
    bool ours = temporary_inside(ip, end);
    for (uint32_t a = ip; a != end && !ours; a++) ours = breakpoint_at(a) >= 0;
    if (ours) {
      disarm_range(ip, end);
      registers_set_trap_flag(true);
      g_control.over = ResumeOver{ip, end, true};
    }
  }
  resume_thread();
}

void execution_pause_or_resume() {
  Debuggee &d = g_debuggee;
  if (d.state == DS_RUNNING) {
    SuspendThread(d.thread);
    d.state = DS_PAUSED;
    registers_refresh();
    changes_raise(CHG_STATE);
    debuggee_deliver(EVN_Refresh);
    debuggee_deliver(EVN_Pause);
  } else if (d.state == DS_PAUSED) {
    debuggee_resume();
  }
}

bool execution_step(bool over) {
  if (g_debuggee.state != DS_PAUSED) return false;
  // Every stop and every register write reads the set again: it is current here.
  uint32_t ip = g_registers.r[REG_EIP];
  if (!ip) return false;
  uint32_t start, end;
  DecodedCommand &decoded = g_control.decoded;
  if (g_settings.CpuViewMode || !g_address_eval.line_range(ip, &start, &end) || end <= ip) {
    decoded.address = ip;
    decoded.length = command_length_at(ip, &decoded.command_class);
    decoded.valid = true;
    end = ip + (uint32_t)decoded.length;
  }
  bool started = execution_step_range(end, over);
  decoded.valid = false;
  return started;
}

bool execution_step_range(uint32_t end, bool over) {
  if (g_debuggee.state != DS_PAUSED || g_debuggee.pending_event_thread) return false;
  end_step();
  StepRecord *s = (StepRecord *)zone_alloc(sizeof *s);
  if (!s) return false;
  *s = StepRecord{g_registers.r[REG_EIP], end, 0, over, STEP_NOTHING};
  g_control.step = s;
  disarm_range(s->start, s->end);
  step_go_on();
  changes_raise(CHG_STATE);
  debuggee_deliver(g_debuggee.state == DS_RUNNING ? EVN_Resume : EVN_Pause);
  return true;
}

bool execution_run_to(uint32_t target) {
  if (g_debuggee.state != DS_PAUSED || g_debuggee.pending_event_thread || !target)
    return false;
  registers_refresh();
  // A run-to still pending (another stop came first) gives way to the new one.
  run_to_end();
  if (!temporary_plant(target)) return false;
  RunToRecord *r = (RunToRecord *)zone_alloc(sizeof *r);
  if (!r) {
    temporary_remove();
    return false;
  }
  *r = RunToRecord{g_registers.r[REG_EIP], target};
  g_control.run_to = r;
  debuggee_resume();
  return true;
}

bool execution_return() {
  if (g_debuggee.state != DS_PAUSED) return false;
  const CallStack *stack = execution_call_stack();
  return stack && stack->count >= 2 && execution_run_to(stack->code[1]);
}

bool execution_step_back() {
  Debuggee &d = g_debuggee;
  if (d.state != DS_PAUSED || d.history_count == 0) return false;
  d.history_count--;
  uint32_t address = 0;
  const char *note = journal_mark_text(journal_restore_newest(&address));
  g_control.note[0] = '\0';
  if (note) {
    snprintf(g_control.note, sizeof g_control.note, note, (unsigned)address);
    log_printf("%s\n", g_control.note);
    changes_raise(CHG_STATE);
  }
  return registers_write(&g_control.history[d.history_count]);
}

const char *execution_step_back_note() { return g_control.note; }

const RegisterSet *history_entry(int index) {
  return index >= 0 && index < g_debuggee.history_count ? &g_control.history[index] : nullptr;
}

const CallStack *execution_call_stack() {
  Debuggee &d = g_debuggee;
  if (d.state == DS_NOTLOADED) return nullptr;
  if (!d.call_stack) d.call_stack = zone_alloc(sizeof(CallStack));
  CallStack *stack = (CallStack *)d.call_stack;
  if (!stack) return nullptr;
  memset(stack, 0, sizeof *stack);
  SuspendThread(d.thread);
  registers_refresh();
  uint32_t ebp = g_registers.r[REG_EBP], eip = g_registers.r[REG_EIP];
  stack->start_ebp = ebp;
  // Each frame holds the caller's frame pointer and the return address; a frame that
  // cannot be read keeps the values and so runs into the frame limit.
  while (stack->count < CALL_STACK_MAX && ebp && eip) {
    stack->code[stack->count] = eip;
    stack->frame[stack->count] = ebp;
    stack->count++;
    uint32_t pair[2] = {ebp, eip};
    memory_read(ebp, pair, sizeof pair);
    ebp = pair[0];
    eip = pair[1];
  }
  stack->end_frame = ebp;
  ResumeThread(d.thread);
  return stack;
}

bool execution_jump_taken() {
  if (g_debuggee.state == DS_NOTLOADED) return false;
  uint32_t ip = registers_ip();
  uint8_t bytes[16];
  DisasmResult result;
  int count = (int)memory_read(ip, bytes, sizeof bytes);
  if (!count || decode_command(bytes, count, ip, &result, DECODE_ANALYSE) <= 0 ||
      (result.command_class & CC_KIND) != CC_JMC || result.prefix_count >= count)
    return false;
  const uint8_t *op = bytes + result.prefix_count;
  uint32_t flags = g_registers.r[REG_EFLAGS], ecx = g_registers.r[REG_ECX];
  bool short_count = result.prefix_count && bytes[result.prefix_count - 1] == 0x67;
  if (short_count) ecx &= 0xFFFF;
  bool zf = (flags & 0x40) != 0;
  switch (op[0]) {
    case 0xE3: return ecx == 0;                // JECXZ
    case 0xE2: return ecx != 1;                // LOOP: ECX is decremented first
    case 0xE1: return ecx != 1 && zf;          // LOOPE
    case 0xE0: return ecx != 1 && !zf;         // LOOPNE
    case 0x0F: return count > result.prefix_count + 1 && jump_taken(op[1] & 0xF, flags);
    default: return jump_taken(op[0] & 0xF, flags);
  }
}

void execution_on_exception(uint32_t code, bool was_running) {
  journal_step_stopped(g_registers.r[REG_ECX]);
  if (code == kBreakpointCode) {
    uint32_t ip = g_registers.r[REG_EIP];
    if (!breakpoint_is_ours(ip - 1)) {
      end_step();
      return;
    }
    registers_set_ip(ip - 1);
    if (g_control.over.active) end_over();
    if (!step_go_on()) run_to_end();
    return;
  }
  if (code == kSingleStepCode) {
    if (!over_done(was_running) && !step_go_on()) guards_check();
    return;
  }
  // Any other exception stops the debuggee here and ends what ran.
  if (g_control.over.active) {
    end_over();
    registers_set_trap_flag(false);
  }
  end_step();
}

void execution_forget() {
  g_control.step = (StepRecord *)zone_free(g_control.step);
  g_control.run_to = (RunToRecord *)zone_free(g_control.run_to);
  g_control.over.active = false;
}
