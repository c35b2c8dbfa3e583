// The data panel (window class "data"): the debuggee's memory as a hex dump with
// characters from the data position on, with selection, search, fill, insert, comments and
// following pointers; every write goes through the engine's memory access.
#pragma once
#include <windows.h>

#include "symbols/eval/value.h"
#include "ui/panels/data/data_panel_labels.h"
#include "ui/panels/data/data_panel_text.h"
#include "ui/rich_text/rich_text_gdi_win32.h"
#include "util/path.h"

// Panel commands, also the help texts' string numbers.
enum DataCommand {
  DATA_CMD_ALIGN = 10039, DATA_CMD_BYTE_DOWN = 10040, DATA_CMD_BYTE_UP = 10041,
  DATA_CMD_COMMENT = 10042, DATA_CMD_COPY = 10043, DATA_CMD_FILL = 10044,
  DATA_CMD_FOLLOW = 10045, DATA_CMD_GOTO = 10046, DATA_CMD_STACK = 10047,
  DATA_CMD_GUARD = 10048, DATA_CMD_INSERT = 10049, DATA_CMD_ORIGIN = 10050,
  DATA_CMD_PAGE_DOWN = 10051, DATA_CMD_LEFT = 10052, DATA_CMD_RIGHT = 10053,
  DATA_CMD_PAGE_UP = 10054, DATA_CMD_ROW_DOWN = 10055, DATA_CMD_ROW_UP = 10056,
  DATA_CMD_NEW_SEARCH = 10057, DATA_CMD_SEARCH_DOWN = 10058, DATA_CMD_SEARCH_UP = 10059,
  DATA_CMD_REGION_DOWN = 10060, DATA_CMD_REGION_UP = 10061
};
// The prompts of the panel (the comment 1380 and go-to 1400 prompts are the code panel's too).
enum {
  IDS_DATA_COMMENT = 1380, IDS_DATA_FILL = 1390, IDS_DATA_GOTO = 1400, IDS_DATA_INSERT = 1420,
  IDS_DATA_SEARCH = 1460
};

struct DataPanel {
  HWND hwnd;
  RichGdiMeasurer measurer;
  RichText *dd;
  DataPage page;
  uint8_t *snapshot;        // zone copy of the page's bytes when it was written
  uint32_t current;         // the current byte
  int current_column;       // DATA_HEX or DATA_CHARS
  uint32_t first, last;     // the selection, in the order it was made
  bool dragging;
  int scroll_x, width, height;
  int rebuilds;             // pages written, for the benchmark and the tests
  // The general registers and EIP, whose names are drawn over the cells they point at,
  // pulsing with the phase (-255..255); the rectangles drawn last, to be repainted.
  HBITMAP pattern;  // the background
  EvalRegisters registers;
  bool have_registers;
  int phase;
  RECT labels[DATA_LABELS];
  int label_count;
  // Each prompt's text and history.
  char comment[KQ_PATH], comment_history[KQ_PATH];
  char fill[KQ_PATH], fill_history[KQ_PATH];
  char go_to[KQ_PATH], go_to_history[KQ_PATH];
  char insert[KQ_PATH], insert_history[KQ_PATH];
  char search[KQ_PATH], search_history[KQ_PATH];
};
extern DataPanel g_data;

// The panel's own messages, the wheel, its commands and the focus (see
// ui/panels/panel_windows.h).
LRESULT CALLBACK data_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void data_panel_wheel(int delta);
bool data_panel_command(int id);
void data_panel_focus(bool on);
// Draws the panel as it paints itself, into any device context.
void data_panel_draw(HDC dc);
// The selection's bounds, the lower first.
void data_panel_selection(uint32_t *low, uint32_t *high);
