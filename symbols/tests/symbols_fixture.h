// The symbol stores for one test: created fresh, torn down after, with the log of the
// test open so that the loader's lines can be read back.
#pragma once
#include <gtest/gtest.h>
#include <stdio.h>

#include <string.h>

#include <deque>
#include <string>
#include <vector>

#include "settings/changes.h"
#include "symbols/modules.h"
#include "symbols/symbols.h"
#include "util/stringpool.h"
#include "util/tests/test_support.h"
#include "util/zone.h"

// Wine's own DLLs, real images to load; under Wine the same folder through drive Z.
#ifdef _WIN32
#include <direct.h>
const char kWineDir[] = "Z:/usr/lib/i386-linux-gnu/wine/i386-windows/";
const char kSeparator[] = "\\";
inline void make_dir(const std::string &path) { _mkdir(path.c_str()); }
#else
#include <sys/stat.h>
const char kWineDir[] = "/usr/lib/i386-linux-gnu/wine/i386-windows/";
const char kSeparator[] = "/";
inline void make_dir(const std::string &path) { mkdir(path.c_str(), 0700); }
#endif

inline std::string wine_dll(const char *name) { return std::string(kWineDir) + name; }

inline std::string temp_path(const char *name) {
  std::string log = temp_log_path(name);  // the test logs' folder
  return log.substr(0, log.find_last_of("\\/") + 1) + "kq_symbols_" + name;
}

class SymbolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    blocks_ = zone_block_count();
    log_path_ = open_test_log(::testing::UnitTest::GetInstance()->current_test_info()->name());
    pool_init();
    changes_clear();
    symbols_init();
  }
  void TearDown() override {
    symbols_shutdown();
    changes_free();
    pool_free();
    log_close();
    EXPECT_EQ(blocks_, zone_block_count()) << "blocks left behind";
  }
  std::string log() { return read_file(log_path_); }

  // Loads the file as a module at base (size from the caller).
  ModuleRecord *load(const std::string &path, uint32_t base, uint32_t size) {
    paths_.push_back(path);
    const char *full = paths_.back().c_str();
    const char *name = full;
    for (const char *p = full; *p; p++)
      if (*p == '/' || *p == '\\') name = p + 1;
    ModuleSnapshotEntry e = {name, full, base, size, 1};
    snapshot_.push_back(e);
    modules_refresh_from(snapshot_.data(), (int)snapshot_.size());
    return module_by_address(base);
  }
  int blocks_ = 0;
  std::deque<std::string> paths_;
  std::vector<ModuleSnapshotEntry> snapshot_;
  std::string log_path_;
};
