// The code panel of kq.exe under Wine, driven with its keys: stopped at the start of the
// debuggee, the cursor line is the instruction pointer's; a step moves it to the engine's
// new instruction pointer; the breakpoint key plants a breakpoint that the run stops at;
// a typed command is written into the debuggee (read back from outside) and shown. The
// window's text is the cursor line as the listing writes it. A search finds a command after
// the cursor; one that finds nothing is stopped from its progress window. The typed command
// is saved as a patch into a copy of the program's file and kept in the workspace; kq
// started again on the program writes it back and saves it again, and refuses a patch in
// the program's uninitialised data with its message.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "tests/support/kq_debuggee_outside.h"
#include "tests/support/kq_keyboard.h"
#include "tests/support/kq_driver.h"
#include "ui/dialogs/input_prompt_ids.h"
#include "ui/keyb.h"
#include "x86/disasm.h"

namespace {

class CodePanelRun : public ::testing::Test {
 protected:
  // kq.exe and the debuggee copied into a folder of the test: the log, the options and
  // the workspace written there are this run's own.
  bool start() {
    return kq_.place("code") && kq_.set("Arguments", "loop") && kq_.start_on(kDebuggee);
  }
  std::string log() const { return kq_.log(); }
  uint32_t pause(int n) const { return kq_.pause(n); }
  HWND code_panel() const { return process_child(kq_.pi.dwProcessId, "code"); }
  // The cursor line's text and the address it begins with.
  std::string cursor_line() const { return text_of(code_panel()); }
  uint32_t cursor_address() const { return (uint32_t)strtoul(cursor_line().c_str(), nullptr, 16); }
  bool cursor_at(uint32_t address) const {
    return wait_for([&] { return cursor_address() == address; }, 20);
  }
  // Types text into the search prompt (CTRL+S) and accepts it.
  bool search_for(const char *text) {
    return keys_.press_in_front(KEYMOD_CTRL, 'S', [&] {
      return process_window(kq_.pi.dwProcessId, "#32770", "Search for code") != nullptr;
    }) && answer_input_prompt(kq_.pi.dwProcessId, "Search for code", text);
  }
  // Attaches the keyboard to the main window and puts the focus on the code panel.
  bool focus_code_panel() {
    keys_ = keyboard_of(kq_);
    return keys_.attach() &&
           keys_.press_in_front(KEYMOD_CTRL, VK_F2, [&] { return keys_.focus() == code_panel(); });
  }
  // CTRL+K, then the prompt or message box titled "Save patches".
  HWND save_patches() {
    HWND box = nullptr;
    keys_.press_in_front(KEYMOD_CTRL, 'K', [&] {
      return (box = process_window(kq_.pi.dwProcessId, "#32770", "Save patches")) != nullptr;
    });
    return box;
  }
  // The debuggee's own bytes, read from outside.
  std::string bytes_at(uint32_t address, int count) const {
    return debuggee_memory(kq_.pi.dwProcessId, address, count);
  }

  KqDriver kq_;
  KqKeyboard keys_;
};

}  // namespace

TEST_F(CodePanelRun, FollowsTheEngineAndWritesWhatIsTyped) {
  ASSERT_TRUE(start()) << log();
  ASSERT_TRUE(wait_for([&] { return pause(1) != 0; }, 120)) << log();
  ASSERT_TRUE(code_panel());
  ASSERT_TRUE(focus_code_panel()) << log();
  // Stopped: the cursor stands on the instruction pointer, marked in the listing.
  EXPECT_TRUE(cursor_at(pause(1))) << cursor_line() << "\n" << log();
  screenshot("code_panel_stopped.png");

  // A step moves the engine; the cursor follows its new instruction pointer.
  ASSERT_TRUE(keys_.press_in_front(0, VK_F8, [&] { return pause(2) != 0; })) << log();
  EXPECT_NE(pause(1), pause(2));
  EXPECT_TRUE(cursor_at(pause(2))) << cursor_line();
  screenshot("code_panel_stepped.png");

  // Into the start-up code's call, whose next line gets a breakpoint with its key; running
  // on stops there.
  ASSERT_TRUE(keys_.press_in_front(0, VK_F7, [&] { return pause(3) != 0; })) << log();
  EXPECT_TRUE(cursor_at(pause(3))) << cursor_line();
  ASSERT_TRUE(keys_.press_in_front(0, VK_DOWN, [&] { return cursor_address() > pause(3); }));
  const uint32_t breakpoint = cursor_address();
  ASSERT_TRUE(keys_.press_in_front(0, VK_SPACE, [&] { return true; }));
  kq_.command(10077);  // run on
  ASSERT_TRUE(wait_for([&] { return pause(4) != 0; }, 60)) << log();
  EXPECT_EQ(breakpoint, pause(4)) << log();
  EXPECT_TRUE(cursor_at(breakpoint)) << cursor_line();
  ASSERT_TRUE(keys_.press_in_front(0, VK_SPACE, [&] { return true; }));  // and off again

  // A typed command over the line after it: its bytes padded with NOPs in the debuggee.
  ASSERT_TRUE(keys_.press_in_front(0, VK_DOWN, [&] { return cursor_address() > breakpoint; }));
  const uint32_t typed = cursor_address();
  const std::string before = bytes_at(typed, 16);
  ASSERT_EQ(16u, before.size());
  DisasmResult old;
  const int old_length =
      decode_command((const uint8_t *)before.data(), 16, typed, &old, DECODE_ANALYSE);
  ASSERT_GT(old_length, 1);
  HWND prompt = nullptr;
  ASSERT_TRUE(keys_.press_in_front(0, VK_INSERT, [&] {
    return (prompt = process_window(kq_.pi.dwProcessId, "#32770", "Assemble")) != nullptr;
  }));
  EXPECT_EQ(text_of(GetDlgItem(prompt, IDC_PROMPT_LINE)), "Enter a new instruction to write");
  ASSERT_TRUE(answer_input_prompt(kq_.pi.dwProcessId, "Assemble", "nop"));
  const std::string nops((size_t)old_length, '\x90');
  EXPECT_TRUE(wait_for([&] { return bytes_at(typed, old_length) == nops; }, 20))
      << log();
  EXPECT_EQ(before.substr(old_length), bytes_at(typed + old_length, 16 - old_length));
  EXPECT_TRUE(wait_for([&] { return cursor_line().find("nop") != std::string::npos; }, 20))
      << cursor_line();
  EXPECT_EQ(typed, cursor_address());
  screenshot("code_panel_assembled.png");

  // Run to the cursor: over the breakpoint's line and the first NOP to the second.
  ASSERT_TRUE(keys_.press_in_front(0, VK_DOWN, [&] { return cursor_address() == typed + 1; }));
  ASSERT_TRUE(keys_.press_in_front(KEYMOD_CTRL, VK_RETURN, [&] {
    return wait_for([&] { return pause(5) != 0; }, 10);
  })) << log();
  EXPECT_EQ(typed + 1, pause(5)) << log();

  // The NOPs saved as patches (CTRL+K): listed in the log and written to the copy named in
  // the prompt, where the file's bytes of that line, found by their old value, are NOPs.
  const std::string patched = kq_.folder + "kq_debuggee.patched.exe";
  ASSERT_TRUE(save_patches()) << log();
  ASSERT_TRUE(answer_input_prompt(kq_.pi.dwProcessId, "Save patches", patched.c_str()));
  ASSERT_TRUE(wait_for([&] { return log().find("Patches saved: ") != std::string::npos; }, 20))
      << log();
  char patch_line[32];
  snprintf(patch_line, sizeof patch_line, "Patch %08X ", (unsigned)typed);
  EXPECT_NE(log().find(patch_line), std::string::npos) << log();
  const std::string original = read_file(kq_.folder + "kq_debuggee.exe"), saved = read_file(patched);
  ASSERT_EQ(original.size(), saved.size());
  const size_t at = original.find(before);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(original.find(before, at + 1), std::string::npos);  // the line's only place
  EXPECT_EQ(saved.substr(at, (size_t)old_length), nops);
  EXPECT_EQ(saved.substr(at + old_length, 16 - old_length), before.substr(old_length));

  // A new search finds the next return after the cursor, which starts a line there.
  ASSERT_TRUE(search_for("ret")) << log();
  EXPECT_TRUE(wait_for([&] { return cursor_address() > typed + 1; }, 60)) << cursor_line();
  EXPECT_NE(cursor_line().find("ret"), std::string::npos) << cursor_line();
  const uint32_t found = cursor_address();

  // A text no command has walks the whole address space under the progress window, which
  // Escape stops: the window goes, kq's window takes input again, the cursor stays.
  ASSERT_TRUE(search_for("xyzzy")) << log();
  HWND progress = nullptr;
  ASSERT_TRUE(wait_for([&] {
    return (progress = process_window(kq_.pi.dwProcessId, "#32770", "Search: xyzzy")) != nullptr;
  }, 20));
  EXPECT_FALSE(IsWindowEnabled(kq_.main));
  Sleep(600);  // the label blinks every other 250 ms
  screenshot("code_panel_search_progress.png");
  ASSERT_TRUE(wait_for([&] { return GetAncestor(keys_.focus(), GA_ROOT) == progress; }, 10));
  keys_.press(0, VK_ESCAPE);
  EXPECT_TRUE(wait_for([&] { return !IsWindow(progress); }, 20));
  EXPECT_TRUE(IsWindowEnabled(kq_.main));
  EXPECT_EQ(found, cursor_address()) << cursor_line();

  // Step back undoes the run to the cursor: the cursor goes back to where it began.
  kq_.command(10084);
  EXPECT_TRUE(cursor_at(breakpoint)) << cursor_line();

  kq_.command(10090);  // unload
  ASSERT_TRUE(wait_for([&] { return log().find("EVN_Unload") != std::string::npos; })) << log();
  // The workspace keeps the typed command as a patch: its bytes beside its address.
  const std::string nop_text = old_length == 1 ? "90" : "90 90";
  EXPECT_TRUE(wait_for([&] {
    return read_file(kq_.folder + "kq.job").find("patch ") != std::string::npos;
  }, 20)) << read_file(kq_.folder + "kq.job");
  EXPECT_NE(read_file(kq_.folder + "kq.job").find(", \"" + nop_text), std::string::npos)
      << read_file(kq_.folder + "kq.job");
  EXPECT_EQ(0, kq_.close());
  EXPECT_EQ(log().find("Error: "), std::string::npos) << log();

  // kq again on the program: the workspace writes the NOPs back, and they save again.
  ASSERT_TRUE(kq_.start("\"" + kq_.folder + "kq_debuggee.exe\"")) << log();
  ASSERT_TRUE(wait_for([&] { return pause(1) != 0; }, 120)) << log();
  EXPECT_TRUE(wait_for([&] { return bytes_at(typed, old_length) == nops; }, 20)) << log();
  ASSERT_TRUE(focus_code_panel()) << log();
  const std::string again = kq_.folder + "kq_debuggee.again.exe";
  ASSERT_TRUE(save_patches()) << log();
  ASSERT_TRUE(answer_input_prompt(kq_.pi.dwProcessId, "Save patches", again.c_str()));
  ASSERT_TRUE(wait_for([&] { return log().find("Patches saved: ") != std::string::npos; }, 20))
      << log();
  EXPECT_EQ(read_file(again).substr(at, (size_t)old_length), nops);

  // A NOP typed into the uninitialised data (.bss, from the section table): no byte of the
  // file stands behind it, so the save is refused with a message and writes nothing.
  const std::string image = read_file(kq_.folder + "kq_debuggee.exe");
  const auto *nt = (const IMAGE_NT_HEADERS32 *)(image.data() + *(const LONG *)&image[0x3C]);
  uint32_t bss = 0;
  for (int i = 0; i < nt->FileHeader.NumberOfSections; i++)
    if (!strcmp((const char *)IMAGE_FIRST_SECTION(nt)[i].Name, ".bss"))
      bss = nt->OptionalHeader.ImageBase + IMAGE_FIRST_SECTION(nt)[i].VirtualAddress;
  ASSERT_NE(0u, bss);
  char where[16];
  snprintf(where, sizeof where, "0x%X", (unsigned)bss);
  ASSERT_TRUE(keys_.press_in_front(KEYMOD_CTRL, 'G', [&] {
    return process_window(kq_.pi.dwProcessId, "#32770", "Go to the address") != nullptr;
  }));
  ASSERT_TRUE(answer_input_prompt(kq_.pi.dwProcessId, "Go to the address", where));
  ASSERT_TRUE(cursor_at(bss)) << cursor_line();
  ASSERT_TRUE(keys_.press_in_front(0, VK_INSERT, [&] {
    return process_window(kq_.pi.dwProcessId, "#32770", "Assemble") != nullptr;
  }));
  ASSERT_TRUE(answer_input_prompt(kq_.pi.dwProcessId, "Assemble", "nop"));
  ASSERT_TRUE(wait_for([&] { return bytes_at(bss, 1) == "\x90"; }, 20)) << log();
  HWND box = save_patches();
  ASSERT_TRUE(box) << log();
  std::string said;
  EnumChildWindows(box, [](HWND child, LPARAM texts) WINAPI -> BOOL {
    *(std::string *)texts += text_of(child) + "|";
    return TRUE;
  }, (LPARAM)&said);
  snprintf(where, sizeof where, "%08X", (unsigned)bss);
  EXPECT_NE(said.find(std::string("The patch at ") + where + " lies where no byte of the file"),
            std::string::npos) << said;
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(wait_for([&] { return !IsWindow(box); }, 20));
  EXPECT_EQ(0, kq_.close());
}
