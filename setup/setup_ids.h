// Dialog and control numbers of the installer, shared by its resources, its code and the
// tests that drive the wizard from outside.
#pragma once

#define IDD_WELCOME 101
#define IDD_LICENSE 103
#define IDD_PATH 104
#define IDD_FINAL 105
#define IDD_FRAME 106
#define IDD_PROGRESS 107

// Frame buttons and the placeholder the pages stand in.
#define IDC_INSTALL 1006
#define IDC_FINISH 1008
#define IDC_PLACEHOLDER 1009
#define IDC_BACK 1010
#define IDC_NEXT 1011
// IDCANCEL (2) is the frame's Cancel button.

// Page controls.
#define IDC_LOGO 1020
#define IDC_HEADER_PICTURE 1021
#define IDC_LICENSE_TEXT 1030
#define IDC_ACCEPT 1031
#define IDC_FOLDER 1040
#define IDC_BROWSE 1041
#define IDC_LAUNCH 1050
#define IDC_BAR 1070
#define IDC_FILE_NAME 1071
