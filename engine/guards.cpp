#include "engine/guards.h"

#include <windows.h>

#include "engine/address_eval.h"
#include "engine/debuggee.h"
#include "engine/execution.h"
#include "startup/changes.h"
#include "util/log.h"
#include "util/path.h"
#include "util/zone.h"

Guard g_guards[GUARD_SLOTS];

namespace {

DWORD CONTEXT::*const kAddressRegisters[GUARD_SLOTS] = {&CONTEXT::Dr0, &CONTEXT::Dr1,
                                                        &CONTEXT::Dr2, &CONTEXT::Dr3};

bool empty(const char *text) { return !text || !text[0]; }

bool have_thread() {
  DebuggeeState s = g_debuggee.state;
  return s != DS_NOTLOADED && s != DS_CLOSING && s != DS_EXITED && g_debuggee.thread;
}

// Address 0 or length 0 only disarms.
bool program(int n, uint32_t address, uint32_t length) {
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_DEBUG_REGISTERS;
  if (!GetThreadContext(g_debuggee.thread, &context)) return false;
  context.Dr7 = guard_dr7(context.Dr7, n, address ? length : 0);
  if (address && length) context.*kAddressRegisters[n] = address;
  return SetThreadContext(g_debuggee.thread, &context);
}

}  // namespace

uint32_t guard_dr7(uint32_t dr7, int n, uint32_t length) {
  dr7 &= ~(0xFu << (16 + 4 * n)) & ~(3u << (2 * n));
  if (!length) return dr7;
  if (length > 4) length = 4;
  // Length codes: 0 one byte, 1 two, 3 four; a 3-byte value gets code 2.
  uint32_t field = (4 * length - 4) | 1;
  return dr7 | field << (16 + 4 * n) | 3u << (2 * n);
}

bool guard_set(int n, const char *expression, const char *condition) {
  if (n < 0 || n >= GUARD_SLOTS) return false;
  if (have_thread()) program(n, 0, 0);
  Guard &g = g_guards[n];
  g.expression = (char *)zone_free(g.expression);
  g.condition = (char *)zone_free(g.condition);
  if (!empty(expression)) {
    g.expression = zone_strdup(expression);
    g.condition = empty(condition) ? nullptr : zone_strdup(condition);
  }
  guard_arm(n);
  changes_raise(CHG_GUARDS);
  return true;
}

int guard_add(const char *expression, const char *condition) {
  for (int n = 0; n < GUARD_SLOTS; n++)
    if (empty(g_guards[n].expression)) return guard_set(n, expression, condition) ? n : -1;
  return -1;
}

bool guard_get(int n, char *expression, size_t expression_len, char *condition,
               size_t condition_len) {
  expression[0] = condition[0] = 0;
  if (n < 0 || n >= GUARD_SLOTS) return false;
  text_copy(expression, expression_len, g_guards[n].expression ? g_guards[n].expression : "");
  text_copy(condition, condition_len, g_guards[n].condition ? g_guards[n].condition : "");
  return expression[0] != 0;
}

void guard_arm(int n) {
  if (n < 0 || n >= GUARD_SLOTS || empty(g_guards[n].expression) || !have_thread()) return;
  uint32_t address, size;
  if (!g_address_eval.locate(g_guards[n].expression, &address, &size)) return;
  if (size > 4) size = 4;
  if (address && size && program(n, address, size))
    log_printf("Guard [%i] is set to %X\n", n, (unsigned)address);
  else
    log_printf("For some reason a guard cannot be created\n");
}

void guards_clear() {
  for (Guard &g : g_guards) {
    g.expression = (char *)zone_free(g.expression);
    g.condition = (char *)zone_free(g.condition);
  }
}

bool guards_check() {
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_DEBUG_REGISTERS;
  if (!GetThreadContext(g_debuggee.thread, &context)) return false;
  uint32_t hits = context.Dr6 & 0xF;
  if (!hits) return false;
  // The processor leaves the hit bits set; cleared, they cannot name a later stop.
  context.Dr6 = 0;
  SetThreadContext(g_debuggee.thread, &context);
  int n = 0;
  while (!(hits & 1u << n)) n++;
  const Guard &g = g_guards[n];
  if (empty(g.expression)) return false;
  g_debuggee.pause.guard_index = n;
  uint32_t value = 0;
  bool holds = empty(g.condition) || (g_address_eval.condition(g.condition, &value) && value);
  if (!holds) execution_let_run();
  return true;
}
