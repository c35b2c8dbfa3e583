// The labels the data panel pulses over the bytes the general registers point at: which
// register each names, its colour, which cells of a page carry one and the pulse's phase.
#pragma once
#include <stdint.h>

#include "ui/panels/data/data_panel_text.h"

enum {
  DATA_MARKERS = 9,                     // EAX..EDI, then ESP, EBP, EIP
  DATA_LABELS = 2 * DATA_MARKERS,       // a byte has a hex and a character cell
  DATA_PHASE_MS = 20, DATA_PHASE_STEP = 20, DATA_PHASE_MAX = 255
};

struct DataMarker {
  const char *name;
  int reg;         // index into EvalRegisters::r
  uint32_t color;  // the label's paper (0x00BBGGRR)
};
extern const DataMarker g_data_markers[DATA_MARKERS];

struct DataLabel {
  int marker;  // into g_data_markers
  int cell;    // into the page's cells
};
// The labels of the page in drawing order: from the last marker to the first, every cell
// (hex or character) whose byte is at the register's value. regs holds EvalRegisters::r.
// Gives the count, at most max.
int data_page_labels(const DataPage *page, const uint32_t *regs, DataLabel *out, int max);
// The phase after one tick: up by the step from -255 to 255, then back to -255. The label
// is drawn with opacity 255 - |phase|.
int data_phase_next(int phase);
