#include "engine/guards.h"

#include <windows.h>

#include "engine/address_eval.h"
#include "engine/debuggee.h"
#include "engine/execution.h"
#include "settings/changes.h"
#include "util/log.h"
#include "util/path.h"
#include "util/zone.h"

Guard g_guards[GUARD_SLOTS];

namespace {

DWORD CONTEXT::*const kAddressRegisters[GUARD_SLOTS] = {&CONTEXT::Dr0, &CONTEXT::Dr1,
                                                        &CONTEXT::Dr2, &CONTEXT::Dr3};

// DR7 length codes by watch length; -1 where the processor defines none (code 2 is
// undefined on 32-bit processors and means 8 bytes on 64-bit ones).
const int kLengthCodes[] = {-1, 0, 1, -1, 3};
const uint32_t kLengthCount = sizeof kLengthCodes / sizeof kLengthCodes[0];

// Arming at a refresh names no slot: it tells only of watches that came, moved or went, so
// a stop does not repeat what the user was told when the guard was set.
const int kAnnounceChanges = -1;

bool empty(const char *text) { return !text || !text[0]; }

bool have_thread() {
  DebuggeeState s = g_debuggee.state;
  return s != DS_NOTLOADED && s != DS_CLOSING && s != DS_EXITED && g_debuggee.thread;
}

// The registers for count watches of slot n: its own first, then those of the slots not in
// used, lowest first. 0 when there are not enough.
uint8_t choose_registers(int n, int count, uint8_t used, int chosen[GUARD_PIECES_MAX]) {
  if (!count) return 0;
  uint8_t registers = (uint8_t)(1u << n);
  int have = 0;
  chosen[have++] = n;
  for (int r = 0; r < GUARD_SLOTS && have < count; r++)
    if (!(used & 1u << r)) {
      chosen[have++] = r;
      registers |= (uint8_t)(1u << r);
    }
  return have == count ? registers : 0;
}

// Programs every slot; lines for the slot announce, and for any slot whose watch came,
// moved or went.
void arm_all(int announce) {
  uint8_t armed_before = 0;
  bool wanted = false;
  for (Guard &g : g_guards) {
    armed_before |= g.registers;
    wanted |= !empty(g.expression);
    if (!have_thread()) g.registers = 0;
  }
  if (!have_thread() || (!wanted && !armed_before)) return;
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_DEBUG_REGISTERS;
  bool ok = GetThreadContext(g_debuggee.thread, &context);
  uint32_t dr7 = context.Dr7;
  for (int r = 0; r < GUARD_SLOTS; r++) dr7 = guard_dr7(dr7, r, 0);
  // A slot's own register stays its own while it has an expression, evaluated or not.
  uint8_t used = 0;
  for (int n = 0; n < GUARD_SLOTS; n++)
    if (!empty(g_guards[n].expression)) used |= (uint8_t)(1u << n);
  uint32_t addresses[GUARD_SLOTS];
  bool evaluated[GUARD_SLOTS] = {}, was_armed[GUARD_SLOTS];
  uint32_t was_at[GUARD_SLOTS];
  for (int n = 0; n < GUARD_SLOTS; n++) {
    Guard &g = g_guards[n];
    was_armed[n] = g.registers != 0;
    was_at[n] = g.address;
    g.registers = 0;
    uint32_t size;
    if (empty(g.expression) || !g_address_eval.locate(g.expression, &addresses[n], &size))
      continue;
    evaluated[n] = true;
    GuardPiece pieces[GUARD_PIECES_MAX];
    int chosen[GUARD_PIECES_MAX];
    int count = addresses[n] ? guard_pieces(addresses[n], size, pieces) : 0;
    g.registers = choose_registers(n, count, used, chosen);
    if (!g.registers) continue;
    used |= g.registers;
    for (int i = 0; i < count; i++) {
      context.*kAddressRegisters[chosen[i]] = pieces[i].address;
      dr7 = guard_dr7(dr7, chosen[i], pieces[i].length);
    }
  }
  context.Dr7 = dr7;
  ok = ok && SetThreadContext(g_debuggee.thread, &context);
  for (int n = 0; n < GUARD_SLOTS; n++) {
    Guard &g = g_guards[n];
    if (!ok) g.registers = 0;
    if (g.registers) g.address = addresses[n];
    bool changed = was_armed[n] != (g.registers != 0) || (g.registers && was_at[n] != g.address);
    if (!evaluated[n] || (announce != n && !changed)) continue;
    if (g.registers)
      log_printf("Guard [%i] is set to %X\n", n, (unsigned)addresses[n]);
    else
      log_printf("For some reason a guard cannot be created\n");
  }
}

// The slot whose watch the hit bits name; -1 for none. The processor may also flag a
// register that watches nothing, so only registers of armed slots count.
int slot_of_hit(uint32_t hits) {
  for (int r = 0; r < GUARD_SLOTS; r++) {
    if (!(hits & 1u << r)) continue;
    for (int n = 0; n < GUARD_SLOTS; n++)
      if (g_guards[n].registers & 1u << r) return n;
  }
  return -1;
}

}  // namespace

int guard_pieces(uint32_t address, uint32_t size, GuardPiece pieces[GUARD_PIECES_MAX]) {
  if (size > 4) size = 4;
  int count = 0;
  for (uint32_t at = address, left = size; left;) {
    uint32_t length = 4;
    while (length > left || at % length) length /= 2;
    pieces[count++] = GuardPiece{at, length};
    at += length;
    left -= length;
  }
  return count;
}

uint32_t guard_dr7(uint32_t dr7, int r, uint32_t length) {
  dr7 &= ~(0xFu << (16 + 4 * r)) & ~(3u << (2 * r));
  int code = length < kLengthCount ? kLengthCodes[length] : -1;
  if (code < 0) return dr7;
  uint32_t field = (uint32_t)code << 2 | 1;  // access kind 01: data writes
  return dr7 | field << (16 + 4 * r) | 3u << (2 * r);
}

bool guard_set(int n, const char *expression, const char *condition) {
  if (n < 0 || n >= GUARD_SLOTS) return false;
  Guard &g = g_guards[n];
  g.expression = (char *)zone_free(g.expression);
  g.condition = (char *)zone_free(g.condition);
  if (!empty(expression)) {
    g.expression = zone_strdup(expression);
    g.condition = empty(condition) ? nullptr : zone_strdup(condition);
  }
  arm_all(n);
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

void guards_arm() { arm_all(kAnnounceChanges); }

void guards_clear() {
  for (Guard &g : g_guards) {
    g.expression = (char *)zone_free(g.expression);
    g.condition = (char *)zone_free(g.condition);
  }
  arm_all(kAnnounceChanges);
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
  int n = slot_of_hit(hits);
  if (n < 0) return false;
  const Guard &g = g_guards[n];
  g_debuggee.pause.guard_index = n;
  uint32_t value = 0;
  bool holds = empty(g.condition) || (g_address_eval.condition(g.condition, &value) && value);
  if (!holds) execution_let_run();
  return true;
}
