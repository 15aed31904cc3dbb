// Identifiers of the module's resources, shared by the resource scripts and the
// C++ code. Plain #defines so the resource compiler reads them too.
#pragma once

// The popup menu resource ("MENU") and its commands.
#define IDM_RACE_SETTINGS 32773
#define IDM_RACE_RESULTS 32774
#define IDM_STOP_RACE 1019
#define IDM_OPEN_LOG_WINDOW 1020
#define IDM_CLEAR_LOG_WINDOW 1021
#define IDM_OPEN_VALIDATE_WINDOW 1023
#define IDM_VALIDATE_NOW 1024
#define IDM_ABOUT 32772

// The popup's own item in the host's menu bar.
#define IDM_VOLANTIS_POPUP 45001

// The application title string.
#define IDS_APP_TITLE 57344

// The module icon.
#define IDI_VOLANTIS 101

// Dialog templates of the windows and dialogs.
#define IDD_VALIDATE 100
#define IDD_LOG 102
#define IDD_ABOUT 103
#define IDD_RESULTS 104
#define IDD_RACE_SETTINGS 195

// Log window.
#define IDC_LOG_EDIT 1002
#define IDC_LATITUDE 1005
#define IDC_LONGITUDE 1007
#define IDC_ALTITUDE 1009
#define IDC_GATES_FILE 1011

// Validate window.
#define IDC_VALIDATE_EDIT 1014
#define IDC_VALIDATE_NOW 1015

// Race Settings dialog.
#define IDC_PLAYER_NAME 1003
#define IDC_SERVER_IP 1004
#define IDC_SERVER_PORT 1006
#define IDC_HOT_KEY_SET 1008
#define IDC_HOT_KEY_CLEAR 1010
#define IDC_HOT_KEY 1012
#define IDC_SOUND_CROSS 1025
#define IDC_SOUND_SKIP 1026
#define IDC_SOUND_END 1027
#define IDC_SOUND_VALIDATE 1028
#define IDC_SOUND_RACE_RESULTS 1029

// Results window (the browser shares its number with a check box of another dialog).
#define IDC_BROWSER 1029
#define IDC_ADDRESS 1030
#define IDC_GO 1035

// About box.
#define IDC_VERSION 1041
