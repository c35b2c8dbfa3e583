// A debuggee in "probe" mode with the evaluator installed over the engine, as the program
// runs it: the fixture of the tests that evaluate on a real paused debuggee under Wine.
#pragma once
#include "bridge/evaluator_win32.h"
#include "engine/tests/debuggee_fixture.h"
#include "symbols/entries.h"
#include "symbols/symbols.h"
#include "symbols/types.h"
#include "util/stringpool.h"

namespace engine_test {

class LiveEvaluator : public Probe {
 protected:
  void SetUp() override {
    Probe::SetUp();
    pool_init();
    symbols_init();
    evaluator_install();
  }
  void TearDown() override {
    debuggee_unload();  // its last refresh still finds the symbols
    evaluator_remove();
    symbols_shutdown();
    pool_free();
    Probe::TearDown();
  }
  // The probe's table as a structure and its 2-byte global, named as debug information
  // of the program would name them.
  void define_program_symbols(uint32_t table_address) {
    TypeRecord *dword = type_base(BT_DWORD);
    TypeRecord *table = type_define_struct("ProbeTable", sizeof(ProbeTable));
    const char *names[] = {"round", "round_ret", "probe", "probe_call", "probe_lib",
                           "probe_nops", "leaf", "never", "crash_call", "word"};
    for (int i = 0; i < 10; i++) type_define_member(table, names[i], 4 * i, dword);
    entry_define("probe_table", table_address, table, nullptr);
    entry_define("g_word", table_.word, type_base(BT_SHORT), nullptr);
  }
};

}  // namespace engine_test
