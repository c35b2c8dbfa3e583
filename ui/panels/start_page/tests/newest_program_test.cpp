// The open-file dialog's guess without a debuggee, in folders of this test's own under its
// build folder: the newest program by write time, and no search where the folder's path
// leaves no room for the pattern.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>

#include <string>

#include "ui/panels/start_page/newest_program_win32.h"

namespace {

class NewestProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(GetCurrentDirectoryA(sizeof start_, start_), 0u);
    base_ = std::string(start_) + "\\newest_program";
    CreateDirectoryA(base_.c_str(), nullptr);
  }
  void TearDown() override { SetCurrentDirectoryA(start_); }

  // A file written at the given year.
  static bool write(const std::string &path, WORD year) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    SYSTEMTIME st = {year, 6, 0, 15, 12, 0, 0, 0};
    FILETIME ft;
    bool ok = SystemTimeToFileTime(&st, &ft) && SetFileTime(f, nullptr, nullptr, &ft);
    CloseHandle(f);
    return ok;
  }
  // A folder below base_ whose path is length characters long, made of a few nested
  // folders named by letter.
  std::string deep_folder(size_t length, char letter) {
    std::string path = base_;
    size_t rest = length - path.size(), count = (rest + 100) / 101;
    for (size_t i = 0; i < count; i++) {
      size_t name = (rest - count) / count + (i + 1 == count ? (rest - count) % count : 0);
      path += "\\" + std::string(name, letter);
      CreateDirectoryA(path.c_str(), nullptr);
    }
    return path;
  }
  char start_[MAX_PATH];
  std::string base_;
};

TEST_F(NewestProgram, NewestByWriteTime) {
  std::string dir = base_ + "\\three";
  CreateDirectoryA(dir.c_str(), nullptr);
  ASSERT_TRUE(write(dir + "\\old.exe", 2001));
  ASSERT_TRUE(write(dir + "\\new.exe", 2020));
  ASSERT_TRUE(write(dir + "\\newer.txt", 2030));  // not a program
  ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
  char name[MAX_PATH];
  EXPECT_TRUE(newest_program_here(name, sizeof name));
  EXPECT_STREQ(name, "new.exe");
  char small[4];
  EXPECT_TRUE(newest_program_here(small, sizeof small));
  EXPECT_STREQ(small, "new");  // cut to fit

  std::string empty = base_ + "\\empty";
  CreateDirectoryA(empty.c_str(), nullptr);
  ASSERT_TRUE(SetCurrentDirectoryA(empty.c_str()));
  EXPECT_FALSE(newest_program_here(name, sizeof name));
  EXPECT_STREQ(name, "");
}

// "\*.exe" and its end take 7 of the 260 characters: a folder of 253 is searched, one of
// 254 is not (its pattern would be cut to another folder's).
TEST_F(NewestProgram, LongFoldersAreSearchedOnlyWhileThePatternFits) {
  struct Case {
    size_t length;
    char letter;
    bool searched;
  } cases[] = {{253, 'a', true}, {254, 'b', false}, {258, 'c', false}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.length);
    std::string dir = deep_folder(c.length, c.letter);
    ASSERT_EQ(dir.size(), c.length);
    if (c.searched) {
      ASSERT_TRUE(write(dir + "\\x.exe", 2010));
    }
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str())) << GetLastError();
    char name[MAX_PATH];
    memset(name, 'z', sizeof name);
    EXPECT_EQ(newest_program_here(name, sizeof name), c.searched);
    EXPECT_STREQ(name, c.searched ? "x.exe" : "");
    ASSERT_TRUE(SetCurrentDirectoryA(start_));
  }
}

}  // namespace
