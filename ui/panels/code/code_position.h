// The positions of the code panel (record 0) and the data panel (record 1): the current
// address with a short history to go back through. Setting one raises its change flag;
// the panel moves on the next broadcast. The map panel shows one of them: the record of
// the panel that last took the focus.
#pragma once
#include <stdint.h>

enum { POSITION_HISTORY = 10, POSITION_CODE = 0, POSITION_DATA = 1 };

struct PanelPosition {
  int flag;  // CHG_CODE_POSITION or CHG_DATA_POSITION
  uint32_t address;
  uint32_t history[POSITION_HISTORY];
  int index, top;
};
extern PanelPosition g_positions[2];
extern int g_position_shown;  // POSITION_CODE or POSITION_DATA

// Back to no address and no history.
void positions_reset();
// Ignored for 0 and for the current address.
void position_set(PanelPosition *p, uint32_t address);
// Keeps the current address in the history when it lies in a module.
void position_push(PanelPosition *p);
// Goes n entries back (forward for a negative n), no further than either end.
void position_back(PanelPosition *p, int n);
// Shows address in the code panel when it is executable, else in the data panel.
void position_follow(uint32_t address, bool executable);
// The map follows the record of the panel taking the focus; a change raises CHG_LAYOUT.
void position_show(int record);
// The shown record's current address: what plug-ins get for the position.
uint32_t position_shown_address();
