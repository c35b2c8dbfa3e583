// Inspector re-reads per second (what every change of the debuggee costs an open
// inspector: the path resolved by name from the root, the shown level's items built and
// their values written), against writing the same values with the evaluator's formatter
// alone, on the evaluator's flat fake debuggee, in the same run.
//
// Run by hand on a quiet machine (a release build):
//   cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Release
//   cmake --build build/host --target inspector_bench && build/host/bench/inspector_bench
#include <stdio.h>

#include <chrono>
#include <initializer_list>

#include "settings/changes.h"
#include "symbols/entries.h"
#include "symbols/eval/expression.h"
#include "symbols/eval/tests/flat_debuggee.h"
#include "symbols/symbols.h"
#include "symbols/types.h"
#include "ui/panels/inspector/inspector_model.h"
#include "ui/panels/watch/watch_panel_list.h"
#include "util/stringpool.h"

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs work for about a second; gives runs per second.
template <typename F>
double rate(F work) {
  long runs = 0;
  double start = now(), elapsed = 0;
  while (elapsed < 1.0) {
    work();
    runs++;
    elapsed = now() - start;
  }
  return runs / elapsed;
}

// The formatter alone over the items the inspector shows: each one's text from its place.
long format_items(const InspectorModel *m) {
  long length = 0;
  for (int i = 0; i < m->item_count; i++) {
    ValueDescriptor value = {};
    value.address = m->items[i].address;
    value.type = m->items[i].type;
    char text[261];
    if (value.type) length += expression_format_value(&value, text, sizeof text);
  }
  return length;
}

}  // namespace

int main() {
  pool_init();
  changes_clear();
  symbols_init();
  expression_set_environment(&kFlatEnvironment);
  // A record of 16 members, an array of 4,032 longs filling the rest of the memory, and a
  // pointer to records laid over the array.
  TypeRecord *lng = type_base(BT_LONG);
  TypeRecord *record = type_define_struct("Record", 64);
  for (int i = 0; i < 16; i++) {
    char name[16];
    snprintf(name, sizeof name, "field_%i", i);
    type_define_member(record, name, 4 * i, lng);
  }
  entry_define("record", 0x1000, record, nullptr);
  entry_define("table", 0x1100, type_define_array(lng, 0x3F00), nullptr);
  entry_define("records", 0x1040, type_define_pointer(record), nullptr);
  for (uint32_t a = 0; a < FlatDebuggee::kSize; a += 4) {
    const uint32_t v = a;
    flat_write(FlatDebuggee::kBase + a, &v, 4);
  }
  const uint32_t first = 0x1100;
  flat_write(0x1040, &first, 4);
  for (const char *watch : {"record", "table", "records"}) watch_add(watch, -1);

  printf("%-28s %6s %14s %14s %8s\n", "path", "items", "re-reads/s", "formatter/s", "ratio");
  for (const char *path : {"\\@WATCH\\", "\\@WATCH\\record\\", "\\@WATCH\\records\\",
                           "\\@WATCH\\records\\[3]\\", "\\@WATCH\\table\\"}) {
    InspectorModel m = {};
    inspector_set_path(&m, path);
    const double inspector = rate([&] { inspector_refresh(&m); });
    volatile long sink = 0;
    const double formatter = rate([&] { sink = sink + format_items(&m); });
    printf("%-28s %6i %14.0f %14.0f %8.2f\n", path, m.item_count, inspector, formatter,
           formatter / inspector);
    inspector_free(&m);
  }
  watch_clear();
  symbols_shutdown();
  changes_free();
  pool_free();
  return 0;
}
