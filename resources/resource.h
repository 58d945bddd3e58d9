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
#define SUSPEND_KIND_LAUNCH      (-1) // a launch option's own suspend: SuspendType, then the end

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

// ---- Settings dialog IDD_TIMESET controls and commands. Several share their number with a
// shortcut above: the accelerator table reaches the control of that number.
#define IDC_SETTINGS_OK               1
#define IDC_SETTINGS_CANCEL           2
#define IDC_OTHER_SUSPEND_ALLOW       1029 // 許可(&Y): SuspendOther 1
#define IDC_OTHER_SUSPEND_CANCEL      1030 // キャンセル(&W): SuspendOther 0
#define IDC_HIBERNATE                 1049 // 休止(&P): SuspendType 1
#define IDC_SUSPEND_KIND_ANCHOR       1050 // tooltip anchor over the suspend-kind pair
#define IDC_PROGRAM_EDIT_ANCHOR       1051 // tooltip anchor beneath the program-list button
#define IDC_MONITOR_LIST              1053 // Monitor
#define IDC_HOTKEY_USE                1054 // HotKey(&U)
#define IDC_HOTKEY                    1055 // the hot-key control: HotKeyCode
#define IDC_PROGRAM_WATCH             1056 // ApplicationCheck
#define IDC_TITLE_EDIT_ANCHOR         1061 // tooltip anchor beneath the title-list button
#define IDC_PROGRAM_LIST_EDITOR       1068 // opens the program watch-list editor
#define IDC_TITLE_LIST_EDITOR         1069 // opens the title watch-list editor
#define IDC_TITLE_WATCH               1070 // TitleCheck
#define IDC_STATUS_DISPLAY            1075 // StatusDisplay
#define IDC_STATUS_DISPLAY_ANCHOR     1046 // tooltip anchor beneath the status-display box
#define IDC_TIME                      1100 // Time
#define IDC_TIME_LABEL                1101 // "(&T)": focuses the time field
#define IDC_TIME_SPIN                 1102
#define IDC_FUNCTION_ON               1103 // 機能有効(&E)
#define IDC_FUNCTION_OFF              1104 // 機能無効(&D)
#define IDC_STANDBY                   1105 // スタンバイ(&S): SuspendType 0
#define IDC_QUIT_PROGRAM              1109 // closes the dialog and ends the program
#define IDC_EXPAND                    1114 // 拡張機能(&I)
#define IDC_EXPAND_SUSPEND            1115 // ExpType 1
#define IDC_EXPAND_CANCEL             1116 // ExpType 0
#define IDC_RESOURCE_WATCH            1117 // Resource
#define IDC_WARNING_LEVEL_LABEL       1118
#define IDC_WARNING_LEVEL             1119 // Value
#define IDC_WARNING_LEVEL_MNEMONIC    1120 // "(&Q)": focuses the warning level
#define IDC_WARNING_LEVEL_SPIN        1121
#define IDC_RESOURCE_WATCH_ANCHOR     1122 // tooltip anchor over the resource-warning group
#define IDC_RESOURCE_STOP             1123 // Stop
#define IDC_STOP_LEVEL_LABEL          1124
#define IDC_STOP_LEVEL                1125 // StopValue
#define IDC_STOP_LEVEL_MNEMONIC       1126 // "(&H)": focuses the switch-off level
#define IDC_STOP_LEVEL_SPIN           1127
#define IDC_RESOURCE_STOP_ANCHOR      1128 // tooltip anchor over the switch-off group
#define IDC_UNINSTALL                 1111 // 削除: the registry uninstall

// ---- List editors IDD_APPL and IDD_TITLE controls (one set of ids for both templates)
#define IDC_EDITOR_FETCH_AGAIN   1059 // 再取得: list the running programs or open titles again
#define IDC_EDITOR_ADD           1060 // リストへ追加: move the selected left rows to the watched list
#define IDC_EDITOR_REMOVE        1062 // リストから削除: remove the selected watched rows
#define IDC_EDITOR_RUNNING_LIST  1066 // left list: running programs or open titles
#define IDC_EDITOR_WATCHED_LIST  1067 // right list: watched names, editable in place
#define IDC_EDITOR_CLOSE         1069 // 閉じる
#define IDC_EDITOR_SAVE          1074 // 保存
#define WM_EDITOR_REFIT_COLUMNS  (WM_APP + 1) // posted to an editor: put both column widths back
#define WM_EDITOR_LIST_UNREADABLE (WM_APP + 2) // posted to an editor: its file could not be read (wParam error, lParam why)

// ---- About box IDD_ABOUT controls (the readme viewer's one control is IDOK)
#define IDC_ABOUT_LEGAL          1105 // the legal notice
#define IDC_ABOUT_VERSION        1106 // "Version " and the file version
#define IDC_ABOUT_PRODUCT        1107 // the product name
#define IDC_ABOUT_ICON           1108 // where the animated icon is drawn

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
#define TIMER_TRAY_RETRY         10   // 5 s: asks a busy shell again whether it added the icon
#define TIMER_LAUNCH_SUSPEND     11   // 1 s after start: a launch option's suspend
