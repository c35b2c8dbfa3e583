// The "Plugin control" window (command 10094): the pages "Plugin Files", "Plugin Commands"
// and "Interface" in the tabbed host that also carries the workspace navigator. Each page
// is a child dialog with a procedure of its own and answers the host's OK.
#pragma once
#include <windows.h>

enum PluginPage { PLUGIN_PAGE_FILES, PLUGIN_PAGE_COMMANDS, PLUGIN_PAGE_INTERFACE, PLUGIN_PAGES };

// Opens the host on page, or switches the open host to it; owner is the window to own it
// when none is active.
bool plugin_control_open(int page, HWND owner);

INT_PTR CALLBACK plugin_files_page(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK plugin_commands_page(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK plugin_interface_page(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
