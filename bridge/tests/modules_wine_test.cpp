// The module list of a real debuggee under Wine: bases from the system's snapshot, a
// late LoadLibrary adding a module and its exports at the refresh, FreeLibrary and the
// unload taking them away again.
#include <windows.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "bridge/module_refresh_win32.h"
#include "engine/debuggee.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "symbols/entries.h"
#include "symbols/modules.h"
#include "symbols/symbols.h"
#include "tests/debuggees/debuggee_drive.h"
#include "util/stringpool.h"
#include "util/tests/test_support.h"

namespace {

// What one refresh left in the module table.
struct Seen {
  int modules;
  bool late;             // the late DLL listed
  uint32_t late_entry;   // address of its export LZStart, 0 when not listed
  bool late_range_used;  // an entry lies where the late DLL was last seen
};
std::vector<Seen> g_seen;

// The debuggee loads it, waits for this event, and frees it again.
const char kLateDll[] = "lz32.dll";
const char kGoEvent[] = "kq_symbols_late_dll";
HANDLE g_go;
uint32_t g_late_base, g_late_end;

void on_event(int event) {
  if (event == EVN_Unload) symbols_unload();
  if (event != EVN_Refresh) return;
  module_refresh_debuggee();
  const ModuleRecord *late = module_by_name(kLateDll);
  if (late) {
    g_late_base = late->base;
    g_late_end = late->end;
  }
  // kernel32 exports the same names as lz32: only the address range tells them apart.
  EntryRecord *in_range = g_late_end ? entry_nearest(g_late_end - 1) : nullptr;
  g_seen.push_back(Seen{modules_count(), late != nullptr,
                        late ? entry_address_in_module("LZStart", late) : 0,
                        in_range && in_range->address >= g_late_base});
  if (late) SetEvent(g_go);  // seen: the debuggee may free it now
}

TEST(ModulesUnderWine, LateLibraryComesAndGoesWithTheRefresh) {
  open_test_log("modules_wine");
  pool_init();
  changes_clear();
  symbols_init();
  g_seen.clear();
  debuggee_set_event_sink(on_event);
  g_go = CreateEventA(nullptr, TRUE, FALSE, kGoEvent);
  snprintf(g_settings.Arguments, sizeof g_settings.Arguments, "loadlib %s %s", kLateDll, kGoEvent);
  std::string exe = debuggee_exe();
  symbols_set_program(exe.c_str());
  ASSERT_TRUE(debuggee_launch(exe.c_str()));
  ASSERT_TRUE(drain_until(DS_PAUSED));  // the system's initial breakpoint

  // Bases as the system gives them: the program at its own image base, the system
  // DLLs where this process has them too.
  MainModuleInfo info;
  ASSERT_TRUE(symbols_main_module(&info));
  EXPECT_EQ(info.image_base, info.base);
  EXPECT_TRUE(info.console);
  const char *system_dlls[] = {"ntdll.dll", "kernel32.dll"};
  for (const char *name : system_dlls) {
    ModuleRecord *m = module_by_name(name);
    ASSERT_TRUE(m) << name;
    EXPECT_EQ((uint32_t)(uintptr_t)GetModuleHandleA(name), m->base) << name;
    EXPECT_GT(m->export_count, 100) << name;
  }
  EntryRecord *tick = entry_find("GetTickCount");
  ASSERT_TRUE(tick);
  EXPECT_EQ((uint32_t)(uintptr_t)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount"),
            tick->address);
  EXPECT_FALSE(module_by_name(kLateDll));
  // Without debug information there is no main to run to: the entry point it is.
  EXPECT_EQ(info.entry, symbols_start_address());
  g_seen.clear();

  ASSERT_TRUE(debuggee_resume());
  ASSERT_TRUE(drain_until(DS_EXITED));
  ASSERT_FALSE(g_seen.empty());
  // Some refresh listed the late DLL with its exports; a later one no longer did, and no
  // entry was left where it had been.
  size_t loaded = 0;
  while (loaded < g_seen.size() && !g_seen[loaded].late) loaded++;
  ASSERT_LT(loaded, g_seen.size());
  EXPECT_NE(0u, g_seen[loaded].late_entry);
  size_t freed = loaded;
  while (freed < g_seen.size() && g_seen[freed].late) freed++;
  ASSERT_LT(freed, g_seen.size());
  EXPECT_EQ(0u, g_seen[freed].late_entry);
  EXPECT_TRUE(g_seen[loaded].late_range_used);
  EXPECT_FALSE(g_seen[freed].late_range_used);
  // The event is continued before the refresh, so the debuggee may be ending already.
  EXPECT_GT(g_seen[loaded].modules, g_seen[freed].modules);
  EXPECT_EQ(0u, debuggee_exit_code());

  std::string text = read_file(temp_log_path("modules_wine"));
  EXPECT_NE(std::string::npos, text.find(std::string(kLateDll) + "' at ")) << text;
  EXPECT_NE(std::string::npos, text.find("Unloading module ")) << text;

  debuggee_unload();
  EXPECT_EQ(0, modules_count());  // the refresh after the unload finds no process
  EXPECT_EQ(0, entries_count());
  debuggee_set_event_sink(nullptr);
  CloseHandle(g_go);
  symbols_shutdown();
  changes_free();
  pool_free();
  log_close();
}

}  // namespace
