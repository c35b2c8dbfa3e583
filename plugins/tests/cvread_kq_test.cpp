// The CodeView plug-in in kq.exe under Wine: kq loads cvread.dll from the build's plug-in
// folder, launched on a corpus program copied with its PDBs (their recorded paths do not
// exist, so the plug-in finds them beside the image), reads its symbols and stops the
// start-up run at main by name; a breakpoint set by a function's name (with the command
// of a plug-in of the tests) stops there, and so does a run-to given that name on kq's
// command line. The addresses are those dbghelp_dump lists for the programs; for the
// program the build makes with clang and lld (PDB 7), those llvm-pdbutil lists. A load
// that waits for the user (a reader of the tests) shows the progress window, where Escape
// cancels it; a program copied without its PDB, and Wine's DLLs, which have no debug
// directory, get the line that says why they have no symbols.
#include <gtest/gtest.h>
#include <stdio.h>

#include "tests/support/kq_driver.h"
#include "tests/support/kq_keyboard.h"

namespace {

struct E2eProgram {
  const char *folder;              // under the corpus folder; null: the build's PDB 7 programs
  std::vector<std::string> files;  // the program first, then its PDBs
  const char *pdb;
  unsigned main_address;
  const char *function;            // called from main before any input is read
  unsigned function_address;
};

const E2eProgram kPrograms[] = {
    {"pdb2-jg/vc50-GameC", {"GameC.exe", "GameC.pdb", "vc50.pdb"}, "GameC.pdb", 0x401834,
     "DbMemoryRequirement", 0x40145F},
    {"pdb2-jg/vc60-peekPE", {"peekPE.exe", "peekPE.pdb", "vc60.pdb"}, "peekPE.pdb", 0x401010,
     "printf", 0x401060},
    {nullptr, {"points.exe", "points.pdb"}, "points.pdb", 0x4014E0, "length2", 0x401550},
};

// One run on the program, to main or to its function by name.
void load_and_stop(const E2eProgram &p, bool run_to_function) {
  SCOPED_TRACE(p.files[0] + (run_to_function ? " -run=" + std::string(p.function) : ""));
  KqDriver kq;
  ASSERT_TRUE(kq.place_program(
      "cvread", p.folder ? std::string(KQ_CORPUS) + "/" + p.folder : PDB7_PROGRAMS, p.files));
  ASSERT_TRUE(kq.use_plugins({"plugins\\cvread.dll", "plugins\\test_plugins\\break_by_name.dll"}));
  ASSERT_TRUE(kq.start_on(kq.program, run_to_function ? std::string("-run=") + p.function : ""));
  ASSERT_TRUE(kq.wait_pauses(1, 60)) << kq.log();
  std::string log = kq.log();
  EXPECT_NE(log.find("PLUG-IN 'cvread.dll' is loaded."), std::string::npos) << log;
  EXPECT_NE(log.find("CodeView signature is OK"), std::string::npos) << log;
  EXPECT_NE(log.find(std::string(p.pdb) + "' successfully parsed"), std::string::npos) << log;
  if (run_to_function) {
    EXPECT_EQ(kq.pause(1), p.function_address) << log;
  } else {
    ASSERT_EQ(kq.pause(1), p.main_address) << log;
    HWND dialog = kq.plugin_command(std::string("break ") + p.function);
    ASSERT_TRUE(dialog && wait_for([&] { return !IsWindow(dialog); }, 30)) << kq.log();
    char found[128];
    snprintf(found, sizeof found, "break: %s at %08X\n", p.function, p.function_address);
    EXPECT_NE(kq.log().find(found), std::string::npos) << kq.log();
    kq.command(10077);  // resume
    EXPECT_TRUE(kq.wait_log(pause_line(p.function_address), "Running 'break'", 60)) << kq.log();
  }
  EXPECT_EQ(kq.finish(), 0);
}

TEST(CvreadInKq, LoadsThePdbAndStopsAtMainThenAtABreakpointByName) {
  for (const E2eProgram &p : kPrograms) load_and_stop(p, false);
}

TEST(CvreadInKq, LoadsThePdbAndRunsToAFunctionByName) {
  for (const E2eProgram &p : kPrograms) load_and_stop(p, true);
}

TEST(CvreadInKq, EscapeCancelsALongLoadAndTheLogSaysWhyModulesHaveNoSymbols) {
  {
    KqDriver kq;
    ASSERT_TRUE(kq.place_program("cvread_cancel", PDB7_PROGRAMS, {"points.exe", "points.pdb"}));
    ASSERT_TRUE(kq.use_plugins({"plugins\\test_plugins\\slow_reader.dll"}));
    ASSERT_TRUE(kq.start_on(kq.program));
    HWND progress = nullptr;
    ASSERT_TRUE(wait_for([&] {
      return (progress = process_window(kq.pi.dwProcessId, "#32770",
                                        "Loading symbols of points.exe")) != nullptr;
    }, 60)) << kq.log();
    EXPECT_FALSE(IsWindowEnabled(kq.main));
    screenshot("cvread_load_progress.png");
    KqKeyboard keys;
    keys.main = progress;
    keys.thread = GetWindowThreadProcessId(progress, nullptr);
    keys.settle = [] { Sleep(100); };
    keys.press(0, VK_ESCAPE);
    EXPECT_TRUE(wait_for([&] { return !IsWindow(progress); }, 20));
    ASSERT_TRUE(kq.wait_log("' not loaded: cancelled by the user\n", nullptr, 60)) << kq.log();
    std::string log = kq.log();
    EXPECT_NE(log.find("Symbols of '" + kq.program + "' not loaded: cancelled by the user\n"),
              std::string::npos) << log;
    EXPECT_EQ(log.find("successfully parsed"), std::string::npos) << log;
    EXPECT_EQ(log.find("No symbols for " + kq.program), std::string::npos) << log;
    EXPECT_TRUE(wait_for([&] { return IsWindowEnabled(kq.main) != FALSE; }, 20));
    // The system's modules load once the debug events held back by the load are taken.
    EXPECT_TRUE(kq.wait_log("kernel32.dll: no debug directory\n", nullptr, 30)) << kq.log();
    EXPECT_EQ(kq.finish(), 0);
  }
  // The VC6 program without its PDB: neither the recorded path nor the image's folder has it.
  KqDriver kq;
  ASSERT_TRUE(kq.place_program("cvread_nopdb", std::string(KQ_CORPUS) + "/pdb2-jg/vc60-peekPE",
                               {"peekPE.exe"}));
  ASSERT_TRUE(kq.use_plugins({"plugins\\cvread.dll"}));
  ASSERT_TRUE(kq.start_on(kq.program));
  ASSERT_TRUE(kq.wait_log("No symbols for ", nullptr, 60)) << kq.log();
  const std::string why = "No symbols for " + kq.program +
                          ": cvread.dll: file not found: PDB file tried at "
                          "'C:\\USERS\\M0RPHIZ3\\DESKTOP\\PROTECTOR\\peekPE\\Debug\\peekPE.pdb', '" +
                          kq.folder + "peekPE.pdb'\n";
  EXPECT_TRUE(kq.wait_log(why, nullptr, 30)) << kq.log();
  EXPECT_EQ(kq.finish(), 0);
}

}  // namespace
