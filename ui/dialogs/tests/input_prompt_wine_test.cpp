// The input prompt as the user meets it: the dialog found from a timer inside its own
// modal loop, read through its controls, answered with Enter or Escape.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>

#include <string>
#include <vector>

#include "ui/dialogs/input_prompt_ids.h"
#include "ui/dialogs/input_prompt_win32.h"
#include "util/log.h"
#include "util/tests/test_support.h"

// What the dialog showed, and how the script answered it.
struct Seen {
  std::string caption, line, text;
  std::vector<std::string> list;
  DWORD selection_start = 0, selection_end = 0;
  COLORREF corner = 0;
  int font_height = 0;
  RECT below = {}, below_expected = {};  // the picture below the line, and 257 x 8 dialog units
};
struct Script {
  const char *type;  // the text typed before answering
  bool accept;
  Seen seen;
  bool done;
};
static Script *g_script;

static BOOL CALLBACK find_dialog(HWND hwnd, LPARAM found) {
  char cls[32];
  GetClassNameA(hwnd, cls, sizeof cls);
  if (strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd)) *(HWND *)found = hwnd;
  return TRUE;
}

static std::string text_of(HWND hwnd) {
  char text[512] = {0};
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

static void CALLBACK answer(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), find_dialog, (LPARAM)&dialog);
  if (!dialog || g_script->done) return;
  g_script->done = true;
  KillTimer(nullptr, timer);
  UpdateWindow(dialog);
  Seen &s = g_script->seen;
  HWND combo = GetDlgItem(dialog, IDC_PROMPT_TEXT);
  s.caption = text_of(dialog);
  s.line = text_of(GetDlgItem(dialog, IDC_PROMPT_LINE));
  s.text = text_of(combo);
  int count = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; i++) {
    char entry[512] = {0};
    SendMessageA(combo, CB_GETLBTEXT, i, (LPARAM)entry);
    s.list.push_back(entry);
  }
  SendMessageA(combo, CB_GETEDITSEL, (WPARAM)&s.selection_start, (LPARAM)&s.selection_end);
  GetClientRect(GetDlgItem(dialog, IDC_PROMPT_PICTURE_BELOW), &s.below);
  s.below_expected = {0, 0, 257, 8};
  MapDialogRect(dialog, &s.below_expected);
  RECT client;
  GetClientRect(dialog, &client);
  HDC dc = GetDC(dialog);
  s.corner = GetPixel(dc, client.right - 2, client.bottom - 2);
  ReleaseDC(dialog, dc);
  TEXTMETRICA metrics = {};
  HDC combo_dc = GetDC(combo);
  HGDIOBJ old = SelectObject(combo_dc, (HGDIOBJ)SendMessageA(combo, WM_GETFONT, 0, 0));
  GetTextMetricsA(combo_dc, &metrics);
  SelectObject(combo_dc, old);
  ReleaseDC(combo, combo_dc);
  s.font_height = metrics.tmHeight;
  if (g_script->type) SetWindowTextA(combo, g_script->type);
  // Enter and Escape as the keyboard gives them to the dialog.
  PostMessageA(dialog, WM_COMMAND, g_script->accept ? IDOK : IDCANCEL, 0);
}

static int ask(Script *script, const char *message, char *text, char *history,
               const char *argument = "") {
  g_script = script;
  SetTimer(nullptr, 0, 50, answer);
  return input_prompt(message, text, history, argument);
}

class InputPrompt : public ::testing::Test {
 protected:
  void SetUp() override { log_open_file(temp_log_path("input_prompt").c_str(), "prompt"); }
  void TearDown() override { log_close(); }
};

TEST_F(InputPrompt, ShowsAndUpdatesTheCallersBuffers) {
  struct {
    const char *message;  // null: string 1480
    const char *argument, *text, *history, *type;
    bool accept;
    const char *caption, *line, *shown;
    std::vector<std::string> list;
    bool selected;
    int result;
    const char *text_after, *history_after;
  } cases[] = {
      {nullptr, "", "a", "x\ny", "c", true, "Insert expression",
       "Enter a new expression to watch", "a", {"x", "y"}, true, 1, "c", "y\nx\nc"},
      // Formatted with the argument; no line feed: the whole text is the caption.
      {"Go to %s", "main", "", "", "eax", true, "Go to main", "", "", {}, true, 1, "eax",
       "eax"},
      // A leading line feed shows the text unselected; Escape leaves both buffers.
      {"Go\nto", "", "\n0x401000", "h\n\ni\n", "ignored", false, "Go", "to", "0x401000",
       {"h", "", "i"}, false, 0, "0x401000", "h\n\ni\n"},
      // The accepted text is not repeated, the empty answer ends the history.
      {"Q\nP", "", "x", "x\ny", "", true, "Q", "P", "x", {"x", "y"}, true, 1, "", "y\nx\n"},
  };
  for (auto &c : cases) {
    char text[PROMPT_TEXT], history[PROMPT_TEXT];
    strcpy(text, c.text);
    strcpy(history, c.history);
    Script script = {c.type, c.accept, {}, false};
    const char *message =
        c.message ? c.message : MAKEINTRESOURCEA(IDS_PROMPT_INSERT_EXPRESSION);
    EXPECT_EQ(ask(&script, message, text, history, c.argument), c.result) << c.caption;
    ASSERT_TRUE(script.done) << c.caption;
    const Seen &s = script.seen;
    EXPECT_EQ(s.caption, c.caption);
    EXPECT_EQ(s.line, c.line) << c.caption;
    EXPECT_EQ(s.text, c.shown) << c.caption;
    EXPECT_EQ(s.list, c.list) << c.caption;
    if (c.selected) {
      EXPECT_EQ(s.selection_start, 0u) << c.caption;
      EXPECT_EQ(s.selection_end, strlen(c.shown)) << c.caption;
    } else {
      EXPECT_EQ(s.selection_start, s.selection_end) << c.caption;
    }
    EXPECT_EQ(s.corner, (COLORREF)0x1B7EEE) << c.caption;  // the orange background
    TEXTMETRICA fixed = {};
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, GetStockObject(SYSTEM_FIXED_FONT));
    GetTextMetricsA(screen, &fixed);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(s.font_height, fixed.tmHeight) << c.caption;
    EXPECT_STREQ(text, c.text_after) << c.caption;
    EXPECT_STREQ(history, c.history_after) << c.caption;
  }
}

// Two questions of one kind: the second offers the first answer, and the select flag is
// back on after a prompt that had it off.
TEST_F(InputPrompt, KeepsHistoryAcrossQuestions) {
  char text[PROMPT_TEXT] = "\nfirst", history[PROMPT_TEXT] = "";
  Script one = {"alpha", true, {}, false};
  EXPECT_EQ(ask(&one, "One\nfirst question", text, history), 1);
  EXPECT_EQ(one.seen.selection_start, one.seen.selection_end);
  Script two = {"beta", true, {}, false};
  EXPECT_EQ(ask(&two, "Two\nsecond question", text, history), 1);
  EXPECT_EQ(two.seen.text, "alpha");
  EXPECT_EQ(two.seen.list, std::vector<std::string>{"alpha"});
  EXPECT_EQ(two.seen.selection_start, 0u);
  EXPECT_EQ(two.seen.selection_end, 5u);
  EXPECT_STREQ(text, "beta");
  EXPECT_STREQ(history, "alpha\nbeta");
  Script three = {"alpha", true, {}, false};
  EXPECT_EQ(ask(&three, "Three", text, history), 1);
  EXPECT_EQ(three.seen.list, (std::vector<std::string>{"alpha", "beta"}));
  EXPECT_STREQ(history, "beta\nalpha");
  // The picture below the prompt line has its size in dialog units made pixels.
  EXPECT_EQ(three.seen.below.right, three.seen.below_expected.right);
  EXPECT_EQ(three.seen.below.bottom, three.seen.below_expected.bottom);
  EXPECT_GT(three.seen.below.right, 257);
}
