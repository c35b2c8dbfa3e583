#include "ui/panels/data/data_panel_labels.h"

#include "symbols/eval/value.h"

namespace {
const uint32_t kGeneral = 0x00FF00, kPointer = 0x64C8FF;  // green; orange (255, 200, 100)
}  // namespace

const DataMarker g_data_markers[DATA_MARKERS] = {
    {"EAX", ER_EAX, kGeneral}, {"EBX", ER_EBX, kGeneral}, {"ECX", ER_ECX, kGeneral},
    {"EDX", ER_EDX, kGeneral}, {"EDI", ER_EDI, kGeneral}, {"ESI", ER_ESI, kGeneral},
    {"ESP", ER_ESP, kPointer}, {"EBP", ER_EBP, kPointer}, {"EIP", ER_EIP, kPointer},
};

int data_page_labels(const DataPage *page, const uint32_t *regs, DataLabel *out, int max) {
  int n = 0;
  for (int m = DATA_MARKERS - 1; m >= 0; m--)
    for (int i = 0; i < page->cell_count && n < max; i++)
      if (page->cells[i].address == regs[g_data_markers[m].reg]) out[n++] = {m, i};
  return n;
}

int data_phase_next(int phase) {
  const int next = phase + DATA_PHASE_STEP;
  return next > DATA_PHASE_MAX ? -DATA_PHASE_MAX : next;
}
