// Inspector windows in kq.exe under Wine, on a corpus program whose types the CodeView
// plug-in reads: stopped in InitApp (whose locals include two structures; no corpus
// program's main has one), the watch panel's Inspect opens a RECT local, an int member is
// changed through CTRL+C and the prompt and read back from the debuggee's memory; from the
// root the call stack leads to the frame, into a structure (by double click; a step that
// stores into it shows the new value) and through a char pointer whose first element is
// the byte the debuggee holds; ".." comes back with the item selected, a watch that fails
// shows its message and does not open, CTRL+N places the copy 60 pixels right and 10 down,
// a right click shows the keys as a menu, ESC closes; kq ending with one open leaks nothing.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/kq_debuggee_outside.h"
#include "tests/support/kq_driver.h"
#include "tests/support/kq_keyboard.h"

namespace {

const char kFolder[] = "pdb2-jg/vc40-gun_eyes";
const std::vector<std::string> kFiles = {"gun_eyes.exe", "gun_eyes.pdb", "vc40.pdb"};
// Where InitApp's frame begins, past its prologue: its locals are known from there on.
const unsigned kInitAppBody = 0x401709;
// InitApp's frame: the char* parameter name, the RECT local rc and the WNDCLASSA local wc.
const int kNameShift = 16, kRcShift = -24, kWcShift = -64;
enum { ADD_WATCH = 10099, INSPECT = 10164, STEP_OVER = 10086 };

class InspectorInKq : public ::testing::Test {
 protected:
  void TearDown() override { kq_.finish(); }

  void command(int id) const { kq_.command(id); }
  // The registers of kq's debuggee and a word of its memory.
  CONTEXT context() const {
    CONTEXT c = {};
    debuggee_context(kq_.pi.dwProcessId, &c);
    return c;
  }
  int32_t read32(uint32_t address) const {
    int32_t value = 0;
    const std::string bytes = debuggee_memory(kq_.pi.dwProcessId, address, sizeof value);
    memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
    return value;
  }
  // kq placed with the program, started to the address: true once it stopped there.
  bool start(const std::string &from, const std::vector<std::string> &files, uint32_t to) {
    char run[32];
    snprintf(run, sizeof run, "-run=0x%X", to);
    return kq_.place_program("inspector", from, files) &&
           kq_.use_plugins({"plugins\\cvread.dll"}) && kq_.start_on(kq_.program, run) &&
           kq_.wait_pauses(1, 60) && kq_.pause(1) == to;
  }

  // kq's inspector windows, and what one shows: its caption, its rows "name: value" (the
  // list box's text) and the selected row.
  std::vector<HWND> inspectors() const {
    return process_windows(kq_.pi.dwProcessId, "inspector");
  }
  static HWND list_of(HWND inspector) {
    return FindWindowExA(inspector, nullptr, "ListBox", nullptr);
  }
  static std::vector<std::string> rows(HWND inspector) {
    std::vector<std::string> out;
    const std::string text = text_of(list_of(inspector));
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
      out.push_back(text.substr(at, end - at));
    return out;
  }
  // The row whose name is name, -1 for none.
  static int row_named(HWND inspector, const std::string &name) {
    const std::vector<std::string> all = rows(inspector);
    for (size_t i = 0; i < all.size(); i++)
      if (all[i].compare(0, name.size() + 2, name + ": ") == 0) return (int)i;
    return -1;
  }
  static std::string value_of(HWND inspector, const std::string &name) {
    const int row = row_named(inspector, name);
    return row < 0 ? "(no row)" : rows(inspector)[row].substr(name.size() + 2);
  }
  static int selected(HWND inspector) {
    return (int)SendMessageA(list_of(inspector), LB_GETCURSEL, 0, 0);
  }

  // A key to the inspector as the user types it, with the inspector in front.
  // A modifier can reach kq's key state too late on a busy machine: the key then arrives
  // bare, so a modified key is pressed again (after prepare, which puts back what the bare
  // key may have moved) until its effect shows.
  template <typename Effect>
  bool key(HWND inspector, uint8_t modifiers, UINT vk, Effect effect,
           const std::function<void()> &prepare = nullptr) const {
    const KqKeyboard keys = {inspector, GetWindowThreadProcessId(inspector, nullptr),
                             kq_.pi.hProcess, [this] { EXPECT_TRUE(kq_.settle()); }};
    for (int attempt = 0; attempt < (modifiers ? 4 : 1); attempt++) {
      if (prepare) prepare();
      if (keys.press_in_front(modifiers, vk, effect)) return true;
    }
    return false;
  }
  // Selects the row named name and opens it with ENTER; true when the caption becomes path.
  bool enter(HWND inspector, const std::string &name, const std::string &path) const {
    const int row = row_named(inspector, name);
    if (row < 0) return false;
    SendMessageA(list_of(inspector), LB_SETCURSEL, (WPARAM)row, 0);
    return key(inspector, 0, VK_RETURN, [&] { return text_of(inspector) == path; });
  }

  // Double-clicks the row named name where it stands in the list.
  static bool double_click(HWND inspector, const std::string &name) {
    HWND list = list_of(inspector);
    const int row = row_named(inspector, name);
    const int top = (int)SendMessageA(list, LB_GETTOPINDEX, 0, 0);
    const int height = (int)SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
    if (row < top || height <= 0) return false;
    const LPARAM at = MAKELPARAM(20, (row - top) * height + height / 2);
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
      PostMessageA(list, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
    return true;
  }

  mutable KqDriver kq_;
};

TEST_F(InspectorInKq, WalksChangesAndCopies) {
  ASSERT_TRUE(start(std::string(KQ_CORPUS) + "/" + kFolder, kFiles, kInitAppBody)) << kq_.log();
  const uint32_t frame = context().Ebp;
  ASSERT_EQ(frame, context().Esp + 0x4C);  // below EBP: 0x40 bytes of locals, 3 registers

  // Two watches; the last one added is selected and the watch panel inspects it.
  for (const char *watch : {"nosuch", "rc"}) {
    command(ADD_WATCH);
    ASSERT_TRUE(answer_input_prompt(kq_.pi.dwProcessId, "Insert expression", watch));
  }
  command(INSPECT);
  HWND first = nullptr;
  ASSERT_TRUE(wait_for([&] { return !inspectors().empty() && (first = inspectors()[0]); }, 30));
  ASSERT_EQ("\\@WATCH\\rc\\", text_of(first));
  EXPECT_EQ(kq_.main, GetWindow(first, GW_OWNER));  // it goes when kq ends
  // Keys reach kq through its input state, shared with this thread from here on.
  ASSERT_TRUE(
      AttachThreadInput(GetCurrentThreadId(), GetWindowThreadProcessId(first, nullptr), TRUE));
  const std::vector<std::string> members = {"..", "left", "top", "right", "bottom"};
  ASSERT_EQ(members.size(), rows(first).size()) << text_of(list_of(first));
  for (size_t i = 0; i < members.size(); i++) EXPECT_EQ((int)i, row_named(first, members[i]));
  EXPECT_EQ(std::to_string(read32(frame + kRcShift + 4)), value_of(first, "top"));

  // CTRL+C on "left" asks for the value; it lands in the debuggee's memory and the row.
  ASSERT_TRUE(key(
      first, KEYMOD_CTRL, 'C',
      [&] { return process_window(kq_.pi.dwProcessId, "#32770", "Change value") != nullptr; },
      [&] { SendMessageA(list_of(first), LB_SETCURSEL, 1, 0); }));
  ASSERT_TRUE(answer_input_prompt(kq_.pi.dwProcessId, "Change value", "1200 + 34"));
  EXPECT_TRUE(wait_for([&] { return read32(frame + kRcShift) == 1234; }, 20));
  EXPECT_TRUE(wait_for([&] { return value_of(first, "left") == "1234"; }, 20))
      << text_of(list_of(first));
  EXPECT_EQ(1, selected(first));
  screenshot("inspector_rc.png");

  // Up to the watch list: rc is selected again; the failing watch shows its message and
  // does not open.
  ASSERT_TRUE(enter(first, "..", "\\@WATCH\\"));
  EXPECT_EQ(row_named(first, "rc"), selected(first));
  EXPECT_EQ(0u, value_of(first, "rc").find("{1234, ")) << value_of(first, "rc");
  EXPECT_EQ("Unknown symbol 'nosuch'", value_of(first, "nosuch"));
  EXPECT_FALSE(enter(first, "nosuch", "\\@WATCH\\nosuch\\"));
  EXPECT_EQ("\\@WATCH\\", text_of(first));

  // From the root through the call stack to InitApp's frame, the same rc there.
  ASSERT_TRUE(enter(first, "..", "\\"));
  EXPECT_EQ(row_named(first, "@WATCH"), selected(first));
  ASSERT_TRUE(enter(first, "@STACK", "\\@STACK\\"));
  char frame_name[32];
  snprintf(frame_name, sizeof frame_name, "[%X] InitApp", (unsigned)frame);
  EXPECT_EQ("...", value_of(first, frame_name)) << text_of(list_of(first));
  ASSERT_TRUE(enter(first, frame_name, std::string("\\@STACK\\") + frame_name + "\\"));
  for (const char *local : {"hi", "cmdshow", "name", "width", "height", "wc", "rc", "hdc", "win"})
    EXPECT_LE(0, row_named(first, local)) << local << "\n" << text_of(list_of(first));
  EXPECT_EQ(std::to_string(read32(frame + 12)), value_of(first, "cmdshow"));
  // A double click opens a row as ENTER does.
  ASSERT_TRUE(double_click(first, "wc"));
  ASSERT_TRUE(wait_for(
      [&] { return text_of(first) == std::string("\\@STACK\\") + frame_name + "\\wc\\"; }, 20));
  EXPECT_EQ(1, row_named(first, "style"));
  EXPECT_EQ(10, row_named(first, "lpszClassName"));
  // The stop's command stores 3 into wc.style: after the step the row reads it again.
  ASSERT_TRUE(kq_.step(STEP_OVER));
  EXPECT_EQ(3, read32(frame + kWcShift));
  EXPECT_TRUE(wait_for([&] { return value_of(first, "style") == "0x3"; }, 20))
      << text_of(list_of(first));
  screenshot("inspector_frame_member.png");
  ASSERT_TRUE(enter(first, "..", std::string("\\@STACK\\") + frame_name + "\\"));
  EXPECT_EQ(row_named(first, "wc"), selected(first));

  // The char pointer: 256 elements, the first one the byte it points at.
  const uint32_t name = (uint32_t)read32(frame + kNameShift);
  const std::string bytes = debuggee_memory(kq_.pi.dwProcessId, name, 1);
  ASSERT_EQ(1u, bytes.size());
  const char byte = bytes[0];
  ASSERT_TRUE(enter(first, "name", std::string("\\@STACK\\") + frame_name + "\\name\\"));
  EXPECT_EQ(257, (int)SendMessageA(list_of(first), LB_GETCOUNT, 0, 0));
  EXPECT_EQ(std::string("'") + byte + "'", value_of(first, "[0]"));
  screenshot("inspector_pointer.png");

  // CTRL+N: a copy on the same path, 60 pixels right and 10 down; ESC closes it.
  ASSERT_TRUE(key(first, KEYMOD_CTRL, 'N', [&] { return inspectors().size() == 2; }));
  HWND copy = inspectors()[0] == first ? inspectors()[1] : inspectors()[0];
  RECT a, b;
  GetWindowRect(first, &a);
  GetWindowRect(copy, &b);
  EXPECT_EQ(a.left + 60, b.left);
  EXPECT_EQ(a.top + 10, b.top);
  EXPECT_EQ(a.right - a.left, b.right - b.left);
  EXPECT_EQ(text_of(first), text_of(copy));
  EXPECT_EQ(kq_.main, GetWindow(copy, GW_OWNER));  // not the first one's
  EXPECT_EQ(rows(first), rows(copy));
  // A right click in the list shows the inspector's keys as a menu.
  PostMessageA(list_of(copy), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 5));
  HWND menu = nullptr;
  EXPECT_TRUE(wait_for([&] { return (menu = process_window(kq_.pi.dwProcessId, "#32768")); }, 20));
  screenshot("inspector_copy.png");
  if (menu) PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(wait_for([&] { return !process_window(kq_.pi.dwProcessId, "#32768"); }, 20));
  EXPECT_TRUE(key(copy, 0, VK_ESCAPE, [&] { return !IsWindow(copy); }));
  EXPECT_TRUE(IsWindow(first));

  // kq ends with the first one open: its blocks go with it.
  EXPECT_EQ(0, kq_.finish());
  const std::string log = kq_.log();
  EXPECT_NE(std::string::npos, log.find("\tblocks: 0\n")) << log.substr(std::min(log.size(), log.rfind("Freeing")));
}

// The C program the build makes with clang (PDB 7): stopped in main after it has filled
// its structure local, the watch panel inspects it; the members are the PDB's, their values
// the debuggee's, and the nested structure opens to its own members.
TEST_F(InspectorInKq, ShowsAStructureLocalOfAPdb7Program) {
  const unsigned after_fill = 0x401518;  // main's line 22, after local.to.x += 2
  ASSERT_TRUE(start(PDB7_PROGRAMS, {"points.exe", "points.pdb"}, after_fill)) << kq_.log();
  command(ADD_WATCH);
  ASSERT_TRUE(answer_input_prompt(kq_.pi.dwProcessId, "Insert expression", "local"));
  command(INSPECT);
  HWND inspector = nullptr;
  ASSERT_TRUE(
      wait_for([&] { return !inspectors().empty() && (inspector = inspectors()[0]); }, 30));
  ASSERT_EQ("\\@WATCH\\local\\", text_of(inspector));
  ASSERT_TRUE(AttachThreadInput(GetCurrentThreadId(),
                                GetWindowThreadProcessId(inspector, nullptr), TRUE));
  const std::vector<std::string> members = {"..", "from", "to", "closed"};
  ASSERT_EQ(members.size(), rows(inspector).size()) << text_of(list_of(inspector));
  for (size_t i = 0; i < members.size(); i++)
    EXPECT_EQ((int)i, row_named(inspector, members[i]));
  EXPECT_EQ("0x1", value_of(inspector, "closed")) << text_of(list_of(inspector));
  ASSERT_TRUE(enter(inspector, "to", "\\@WATCH\\local\\to\\")) << text_of(inspector);
  EXPECT_EQ("5", value_of(inspector, "x")) << text_of(list_of(inspector));
  EXPECT_EQ("4", value_of(inspector, "y"));
  screenshot("inspector_pdb7_local.png");
}

}  // namespace
