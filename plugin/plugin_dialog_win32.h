// The "Plugin control" dialog (command 10094): pages "Plugin Files", "Plugin Commands" and
// "Interface" on a tab control. Each page is a child dialog with a procedure of its own,
// so another host can show it.
#pragma once
#include <windows.h>

enum PluginPage { PLUGIN_PAGE_FILES, PLUGIN_PAGE_COMMANDS, PLUGIN_PAGE_INTERFACE, PLUGIN_PAGES };

// A host sends this to the shown page when the user presses OK; the page acts and
// answers TRUE (through DWLP_MSGRESULT) when the host may close.
enum { WM_PLUGIN_PAGE_APPLY = WM_APP + 40 };

// Modal over owner, opened on page.
void plugin_control_dialog(HWND owner, int page);

INT_PTR CALLBACK plugin_files_page(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK plugin_commands_page(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK plugin_interface_page(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
