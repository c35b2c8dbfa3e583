// Execution control: pause and resume, steps by instruction or source line, run-to,
// return from procedure, step back through the register history, calls into the
// debuggee, the call stack and whether the jump at EIP is taken.
#pragma once
#include <stdint.h>

#include "engine/registers.h"

enum { HISTORY_SIZE = 32, CALL_STACK_MAX = 100 };
// What a step waits for: a trap-flag stop ('T') or the temporary breakpoint ("INT3").
enum StepMode : uint32_t { STEP_NOTHING = 0, STEP_TRAP = 0x54, STEP_INT3 = 0x494E5433 };

struct StepRecord {
  uint32_t start, end;    // the range [start, end) the step runs through
  uint32_t call_return;   // after a call just single-stepped, else 0
  bool over;
  StepMode mode;
};

struct RunToRecord {
  uint32_t start, target;
};

struct CallStack {
  int count;                          // frames, at most CALL_STACK_MAX
  uint32_t code[CALL_STACK_MAX];      // EIP, then one return address per frame
  uint32_t frame[CALL_STACK_MAX];     // the frame pointer of each
  uint32_t start_ebp, end_frame;
};

// Register history entry index, oldest first (g_debuggee.history_count says how many);
// null outside it.
const RegisterSet *history_entry(int index);
// Pushes the current register set (dropping the oldest when full) and records the CPU
// time of the followed thread, which is about to run freely.
void history_push();
void history_clear();

// The step and run-to in progress; null when none.
const StepRecord *execution_step_record();
const RunToRecord *execution_run_to_record();

// DS_RUNNING: pauses. DS_PAUSED: resumes (over the breakpoints at EIP).
void execution_pause_or_resume();
// Step into (over false) or over one instruction, or one source line when CpuViewMode
// is off; a line without line info is stepped by instruction.
bool execution_step(bool over);
// Steps through [EIP, end).
bool execution_step_range(uint32_t end, bool over);
bool execution_run_to(uint32_t target);
// Runs to the return address at EBP + 4.
bool execution_return();
// Restores the newest history record: the memory its command wrote (when the journal
// kept it), then the registers. Writes it could not foresee (another thread's, the
// system's, those of code run at full speed) stay.
bool execution_step_back();
// What the last step back left unrestored, as the log and the status bar say it; empty
// when it restored everything.
const char *execution_step_back_note();
// Calls procedure(first, second) on the followed thread; the result is EAX of result.
bool execution_call(uint32_t procedure, uint32_t first, uint32_t second, RegisterSet *result);
// Builds the call stack snapshot (kept in g_debuggee.call_stack); null without debuggee.
const CallStack *execution_call_stack();
bool execution_jump_taken();

// The engine's part of a stop of the followed thread, called by the event drain with the
// thread suspended and the registers read: a breakpoint or single-step exception goes to
// the step, the run-to, the resume over a breakpoint or the guards.
void execution_on_exception(uint32_t code, bool was_running);
// Lets the stopped thread run: over the INT3s of ours at EIP, with a history push.
void execution_let_run();
// Drops the step and run-to records (clear all, unload).
void execution_forget();
