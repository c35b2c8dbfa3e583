// The animation panel of kq.exe under Wine, on a program whose call stack grows and
// shrinks (tests/debuggees/recursion.c). The test freezes the debuggee's thread at chosen
// depths, walks its stack by the frame pointers itself and names each frame by the
// program's export table; while the thread stands still kq keeps sampling it, and the
// panel's set (its window text) must then hold every function of that stack and every
// caller>callee pair. Held at a shallow depth long enough, the deeper functions fade out
// of the set. A click gives the panel the focus and the wheel moves its column. A paused
// debuggee is not sampled though the panel keeps ticking; unloading empties the set.
// Screenshots lie beside the test.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/kq_driver.h"

namespace {

enum {
  CMD_ANIMATION = 10062, CMD_PAUSE_RESUME = 10077, CMD_TRACE_FOCUS = 10089, CMD_UNLOAD = 10090,
  MAX_FRAMES = 100, WHEEL_NOTCH = 120
};
const char kProgram[] = "kq_recursion.exe";

// The panel's window text: the counters, the functions and the caller>callee links.
struct PanelSet {
  int samples = -1, ticks = -1, top = 0;
  std::set<std::string> functions, links;
};

PanelSet parse_set(const std::string &text) {
  PanelSet set;
  if (sscanf(text.c_str(), "samples %d ticks %d top %d", &set.samples, &set.ticks, &set.top) != 3)
    return set;
  size_t at = text.find('\n');
  while (at != std::string::npos && at + 1 < text.size()) {
    const size_t end = text.find('\n', at + 1);
    const std::string line = text.substr(at + 1, end == std::string::npos ? end : end - at - 1);
    (line.find('>') == std::string::npos ? set.functions : set.links).insert(line);
    at = end;
  }
  return set;
}

// The exports of a PE file by their relative addresses.
std::map<uint32_t, std::string> exports_of(const std::string &image) {
  std::map<uint32_t, std::string> found;
  if (image.size() < sizeof(IMAGE_DOS_HEADER)) return found;
  const char *base = image.data();
  const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)base;
  if ((size_t)dos->e_lfanew + sizeof(IMAGE_NT_HEADERS32) > image.size()) return found;
  const IMAGE_NT_HEADERS32 *nt = (const IMAGE_NT_HEADERS32 *)(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER *sections = IMAGE_FIRST_SECTION(nt);
  auto at = [&](uint32_t rva) -> const char * {
    for (int i = 0; i < nt->FileHeader.NumberOfSections; i++) {
      const IMAGE_SECTION_HEADER &s = sections[i];
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData &&
          s.PointerToRawData + (rva - s.VirtualAddress) < image.size())
        return base + s.PointerToRawData + (rva - s.VirtualAddress);
    }
    return nullptr;
  };
  const IMAGE_EXPORT_DIRECTORY *dir = (const IMAGE_EXPORT_DIRECTORY *)at(
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
  if (!dir) return found;
  const uint32_t *names = (const uint32_t *)at(dir->AddressOfNames);
  const uint16_t *ordinals = (const uint16_t *)at(dir->AddressOfNameOrdinals);
  const uint32_t *functions = (const uint32_t *)at(dir->AddressOfFunctions);
  for (DWORD i = 0; names && ordinals && functions && i < dir->NumberOfNames; i++)
    if (const char *name = at(names[i])) found[functions[ordinals[i]]] = name;
  return found;
}

class AnimationRun : public ::testing::Test {
 protected:
  void TearDown() override {
    if (thread_) {
      while (frozen_ > 0) thaw();
      CloseHandle(thread_);
    }
    if (process_) CloseHandle(process_);
    kq_.close();
  }

  // kq and the program copied into a folder of the test, kq started on the program.
  bool start() {
    if (!kq_.place("animation") ||
        !kq_.start_on(std::string("tests\\debuggees\\") + kProgram))
      return false;
    exports_ = exports_of(read_file(kq_.folder + kProgram));
    return true;
  }
  std::string log() const { return kq_.log(); }
  HWND panel(const char *cls) const { return process_child(kq_.pi.dwProcessId, cls); }
  int pauses() const { return kq_.pauses(); }

  // The program kq debugs (kq may have started a command interpreter too): its process and
  // where its image lies.
  bool find_program() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 p = {};
    p.dwSize = sizeof p;
    for (BOOL more = Process32First(snapshot, &p); more && !pid_;
         more = Process32Next(snapshot, &p))
      if (p.th32ParentProcessID == kq_.pi.dwProcessId && !_stricmp(p.szExeFile, kProgram))
        pid_ = p.th32ProcessID;
    CloseHandle(snapshot);
    snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid_);
    MODULEENTRY32 m = {};
    m.dwSize = sizeof m;
    if (Module32First(snapshot, &m)) {
      image_ = (uint32_t)(uintptr_t)m.modBaseAddr;
      image_end_ = image_ + m.modBaseSize;
    }
    CloseHandle(snapshot);
    process_ = OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, pid_);
    return process_ && image_;
  }
  // The thread that runs the program's descent (Wine may have started others in the
  // process); kq follows it, the first one.
  bool find_descending_thread() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 t = {};
    t.dwSize = sizeof t;
    for (BOOL more = Thread32First(snapshot, &t); more && !thread_;
         more = Thread32Next(snapshot, &t)) {
      if (t.th32OwnerProcessID != pid_) continue;
      thread_ = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, t.th32ThreadID);
      if (names_of(stack()).find("kq_descend@") != std::string::npos) break;
      CloseHandle(thread_);
      thread_ = nullptr;
    }
    CloseHandle(snapshot);
    return thread_ != nullptr;
  }
  void freeze() {
    SuspendThread(thread_);
    frozen_++;
  }
  void thaw() {
    ResumeThread(thread_);
    frozen_--;
  }
  // The code addresses of the thread's stack, innermost first, walked from EBP as the
  // frame pointers chain them.
  std::vector<uint32_t> stack() const {
    CONTEXT c = {};
    c.ContextFlags = CONTEXT_CONTROL;
    std::vector<uint32_t> code;
    if (!GetThreadContext(thread_, &c)) return code;
    uint32_t frame = c.Ebp;
    code.push_back(c.Eip);
    while (frame && code.size() < MAX_FRAMES) {
      uint32_t pair[2] = {};
      SIZE_T got = 0;
      if (!ReadProcessMemory(process_, (void *)(uintptr_t)frame, pair, sizeof pair, &got) ||
          !pair[1])
        break;
      code.push_back(pair[1]);
      frame = pair[0];
    }
    return code;
  }
  // The program's function that holds a code address: the nearest export below it in its
  // image; empty for code elsewhere.
  std::string function_at(uint32_t code) const {
    if (code < image_ || code >= image_end_) return "";
    auto after = exports_.upper_bound(code - image_);
    return after == exports_.begin() ? "" : (--after)->second;
  }
  std::string names_of(const std::vector<uint32_t> &code) const {
    std::string names;
    for (uint32_t c : code) names += function_at(c) + "@" + std::to_string(c) + " ";
    return names;
  }
  int depth_of(const std::vector<uint32_t> &code) const {
    int levels = 0;
    for (uint32_t c : code) levels += function_at(c).rfind("kq_level_", 0) == 0;
    return levels;
  }
  PanelSet panel_set() const { return parse_set(text_of(animator_)); }
  // Freezes the thread where its stack holds the depth.
  bool freeze_at(int depth, std::vector<uint32_t> *code) {
    return wait_for([&] {
      freeze();
      *code = stack();
      if (depth_of(*code) == depth) return true;
      thaw();
      return false;
    });
  }
  // Waits until kq has sampled the frozen stack a few times.
  PanelSet sampled_again() const {
    const int before = panel_set().samples;
    PanelSet now;
    wait_for([&] { return (now = panel_set()).samples >= before + 3; });
    return now;
  }
  // What the panel must hold for a stack: its functions of the program and the links
  // between neighbouring frames that are both the program's.
  void expect_holds(const PanelSet &set, const std::vector<uint32_t> &code) const {
    for (size_t i = 0; i < code.size(); i++) {
      const std::string callee = function_at(code[i]);
      if (callee.empty()) continue;
      EXPECT_TRUE(set.functions.count(callee)) << callee << " at depth " << depth_of(code);
      const std::string caller = i + 1 < code.size() ? function_at(code[i + 1]) : "";
      EXPECT_TRUE(caller.empty() || set.links.count(caller + ">" + callee))
          << caller << ">" << callee << " at depth " << depth_of(code);
    }
  }
  std::set<std::string> program_functions(const std::set<std::string> &names) const {
    std::set<std::string> ours;
    for (const auto &e : exports_)
      if (names.count(e.second)) ours.insert(e.second);
    return ours;
  }
  std::set<std::string> program_functions(const std::vector<uint32_t> &code) const {
    std::set<std::string> names;
    for (uint32_t c : code) names.insert(function_at(c));
    names.erase("");
    return names;
  }

  KqDriver kq_;
  std::map<uint32_t, std::string> exports_;
  HWND animator_ = nullptr;
  DWORD pid_ = 0;
  HANDLE process_ = nullptr, thread_ = nullptr;
  uint32_t image_ = 0, image_end_ = 0;
  int frozen_ = 0;
};

}  // namespace

TEST_F(AnimationRun, FollowsTheCallStackOfTheRunningProgram) {
  ASSERT_TRUE(start()) << log();
  ASSERT_GE(exports_.size(), 10u);
  ASSERT_TRUE(wait_for([&] { return pauses() == 1; }, 120)) << log();
  ASSERT_TRUE(find_program());

  // Paused at main: the holder comes up and ticks, but nothing is sampled.
  kq_.command(CMD_ANIMATION);
  animator_ = panel("animator");
  ASSERT_TRUE(animator_);
  ASSERT_TRUE(wait_for([&] { return IsWindowVisible(animator_) != FALSE; }, 20));
  EXPECT_TRUE(wait_for([&] { return !IsWindowVisible(panel("code")); }, 20));
  ASSERT_TRUE(wait_for([&] { return panel_set().ticks > 10; }, 20)) << text_of(animator_);
  EXPECT_EQ(panel_set().samples, 0);
  EXPECT_TRUE(panel_set().functions.empty());

  kq_.command(CMD_PAUSE_RESUME);
  ASSERT_TRUE(wait_for([&] { return panel_set().samples > 10; }, 20)) << text_of(animator_);
  ASSERT_TRUE(wait_for([&] { return find_descending_thread(); }, 20));

  // A click gives the panel the focus; each wheel notch moves the column by its delta.
  PostMessageA(animator_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  PostMessageA(animator_, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  kq_.command(CMD_TRACE_FOCUS);
  char focus[32];
  snprintf(focus, sizeof focus, "Focus=%X\n", (unsigned)(uintptr_t)animator_);
  EXPECT_TRUE(wait_for([&] { return log().find(focus) != std::string::npos; }, 20)) << focus;
  const struct {
    int delta, top;
  } wheel[] = {{-WHEEL_NOTCH, WHEEL_NOTCH},
               {-WHEEL_NOTCH, 2 * WHEEL_NOTCH},
               {WHEEL_NOTCH, WHEEL_NOTCH}};
  for (const auto &w : wheel) {
    PostMessageA(animator_, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)w.delta),
                 MAKELPARAM(20, 20));
    EXPECT_TRUE(wait_for([&] { return panel_set().top == w.top; }, 20)) << text_of(animator_);
  }

  // The stack frozen at several depths, up and down: kq's set holds it.
  const int depths[] = {3, 7, 5, 2, 6};
  std::set<int> seen;
  for (int depth : depths) {
    std::vector<uint32_t> code;
    ASSERT_TRUE(freeze_at(depth, &code)) << depth << ": " << names_of(code) << log();
    const PanelSet set = sampled_again();
    expect_holds(set, code);
    if (depth == 7 || depth == 2)
      screenshot(("kq-animation-depth-" + std::to_string(depth) + ".png").c_str());
    thaw();
    seen.insert(depth_of(code));
  }
  EXPECT_EQ(seen.size(), 5u);

  // Held at depth 1, the deeper levels fade out of the set and the held ones stay.
  std::vector<uint32_t> held;
  ASSERT_TRUE(freeze_at(1, &held));
  const std::set<std::string> wanted = program_functions(held);
  EXPECT_TRUE(program_functions(panel_set().functions).count("kq_level_5"));
  EXPECT_TRUE(wait_for([&] { return program_functions(panel_set().functions) == wanted; }, 90))
      << text_of(animator_);
  expect_holds(panel_set(), held);
  screenshot("kq-animation-faded.png");
  thaw();

  // Paused: the panel ticks on, the set stands still.
  kq_.command(CMD_PAUSE_RESUME);
  ASSERT_TRUE(wait_for([&] { return pauses() == 2; }, 20)) << log();
  const PanelSet paused = panel_set();
  ASSERT_TRUE(wait_for([&] { return panel_set().ticks > paused.ticks + 20; }, 20));
  const PanelSet later = panel_set();
  EXPECT_EQ(later.samples, paused.samples);
  EXPECT_EQ(later.functions, paused.functions);
  EXPECT_EQ(later.links, paused.links);
  screenshot("kq-animation-paused.png");

  // The command switches back to the debugging holder; unloading empties the graph.
  kq_.command(CMD_ANIMATION);
  EXPECT_TRUE(wait_for([&] { return !IsWindowVisible(animator_); }, 20));
  EXPECT_TRUE(wait_for([&] { return IsWindowVisible(panel("code")) != FALSE; }, 20));
  kq_.command(CMD_UNLOAD);
  ASSERT_TRUE(wait_for([&] { return log().find("EVN_Unload") != std::string::npos; })) << log();
  EXPECT_TRUE(wait_for([&] {
    const PanelSet set = panel_set();
    return set.samples > 0 && set.functions.empty() && set.links.empty();
  }, 20)) << text_of(animator_);
  EXPECT_EQ(log().find("Error: "), std::string::npos) << log();
}
