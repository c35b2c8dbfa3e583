// Resource numbers of the debugger program (icons, menus, dialogs, pictures, strings).
#pragma once

#define IDI_PROGRAM 1330
#define IDM_MAIN 1340
#define IDD_NO_DEBUG_INFO 1160
#define IDD_JIT 1190
#define IDC_JIT_ASK 1191
#define IDC_JIT_COMMAND 1192
