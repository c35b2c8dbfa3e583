// Change flags raised by the engine. A pending-flags record only: the program's change
// broadcast takes it over and hands the flags to the panels on each tick.
#pragma once

enum { CHG_STATE = 1, CHG_THREAD = 3, CHG_COUNT = 18 };

struct ChangeFlags {
  bool pending[CHG_COUNT];
};
extern ChangeFlags g_changes;

// Sets the pending flag; raising an already pending flag does nothing.
void changes_raise(int flag);
