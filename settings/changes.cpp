#include "settings/changes.h"

#include <string.h>

#include "util/zone.h"

ChangeFlags g_changes;

void changes_clear() {
  memset(g_changes.pending, 0, sizeof g_changes.pending);
  memset(g_changes.current, 0, sizeof g_changes.current);
}

void changes_raise(int flag) {
  if (flag >= 0 && flag < CHG_COUNT) g_changes.pending[flag] = true;
}

bool changes_test(int flag) {
  return flag >= 0 && flag < CHG_COUNT && g_changes.current[flag];
}

bool changes_test_any(const int *flags) {
  for (; *flags; flags++)
    if (changes_test(*flags)) return true;
  return false;
}

bool changes_add_listener(ChangeListener function, int argument) {
  ChangeListenerEntry entry = {function, argument};
  void *grown = zone_resize(g_changes.listeners, (g_changes.listener_count + 1) * sizeof entry);
  if (!grown) return false;
  g_changes.listeners = (ChangeListenerEntry *)grown;
  g_changes.listeners[g_changes.listener_count++] = entry;
  return true;
}

bool changes_remove_listener(ChangeListener function, int argument) {
  for (int i = g_changes.listener_count - 1; i >= 0; i--) {
    ChangeListenerEntry &e = g_changes.listeners[i];
    if (e.function == function && e.argument == argument) {
      memmove(&g_changes.listeners[i], &g_changes.listeners[i + 1],
              (g_changes.listener_count - i - 1) * sizeof e);
      g_changes.listener_count--;
      return true;
    }
  }
  return false;
}

int changes_broadcast() {
  bool any = false;
  for (int i = 0; i < CHG_COUNT; i++) any |= g_changes.pending[i];
  if (!any) return 0;
  memcpy(g_changes.current, g_changes.pending, sizeof g_changes.current);
  memset(g_changes.pending, 0, sizeof g_changes.pending);
  int calls = 0;
  // A listener may remove itself or others while it runs: re-check the bound each time.
  for (int i = g_changes.listener_count - 1; i >= 0; i--) {
    if (i >= g_changes.listener_count) continue;
    ChangeListenerEntry e = g_changes.listeners[i];
    e.function(e.argument);
    calls++;
  }
  memset(g_changes.current, 0, sizeof g_changes.current);
  return calls;
}

void changes_free() {
  g_changes.listeners = (ChangeListenerEntry *)zone_free(g_changes.listeners);
  g_changes.listener_count = 0;
}
