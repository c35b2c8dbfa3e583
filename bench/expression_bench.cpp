// Guard conditions per second: the evaluator on a typical condition text against the
// same condition written as a C function, both reading the same fake debuggee through
// the same callbacks, in the same run. Further rows show other common shapes.
//
// Run by hand on a quiet machine (a release build):
//   cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Release
//   cmake --build build/host --target expression_bench && build/host/bench/expression_bench
#include <stdio.h>
#include <string.h>

#include <chrono>

#include "settings/changes.h"
#include "symbols/entries.h"
#include "symbols/eval/expression.h"
#include "symbols/eval/tests/flat_debuggee.h"
#include "symbols/symbols.h"
#include "symbols/types.h"
#include "util/stringpool.h"

namespace {

const uint32_t kCounter = 0x1100;

// The debuggee as both sides reach it; volatile so that the compiler cannot see through
// the callbacks into the fake memory.
const EvalEnvironment *volatile g_env = &kFlatEnvironment;

// The condition "[ebp-0x8]==5 && counter>3" as the compiler writes it.
bool compiled_condition(uint32_t *value) {
  const EvalEnvironment *env = g_env;
  EvalRegisters regs;
  uint32_t local = 0;
  int32_t counter = 0;
  if (!env->read_registers(&regs) || !env->read_memory(regs.r[ER_EBP] - 8, &local, 4) ||
      !env->read_memory(kCounter, &counter, 4))
    return false;
  *value = local == 5 && counter > 3;
  return true;
}

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs condition for about a second; gives evaluations per second.
template <typename F>
double rate(F condition) {
  long runs = 0;
  uint32_t sum = 0;
  double start = now(), elapsed = 0;
  while (elapsed < 1.0) {
    for (int i = 0; i < 1000; i++) {
      uint32_t value = 0;
      if (!condition(&value)) return 0;
      sum += value;
    }
    runs += 1000;
    elapsed = now() - start;
  }
  if (sum != (uint32_t)runs) fprintf(stderr, "condition did not hold every time\n");
  return runs / elapsed;
}

}  // namespace

int main() {
  pool_init();
  changes_clear();
  symbols_init();
  TypeRecord *node = type_define_struct("Node", 8);
  type_define_member(node, "value", 0, type_base(BT_LONG));
  type_define_member(node, "next", 4, type_define_pointer(node));
  entry_define("counter", kCounter, type_base(BT_LONG), nullptr);
  entry_define("head", 0x1200, node, nullptr);
  // Some more symbols, so the look-ups search a store of realistic size.
  for (uint32_t i = 0; i < 20000; i++) {
    char name[32];
    snprintf(name, sizeof name, "symbol_%u", i);
    entry_define(name, 0x10000000 + i * 16, nullptr, nullptr);
  }
  expression_set_environment(&kFlatEnvironment);
  g_flat.regs.r[ER_EBP] = 0x2000;
  g_flat.regs.r[ER_EAX] = 5;
  const uint32_t five = 5, seven = 7, head[] = {11, 0x1208, 12, 0};
  flat_write(0x2000 - 8, &five, 4);
  flat_write(kCounter, &seven, 4);
  flat_write(0x1200, head, sizeof head);

  const char *guard = "[ebp-0x8]==5 && counter>3";
  double compiled = rate(compiled_condition);
  double evaluated = rate([&](uint32_t *v) { return expression_condition(guard, v); });
  printf("%-40s %14s\n", "condition", "evaluations/s");
  printf("%-40s %14.0f\n", "C function (same condition)", compiled);
  printf("%-40s %14.0f\n", guard, evaluated);
  printf("evaluator is %.0f times slower than the C function\n", compiled / evaluated);
  const char *others[] = {"EAX==5", "head.next->value > 10", "counter*2+1 == 15",
                          "(long)[ebp-8] >= 5 || C"};
  for (const char *text : others)
    printf("%-40s %14.0f\n", text, rate([&](uint32_t *v) { return expression_condition(text, v); }));
  symbols_shutdown();
  changes_free();
  pool_free();
  return 0;
}
