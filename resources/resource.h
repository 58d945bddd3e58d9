// Resource, command, control, timer and message ids of Somnivar. Shared by the .rc file and the
// code, so it holds only #defines. Each kind has its own block; no number is used twice within
// a kind. Dialog templates are named resources ("IDD_TIMESET", ...) and so have no number here.
#pragma once

// ---- Icons
#define IDI_PROGRAM              1    // the program's own icon (window class, dialogs)
#define IDI_FUNCTION_ON          2    // tray icon while the automatic suspend is on
#define IDI_FUNCTION_OFF         3    // tray icon while it is off

// ---- Accelerator table
#define IDA_DIALOG_SHORTCUTS     105  // Alt+letter shortcuts of the dialogs, translated against the main window

// ---- Commands of the main window (WM_COMMAND, low word of wParam)
#define IDC_SUSPEND_NOW          7    // suspend now; lParam chooses the kind
#define IDM_FUNCTION_ON          256  // tray menu: switch the function on
#define IDM_FUNCTION_OFF         257  // tray menu: switch the function off
#define IDM_FORCED_SUSPEND       258  // tray menu (9x): forced suspend; also -X's lParam
#define IDM_SETTINGS             259  // tray menu: settings dialog
#define IDM_ABOUT                260  // tray menu: version information
#define IDM_README               261  // tray menu: show Readme.txt; also sent by a second start with -H
#define IDM_EXIT                 262  // tray menu: exit
#define IDM_HIBERNATE            263  // tray submenu (NT): hibernate; also -L's lParam
#define IDM_STANDBY              264  // tray submenu (NT): standby; also -S's lParam
#define IDM_SHOW_WATCH_STATUS    267  // tray menu (NT): show the current watch status again
#define IDC_README_CLOSED        1135 // sent by the readme viewer when it closes

// lParam of IDC_SUSPEND_NOW
#define SUSPEND_KIND_CONFIGURED  258  // use SuspendType (also 0 and -1)
#define SUSPEND_KIND_HIBERNATE   263
#define SUSPEND_KIND_STANDBY     264

// ---- Dialog shortcut ids produced by accelerator table 105 (settings dialog controls and a
// few further commands); the main window forwards them to the active window.
#define IDC_SHORTCUT_W           1030
#define IDC_SHORTCUT_Y           1029
#define IDC_SHORTCUT_U           1054
#define IDC_SHORTCUT_G           1056
#define IDC_SHORTCUT_Z           1068
#define IDC_SHORTCUT_M           1070
#define IDC_SHORTCUT_K           1075
#define IDC_SHORTCUT_T           1101
#define IDC_SHORTCUT_E           1103
#define IDC_SHORTCUT_O           1104
#define IDC_SHOW_ABOUT           1110 // Alt+V: version information from a dialog
#define IDC_SHORTCUT_D           1111
#define IDC_ESCAPE               1113 // Esc
#define IDC_SHORTCUT_I           1114
#define IDC_SHORTCUT_N           1115
#define IDC_SHORTCUT_A           1116
#define IDC_SHORTCUT_R           1117
#define IDC_SHORTCUT_P           1120
#define IDC_SHORTCUT_L           1123
#define IDC_SHORTCUT_H           1126
#define IDC_SHOW_README          1134 // Alt+B: Readme.txt from a dialog

// ---- Caution window IDD_CAUTION controls
#define IDC_CAUTION_HEADING      1131
#define IDC_CAUTION_TEXT         1132
#define IDC_CAUTION_ICON         1133

// ---- About box IDD_ABOUT controls (the readme viewer's one control is IDOK)
#define IDC_ABOUT_LEGAL          1105 // the legal notice
#define IDC_ABOUT_VERSION        1106 // "Version " and the file version
#define IDC_ABOUT_PRODUCT        1107 // the product name
#define IDC_ABOUT_ICON           1108 // where the animated icon is drawn

// ---- Settings dialog IDD_TIMESET controls used so far
#define IDC_SETTINGS_OK          1
#define IDC_SETTINGS_CANCEL      2

// ---- Main window messages
#define WM_TRAY_CALLBACK         (WM_APP + 100) // 32868: mouse messages on the tray icon
#define TRAY_ICON_ID             123
#define HOTKEY_ID_SUSPEND        1

// ---- Timers on the main window
#define TIMER_ABOUT_ANIMATION    1    // on the about box itself
#define TIMER_ACTIVITY_POLL      2    // 1 s: activity poll, status line, resource watch
#define TIMER_IDLE_EXPIRY        3    // Time minutes: idle expiry
#define TIMER_SHARING_WATCHDOG   4    // 5 s: ends the sharing watcher / power window closer
#define TIMER_DIALUP_WATCHDOG    5    // 5 s: ends the dial-up watcher
#define TIMER_CAUTION_FLASH      6    // 300 ms: flashes the caution window
#define TIMER_WATCH_SCAN         8    // 1 s: watch scan and enable decision
#define TIMER_RESUME_GRACE       9    // 30 s: grace after a resume
