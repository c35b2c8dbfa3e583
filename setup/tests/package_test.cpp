// Packages written by the compiler, read back, extracted and removed again, on real files;
// damaged packages of every kind refused before anything is written.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "setup/extract.h"
#include "setup/options.h"
#include "setup/package.h"
#include "setup/script.h"
#include "setup/tests/setup_fixture.h"
#include "util/zone.h"

static std::string pattern_bytes(size_t n, unsigned seed) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; i++) s[i] = (char)((seed = seed * 1103515245u + 12345u) >> 16);
  return s;
}

class PackageTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    // The image stands for setup.exe: any bytes do.
    image_ = pattern_bytes(5000, 1);
    ASSERT_TRUE(write_bytes(path("image.bin"), image_));
    ASSERT_TRUE(setup_make_folders(&g_setup_files, path("src\\sub").c_str()));
    files_ = {{"a.txt", ""},
              {"big.bin", pattern_bytes(70001, 2)},
              {"sub\\c.dat", pattern_bytes(2048, 3)},
              {"sub\\d.DAT", "d"}};
    for (auto &f : files_) ASSERT_TRUE(write_bytes(path("src\\" + f.first), f.second));
    ASSERT_TRUE(write_bytes(path("license.txt"), "Use it well."));
  }

  // Compiles the script tail into scratch\name and gives the package's path.
  std::string build(const std::string &tail, const char *name = "package.exe") {
    std::string script = "@echo off\r\nrem compile me\r\n#pack\r\n" + tail;
    EXPECT_TRUE(write_bytes(path("script.bat"), script));
    ScriptError error;
    std::string out = path(name);
    EXPECT_TRUE(script_build_package(&g_setup_files, path("script").c_str(),
                                     path("src").c_str(), path("image.bin").c_str(),
                                     out.c_str(), &error))
        << error.text;
    return out;
  }

  std::string standard() {
    return build("set $COMPANY = Acme;\r\nset $PRODUCT='Widget Pro';\r\nset $REGKEY=Widget;\r\n"
                 "set $FOLDER = \"Acme\\Widget\";\r\nset $LICENSE=\"" + path("license.txt") +
                 "\";\r\nlocal Path, \"$PATH\";\r\nglobal Version, 1.0;\r\n"
                 "menu \"$PRODUCT\", big.bin;\r\ndesk Widget, \"sub\\c.dat\";\r\n"
                 "file *.*;\r\nfile sub\\*.dat;\r\nfile a.txt, docs;\r\ntemp cache.tmp;\r\n");
  }

  bool read(const std::string &package, PackageInfo *info, PackageRead what = READ_PLAIN) {
    FileSource src;
    if (!file_source_open(&src, &g_setup_files, package.c_str())) return false;
    bool ok = package_read(&src.source, info, what);
    file_source_close(&src);
    return ok;
  }

  bool extract(const std::string &package, const std::string &folder, const Progress *progress,
               const SetupFiles *fs = &g_setup_files) {
    FileSource src;
    PackageInfo info;
    if (!file_source_open(&src, &g_setup_files, package.c_str())) return false;
    bool ok = package_read(&src.source, &info, READ_PLAIN);
    Variables vars = {};
    variables_set(&vars, "$PATH", folder.c_str());
    ok = ok && package_extract(fs, &src.source, &info, &vars, folder.c_str(), progress);
    file_source_close(&src);
    package_free(&info);
    variables_free(&vars);
    return ok;
  }

  std::string image_;
  std::vector<std::pair<std::string, std::string>> files_;
};

TEST_F(PackageTest, ExtractsEveryFileAndAnUninstallerThatRemovesThemAgain) {
  std::string package = standard();
  PackageInfo info;
  ASSERT_TRUE(read(package, &info, READ_IMAGES));
  EXPECT_STREQ(info.license, "Use it well.");
  EXPECT_EQ(info.header.license_size, 12u);
  EXPECT_EQ(info.header.logo_size, 0u);
  EXPECT_STREQ(package_string(&info, info.header.product), "Widget Pro");
  EXPECT_STREQ(package_string(&info, info.header.folder), "Acme\\Widget");
  EXPECT_EQ(info.links[0].title, info.header.product);  // stored once
  ASSERT_EQ(info.value_count, 2u);
  EXPECT_STREQ(package_string(&info, info.values[0].value), "$PATH");
  EXPECT_EQ(info.values[1].kind, (uint32_t)REG_MACHINE);
  ASSERT_EQ(info.file_count, 6u);
  const char *destinations[] = {"a.txt", "big.bin", "sub\\c.dat", "sub\\d.DAT", "docs\\a.txt",
                                "cache.tmp"};
  for (uint32_t i = 0; i < 6; i++)
    EXPECT_STREQ(package_string(&info, info.files[i].destination), destinations[i]);
  EXPECT_EQ(info.files[5].temporary, 1u);
  EXPECT_EQ(info.header.data_length, 70001u + 2048 + 1);
  EXPECT_EQ(info.header_offset, image_.size());
  EXPECT_EQ(read_bytes(package).substr(0, image_.size()), image_);
  // Every byte copied is reported: the image and information for the uninstaller, the data.
  uint64_t copied = info.header_offset + info.header.info_length + info.header.data_length;
  package_free(&info);

  std::string target = path("Program Files\\Acme\\Widget");
  uint64_t reported = 0;
  Progress progress = {[](void *c, const char *, uint32_t n) {
                         *(uint64_t *)c += n;
                         return n <= SETUP_BLOCK;
                       },
                       &reported};
  ASSERT_TRUE(extract(package, target, &progress));
  std::vector<std::string> expected = {"a.txt", "big.bin", "docs\\a.txt", "sub\\c.dat",
                                       "sub\\d.DAT", "uninst.exe"};
  EXPECT_EQ(tree(target), expected);
  for (auto &f : files_) EXPECT_EQ(read_bytes(join(target, f.first)), f.second) << f.first;
  EXPECT_EQ(read_bytes(join(target, "docs\\a.txt")), "");

  // The uninstaller: the image, a header without data, the same information, the folder.
  std::string uninstaller = join(target, "uninst.exe");
  EXPECT_EQ(read_bytes(uninstaller).substr(0, image_.size()), image_);
  ASSERT_TRUE(read(uninstaller, &info));
  EXPECT_EQ(info.header.data_length, 0u);
  EXPECT_STREQ(info.folder, target.c_str());
  EXPECT_EQ(reported, copied);

  // The user's own files and folders stay; everything installed goes.
  ASSERT_TRUE(write_bytes(join(target, "sub\\mine.txt"), "mine"));
  ASSERT_TRUE(write_bytes(join(target, "cache.tmp"), "made by the program"));
  ASSERT_TRUE(setup_make_folders(&g_setup_files, join(target, "empty\\deeper").c_str()));
  Variables vars = {};
  package_remove_files(&g_setup_files, &info, &vars, info.folder);
  EXPECT_EQ(tree(target), std::vector<std::string>{"sub\\mine.txt"});
  EXPECT_EQ(g_setup_files.folder_state(join(target, "empty").c_str()), 0);
  EXPECT_EQ(g_setup_files.folder_state(join(target, "docs").c_str()), 0);
  package_free(&info);
  variables_free(&vars);
}

TEST_F(PackageTest, ModeComesFromTheProgramsOwnFile) {
  std::string package = standard();
  ASSERT_TRUE(extract(package, path("target"), nullptr));
  // A trailer that names a place without a header.
  std::string lost = read_bytes(package);
  lost[lost.size() - 12] ^= 1;
  ASSERT_TRUE(write_bytes(path("lost.exe"), lost));
  struct Case {
    std::string program, temp;
    SetupMode mode;
  } cases[] = {
      {path("image.bin"), "C:\\nowhere\\", MODE_COMPILE},
      {package, "C:\\nowhere\\", MODE_INSTALL},
      {path("target\\uninst.exe"), "C:\\nowhere\\", MODE_CONFIRM},
      {path("target\\uninst.exe"), path("target"), MODE_UNINSTALL},
      {path("missing.exe"), "", MODE_NONE},
      {path("lost.exe"), "C:\\nowhere\\", MODE_NONE},
  };
  for (const Case &c : cases)
    EXPECT_EQ(setup_choose_mode(&g_setup_files, c.program.c_str(), c.temp.c_str()), c.mode)
        << c.program;
  std::string log = log_text();
  for (const char *line : {"SETUP MODE: compile package", "SETUP MODE: install",
                           "SETUP MODE: confirm uninstall", "SETUP MODE: uninstall",
                           "The package is damaged: the trailer names no header"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
}

static void put32(std::string *s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) (*s)[at + i] = (char)(v >> (8 * i));
}
static uint32_t get32(const std::string &s, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; i++) v |= (uint32_t)(uint8_t)s[at + i] << (8 * i);
  return v;
}

TEST_F(PackageTest, DamagedPackagesAreRefused) {
  std::string good = read_bytes(standard());
  uint32_t header = (uint32_t)image_.size();
  ASSERT_EQ(get32(good, good.size() - 12), header);
  // Header fields by their offset in the header.
  struct Case {
    const char *what;
    size_t cut;             // keep this many bytes (0: all)
    int field;              // header field to overwrite, -1 for the trailer's offset
    uint32_t value;
  } cases[] = {
      {"empty", 1, -2, 0},
      {"trailer cut", 11, -2, 0},
      {"half", good.size() / 2, -2, 0},
      {"last byte missing", good.size() - 1, -2, 0},
      {"header beyond the end", 0, -1, (uint32_t)good.size()},
      {"header across the trailer", 0, -1, (uint32_t)good.size() - 12 - 91},
      {"header offset wraps", 0, -1, 0xFFFFFFF0u},
      {"header not where named", 0, -1, header + 1},
      {"pool size overflows", 0, 52, 0xFFFFFFF0u},
      {"pool offset overflows", 0, 48, 0xFFFFFFFFu},
      {"file count times 12 wraps", 0, 76, 0x15555556u},
      {"link count too large", 0, 60, 1000},
      {"licence beyond the information", 0, 44, 0x7FFFFFFFu},
      {"logo before the header", 0, 24, 0},
      {"information length wraps", 0, 80, 0xFFFFFFFFu},
      {"data area beyond the end", 0, 88, 0xFFFFFF00u},
      {"data length not the files' sum", 0, 88, 70001u + 2048},
      {"product outside the pool", 0, 12, 0xFFFFu},
  };
  for (const Case &c : cases) {
    std::string bytes = good;
    if (c.field == -2) bytes.resize(c.cut);
    if (c.field == -1) put32(&bytes, bytes.size() - 12, c.value);
    if (c.field >= 0) put32(&bytes, header + c.field, c.value);
    MemorySource src;
    memory_source_init(&src, bytes.data(), (uint32_t)bytes.size());
    PackageInfo info;
    EXPECT_FALSE(package_read(&src.source, &info, READ_IMAGES)) << c.what;
    EXPECT_EQ(info.pool, nullptr) << c.what;
  }
  EXPECT_NE(log_text().find("WARNING: The package is damaged: "), std::string::npos);
}

TEST_F(PackageTest, FileNamesNeverLeaveTheTargetFolder) {
  struct Case {
    const char *statement;
    bool readable;  // refused only after expansion at installation
  } cases[] = {
      {"file big.bin, ..;", false},
      {"file big.bin, \"sub\\..\\..\";", false},
      {"file big.bin, \"C:\\Windows\";", false},
      {"file big.bin, \"\\Windows\";", false},
      {"file big.bin, \"/etc\";", false},
      {"file big.bin, \"a:b\";", false},
      {"file big.bin, \"$PATH\";", true},
  };
  int n = 0;
  for (const Case &c : cases) {
    std::string name = "bad" + std::to_string(n++) + ".exe";
    std::string package = build(std::string("file a.txt;") + c.statement, name.c_str());
    PackageInfo info;
    EXPECT_EQ(read(package, &info), c.readable) << c.statement;
    package_free(&info);
    std::string target = path("deep\\target");
    EXPECT_FALSE(extract(package, target, nullptr)) << c.statement;
    EXPECT_EQ(g_setup_files.folder_state(path("deep").c_str()), 0) << c.statement;
  }
  // The image, the licence, the script, four sources and seven packages: nothing else.
  EXPECT_EQ(tree(scratch_).size(), 14u);
  EXPECT_NE(log_text().find("Refused file '..\\big.bin': its path leaves the installation folder"),
            std::string::npos);
}

// A file system whose writes fail after a number of bytes, as a full disk does.
static uint64_t g_write_budget;
static bool limited_write(void *file, const void *buf, size_t len) {
  if (len > g_write_budget) return false;
  g_write_budget -= len;
  return g_setup_files.write(file, buf, len);
}

TEST_F(PackageTest, AStoppedInstallationTakesAwayWhatItWrote) {
  std::string package = standard();
  std::string target = path("target");
  ASSERT_TRUE(setup_make_folders(&g_setup_files, join(target, "sub").c_str()));
  ASSERT_TRUE(write_bytes(join(target, "sub\\mine.txt"), "the user's"));
  std::vector<std::string> before = tree(target);

  // Cancelled by the user part-way through big.bin.
  int blocks = 0;
  Progress cancel = {[](void *c, const char *name, uint32_t) {
                       return !(strcmp(name, "big.bin") == 0 && ++*(int *)c == 5);
                     },
                     &blocks};
  EXPECT_FALSE(extract(package, target, &cancel));
  EXPECT_EQ(blocks, 5);
  EXPECT_EQ(tree(target), before);

  // The disk fills up after the uninstaller and a part of the files; and at once.
  for (uint64_t budget : {(uint64_t)image_.size() + 40000, (uint64_t)0}) {
    SetupFiles full = g_setup_files;
    full.write = limited_write;
    g_write_budget = budget;
    EXPECT_FALSE(extract(package, target, nullptr, &full)) << budget;
    EXPECT_EQ(tree(target), before) << budget;
  }
  EXPECT_NE(log_text().find("Installation stopped: taking away what was written"),
            std::string::npos);

  // Into a fresh folder, nothing at all stays.
  std::string fresh = path("fresh");
  g_write_budget = 20000;
  SetupFiles full = g_setup_files;
  full.write = limited_write;
  EXPECT_FALSE(extract(package, fresh, nullptr, &full));
  EXPECT_EQ(g_setup_files.folder_state(fresh.c_str()), 0);
}

TEST_F(PackageTest, FolderCreationStopsAtAFileInTheWay) {
  ASSERT_TRUE(write_bytes(path("file"), "x"));
  EXPECT_FALSE(setup_make_folders(&g_setup_files, path("file\\below").c_str()));
  EXPECT_TRUE(setup_make_folders(&g_setup_files, path("a\\b/c\\").c_str()));
  EXPECT_EQ(g_setup_files.folder_state(path("a\\b\\c").c_str()), 1);
  EXPECT_NE(log_text().find("Directory name '" + path("file") + "' conflicts with existing file"),
            std::string::npos);
}
