// The debug session: the one debuggee, the thread we follow in it, its state, and the
// debug events of the system turned into state changes and debugger events.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "engine/state_text.h"
#include "engine/thread_info.h"
#include "util/path.h"

enum DebuggeeState {
  DS_NOTLOADED = 0,
  DS_LOADING = 1,
  DS_RUNNING = 2,
  DS_PAUSED = 3,
  DS_EXITED = 4,
  DS_CLOSING = 5,
};

enum DebuggerEvent {
  EVN_Load = 0,
  EVN_Initiate = 1,
  EVN_Refresh = 2,
  EVN_Pause = 3,
  EVN_Resume = 4,
  EVN_Exit = 5,
  EVN_Unload = 6,
};

// Why the debuggee stopped last: the exception code (0 for none) and the guard slot that
// fired (-1 for none).
struct PauseReason {
  uint32_t code;
  int guard_index;
};

struct Debuggee {
  DebuggeeState state;
  void *process;              // process handle
  void *thread;               // handle of the followed thread
  uint32_t process_id;
  uint32_t thread_id;         // the followed thread
  uint32_t exit_code;         // valid in DS_EXITED
  char path[KQ_PATH];         // full path of the main executable; empty without debuggee
  int history_count;          // entries in the register history, 0..32
  void *call_stack;           // zone block of the last call stack built, or null
  uint64_t cpu_time_at_resume;  // user plus kernel time (100 ns) when last let run
  // The last let-run was one trap step, whose time lies below the clock's resolution: the
  // time is taken at the first ask instead, which spares each step a query.
  bool cpu_time_deferred;
  PauseReason pause;
  // Thread of the exit event left pending (exit thread, exit process); 0 for none. While
  // one is pending the system holds the whole process.
  uint32_t pending_event_thread;
  uint32_t tib;               // followed thread's information block; 0 until asked
  // While an exception of the followed thread is handled, it stands still in its event,
  // not yet suspended by us: a resume then only lets the event's continuation run it.
  bool held_by_event;
  uint32_t image_base;        // where the main executable is mapped; 0 until known
};
extern Debuggee g_debuggee;

// The program's debugger-event delivery; null delivers nowhere.
typedef void (*DebuggerEventSink)(int event);
void debuggee_set_event_sink(DebuggerEventSink sink);
void debuggee_deliver(int event);

// Launches path under the debugging interface with g_settings.Arguments; false (nothing
// logged) while a debuggee is loaded.
bool debuggee_launch(const char *path);
bool debuggee_attach(uint32_t process_id, uint32_t thread_id);
// Attaches to the process and its first thread in a system snapshot.
bool debuggee_attach_process(uint32_t process_id);
bool debuggee_switch_thread(uint32_t thread_id);
// Always true, also when nothing is loaded.
bool debuggee_unload();
bool debuggee_reload();
// Lets the paused followed thread run again: DS_PAUSED to DS_RUNNING, EVN_Resume.
bool debuggee_resume();
// Records the followed thread's CPU time as the time it was last let run.
void debuggee_record_cpu_time();
void debuggee_defer_cpu_time();

// Most debug events one drain takes. A fault repeating at once in a thread we do not
// follow gives an endless stream of events; the rest waits for the next tick.
enum { DRAIN_EVENT_LIMIT = 256 };
// Takes the queued debug events (each wait at most 1 ms); gives how many it took.
int debuggee_drain();
// Takes one debug event, waiting at most wait_ms for it; false when none came.
bool debuggee_drain_event(uint32_t wait_ms);

DebuggeeState debuggee_state();
const char *debuggee_path();           // empty without debuggee
uint32_t debuggee_process_id();        // all ones without debuggee
uint32_t debuggee_thread_id();         // all ones without debuggee
uint32_t debuggee_exit_code();         // 0 unless DS_EXITED
// User plus kernel time of the followed thread since it was last let run (100 ns units);
// CPU_TIME_UNKNOWN when either time could not be read or the clock went back (another
// thread followed since).
uint64_t debuggee_cpu_time();
// The pause reason as text; false and "" when there is none.
bool debuggee_pause_text(char *out, size_t outlen);
// The followed thread's last system error as text; false and "" when it is 0.
bool debuggee_last_error_text(char *out, size_t outlen);
// What the status text of the state is made of; pause and error (textlen each) receive
// the paused debuggee's texts, empty otherwise.
StateFacts debuggee_state_facts(char *pause, char *error, size_t textlen);
// The status text of the state.
void debuggee_status_text(char *out, size_t outlen);
