#include "ui/panels/code/code_position.h"

#include <string.h>

#include "settings/changes.h"
#include "symbols/modules.h"

PanelPosition g_positions[2] = {{CHG_CODE_POSITION, 0, {}, 0, 0},
                                {CHG_DATA_POSITION, 0, {}, 0, 0}};
int g_position_shown = POSITION_CODE;

void positions_reset() {
  for (PanelPosition &p : g_positions) {
    const int flag = p.flag;
    p = PanelPosition();
    p.flag = flag;
  }
}

void position_set(PanelPosition *p, uint32_t address) {
  if (!address || address == p->address) return;
  p->history[p->index] = address;
  p->address = address;
  changes_raise(p->flag);
}

void position_push(PanelPosition *p) {
  if (!module_by_address(p->address)) return;
  p->history[p->index] = p->address;
  if (p->index + 1 < POSITION_HISTORY) {
    p->index++;
  } else {  // full: the oldest goes
    memmove(p->history, p->history + 1, (POSITION_HISTORY - 1) * sizeof p->history[0]);
  }
  p->top = p->index;
}

void position_back(PanelPosition *p, int n) {
  p->index = p->index - n < 0 ? 0 : p->index - n > p->top ? p->top : p->index - n;
  position_set(p, p->history[p->index]);
}

void position_follow(uint32_t address, bool executable) {
  PanelPosition *p = &g_positions[executable ? POSITION_CODE : POSITION_DATA];
  position_push(p);
  position_set(p, address);
}

void position_show(int record) {
  if (record == g_position_shown || (record != POSITION_CODE && record != POSITION_DATA)) return;
  g_position_shown = record;
  changes_raise(CHG_LAYOUT);
}

uint32_t position_shown_address() { return g_positions[g_position_shown].address; }
