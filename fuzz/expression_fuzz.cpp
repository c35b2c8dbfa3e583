// The expression evaluator over arbitrary text: evaluation, formatting, conversions to
// bytes, addresses and conditions, type names and assignment, against a fixed fake
// debuggee with symbols, frames, structures and modules. Invariants beyond "no crash":
// the value never grows past its 264 bytes (a canary follows it), every text output ends
// inside its exact-size heap buffer, and the last error is a terminated line.
// Long run: build/asan-eval/fuzz/fuzz_expression -max_total_time=600 -max_len=512
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "settings/changes.h"
#include "symbols/entries.h"
#include "symbols/eval/expression.h"
#include "symbols/eval/tests/flat_debuggee.h"
#include "symbols/modules.h"
#include "symbols/symbols.h"
#include "symbols/types.h"
#include "util/stringpool.h"

namespace {

// The same debuggee at the start of every run.
void reset_debuggee() {
  for (uint32_t i = 0; i < FlatDebuggee::kSize; i++)
    g_flat.memory[i] = (uint8_t)(i * 7 + (i >> 8));
  memset(&g_flat.regs, 0, sizeof g_flat.regs);
  g_flat.regs.r[ER_EBP] = 0x2000;
  g_flat.regs.r[ER_ESP] = 0x1F00;
  g_flat.regs.r[ER_EIP] = 0x401010;
  g_flat.regs.r[ER_EAX] = 0x1800;
}

void define_symbols() {
  static const ModuleSnapshotEntry modules[] = {
      {"app.exe", "/nonexistent/app.exe", 0x400000, 0x10000, 1},
      {"lib.dll", "/nonexistent/lib.dll", 0x10000000, 0x10000, 1},
  };
  modules_refresh_from(modules, 2);
  TypeRecord *lng = type_base(BT_LONG), *chr = type_base(BT_CHAR);
  TypeRecord *node = type_define_struct("Node", 16);
  type_define_member(node, "value", 0, lng);
  type_define_member(node, "next", 4, type_define_pointer(node));
  type_define_member(node, "name", 8, type_define_pointer(chr));
  type_define_member(node, "self", 12, node);  // a structure that holds itself
  TypeRecord *color = type_define_enum("Color", lng);
  TypeRecord *frame = type_define_frame("frame_main", nullptr, 0x401000, 0x401100);
  type_define_member(frame, "local", -8, lng);
  type_define_member(frame, "list", -4, type_define_pointer(node));
  entry_define("main", 0x401000, frame, nullptr);
  entry_define("counter", 0x1100, lng, nullptr);
  entry_define("head", 0x1200, node, nullptr);
  entry_define("table", 0x1300, type_define_array(lng, 0xFFFFFFF0), nullptr);
  entry_define("text", 0x1400, type_define_array(chr, 64), nullptr);
  entry_define("color", 0x1500, color, nullptr);
  entry_define("Export", 0x10001000, nullptr, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = false;
  if (!ready) {
    pool_init();
    changes_clear();
    symbols_init();
    define_symbols();
    expression_set_environment(&kFlatEnvironment);
    ready = true;
  }
  reset_debuggee();
  char *text = (char *)malloc(size + 1);
  memcpy(text, data, size);
  text[size] = 0;

  struct Guarded {
    ValueDescriptor value;
    uint8_t canary[64];
  } g;
  memset(g.canary, 0xA5, sizeof g.canary);
  if (expression_evaluate(text, &g.value)) {
    const int sizes[] = {1, 7, 300};
    for (int n : sizes) {
      char *out = (char *)malloc((size_t)n);
      int len = expression_format_value(&g.value, out, n);
      if (len < 0 || len >= n || (int)strlen(out) != len) abort();
      len = expression_format_type(g.value.type, out, n);
      if (len < 0 || len >= n || (int)strlen(out) != len) abort();
      free(out);
    }
  } else if (const char *error = expression_last_error()) {
    if (strnlen(error, 256) >= 256) abort();
  }
  for (uint8_t c : g.canary)
    if (c != 0xA5) abort();

  uint32_t value = 0, address = 0, length = 0;
  expression_condition(text, &value);
  expression_address(text);
  expression_locate(text, &address, &length);
  uint8_t *bytes = (uint8_t *)malloc(16);
  if (expression_bytes(text, bytes, 16) > 16) abort();
  free(bytes);
  expression_get_type(text);

  Guarded target;
  memset(target.canary, 0xA5, sizeof target.canary);
  if (expression_evaluate("head", &target.value)) expression_assign(&target.value, text);
  if (expression_evaluate("EAX", &target.value)) expression_assign(&target.value, text);
  if (expression_evaluate("text", &target.value)) expression_assign(&target.value, text);
  for (uint8_t c : target.canary)
    if (c != 0xA5) abort();
  free(text);
  return 0;
}
