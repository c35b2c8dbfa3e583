// The map panel of kq.exe under Wine, driven with the mouse from outside on the test
// debuggee stopped at main: dragging the code marker to the middle of the debuggee's code
// section moves the code panel there (the section read from the image file, the module's
// place from a tool-help snapshot); the up-down control steps the code position's history
// back and forward; a breakpoint and a comment show as red and green lines on the screen,
// and the hint names the section under the mouse.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "tests/support/kq_driver.h"
#include "ui/dialogs/input_prompt_ids.h"

namespace {

// Commands posted to kq's main window; those it does not take go on to the code panel.
enum {
  CODE_BREAKPOINT = 10007, CODE_COMMENT = 10008, CODE_GO_TO = 10012, DATA_GO_TO = 10046,
  FOCUS_CODE = 10063, FOCUS_DATA = 10064
};
// The map's geometry: the control on top, the bar below it inside a sunken edge.
enum { MAP_TOP = 82, MAP_INSET = 2, CONTROL_HEIGHT = 70, MARKER_WIDTH = 19 };
const COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 0x9B, 0), kYellow = RGB(255, 255, 0);
// The markers' colours in picture 350.
const COLORREF kCodeMarker = RGB(0x20, 0x40, 0xA0), kDataMarker = RGB(0x20, 0x80, 0x40);

// The debuggee's image as the file says: where its code section and entry point lie.
struct Image {
  uint32_t text_rva = 0, text_size = 0, entry_rva = 0;
  std::string text_flags;
};

bool read_image(const std::string &path, Image *image) {
  const std::string file = read_file(path);
  if (file.size() < 0x40) return false;
  const uint32_t pe = *(const uint32_t *)(file.data() + 0x3C);
  if (pe + 24 > file.size()) return false;
  const uint16_t sections = *(const uint16_t *)(file.data() + pe + 6);
  const uint16_t optional = *(const uint16_t *)(file.data() + pe + 20);
  image->entry_rva = *(const uint32_t *)(file.data() + pe + 24 + 16);
  for (uint32_t i = 0, at = pe + 24 + optional; i < sections && at + 40 <= file.size();
       i++, at += 40)
    if (!strncmp(file.data() + at, ".text", 8)) {
      image->text_rva = *(const uint32_t *)(file.data() + at + 12);
      image->text_size = *(const uint32_t *)(file.data() + at + 16);  // SizeOfRawData
      return true;
    }
  return false;
}

class MapPanelRun : public ::testing::Test {
 protected:
  std::string log() const { return kq_.log(); }
  // The debuggee's image in its memory, from a snapshot of its modules.
  bool debuggee_module(uint32_t *base, uint32_t *size) const {
    HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 p = {};
    p.dwSize = sizeof p;
    DWORD pid = 0;
    for (BOOL more = Process32First(processes, &p); more; more = Process32Next(processes, &p))
      if (p.th32ParentProcessID == kq_.pi.dwProcessId) pid = p.th32ProcessID;
    CloseHandle(processes);
    HANDLE modules = pid ? CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid) : INVALID_HANDLE_VALUE;
    if (modules == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32 m = {};
    m.dwSize = sizeof m;
    bool found = false;
    for (BOOL more = Module32First(modules, &m); more && !found; more = Module32Next(modules, &m))
      if (!_stricmp(m.szModule, "kq_debuggee.exe")) {
        *base = (uint32_t)(uintptr_t)m.modBaseAddr;
        *size = m.modBaseSize;
        found = true;
      }
    CloseHandle(modules);
    return found;
  }

  HWND code() const { return process_child(kq_.pi.dwProcessId, "code"); }
  HWND data() const { return process_child(kq_.pi.dwProcessId, "data"); }
  HWND map() const { return process_child(kq_.pi.dwProcessId, "map"); }
  // The code panel's window text is its cursor line, which begins with the address.
  uint32_t cursor() const { return (uint32_t)strtoul(text_of(code()).c_str(), nullptr, 16); }
  bool cursor_near(uint32_t address) const {
    return wait_for([&] { return cursor() <= address && address - cursor() < 16; }, 20);
  }

  // The bar's span in the map's client area, and the y of an address on it.
  int map_bottom() const {
    RECT r;
    GetClientRect(map(), &r);
    return r.bottom - MAP_INSET;
  }
  int y_of(uint32_t address) const {
    return MAP_TOP + MulDiv((int)(address - base_), map_bottom() - MAP_TOP, (int)size_);
  }
  uint32_t address_at(int y) const {
    const uint64_t down = (uint64_t)(y - MAP_TOP), height = (uint64_t)(map_bottom() - MAP_TOP);
    return base_ + (uint32_t)(size_ * down / height);
  }
  // Whether the colour shows on the screen in the map's rows y - 1 to y + 1 (any row when
  // y is -1), across the bar. kq is brought to the front first, as a user looking at it
  // would: other programs on the display may cover it.
  bool map_shows(COLORREF colour, int y) const {
    SetForegroundWindow(kq_.main);
    RECT r;
    GetClientRect(map(), &r);
    POINT origin = {0, 0};
    ClientToScreen(map(), &origin);
    HDC screen = GetDC(nullptr);
    bool found = false;
    const int first = y < 0 ? MAP_TOP : y - 1, last = y < 0 ? r.bottom - MAP_INSET - 1 : y + 1;
    for (int row = first; row <= last && !found; row++)
      for (int x = MAP_INSET; x < r.right - MAP_INSET && !found; x++)
        found = GetPixel(screen, origin.x + x, origin.y + row) == colour;
    ReleaseDC(nullptr, screen);
    return found;
  }
  // The mouse as posted to the map: down, moved and up, in its client coordinates.
  void drag(int x, int from, int to) const {
    PostMessageA(map(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, from));
    PostMessageA(map(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, (from + to) / 2));
    PostMessageA(map(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, to));
    PostMessageA(map(), WM_LBUTTONUP, 0, MAKELPARAM(x, to));
  }
  // A click on the up (back) or down (forward) arrow of the map's up-down control.
  void step(bool back) const {
    HWND updown = FindWindowExA(map(), nullptr, "msctls_updown32", nullptr);
    RECT r;
    GetClientRect(updown, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, back ? r.bottom / 4 : r.bottom * 3 / 4);
    PostMessageA(updown, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(updown, WM_LBUTTONUP, 0, at);
  }
  // Posts a command that moves the focus and waits for the panel to have it.
  bool focus(int command, HWND panel) const {
    SetForegroundWindow(kq_.main);  // the focus goes to a window of the active program
    kq_.command(command);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return wait_for([&] {
      return GetGUIThreadInfo(GetWindowThreadProcessId(kq_.main, nullptr), &info) &&
             info.hwndFocus == panel;
    }, 20);
  }
  // Posts a panel command that asks for a line, and answers its prompt with text.
  bool prompt(int command, const char *caption, const char *text) const {
    kq_.command(command);
    HWND dialog = nullptr;
    if (!wait_for([&] {
          return (dialog = process_window(kq_.pi.dwProcessId, "#32770", caption)) != nullptr;
        }, 20))
      return false;
    HWND combo = GetDlgItem(dialog, IDC_PROMPT_TEXT);
    SendMessageA(combo, WM_SETTEXT, 0, (LPARAM)text);
    PostMessageA(FindWindowExA(combo, nullptr, "Edit", nullptr), WM_KEYDOWN, VK_RETURN, 0);
    return wait_for([&] { return !IsWindow(dialog); }, 20);
  }

  KqDriver kq_;
  uint32_t base_ = 0, size_ = 0;
};

}  // namespace

TEST_F(MapPanelRun, DragsHistoryAndMarks) {
  Image image;
  ASSERT_TRUE(read_image(build_file(kDebuggee), &image));
  ASSERT_TRUE(kq_.place("map") && kq_.set("Arguments", "loop") && kq_.start_on(kDebuggee))
      << log();
  ASSERT_TRUE(wait_for([&] { return kq_.pause(1) != 0; }, 120)) << log();
  ASSERT_TRUE(debuggee_module(&base_, &size_));
  ASSERT_TRUE(map() && code());
  const uint32_t start = kq_.pause(1);
  ASSERT_TRUE(cursor_near(start)) << text_of(code());
  // The code marker stands where the code panel is, and no breakpoint line is drawn yet.
  EXPECT_TRUE(wait_for([&] { return map_shows(kCodeMarker, y_of(start)); }, 20));
  EXPECT_FALSE(map_shows(kRed, -1));

  // Go to the entry point (a history entry), then drag the marker from there to the middle
  // of the code section, straight down the map's left edge.
  const uint32_t entry = base_ + image.entry_rva;
  char text[32];
  snprintf(text, sizeof text, "0x%X", entry);
  ASSERT_TRUE(prompt(CODE_GO_TO, "Go to the address", text));
  ASSERT_TRUE(cursor_near(entry)) << text_of(code());
  const int middle = y_of(base_ + image.text_rva + image.text_size / 2);
  const uint32_t dragged = address_at(middle);
  drag(MAP_INSET, y_of(entry), middle);
  EXPECT_TRUE(cursor_near(dragged)) << std::hex << dragged << ": " << text_of(code());
  const uint32_t there = cursor();
  screenshot("map_panel_dragged.png");

  // The hint names the band under the mouse; the bands light up while it is there.
  RECT on_screen;
  GetWindowRect(map(), &on_screen);
  SetCursorPos(on_screen.right - MAP_INSET - 3, on_screen.top + middle);
  EXPECT_TRUE(wait_for([&] {
    return text_of(process_child(kq_.pi.dwProcessId, "status")).find("SECTION '.text' = ") !=
           std::string::npos;
  }, 20)) << text_of(process_child(kq_.pi.dwProcessId, "status"));
  EXPECT_TRUE(wait_for([&] { return map_shows(kYellow, middle); }, 20));
  screenshot("map_panel_hover.png");
  SetCursorPos(0, 0);
  EXPECT_TRUE(wait_for([&] { return !map_shows(kYellow, middle); }, 20));

  // Back through the history to where the run stopped, and forward to the dragged place
  // (a drag moves the position without an entry of its own).
  step(true);
  EXPECT_TRUE(cursor_near(start)) << text_of(code());
  step(true);  // the oldest entry stays
  step(false);
  EXPECT_TRUE(cursor_near(there)) << text_of(code());
  EXPECT_EQ(there, cursor());

  // A breakpoint at the cursor line is a red line across the map; a comment a green one.
  kq_.command(CODE_BREAKPOINT);
  EXPECT_TRUE(wait_for([&] { return map_shows(kRed, y_of(there)); }, 20));
  step(true);
  ASSERT_TRUE(cursor_near(start)) << text_of(code());
  ASSERT_TRUE(prompt(CODE_COMMENT, "Insert comments", "seen on the map"));
  EXPECT_TRUE(wait_for([&] { return map_shows(kGreen, y_of(start)); }, 20));
  screenshot("map_panel_marks.png");

  // With the data panel focused the map drags the data position: its marker at the map's
  // right edge, the data panel's window text beginning with the position.
  const uint32_t code_line = cursor();
  ASSERT_TRUE(focus(FOCUS_DATA, data()));
  const uint32_t data_start = (uint32_t)strtoul(text_of(data()).c_str(), nullptr, 16);
  RECT client;
  GetClientRect(map(), &client);
  const int lower = (MAP_TOP + map_bottom()) / 2;
  drag(client.right - MAP_INSET, y_of(data_start), lower);
  EXPECT_TRUE(wait_for([&] {
    return strtoul(text_of(data()).c_str(), nullptr, 16) == address_at(lower);
  }, 20)) << std::hex << address_at(lower) << ": " << text_of(data());
  EXPECT_TRUE(wait_for([&] { return map_shows(kDataMarker, lower); }, 20));
  EXPECT_EQ(code_line, cursor());  // the code panel stays
  screenshot("map_panel_data.png");

  // On the stack, outside every module, the map is empty: no bands, lines or markers. The
  // code panel taking the focus back brings its module again.
  ASSERT_TRUE(prompt(DATA_GO_TO, "Go to the address", "esp"));
  EXPECT_TRUE(wait_for([&] {
    return !map_shows(kDataMarker, -1) && !map_shows(kCodeMarker, -1) && !map_shows(kRed, -1);
  }, 20));
  screenshot("map_panel_empty.png");
  ASSERT_TRUE(focus(FOCUS_CODE, code()));
  EXPECT_TRUE(wait_for([&] { return map_shows(kCodeMarker, y_of(code_line)); }, 20));
  EXPECT_TRUE(map_shows(kRed, y_of(there)));
  EXPECT_EQ(0, kq_.close()) << log();
}
