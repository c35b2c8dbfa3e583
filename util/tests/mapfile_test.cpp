#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "test_support.h"
#include "util/crash_report.h"
#include "util/mapfile.h"
#include "util/visor.h"

namespace {

const char kHeader[] =
    "  Address         Publics by Value              Rva+Base     Lib:Object\r\n";

// Section 1 holds code at 0x1000, section 2 data at 0x5000; image at 0x400000.
const MapSectionInfo kSections[] = {{0x1000, true}, {0x5000, false}};
const MapImage kImage = {0x400000, 0x401000, 0x4000, 2, kSections};

std::string sample_map() {
  return std::string(" kq\r\n\r\n Preferred load address is 00400000\r\n\r\n") + kHeader +
         "\r\n"
         " 0001:00000000       _main                      00401000 f   main.obj\r\n"
         " 0001:00000100       _zone_alloc                00401100 f   zone.obj\r\n"
         " 0002:00000010       _g_data                    00405010     glob.obj\r\n"
         " 0003:00000000       _beyond                    00406000 f   x.obj\r\n"
         " garbage line\r\n"
         " 0001:00002000       log_trace                  00403000 f   log.obj\r\n"
         "\r\n"
         " 0001:00003000       _after_blank               00404000 f   x.obj\r\n";
}

std::string name_of(uintptr_t address) {
  char out[300];
  symbolic_address(address, out, sizeof out);
  return out;
}

TEST(MapFile, NamesReturnAddresses) {
  std::string text = sample_map();
  ASSERT_TRUE(mapfile_load_text("C:\\kq\\kq.exe", text.data(), text.size(), &kImage));
  EXPECT_EQ(mapfile_function_count("c:\\KQ\\KQ.EXE"), 3);  // data, bad section, after blank
  EXPECT_EQ(name_of(0x401001), "main");
  EXPECT_EQ(name_of(0x401100), "main");          // a function's first byte is not itself
  EXPECT_EQ(name_of(0x401101), "zone_alloc");
  EXPECT_EQ(name_of(0x401100 + 4095), "zone_alloc");
  EXPECT_EQ(name_of(0x401100 + 4096), "C:\\kq\\kq.exe [402100]");
  EXPECT_EQ(name_of(0x403000 + 5000), "C:\\kq\\kq.exe [404388]");
  EXPECT_EQ(name_of(0x403010), "log_trace");     // no leading underscore to drop
  EXPECT_EQ(name_of(0x1234), "[001234]");        // outside every module
  EXPECT_EQ(name_of(0x401000), "C:\\kq\\kq.exe [401000]");

  // A second load only counts; the first unload keeps the names.
  ASSERT_TRUE(mapfile_load_text("C:\\KQ\\kq.exe", "", 0, &kImage));
  mapfile_unload("C:\\kq\\kq.exe");
  EXPECT_EQ(name_of(0x401001), "main");
  mapfile_unload("C:\\kq\\kq.exe");
  EXPECT_EQ(name_of(0x401001), "[401001]");
  EXPECT_EQ(mapfile_module_count(), 0);
}

TEST(MapFile, MissingFileAndMissingHeader) {
  EXPECT_FALSE(mapfile_load("/nonexistent/dir/kq.exe", &kImage));
  std::string text = " no header here\n 0001:00000000 _main\n";
  ASSERT_TRUE(mapfile_load_text("/x/y.exe", text.data(), text.size(), &kImage));
  EXPECT_EQ(mapfile_function_count("/x/y.exe"), 0);
  EXPECT_EQ(name_of(0x401001), "/x/y.exe [401001]");
  mapfile_unload("/x/y.exe");
}

TEST(MapFileDeath, LimitsAreFatalAssertions) {
  std::string many = std::string(kHeader) + "\n";
  for (int i = 0; i <= MAXFUNCNUM; i++) {
    char line[80];
    snprintf(line, sizeof line, " 0001:%08X       _f%d\n", i * 4, i);
    many += line;
  }
  std::string path = temp_log_path("map_limit");
  EXPECT_EXIT(
      {
        log_open_file(path.c_str(), "test.exe");
        mapfile_load_text("/m.exe", many.data(), many.size(), &kImage);
      },
      ::testing::ExitedWithCode(kExitMinusOne), "");
  EXPECT_NE(read_file(path).find("Assertion visor 568: "), std::string::npos);

  std::string names = std::string(kHeader) + "\n";
  for (int i = 0; i < 300; i++) names += " 0001:00000000 " + std::string(250, 'n') + "\n";
  EXPECT_EXIT(
      {
        log_open_file(path.c_str(), "test.exe");
        mapfile_load_text("/m.exe", names.data(), names.size(), &kImage);
      },
      ::testing::ExitedWithCode(kExitMinusOne), "");
  EXPECT_NE(read_file(path).find("Assertion visor 569: "), std::string::npos);

  EXPECT_EXIT(
      {
        log_open_file(path.c_str(), "test.exe");
        for (int i = 0; i <= MAXMODNUM; i++) {
          std::string module = "/mod" + std::to_string(i);
          mapfile_load_text(module.c_str(), "", 0, &kImage);
        }
      },
      ::testing::ExitedWithCode(kExitMinusOne), "");
  EXPECT_NE(read_file(path).find("Assertion visor 536: modulen < MAXMODNUM"), std::string::npos);
}

// A fake stack of frames for the report's walk: (next frame, return address) pairs.
struct FakeStack {
  uintptr_t frames[64][2];
  int count;
};

bool read_fake(uintptr_t frame, uintptr_t pair[2], void *context) {
  FakeStack *s = (FakeStack *)context;
  int i = (int)(frame / 0x100) - 1;
  if (frame % 0x100 || i < 0 || i >= s->count) return false;
  pair[0] = s->frames[i][0];
  pair[1] = s->frames[i][1];
  return true;
}

TEST(CrashReport, NamesAndFrames) {
  EXPECT_STREQ(exception_name(0xC0000094), "Int divide by zero");
  EXPECT_STREQ(exception_name(0xC0000005), "Access violation");
  EXPECT_STREQ(exception_name(0x12345678), "");

  std::string text = sample_map();
  ASSERT_TRUE(mapfile_load_text("/r.exe", text.data(), text.size(), &kImage));
  FakeStack stack = {};
  stack.count = 50;  // more than the 40 frames shown
  for (int i = 0; i < stack.count; i++) {
    stack.frames[i][0] = (uintptr_t)(i + 2) * 0x100;
    stack.frames[i][1] = 0x401105;
  }
  std::string path = open_test_log("report");
  CrashRegisters regs = {1, 2, 3, 4, 5, 6, 7, 0x100, 0x401010};
  crash_write_report("Int divide by zero", 0x401010, &regs, read_fake, &stack);
  log_close();
  mapfile_unload("/r.exe");
  std::string log = read_file(path);
  EXPECT_NE(log.find("\tMessage: Int divide by zero\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\tEAX:        1 EBX:        2 ECX:        3 EDX:        4\n"),
            std::string::npos) << log;
  EXPECT_NE(log.find("\t[100] = 401010 main\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\t[200] = 401105 zone_alloc\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("\t[2900] ="), std::string::npos);  // the 41st frame is not shown
  EXPECT_NE(log.find("Yet another 50 frames on the stack\n"), std::string::npos) << log;
}

TEST(CrashReport, ALoopingChainEnds) {
  FakeStack stack = {};
  stack.count = 2;
  stack.frames[0][0] = 0x200;
  stack.frames[1][0] = 0x100;  // points back down the stack
  std::string path = open_test_log("report_loop");
  CrashRegisters regs = {0, 0, 0, 0, 0, 0, 0, 0x100, 0};
  crash_write_report("", 0, &regs, read_fake, &stack);
  log_close();
  EXPECT_NE(read_file(path).find("Yet another 2 frames on the stack\n"), std::string::npos);
}

}  // namespace
