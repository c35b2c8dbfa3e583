// The manager's records and calls against fake plug-ins: descriptions, the dispatch of
// debug information with CurrentPlugin and CurrentModule, commands and their running, the
// title, and the unloading order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin_host/manager.h"
#include "symbols/modules.h"
#include "symbols/tests/symbols_fixture.h"
#include "symbols/types.h"

namespace {

// What the fake plug-ins saw: "<file> <what>" per call, with the module state inside.
std::vector<std::string> g_calls;
std::vector<std::string> g_accepting;  // file names whose fakes accept
ModuleRecord *g_module_inside;
uint32_t g_address_inside;
TypeRecord *g_type_inside;
std::string g_parameter;

const char *caller() {
  return g_plugin_manager.current ? g_plugin_manager.current->file_name : "(none)";
}
bool accepts() {
  for (const std::string &name : g_accepting)
    if (name == caller()) return true;
  return false;
}
void note(const char *what) { g_calls.push_back(std::string(caller()) + " " + what); }

void fake_init() { note("init"); }
void fake_shutdown() { note("shutdown"); }
void fake_prop(void *) { note("prop"); }
int fake_load(uint8_t *file_root, uint8_t *debug_root) {
  note(debug_root == file_root + 8 ? "load" : "load with wrong roots");
  g_module_inside = module_current();
  g_address_inside = module_section_address(1, 0x10);
  g_type_inside = type_define_struct("Defined", 4);
  return accepts();
}
int fake_seek(char *path) {
  note((std::string("seek ") + path).c_str());
  g_module_inside = module_current();
  return accepts();
}
void fake_command(char *parameter) {
  note("command");
  g_parameter = parameter;
}
void retitle(char *parameter) { plugin_set_title(parameter); }

const PluginEntryPoints kFull = {fake_init, fake_shutdown, fake_prop, fake_load, fake_seek};
const PluginEntryPoints kNoInit = {nullptr, fake_shutdown, fake_prop, fake_load, fake_seek};

class PluginManagerTest : public SymbolsTest {
 protected:
  void SetUp() override {
    SymbolsTest::SetUp();
    g_calls.clear();
    g_accepting.clear();
    g_module_inside = nullptr;
    g_plugin_manager = PluginManager{};
  }
  void TearDown() override {
    plugins_remove_all(nullptr);
    plugins_offer_debug_info(false);
    SymbolsTest::TearDown();
  }
  // a disabled, b and c enabled, all with every entry point.
  void add_three() {
    plugin_add("a.dll", false, nullptr, &kFull);
    plugin_add("b.dll", true, nullptr, &kFull);
    plugin_add("c.dll", true, nullptr, &kFull);
  }
};

}  // namespace

TEST_F(PluginManagerTest, DescriptionsAndLookup) {
  add_three();
  plugin_add("none.dll", true, nullptr, &kNoInit);
  const char *expected[] = {"Module is loaded but not enabled", "-", "-",
                            "Module has no PLUGIN_Init function"};
  for (int i = 0; i < 4; i++) EXPECT_STREQ(expected[i], plugin_at(i)->description);
  EXPECT_FALSE(plugin_at(4));
  EXPECT_FALSE(plugin_at(-1));
  EXPECT_EQ(plugin_at(1), plugin_find("B.DLL"));
  EXPECT_FALSE(plugin_find("d.dll"));
  for (int i = 0; i < 4; i++) plugin_call_init(plugin_at(i));
  EXPECT_EQ((std::vector<std::string>{"b.dll init", "c.dll init"}), g_calls);
  g_calls.clear();
  plugin_call_prop(plugin_at(0), nullptr);  // disabled: never called
  plugin_call_prop(plugin_at(2), nullptr);
  EXPECT_EQ((std::vector<std::string>{"c.dll prop"}), g_calls);
}

TEST_F(PluginManagerTest, DebugInformationGoesToTheFirstEnabledPluginThatAccepts) {
  add_three();
  SectionInfo sections[1] = {{".text", 0x401000, 0x200, 0}};
  ModuleRecord module = {};
  module.sections = sections;
  module.section_count = 1;
  uint8_t file[16] = {'M', 'Z'};
  struct Case {
    std::vector<std::string> accepting;
    bool accepted;
    std::vector<std::string> calls;
  } const cases[] = {
      {{"a.dll", "b.dll", "c.dll"}, true, {"b.dll load"}},
      {{"c.dll"}, true, {"b.dll load", "c.dll load"}},
      {{"a.dll"}, false, {"b.dll load", "c.dll load"}},
  };
  for (const Case &c : cases) {
    g_calls.clear();
    g_accepting = c.accepting;
    EXPECT_EQ(c.accepted, plugins_load_debug_info(&module, file, file + 8));
    EXPECT_EQ(c.calls, g_calls);
    EXPECT_EQ(&module, g_module_inside);  // CurrentModule during the call
    EXPECT_EQ(0x401010u, g_address_inside);
    EXPECT_EQ(&module, g_type_inside->owner);
    EXPECT_FALSE(module_current());  // and only then
    EXPECT_EQ(0u, module_section_address(1, 0x10));
    EXPECT_STREQ(c.calls.back().substr(0, 5).c_str(), g_plugin_manager.current->file_name);
  }
  types_delete_module(&module);
}

TEST_F(PluginManagerTest, ImagesWithoutDirectoryAreSoughtThroughTheLoader) {
  add_three();
  g_accepting = {"c.dll"};
  plugins_offer_debug_info(true);
  std::string path = wine_dll("version.dll");
  ModuleRecord *m = load(path, 0x10000000, 0x10000);
  ASSERT_TRUE(m);
  EXPECT_EQ((std::vector<std::string>{"b.dll seek " + path, "c.dll seek " + path}), g_calls);
  EXPECT_EQ(m, g_module_inside);
  EXPECT_FALSE(module_current());
  EXPECT_NE(std::string::npos, log().find("OK, debug information is loaded from unusual place."))
      << log();
  plugins_offer_debug_info(false);
  g_calls.clear();
  load(wine_dll("msacm32.dll"), 0x20000000, 0x10000);
  EXPECT_TRUE(g_calls.empty());  // without the handlers nobody is asked
}

TEST_F(PluginManagerTest, CommandsRegisterForTheCallerAndRunByTypedKey) {
  EXPECT_FALSE(plugin_register_command("[early] before any call", fake_command));
  plugin_set_title("ignored");  // no plug-in called yet
  add_three();
  g_plugin_manager.current = plugin_at(1);
  changes_clear();
  ASSERT_TRUE(plugin_register_command("[build]  Rebuild the program", fake_command));
  EXPECT_TRUE(g_changes.pending[CHG_COMMANDS]);
  g_plugin_manager.current = plugin_at(2);
  ASSERT_TRUE(plugin_register_command("[build] Second build", fake_command));
  ASSERT_TRUE(plugin_register_command("[none] No procedure", nullptr));
  ASSERT_TRUE(plugin_register_command("No key at all", fake_command));
  ASSERT_TRUE(plugin_register_command("[title] Rename", retitle));
  EXPECT_EQ(5, g_plugin_manager.command_count);
  EXPECT_STREQ("build", plugin_command_at(0)->key);
  EXPECT_STREQ("Rebuild the program", plugin_command_at(0)->description);
  EXPECT_STREQ("", plugin_command_at(3)->key);
  EXPECT_STREQ("No key at all", plugin_command_at(3)->description);
  EXPECT_FALSE(plugin_command_at(5));

  struct Case {
    const char *typed;
    bool ran;
    const char *calls, *parameter;
  } const cases[] = {
      {"build release", true, "b.dll command", "release"},  // the first of two
      {"build", true, "b.dll command", ""},
      {"Build x", false, "", ""},                           // keys are case-sensitive
      {"none x", false, "", ""},
      {"unknown", false, "", ""},
  };
  for (const Case &c : cases) {
    g_calls.clear();
    g_parameter.clear();
    g_plugin_manager.current = plugin_at(2);
    EXPECT_EQ(c.ran, plugin_run_command(c.typed)) << c.typed;
    EXPECT_EQ(c.calls, g_calls.empty() ? "" : g_calls[0]) << c.typed;
    EXPECT_EQ(c.parameter, g_parameter) << c.typed;
  }
  EXPECT_NE(std::string::npos, log().find("Running 'build'\n")) << log();
  EXPECT_EQ(std::string::npos, log().find("Running 'none'")) << log();

  // A command's own procedure retitles its plug-in.
  changes_clear();
  EXPECT_TRUE(plugin_run_command("title Renamed by a command"));
  EXPECT_STREQ("Renamed by a command", plugin_at(2)->description);
  EXPECT_STREQ("-", plugin_at(1)->description);
  EXPECT_TRUE(g_changes.pending[CHG_PLUGINS]);
}

TEST_F(PluginManagerTest, UnloadingShutsDownInReverseOrder) {
  add_three();
  plugin_add("none.dll", true, nullptr, &kNoInit);
  g_plugin_manager.current = plugin_at(1);
  plugin_register_command("[x] y", fake_command);
  static std::vector<std::string> released;
  released.clear();
  changes_clear();
  plugins_remove_all([](PluginRecord *p) { released.push_back(p->file_name); });
  EXPECT_EQ((std::vector<std::string>{"none.dll shutdown", "c.dll shutdown", "b.dll shutdown"}),
            g_calls);
  EXPECT_EQ((std::vector<std::string>{"none.dll", "c.dll", "b.dll", "a.dll"}), released);
  EXPECT_EQ(0, g_plugin_manager.plugin_count);
  EXPECT_EQ(0, g_plugin_manager.command_count);
  EXPECT_FALSE(g_plugin_manager.current);
  EXPECT_TRUE(g_changes.pending[CHG_PLUGINS]);
  EXPECT_TRUE(g_changes.pending[CHG_COMMANDS]);
}
