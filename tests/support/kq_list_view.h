// A list view of kq.exe read and driven from outside: a block in kq's memory carries the
// list and header messages that take pointers.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

typedef std::vector<std::vector<std::string>> ListRows;

struct RemoteList {
  HANDLE process = nullptr;
  char *block = nullptr;
  explicit RemoteList(DWORD pid) {
    process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process)
      block = (char *)VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteList() {
    if (block) VirtualFreeEx(process, block, 0, MEM_RELEASE);
    if (process) CloseHandle(process);
  }
  std::string cell(HWND list, int row, int column) const {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = block + 1024;
    item.cchTextMax = 1024;
    char text[1024] = {0};
    WriteProcessMemory(process, block, &item, sizeof item, nullptr);
    WriteProcessMemory(process, block + 1024, text, sizeof text, nullptr);
    SendMessageA(list, LVM_GETITEMTEXTA, row, (LPARAM)block);
    ReadProcessMemory(process, block + 1024, text, sizeof text - 1, nullptr);
    return text;
  }
  // Every row's first columns.
  ListRows rows(HWND list, int columns) const {
    ListRows table;
    for (int row = 0, n = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); row < n; row++) {
      std::vector<std::string> cells;
      for (int c = 0; c < columns; c++) cells.push_back(cell(list, row, c));
      table.push_back(cells);
    }
    return table;
  }
  int image(HWND list, int row) const {
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = -2;
    WriteProcessMemory(process, block, &item, sizeof item, nullptr);
    SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)block);
    ReadProcessMemory(process, block, &item, sizeof item, nullptr);
    return item.iImage;
  }
  void select(HWND list, int row) const {
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    WriteProcessMemory(process, block, &item, sizeof item, nullptr);
    SendMessageA(list, LVM_SETITEMSTATE, row, (LPARAM)block);
  }
  // A click in the middle of the column's header, as the mouse gives it.
  bool click_header(HWND list, int column) const {
    HWND header = (HWND)SendMessageA(list, LVM_GETHEADER, 0, 0);
    RECT r = {};
    if (!header || !SendMessageA(header, HDM_GETITEMRECT, column, (LPARAM)block)) return false;
    ReadProcessMemory(process, block, &r, sizeof r, nullptr);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(header, WM_LBUTTONUP, 0, at);
    return true;
  }
};
