// The CPU panel (window class "reg"): the followed thread's registers, flags, segment
// registers, FPU or MMX registers, thread block and last error, and the call stack, as one
// rich-text document rebuilt on every broadcast that changes them. A click on a value asks
// for a new one through the input prompt and writes it with the evaluator.
#pragma once
#include <windows.h>

#include "symbols/eval/value.h"
#include "ui/panels/cpu/cpu_panel_text.h"
#include "ui/rich_text/rich_text_gdi_win32.h"
#include "util/path.h"

// Panel commands, also the help texts' string numbers.
enum CpuCommand {
  CPU_CMD_HOME = 10122, CPU_CMD_LINE_DOWN = 10123, CPU_CMD_LINE_UP = 10124,
  CPU_CMD_PAGE_DOWN = 10125, CPU_CMD_PAGE_LEFT = 10126, CPU_CMD_PAGE_RIGHT = 10127,
  CPU_CMD_PAGE_UP = 10128, CPU_CMD_ZOOM = 10129, CPU_CMD_MMX = 10157
};
// The prompt of a value link: the register's name twice.
enum { IDS_CHANGE_REGISTER = 1360 };

struct CpuPanel {
  HWND hwnd;
  RichGdiMeasurer measurer;
  RichGdiWindow window;
  RichText *dd;
  // The registers at this stop and at the one before (the same until a second stop).
  EvalRegisters current, previous;
  bool have;  // current was read from a debuggee
  int scroll_x, scroll_y, width, height;
  int pressed;  // the link pressed with the left button, or -1
  bool zoom;
  // The value prompt's text and its earlier answers.
  char value[KQ_PATH], history[KQ_PATH];
};
extern CpuPanel g_cpu;

// The panel's own messages, the wheel and its commands (see ui/panels/panel_windows.h).
LRESULT CALLBACK cpu_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void cpu_panel_wheel(int delta);
bool cpu_panel_command(int id);
// Draws the panel as it paints itself, into any device context (the back buffer, a bitmap).
void cpu_panel_draw(HDC dc);
