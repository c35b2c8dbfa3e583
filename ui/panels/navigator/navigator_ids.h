// Resource numbers of the workspace navigator's pages and their controls.
#pragma once

#define IDD_NAV_COMMENT 1150
#define IDD_NAV_BREAK 1140
#define IDD_NAV_SYMBOL 1300
#define IDD_NAV_MODULE 1210
#define IDD_NAV_WINDOW 1320
#define IDD_NAV_THREAD 1310
#define IDD_NAV_PROCESS 1260

#define IDC_NAV_COMMENTS 490
#define IDC_NAV_BREAKPOINTS 410
#define IDC_NAV_SYMBOL_FILTER 590
#define IDC_NAV_SYMBOLS 620
#define IDC_NAV_SYMBOL_TEXT 1020
#define IDC_NAV_MODULES 780
#define IDC_NAV_WINDOWS 1110
#define IDC_NAV_THREADS 1040
#define IDC_NAV_PROCESSES 870
// The selected row's path (or name) under the list.
#define IDC_NAV_DETAIL 1012
