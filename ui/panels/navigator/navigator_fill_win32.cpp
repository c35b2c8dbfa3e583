// The navigator's rows from the comment and breakpoint tables and from the system's
// windows and tool-help snapshots.
#include "ui/panels/navigator/navigator_fill_win32.h"

#include <windows.h>
#include <tlhelp32.h>
#include <ctype.h>
#include <stdio.h>

#include "engine/breakpoints.h"
#include "engine/debuggee.h"
#include "symbols/comments.h"
#include "ui/panels/navigator/navigator_tables.h"
#include "util/path.h"

namespace {

// Field f of the row as "%X" or "%i" of value, kept as its number too.
bool set_number(NavRowSet *rows, int row, int field, uint32_t value, const char *format) {
  char text[16];
  snprintf(text, sizeof text, format, value);
  rows->rows[row].number[field] = value;
  return nav_rows_set_text(rows, row, field, text);
}

bool debuggee_loaded() { return debuggee_state() != DS_NOTLOADED; }

struct WindowWalk {
  NavRowSet *rows;
  uint32_t only_process;  // 0: every process
  bool ok;
};

void add_window(WindowWalk *walk, HWND window) {
  DWORD process = 0;
  const DWORD thread = GetWindowThreadProcessId(window, &process);
  if (walk->only_process && process != walk->only_process) return;
  NavRowSet *rows = walk->rows;
  const int row = nav_rows_add(rows);
  char name[KQ_PATH];
  if (row < 0 || !GetClassNameA(window, name, sizeof name)) name[0] = 0;
  if (row < 0) {
    walk->ok = false;
    return;
  }
  rows->rows[row].data = (uint32_t)(uintptr_t)window;
  rows->rows[row].image = IsWindowVisible(window) ? 1 : 0;
  rows->rows[row].number[WINDOW_PROCESS] = process;
  walk->ok = walk->ok && nav_rows_set_text(rows, row, 0, name) &&
             set_number(rows, row, 1, thread, "%i") &&
             set_number(rows, row, 2, (uint32_t)(uintptr_t)window, "%X") &&
             set_number(rows, row, 3, (uint32_t)(uintptr_t)GetParent(window), "%X");
}

BOOL CALLBACK each_child(HWND window, LPARAM walk) {
  add_window((WindowWalk *)walk, window);
  return TRUE;
}

// A top-level window, then all its descendants (enumerated once, from it).
BOOL CALLBACK each_top(HWND window, LPARAM walk) {
  add_window((WindowWalk *)walk, window);
  EnumChildWindows(window, each_child, walk);
  return TRUE;
}

// "R" when the object opens with the read right, "W" with the write right.
void access_text(bool read, bool write, char *out) {
  int n = 0;
  if (read) out[n++] = 'R';
  if (write) out[n++] = 'W';
  out[n] = 0;
}

bool opens_thread(DWORD rights, DWORD id) {
  HANDLE h = OpenThread(rights, FALSE, id);
  if (h) CloseHandle(h);
  return h != nullptr;
}

bool opens_process(DWORD rights, DWORD id) {
  HANDLE h = OpenProcess(rights, FALSE, id);
  if (h) CloseHandle(h);
  return h != nullptr;
}

// The creation time as the system gives it, "HH:mm"; " - " when the thread does not open.
void creation_time(DWORD id, char *out, size_t outlen) {
  snprintf(out, outlen, " - ");
  HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
  if (!thread) return;
  FILETIME created, ended, kernel, user;
  SYSTEMTIME time;
  if (GetThreadTimes(thread, &created, &ended, &kernel, &user) &&
      FileTimeToSystemTime(&created, &time))
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, "HH':'mm", out, (int)outlen);
  CloseHandle(thread);
}

}  // namespace

bool comment_rows_fill(NavRowSet *rows) {
  nav_rows_empty(rows);
  for (int id = -1; comment_next(&id);) {
    const Comment *comment = comment_get(id);
    const int row = nav_rows_add(rows);
    if (row < 0) return false;
    const char first[2] = {comment->text[0], 0};
    const bool marked = first[0] && !isalnum((unsigned char)first[0]);
    rows->rows[row].data = (uint32_t)id;
    rows->rows[row].image =
        breakpoint_at(comment->address) >= 0 ? COMMENT_IMAGE_BREAKPOINT : COMMENT_IMAGE_PLAIN;
    if (!nav_rows_set_text(rows, row, 0, comment->text) ||
        !nav_rows_set_text(rows, row, 1, marked ? first : "") ||
        !set_number(rows, row, 2, comment->address, "%X"))
      return false;
  }
  return true;
}

bool break_rows_fill(NavRowSet *rows) {
  nav_rows_empty(rows);
  for (int id = -1; breakpoint_next(&id);) {
    const Breakpoint *b = breakpoint_get(id);
    const int row = nav_rows_add(rows);
    if (row < 0) return false;
    rows->rows[row].data = (uint32_t)id;
    if (!nav_rows_set_text(rows, row, 0, b->expression) ||
        !set_number(rows, row, 1, b->address, "%X"))
      return false;
  }
  return true;
}

bool window_rows_fill(NavRowSet *rows) {
  nav_rows_empty(rows);
  WindowWalk walk = {rows, debuggee_loaded() ? debuggee_process_id() : 0, true};
  EnumWindows(each_top, (LPARAM)&walk);
  return walk.ok;
}

bool thread_rows_fill(NavRowSet *rows) {
  nav_rows_empty(rows);
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return true;
  const bool only_debuggee = debuggee_loaded();
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  bool ok = true;
  for (BOOL more = Thread32First(snap, &entry); more && ok; more = Thread32Next(snap, &entry)) {
    if (only_debuggee && entry.th32OwnerProcessID != debuggee_process_id()) continue;
    const int row = nav_rows_add(rows);
    if (row < 0) {
      ok = false;
      break;
    }
    const DWORD id = entry.th32ThreadID;
    const bool read = opens_thread(THREAD_GET_CONTEXT, id), write = opens_thread(THREAD_SET_CONTEXT, id);
    NavRow &r = rows->rows[row];
    r.data = id;
    r.number[THREAD_READ] = read;
    r.number[THREAD_WRITE] = write;
    r.image = only_debuggee && id == debuggee_thread_id()  ? TASK_IMAGE_DEBUGGEE
              : opens_thread(THREAD_ALL_ACCESS, id)         ? TASK_IMAGE_ALL_ACCESS
                                                            : TASK_IMAGE_PLAIN;
    char time[16], access[3];
    creation_time(id, time, sizeof time);
    access_text(read, write, access);
    ok = set_number(rows, row, 0, 0, "%X") && set_number(rows, row, 1, id, "%i") &&
         set_number(rows, row, 2, entry.th32OwnerProcessID, "%i") &&
         nav_rows_set_text(rows, row, 3, time) &&
         set_number(rows, row, 4, (uint32_t)(entry.tpBasePri + entry.tpDeltaPri), "%i") &&
         nav_rows_set_text(rows, row, 5, access);
  }
  CloseHandle(snap);
  return ok;
}

bool process_rows_fill(NavRowSet *rows) {
  nav_rows_empty(rows);
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return true;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  bool ok = true;
  for (BOOL more = Process32First(snap, &entry); more && ok; more = Process32Next(snap, &entry)) {
    const int row = nav_rows_add(rows);
    if (row < 0) {
      ok = false;
      break;
    }
    const DWORD id = entry.th32ProcessID;
    const bool read = opens_process(PROCESS_VM_READ, id),
               write = opens_process(PROCESS_VM_WRITE | PROCESS_VM_OPERATION, id);
    NavRow &r = rows->rows[row];
    r.data = id;
    r.number[PROCESS_READ] = read;
    r.number[PROCESS_WRITE] = write;
    r.image = debuggee_loaded() && id == debuggee_process_id() ? TASK_IMAGE_DEBUGGEE
              : opens_process(PROCESS_ALL_ACCESS, id)          ? TASK_IMAGE_ALL_ACCESS
                                                               : TASK_IMAGE_PLAIN;
    char access[3];
    access_text(read, write, access);
    ok = nav_rows_set_text(rows, row, 0, entry.szExeFile) &&
         set_number(rows, row, 1, entry.th32ParentProcessID, "%i") &&
         set_number(rows, row, 2, id, "%i") &&
         set_number(rows, row, 3, (uint32_t)entry.pcPriClassBase, "%i") &&
         nav_rows_set_text(rows, row, 4, access);
  }
  CloseHandle(snap);
  return ok;
}
