// Resources of the user-interface tests' own executable: a menu bar of two soft keys, the
// second carrying a menu, and the labels a soft key can take.
#pragma once

#define IDR_TEST_MENUBAR 200
#define IDR_TEST_MENU 201

#define IDM_DONE 1001
#define IDM_MENU 1002
#define IDM_SCAN 1003
#define IDM_CHECKED 1101
#define IDM_PLAIN 1102
#define IDM_GRAYED 1103
#define IDM_INSERTED 1104

#define IDS_KEY_DONE 301
#define IDS_KEY_MENU 302
#define IDS_KEY_SCAN 303
