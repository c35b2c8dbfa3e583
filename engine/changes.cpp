#include "engine/changes.h"

ChangeFlags g_changes;

void changes_raise(int flag) {
  if (flag > 0 && flag < CHG_COUNT) g_changes.pending[flag] = true;
}
