// A scratch folder beside the test program for one test, removed with all it holds at the
// end; files are made and read back through the installer's own file calls.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "setup/extract.h"
#include "setup/files.h"
#include "util/tests/test_support.h"

#ifdef _WIN32
#include <process.h>
#define KQ_PID _getpid()
#else
#define KQ_PID getpid()
#endif

inline std::string join(const std::string &folder, const std::string &name) {
  char out[KQ_PATH];
  setup_join(out, sizeof out, folder.c_str(), name.c_str());
  return out;
}

inline bool write_bytes(const std::string &path, const std::string &bytes) {
  const SetupFiles *fs = &g_setup_files;
  void *f = fs->create(path.c_str());
  if (!f) return false;
  bool ok = fs->write(f, bytes.data(), bytes.size());
  return fs->close(f) && ok;
}

inline std::string read_bytes(const std::string &path) {
  const SetupFiles *fs = &g_setup_files;
  std::string bytes;
  void *f = fs->open_read(path.c_str());
  if (!f) return "<missing>";
  char block[4096];
  size_t n;
  while ((n = fs->read(f, block, sizeof block)) > 0) bytes.append(block, n);
  fs->close(f);
  return bytes;
}

inline bool exists(const std::string &path) { return read_bytes(path) != "<missing>"; }

// Names of every file below folder, "sub\\name" for those in sub-folders, sorted.
inline void list_tree(const std::string &folder, const std::string &prefix,
                      std::vector<std::string> *out) {
  struct Ctx { std::vector<std::pair<std::string, bool>> items; } ctx;
  g_setup_files.list(folder.c_str(), "*",
                     [](const char *name, uint32_t, bool is_folder, void *c) {
                       ((Ctx *)c)->items.push_back({name, is_folder});
                     },
                     &ctx);
  for (auto &item : ctx.items) {
    if (item.second)
      list_tree(join(folder, item.first), prefix + item.first + "\\", out);
    else
      out->push_back(prefix + item.first);
  }
  std::sort(out->begin(), out->end());
}

inline std::vector<std::string> tree(const std::string &folder) {
  std::vector<std::string> names;
  list_tree(folder, "", &names);
  return names;
}

// Deletes every file below folder and then the folders.
inline void remove_tree(const std::string &folder) {
  for (const std::string &name : tree(folder)) g_setup_files.remove_file(join(folder, name).c_str());
  setup_remove_empty_folders(&g_setup_files, folder.c_str());
}

class ScratchTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string log = temp_log_path("setup");
    scratch_ = log.substr(0, log.find_last_of("\\/") + 1) + "setup_scratch_" +
               testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
               std::to_string(KQ_PID);
    for (char &c : scratch_)
      if (c == '/') c = '\\';
    remove_tree(scratch_);
    ASSERT_TRUE(setup_make_folders(&g_setup_files, scratch_.c_str()));
    log_path_ = open_test_log(("setup_" + std::to_string(KQ_PID)).c_str());
  }
  void TearDown() override {
    log_close();
    remove(log_path_.c_str());
    remove_tree(scratch_);
  }
  std::string log_text() { return read_file(log_path_); }
  std::string path(const std::string &name) { return join(scratch_, name); }

  std::string scratch_, log_path_;
};
