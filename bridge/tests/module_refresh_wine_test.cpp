// The module refresh on real debuggees under Wine: debug information read while the
// program's module loads names its sources relative to the program, on launch and on
// attach alike, although the first refresh of a session comes before EVN_Load.
#include <strings.h>

#include "bridge/module_refresh_win32.h"
#include "engine/tests/debuggee_fixture.h"
#include "symbols/debug_info.h"
#include "symbols/modules.h"
#include "symbols/sources.h"
#include "symbols/symbols.h"
#include "util/stringpool.h"

namespace engine_test {

const char kProgramName[] = "kq_debuggee.exe";

// What a plug-in would define for the program: one source named as its debug
// information names it, relative to the program's folder. The program's own file serves,
// since it is sure to lie there.
void define_program_source() {
  ModuleRecord *m = module_current();
  if (!m || strcasecmp(m->name, kProgramName)) return;
  const uint16_t lines[] = {1};
  const uint32_t addresses[] = {m->entry};
  source_define(kProgramName, 1, lines, addresses);
}
bool offered(const uint8_t *, const uint8_t *) {
  define_program_source();
  return true;
}
bool sought(const char *) {
  define_program_source();
  return true;
}
const DebugInfoHandlers kHandlers = {offered, sought};

// The spine's refresh: the engine's tables and the modules.
void refresh_modules(int event) {
  g_events.push_back(event);
  if (event != EVN_Refresh) return;
  module_refresh_debuggee();
  engine_refresh();
}

class ModuleRefresh : public Session {
 protected:
  void SetUp() override {
    Session::SetUp();
    pool_init();
    symbols_init();
    debug_info_set_handlers(&kHandlers);
    debuggee_set_event_sink(refresh_modules);
  }
  void TearDown() override {
    Session::TearDown();  // its unload still refreshes the modules
    debug_info_set_handlers(nullptr);
    symbols_shutdown();
    pool_free();
  }
  // The path the program's source was found at; empty when it was not found.
  static std::string program_source_path() {
    const SourceRecord *s = source_by_name(kProgramName);
    return s && s->path ? s->path : "";
  }
};

TEST_F(ModuleRefresh, SourcesResolveBesideTheProgramOnLaunchAndAttach) {
  const std::string exe = debuggee_exe();
  enum Start { LAUNCH, ATTACH };
  for (Start start : {LAUNCH, ATTACH}) {
    SCOPED_TRACE(start == LAUNCH ? "launch" : "attach");
    g_events.clear();
    // An earlier session's program, in another folder.
    symbols_set_program("C:\\windows\\notepad.exe");
    if (start == LAUNCH) {
      ASSERT_TRUE(launch("loop"));
    } else {
      std::string event_name = "kq_refresh_ready_" + std::to_string(GetCurrentProcessId());
      HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, event_name.c_str());
      std::string command = "\"" + exe + "\" loop " + event_name;
      STARTUPINFOA si = {};
      si.cb = sizeof si;
      PROCESS_INFORMATION pi = {};
      ASSERT_TRUE(CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0,
                                 nullptr, nullptr, &si, &pi));
      watched_.push_back(pi.hProcess);
      CloseHandle(pi.hThread);
      ASSERT_EQ(WaitForSingleObject(ready, kWaitMs), WAIT_OBJECT_0);
      CloseHandle(ready);
      ASSERT_TRUE(debuggee_attach_process(pi.dwProcessId));
      // The program is in the first refresh's snapshot: it runs already.
      EXPECT_EQ(g_events, (std::vector<int>{EVN_Refresh, EVN_Load}));
    }
    // A launched program is listed by the refreshes up to its initial breakpoint.
    if (start == LAUNCH) {
      ASSERT_TRUE(drain_until(DS_PAUSED));
    }
    ASSERT_TRUE(source_by_name(kProgramName));
    EXPECT_EQ(strcasecmp(program_source_path().c_str(), exe.c_str()), 0)
        << program_source_path();
    ASSERT_TRUE(debuggee_unload());
    EXPECT_EQ(0, sources_count());
  }
}

}  // namespace engine_test
