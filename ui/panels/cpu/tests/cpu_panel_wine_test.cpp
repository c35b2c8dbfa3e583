// The CPU panel on a real debuggee under Wine: the values it shows are the thread's
// registers as the engine reads them, a value typed into its prompt reaches the thread,
// and after a step exactly the registers that changed are drawn in the highlight colour.
#include <stdio.h>

#include <vector>

#include "bridge/tests/live_evaluator.h"
#include "engine/debuggee.h"
#include "engine/execution.h"
#include "symbols/eval/expression.h"
#include "ui/dialogs/input_prompt_ids.h"
#include "ui/global_resources_win32.h"
#include "ui/panels/code/code_position.h"
#include "ui/panels/cpu/cpu_panel_win32.h"
#include "ui/panels/panel_windows.h"
#include "ui/panels/status_bar/status_bar_win32.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/tests/canvas_win32.h"
#include "ui/window_class_win32.h"
#include "util/tests/thread_dialog_win32.h"
#include "util/zone.h"

namespace engine_test {

namespace {

// The rows the panel shows and where the engine keeps each: a register word, or a bit of
// EFLAGS for the flags; the text the row's value has.
struct ShownRow {
  int row;
  RegisterIndex word;
  int bit;  // -1: the whole word
  const char *format;
};
const ShownRow kShown[] = {
    {0, REG_EAX, -1, "%X"},        {1, REG_EBX, -1, "%X"},    {2, REG_ECX, -1, "%X"},
    {3, REG_EDX, -1, "%X"},        {4, REG_ESI, -1, "%X"},    {5, REG_EDI, -1, "%X"},
    {6, REG_EBP, -1, "%X"},        {7, REG_ESP, -1, "%X"},    {8, REG_EIP, -1, "%X"},
    {25, REG_EFLAGS, 0, "%d"},     {26, REG_EFLAGS, 2, "%d"}, {27, REG_EFLAGS, 4, "%d"},
    {28, REG_EFLAGS, 6, "%d"},     {29, REG_EFLAGS, 7, "%d"}, {30, REG_EFLAGS, 9, "%d"},
    {31, REG_EFLAGS, 10, "%d"},    {32, REG_EFLAGS, 11, "%d"}, {34, REG_CS, -1, "%04X"},
    {35, REG_DS, -1, "%04X"},      {36, REG_SS, -1, "%04X"},  {37, REG_ES, -1, "%04X"},
    {38, REG_FS, -1, "%04X"},      {39, REG_GS, -1, "%04X"},  {56, REG_TIB, -1, "%08X"},
    {57, REG_LASTERROR, -1, "%08X"},
};

uint32_t engine_value(const RegisterSet &set, const ShownRow &s) {
  return s.bit < 0 ? set.r[s.word] : set.r[s.word] >> s.bit & 1;
}

// The prompt's answer, typed by a timer inside the prompt's modal loop.
std::string g_answer, g_caption, g_prefilled;
void CALLBACK answer_prompt(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = thread_dialog();
  if (!dialog) return;
  KillTimer(nullptr, timer);
  char caption[128] = {};
  GetWindowTextA(dialog, caption, sizeof caption);
  g_caption = caption;
  char prefilled[128] = {};
  GetDlgItemTextA(dialog, IDC_PROMPT_TEXT, prefilled, sizeof prefilled);
  g_prefilled = prefilled;
  SetDlgItemTextA(dialog, IDC_PROMPT_TEXT, g_answer.c_str());
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

std::vector<int> g_owner_commands;
LRESULT CALLBACK owner_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND) g_owner_commands.push_back(LOWORD(wparam));
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

}  // namespace

class CpuPanelTest : public LiveEvaluator {
 protected:
  void SetUp() override {
    LiveEvaluator::SetUp();
    global_resources_create();
    panels_register();
    // The panel is owned by a window that keeps the commands it is sent, as kq's main
    // window takes them.
    owner_ = create_window("cpu_panel_test_owner", owner_proc, nullptr, 0, WS_POPUP);
    panel_ = create_window("reg", DefWindowProcA, owner_, 0, WS_POPUP);
    MoveWindow(panel_, 0, 0, kWidth, kHeight, FALSE);
  }
  void TearDown() override {
    DestroyWindow(panel_);
    DestroyWindow(owner_);
    global_resources_delete();
    LiveEvaluator::TearDown();
  }

  int tag_of(uint32_t link) const {
    for (int i = 0; i < g_cpu.dd->tagnum; i++)
      if (g_cpu.dd->tags[i].param == link) return i;
    return -1;
  }
  std::string value_text(int row) const {
    const int tag = tag_of(cpu_link(CPU_LINK_VALUE, row));
    if (tag < 0) return "(no link)";
    char *text = rich_text_range(g_cpu.dd, g_cpu.dd->tags[tag].start, g_cpu.dd->tags[tag].end);
    std::string s = text ? text : "";
    zone_free(text);
    return s;
  }
  // A left click inside the link, on its first line.
  void click(uint32_t link) {
    RichRect r;
    rich_tag_rect(g_cpu.dd, tag_of(link), &r);
    const LPARAM at = MAKELPARAM(r.left + 1, (r.top + r.bottom) / 2);
    SendMessageA(panel_, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(panel_, WM_LBUTTONUP, 0, at);
  }
  // The panel drawn as it paints itself.
  void draw() {
    cpu_panel_draw(canvas_.dc);
    GdiFlush();
  }
  // Whether the row's value is drawn in the highlight colour.
  bool marked(int row) {
    RichRect r;
    rich_tag_rect(g_cpu.dd, tag_of(cpu_link(CPU_LINK_VALUE, row)), &r);
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, kHeight); y++)
      for (int x = std::max(r.left, 0); x < std::min(r.right, kWidth); x++)
        if (canvas_.at(x, y) == CPU_CHANGED) return true;
    return false;
  }
  // The panel's marks after a stop against what the engine reads before and after it.
  void expect_marks(const RegisterSet &before, const RegisterSet &after, const char *what) {
    draw();
    for (const ShownRow &s : kShown)
      EXPECT_EQ(marked(s.row), engine_value(before, s) != engine_value(after, s))
          << what << ": row " << s.row;
  }
  // The panel as a bitmap file beside the test, for a person to look at.
  void save(const char *name) {
    draw();
    EXPECT_TRUE(canvas_.save(name));
  }
  RegisterSet engine_registers() {
    RegisterSet set;
    EXPECT_TRUE(registers_read(&set));
    return set;
  }

  static const int kWidth = 320, kHeight = 560;
  HWND panel_ = nullptr, owner_ = nullptr;
  Canvas canvas_{kWidth, kHeight};
};

TEST_F(CpuPanelTest, ShowsChangesAndMarksTheThreadsRegisters) {
  changes_raise(CHG_STATE);
  changes_broadcast();
  EXPECT_EQ(g_cpu.dd->len, 0) << "no debuggee, an empty document";
  ASSERT_TRUE(launch_probe());
  changes_raise(CHG_STATE);
  changes_broadcast();

  // Every value as the engine reads it; the thread block and last error as the debuggee
  // itself left them.
  RegisterSet shown = engine_registers();
  for (const ShownRow &s : kShown) {
    char expected[16];
    snprintf(expected, sizeof expected, s.format, engine_value(shown, s));
    EXPECT_EQ(value_text(s.row), expected) << "row " << s.row;
  }
  EXPECT_EQ(shown.r[REG_TIB], table_.teb);
  EXPECT_EQ(value_text(CPU_ROW_ERR), "0000002A");
  EXPECT_GE(tag_of(cpu_link(CPU_LINK_NAME, CPU_ROW_EAX)), 0);
  EXPECT_LT(tag_of(cpu_link(CPU_LINK_NAME, CPU_ROW_C)), 0) << "flag names are no links";

  // The status line's hint over a value is the number, over a return address its hex;
  // off the links there is none.
  auto hint_over = [&](uint32_t link) -> std::string {
    RichRect r;
    rich_tag_rect(g_cpu.dd, tag_of(link), &r);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    return SendMessageA(panel_, WM_STATUS_HINT, 0, at) == 1 ? g_status.hint : "(none)";
  };
  EXPECT_EQ(hint_over(cpu_link(CPU_LINK_VALUE, CPU_ROW_EAX)),
            std::to_string((int)shown.r[REG_EAX]));
  char eip[16];
  snprintf(eip, sizeof eip, "0x%X", shown.r[REG_EIP]);
  EXPECT_EQ(hint_over(cpu_link(CPU_LINK_RETURN, 0)), eip) << "the first entry is EIP";
  EXPECT_EQ(SendMessageA(panel_, WM_STATUS_HINT, 0, MAKELPARAM(kWidth - 2, 2)), 0);

  // Scrolling a small panel by its commands stays between the top and the document's
  // height plus 4 less the panel's.
  MoveWindow(panel_, 0, 0, 200, 100, FALSE);
  const int bottom = rich_height(g_cpu.dd) + 4 - 100;
  ASSERT_GT(bottom, 300);
  struct { int command, y; } scrolls[] = {
      {CPU_CMD_PAGE_UP, 0},          {CPU_CMD_LINE_DOWN, 10},      {CPU_CMD_PAGE_DOWN, 110},
      {CPU_CMD_LINE_UP, 100},        {CPU_CMD_HOME, 0},            {CPU_CMD_PAGE_DOWN, 100},
      {CPU_CMD_PAGE_DOWN, 200},      {CPU_CMD_PAGE_DOWN, 300},     {CPU_CMD_PAGE_DOWN, 400},
      {CPU_CMD_PAGE_DOWN, 500},      {CPU_CMD_PAGE_DOWN, 600},     {CPU_CMD_PAGE_DOWN, 700},
  };
  for (auto &sc : scrolls) {
    EXPECT_TRUE(SendMessageA(panel_, WM_COMMAND, sc.command, 0)) << sc.command;
    EXPECT_EQ(g_cpu.scroll_y, std::min(sc.y, bottom)) << sc.command;
  }
  EXPECT_FALSE(SendMessageA(panel_, WM_COMMAND, 10063, 0)) << "not a command of the panel";
  // The wheel scrolls by a sixth of its turn, up for a turn away from the user.
  SendMessageA(panel_, WM_COMMAND, CPU_CMD_HOME, 0);
  SendMessageA(panel_, WM_MOUSEWHEEL, MAKEWPARAM(0, -3 * WHEEL_DELTA), 0);
  EXPECT_EQ(g_cpu.scroll_y, 3 * WHEEL_DELTA / 6);
  SendMessageA(panel_, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(g_cpu.scroll_y, 2 * WHEEL_DELTA / 6);
  SendMessageA(panel_, WM_COMMAND, CPU_CMD_HOME, 0);
  MoveWindow(panel_, 0, 0, kWidth, kHeight, FALSE);

  // A click on the picture at the end asks the main window for the options dialog.
  ASSERT_GE(tag_of(CPU_PICTURE_LINK), 0);
  click(CPU_PICTURE_LINK);
  EXPECT_EQ(g_owner_commands, std::vector<int>{10076});

  // EIP's name follows into the code panel and ESP's into the data panel (the stack is not
  // executable); the first stack entry's return address moves the code position.
  const CallStack *stack = (const CallStack *)g_debuggee.call_stack;
  ASSERT_TRUE(stack && stack->count > 0);
  const uint32_t clicks[][3] = {{cpu_link(CPU_LINK_NAME, 8), POSITION_CODE, shown.r[REG_EIP]},
                                {cpu_link(CPU_LINK_NAME, 7), POSITION_DATA, shown.r[REG_ESP]},
                                {cpu_link(CPU_LINK_RETURN, 0), POSITION_CODE, stack->code[0]}};
  for (auto &c : clicks) {
    positions_reset();
    click(c[0]);
    EXPECT_EQ(g_positions[c[1]].address, c[2]) << c[0];
  }
  positions_reset();

  // EAX typed into the prompt of its value reaches the thread, and nothing else changes.
  ASSERT_TRUE(run_to(table_.probe_call));
  changes_broadcast();
  RegisterSet before = engine_registers();
  g_answer = "0x12345670 + 8";
  SetTimer(nullptr, 0, 30, answer_prompt);
  click(cpu_link(CPU_LINK_VALUE, CPU_ROW_EAX));  // the prompt runs in here
  EXPECT_EQ(g_caption, "Change EAX register");
  // The prompt offered the value as the evaluator writes it, which reads back the same.
  ValueDescriptor offered;
  ASSERT_TRUE(expression_evaluate(g_prefilled.c_str(), &offered)) << g_prefilled;
  EXPECT_EQ(*(uint32_t *)offered.data, before.r[REG_EAX]) << g_prefilled;
  RegisterSet after = engine_registers();
  EXPECT_EQ(after.r[REG_EAX], 0x12345678u);
  after.r[REG_EAX] = before.r[REG_EAX];
  EXPECT_EQ(memcmp(after.r, before.r, sizeof after.r), 0);
  changes_broadcast();
  EXPECT_EQ(value_text(CPU_ROW_EAX), "12345678");
  expect_marks(before, engine_registers(), "EAX typed");

  // The call into the leaf moves EIP and ESP; the leaf's first command writes EAX.
  before = engine_registers();
  ASSERT_TRUE(step(false));
  changes_broadcast();
  after = engine_registers();
  EXPECT_EQ(after.r[REG_EIP], table_.leaf);
  expect_marks(before, after, "call");
  EXPECT_TRUE(marked(CPU_ROW_EIP));
  EXPECT_FALSE(marked(CPU_ROW_EAX));
  before = after;
  ASSERT_TRUE(step(false));
  changes_broadcast();
  after = engine_registers();
  EXPECT_EQ(after.r[REG_EAX], 7u);
  expect_marks(before, after, "mov eax, 7");
  EXPECT_TRUE(marked(CPU_ROW_EAX));
  save("cpu_panel.bmp");

  // The MMX view of the FPU registers: each the low 8 bytes of its register, the highest
  // byte first, and named by links; and back.
  const uint8_t show_mmx = g_settings.ShowMMX;
  g_settings.ShowMMX = 0;
  ASSERT_TRUE(SendMessageA(panel_, WM_COMMAND, CPU_CMD_MMX, 0));
  for (int i = 0; i < 6; i++) {  // the engine keeps ST0-ST5 whole
    const uint8_t *b = after.fpu + 10 * i;
    char expected[32];
    snprintf(expected, sizeof expected, "%02X%02X %02X%02X %02X%02X %02X%02X", b[7], b[6], b[5],
             b[4], b[3], b[2], b[1], b[0]);
    EXPECT_EQ(value_text(CPU_ROW_MM0 + i), expected);
  }
  EXPECT_GE(tag_of(cpu_link(CPU_LINK_NAME, CPU_ROW_MM0 + 7)), 0);
  EXPECT_LT(tag_of(cpu_link(CPU_LINK_VALUE, CPU_ROW_ST0)), 0);
  save("cpu_panel_mmx.bmp");
  ASSERT_TRUE(SendMessageA(panel_, WM_COMMAND, CPU_CMD_MMX, 0));
  EXPECT_GE(tag_of(cpu_link(CPU_LINK_VALUE, CPU_ROW_ST0 + 7)), 0);
  EXPECT_LT(tag_of(cpu_link(CPU_LINK_NAME, CPU_ROW_ST0)), 0) << "FPU names are no links";
  g_settings.ShowMMX = show_mmx;
}

// The thread has ended while the panel still shows its last stop: a click on EAX's value
// says so instead of asking for a value, and nothing is written.
TEST_F(CpuPanelTest, AValueOfAnEndedThreadIsNotChanged) {
  ASSERT_TRUE(launch_probe());
  changes_raise(CHG_STATE);
  changes_broadcast();
  ASSERT_TRUE(debuggee_resume());
  ASSERT_TRUE(drain_until_stop());
  ASSERT_EQ(DS_EXITED, debuggee_state());
  g_answer = "0x12345678";
  g_caption.clear();
  SetTimer(nullptr, 0, 30, answer_prompt);
  click(cpu_link(CPU_LINK_VALUE, CPU_ROW_EAX));  // the message box runs in here
  EXPECT_EQ(g_caption, "EAX");
  EXPECT_TRUE(has(log(), "WARNING: EAX cannot be changed: the thread is not stopped\n")) << log();
  EXPECT_FALSE(has(log(), "Change EAX")) << log();
}

}  // namespace engine_test
