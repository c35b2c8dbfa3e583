// The workspace over the program's own tables, in this process under Wine without a
// debuggee: comments, breakpoints, guards, watches and patches saved to the file and loaded
// back into the same slots and order, the patches written again once they resolve; a fifth
// guard finds no slot; a damaged line loses only itself; the in-memory workspace is empty
// after a save and kept after a failed one.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "engine/breakpoints.h"
#include "engine/guards.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "startup/workspace.h"
#include "symbols/comments.h"
#include "symbols/user_patches.h"
#include "ui/panels/watch/watch_panel_list.h"
#include "util/path.h"
#include "util/tests/test_support.h"
#include "util/zone.h"

namespace {

class Workspace : public ::testing::Test {
 protected:
  void SetUp() override {
    const char *name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    log_path_ = open_test_log(name);
    path_ = temp_log_path(name) + ".job";
    DeleteFileA(path_.c_str());
    text_copy(g_settings.WorkspaceFilename, sizeof g_settings.WorkspaceFilename, path_.c_str());
    breakpoints_init();
  }
  void TearDown() override {
    workspace_reset();
    breakpoints_shutdown();
    changes_free();
    for (const char *suffix : {"", ".bad"}) DeleteFileA((path_ + suffix).c_str());
    log_close();
  }
  std::string file() const {
    std::string text = read_file(path_);
    std::string out;
    for (char c : text)
      if (c != '\r') out += c;
    return out;
  }
  static std::string guard(int n) {
    char expression[KQ_PATH], condition[KQ_PATH];
    if (!guard_get(n, expression, sizeof expression, condition, sizeof condition)) return "-";
    return std::string(expression) + "|" + condition;
  }
  std::string log_path_, path_;
};

TEST_F(Workspace, SavedAndLoadedBackInPlace) {
  comment_add("0x401000", "first");
  comment_add("main+/0x10", "say \"hi\"");
  breakpoint_add("main");
  breakpoint_add("0x401234");
  guard_add("counter", "");
  guard_add("table[2]", "eax == 1");
  watch_add("eax", -1);
  watch_add("*(long*)esp", -1);
  const uint8_t nops[2] = {0x90, 0x90};
  user_patch_made(0x401000, nops, 2);
  ASSERT_TRUE(workspace_save());
  EXPECT_EQ(0, user_patch_count());
  EXPECT_EQ(0, comment_count());
  EXPECT_EQ(0, breakpoint_count());
  EXPECT_EQ("-", guard(0));
  EXPECT_EQ(0, g_watches.count);
  // Comments and breakpoints by id from the highest (the tables give the first adds the
  // highest ids), guards by slot, watches in list order.
  EXPECT_EQ(
      "comment 0x401000, first;\n"
      "comment \"main+/0x10\", \"say \\qhi\\q\";\n"
      "break main;\n"
      "break 0x401234;\n"
      "guard counter, \"\";\n"
      "guard \"table[2]\", \"eax == 1\";\n"
      "watch eax;\n"
      "watch \"*(long*)esp\";\n"
      "patch 0x401000, \"90 90\";\n",
      file());

  ASSERT_TRUE(workspace_load());
  EXPECT_EQ(2, comment_count());
  EXPECT_GE(comment_find("main+/0x10"), 0);
  EXPECT_STREQ("say \"hi\"", comment_get(comment_find("main+/0x10"))->text);
  EXPECT_EQ(2, breakpoint_count());
  EXPECT_GE(breakpoint_find("main"), 0);
  EXPECT_EQ("counter|", guard(0));
  EXPECT_EQ("table[2]|eax == 1", guard(1));
  ASSERT_EQ(2, g_watches.count);
  EXPECT_STREQ("eax", g_watches.entries[0].expression);
  EXPECT_STREQ("*(long*)esp", g_watches.entries[1].expression);
  ASSERT_EQ(1, user_patch_count());
  static std::string written;
  user_patches_set_writer([](uint32_t address, const void *bytes, uint32_t length) {
    char at[16];
    snprintf(at, sizeof at, "%X:", (unsigned)address);
    written += at + std::string((const char *)bytes, length);
    return length;
  });
  user_patches_reresolve();
  user_patches_reresolve();  // once only
  EXPECT_EQ("401000:\x90\x90", written);
  EXPECT_NE(std::string::npos, read_file(log_path_).find("Loading user info from"));
  // Saved again, the file is the same.
  const std::string first = file();
  ASSERT_TRUE(workspace_save());
  EXPECT_EQ(first, file());
}

TEST_F(Workspace, KeptWhenTheFileCannotBeCreated) {
  const std::string path = path_ + ".none\\kq.job";
  text_copy(g_settings.WorkspaceFilename, sizeof g_settings.WorkspaceFilename, path.c_str());
  comment_add("0x401000", "first");
  breakpoint_add("main");
  watch_add("eax", -1);
  EXPECT_FALSE(workspace_save());
  EXPECT_EQ(1, comment_count());
  EXPECT_EQ(1, breakpoint_count());
  EXPECT_EQ(1, g_watches.count);
  log_close();
  EXPECT_NE(std::string::npos, read_file(log_path_).find(
                                   "WARNING: The workspace was not saved: cannot create '" + path + "'\n"));
}

TEST_F(Workspace, FifthGuardAndDamagedLines) {
  FILE *f = fopen(path_.c_str(), "w");
  ASSERT_TRUE(f);
  fputs("guard a, \"\";\nguard b, \"\";\nGUARD c, \"\";\nguard d, \"\";\nguard e, \"\";\n"
        "watch \"unterminated;\nwatch kept;\nnonsense here;\nwatch never;\n", f);
  fclose(f);
  ASSERT_TRUE(workspace_load());
  EXPECT_EQ("a|", guard(0));
  EXPECT_EQ("d|", guard(3));
  ASSERT_EQ(1, g_watches.count);
  EXPECT_STREQ("kept", g_watches.entries[0].expression);
  const std::string log = read_file(log_path_);
  EXPECT_NE(std::string::npos, log.find("no free guard slot for 'e'")) << log;
  EXPECT_NE(std::string::npos, log.find("line 6 is damaged")) << log;
  EXPECT_NE(std::string::npos, log.find("line 8 has no known record")) << log;
  // No file: nothing is loaded and the workspace stays empty.
  workspace_reset();
  DeleteFileA(path_.c_str());
  EXPECT_FALSE(workspace_load());
  EXPECT_EQ(0, g_watches.count);
}

}  // namespace
