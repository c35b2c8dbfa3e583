// The CPU panel's document: the followed thread's registers with the values that changed
// since the previous stop marked, the FPU or the MMX registers, and the call stack. Names,
// values and stack entries are links whose parameter says what was clicked.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/eval/value.h"
#include "ui/rich_text/rich_text_records.h"

// A link's parameter: the kind in the high 16 bits, a register row or stack entry below.
enum CpuLinkKind {
  CPU_LINK_NAME = 1,     // a register's name: follow its value
  CPU_LINK_VALUE = 2,    // a register's value: type a new one
  CPU_LINK_FRAME = 3,    // a stack entry's frame
  CPU_LINK_RETURN = 4,   // a stack entry's return address
  CPU_LINK_PICTURE = 5,  // the picture at the end: the options
};
inline uint32_t cpu_link(int kind, int index) { return (uint32_t)kind << 16 | (uint16_t)index; }
enum : uint32_t { CPU_PICTURE_LINK = 0x5FFFF };

// Register rows (the evaluator's order) the panel shows.
enum CpuRow {
  CPU_ROW_EAX = 0, CPU_ROW_EIP = 8, CPU_ROW_C = 25, CPU_ROW_I = 30, CPU_ROW_O = 32,
  CPU_ROW_CS = 34, CPU_ROW_ST0 = 40, CPU_ROW_MM0 = 48, CPU_ROW_TIB = 56, CPU_ROW_ERR = 57
};

// Colours (0x00BBGGRR).
enum : uint32_t {
  CPU_PAPER = 0x005A5A96,    // the panel's background
  CPU_NAME = 0xC8C8C8,       // register names
  CPU_CHANGED = 0x00AEFF,    // a value that changed since the previous stop
  CPU_HEADING = 0x646464,    // " FPU:", " MMX:", " STACK:"
  CPU_STACK = 0x500000,      // the stack entries
  CPU_HIGHLIGHT = 0x00FFFF,  // the entries in the code panel's procedure
};

// What the document shows. previous may be current (nothing marked).
struct CpuView {
  const EvalRegisters *current, *previous;
  bool zoom;  // the small font for everything; else the fixed font
  bool mmx;   // MM0-MM7 instead of ST0-ST7
  RichHandle fixed_font;
  RichHandle frame_picture;  // drawn in each stack entry's frame link
  int frames;  // stack entries, each a frame link and a return address
  const uint32_t *returns;
  uint32_t reference;       // where addresses are named from
  uint32_t code_procedure;  // the symbol at the code panel's position, 0 for none
};

// Where a click on a link sends the user: a register's value followed into the code or data
// panel, a stack entry's frame into the data panel, its return address into the code panel.
enum CpuTarget { CPU_TARGET_NONE, CPU_TARGET_FOLLOW, CPU_TARGET_DATA, CPU_TARGET_CODE };
struct CpuClick {
  int target;  // CpuTarget
  uint32_t address;
};
// frames are the stack entries' frame addresses beside the view's return addresses; a link
// of another kind, or to an entry the view does not hold, goes nowhere.
CpuClick cpu_click_target(const CpuView *view, const uint32_t *frames, uint32_t link);

// The text of a row's value in regs, as the panel writes it; gives the length.
int cpu_value_text(const EvalRegisters *regs, int row, char *out, size_t outlen);
// Whether the row's value differs between the view's two register records.
bool cpu_value_changed(const CpuView *view, int row);
// Clears dd and writes the view into it; a view without registers leaves it empty.
void cpu_write(RichText *dd, const CpuView *view);
