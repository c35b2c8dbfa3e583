// Resource numbers of the tabbed host dialog that carries the navigator's and the plug-in
// control's pages.
#pragma once

#define IDD_TABBED_HOST 1290
#define IDC_HOST_TABS 840
#define IDC_HOST_PLACEHOLDER 1010
#define IDC_HOST_HINT 540

// Commands of the dialogs' key table.
#define HOST_CMD_CLOSE_AND_OK 8
#define HOST_CMD_CENTER 10130
#define HOST_CMD_LEFT_PAGE 10131
#define HOST_CMD_NEXT_CONTROL 10132
#define HOST_CMD_PREVIOUS_CONTROL 10133
#define HOST_CMD_RIGHT_PAGE 10134
