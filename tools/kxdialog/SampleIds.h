// Resources of the sample dialog.
#pragma once

#define IDD_SETTINGS 100
#define IDR_SETTINGS_MENUBAR 101
#define IDR_SETTINGS_MENU 102

#define IDC_RESULTS 1000
#define IDC_LEVEL_LABEL 1001
#define IDC_LEVEL 1002
#define IDC_LEVEL_SPIN 1003
#define IDC_STATUS 1004

#define IDM_SCAN 2001
#define IDM_MENU 2002
#define IDM_DELETE 2101
#define IDM_RESTORE 2102
#define IDM_SHOW_CLEAN 2103
#define IDM_EXIT 2104

#define IDS_KEY_SCAN 3001
#define IDS_KEY_MENU 3002
