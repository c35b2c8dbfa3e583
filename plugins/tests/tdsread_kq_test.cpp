// The Borland plug-in in kq.exe under Wine: kq loads tdsread.dll from the build's plug-in
// folder, launched on corpus programs that start under Wine: a C++Builder console program
// with its .tds file beside it, and a Delphi console program whose information is
// appended to the image (found through its debug directory, and without it from the
// trailer at the image's end). The start-up run stops at main by its name, or at a procedure
// named as the run-to target by its (mangled) name; the title shows that the symbol store
// holds sources. The addresses are those tdsdump's records give.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "tests/support/kq_driver.h"

namespace {

struct E2eProgram {
  const char *folder;              // under the corpus folder
  std::vector<std::string> files;  // the program first
  std::vector<std::string> loaded;  // kq's lines, in this order, as the information loads
  unsigned main_address;
  const char *function;            // a run-to target reached before any input is read
  unsigned function_address;
  // The image's debug directory emptied in the copy: the information is then found from
  // the trailer at the end of the image.
  bool no_debug_directory;
};

const E2eProgram kPrograms[] = {
    {"tds/cb10-bcc32c-Base64", {"Project1.exe", "Project1.tds"},
     {"Borland signature is OK", "OK, debug information is loaded from unusual place."},
     0x406608, nullptr, 0, false},
    // The Delphi linker writes a debug directory of size 1 whose one entry points at the
    // appended data.
    {"td32-embedded/delphi-NowoczesnyObiektowyPascal", {"Project1.exe"},
     {"Debugging information 0 with signature 'FB09'", "Borland signature is OK",
      "OK, debug information is loaded."},
     0, "@Project1@PokazMape$qqr20System@UnicodeString", 0x41E334,
     false},
    {"td32-embedded/delphi-NowoczesnyObiektowyPascal", {"Project1.exe"},
     {"Borland debug information appended to the image at 00028220", "Borland signature is OK",
      "OK, debug information is loaded from unusual place."},
     0,
     "@Project1@PokazMape$qqr20System@UnicodeString", 0x41E334, true},
};

// Zeroes the debug directory (address and size) in the copied image's optional header.
bool empty_debug_directory(const std::string &path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  FILE *f = fopen(path.c_str(), "r+b");
  if (!f) return false;
  unsigned char header[0x400];
  bool ok = fread(header, 1, sizeof header, f) == sizeof header;
  unsigned pe = ok ? header[0x3C] | header[0x3D] << 8 : 0;
  // Signature, file header, then the debug entry (the seventh) of the data directories.
  const unsigned kDebugDirectory = 4 + 20 + 96 + 6 * 8;
  ok = ok && pe + kDebugDirectory + 8 <= sizeof header && !memcmp(header + pe, "PE\0\0", 4);
  const unsigned char zeros[8] = {};
  ok = ok && fseek(f, pe + kDebugDirectory, SEEK_SET) == 0 && fwrite(zeros, 1, 8, f) == 8;
  return fclose(f) == 0 && ok;
}

// One run on the program, to main or to its run-to target.
void load_and_stop(const E2eProgram &p) {
  SCOPED_TRACE(std::string(p.folder) + (p.no_debug_directory ? " without debug directory" : ""));
  KqDriver kq;
  ASSERT_TRUE(kq.place_program("tdsread", std::string(KQ_CORPUS) + "/" + p.folder, p.files));
  ASSERT_TRUE(kq.set("PluginPath", own_folder()));  // the build's plug-ins
  if (p.no_debug_directory) {
    ASSERT_TRUE(empty_debug_directory(kq.program));
  }
  ASSERT_TRUE(kq.start_on(kq.program, p.function ? std::string("-run=") + p.function : ""));
  ASSERT_TRUE(kq.wait_pauses(1, 60)) << kq.log();
  std::string log = kq.log();
  EXPECT_NE(log.find("PLUG-IN 'tdsread.dll' is loaded."), std::string::npos) << log;
  size_t at = log.find("Loading module '" + kq.program);
  for (const std::string &line : p.loaded) {
    at = log.find(line, at);
    ASSERT_NE(at, std::string::npos) << line << "\n" << log;
  }
  // kq names a program without sources in its title.
  EXPECT_EQ(text_of(kq.main).find("(no debug information)"), std::string::npos)
      << text_of(kq.main);
  EXPECT_EQ(kq.pause(1), p.function ? p.function_address : p.main_address) << log;
  EXPECT_EQ(kq.finish(), 0);
}

TEST(TdsreadInKq, LoadsTheTdsFileBesideACppBuilderProgram) { load_and_stop(kPrograms[0]); }

TEST(TdsreadInKq, LoadsAppendedInformationAndRunsToAProcedureByName) {
  for (size_t i = 1; i < sizeof kPrograms / sizeof kPrograms[0]; i++) load_and_stop(kPrograms[i]);
}

}  // namespace
