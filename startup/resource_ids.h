// Resource numbers of the debugger program (icons, menus, dialogs, pictures, strings).
#pragma once
#include "ui/pictures/picture_ids.h"

#define IDM_MAIN 1340
#define IDD_NO_DEBUG_INFO 1160
#define IDD_JIT 1190
#define IDC_JIT_ASK 1191
#define IDC_JIT_COMMAND 1192

#include "ui/dialogs/options_dialog_ids.h"
