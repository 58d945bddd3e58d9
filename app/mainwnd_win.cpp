// The hidden main window: the hub of the program. It owns the tray icon's popup menu, answers
// the icon's mouse messages, the hot key, the menu commands, the commands of a second copy of
// the program and the dialog shortcuts of the accelerator table, and hands timer and power
// messages to their own files.
#include "app/mainwnd_win.h"

#include <shellapi.h>

#include "app/process_win.h"
#include "app/scan_win.h"
#include "app/suspend_win.h"
#include "app/timers_win.h"
#include "app/windows_win.h"
#include "info/dialogs_win.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "settings/settings_dialog_win.h"
#include "settings/settings_store_win.h"
#include "status/tray_win.h"
#include "watchlists/editors_win.h"

HMENU trayMenu;
HMENU forcedSuspendSubmenu;
UINT taskbarCreatedMessage;
RECT cautionWindowRect;
RECT settingsDialogRect;
RECT aboutBoxRect;

namespace {

// ---- Tray menu texts (the about and readme items are in app/windows_win.h). The ideographic
// space (0x81 0x40) in 設　定 and 終　了 is part of the texts.
constexpr const char* kMenuFunctionOn = "機能をONにする (&E)";
constexpr const char* kMenuFunctionOff = "機能をOFFにする (&O)";
constexpr const char* kMenuShowWatchStatus = "現在の監視ステータスを表示(&Q)";
constexpr const char* kMenuForcedSuspend = "強制サスペンド (&U)";
constexpr const char* kMenuStandby = "スタンバイ (&N)";
constexpr const char* kMenuHibernate = "休止 (&M)";
constexpr const char* kMenuSettings = "設　定 (&S)";
constexpr const char* kMenuExit = "終　了 (&X)";

constexpr int kTraySetUpAttempts = 5;
// A busy shell can time out on NIM_ADD and still add the icon a little later. The wait runs on
// a timer: the low-level input hooks run on this thread, and while it sleeps every key and
// mouse move of the desktop waits with it.
constexpr UINT kTrayBusyWaitMs = 5000;
int trayAttemptsLeft;

// Controls and commands of the dialogs that the accelerator table produces; the table is
// translated against this window, so they are handed on to whichever dialog is active.
// Alt+K (1075) is deliberately missing: it does nothing.
constexpr WORD kForwardedShortcuts[] = {
    1,    2,    1029, 1030, 1049, 1053, 1054, 1056, 1068, 1069, 1070,
    1100, 1101, 1103, 1104, 1105, 1109, 1110, 1111, 1112, 1113, 1114,
    1115, 1116, 1117, 1119, 1120, 1123, 1125, 1126, 1134,
};

bool isForwardedShortcut(WORD id)
{
    for (WORD forwarded : kForwardedShortcuts) {
        if (forwarded == id)
            return true;
    }
    return false;
}

// ---- Tray set-up

void fillTrayRecord(HWND window)
{
    fillTrayIconRecord();
    // During WM_CREATE mainWindow is not assigned yet; the record must name this window.
    trayIconRecord.hWnd = window;
}

// One attempt: builds the menu and adds the icon. A busy shell is asked again by the retry
// timer; any other refusal leaves the program running without an icon.
void tryAddTrayIcon(HWND window)
{
    buildTrayMenu();
    applyMenuMarks(settings.Enable);
    fillTrayRecord(window);
    if (Shell_NotifyIconA(NIM_ADD, &trayIconRecord))
        return;
    if (GetLastError() == ERROR_TIMEOUT)
        SetTimer(window, TIMER_TRAY_RETRY, kTrayBusyWaitMs, nullptr);
}

// Up to five attempts, then the program gives up and ends.
void setUpTray(HWND window)
{
    KillTimer(window, TIMER_TRAY_RETRY);
    trayAttemptsLeft = kTraySetUpAttempts;
    tryAddTrayIcon(window);
}

// ---- Switching the function from the menu and the icon

void switchFunction(int on)
{
    if (resourceStopActive)
        return;   // the low-resource stop holds the function off
    settings.OffCheck = on ? 0 : 1;
    setEnableState(on);
    writeAllSettings(0);
}

// ---- Tray icon mouse messages

bool rightClickBlocked()
{
    return settingsDialog || aboutBox || programEditor;
}

bool leftClickBlocked()
{
    return settingsDialog || aboutBox || programEditor || titleEditor;
}

void showTrayMenu(HWND window)
{
    if (!trayMenu)
        return;
    POINT cursor;
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere, and the
    // WM_NULL afterwards makes the next right-click open it at the first attempt.
    SetForegroundWindow(window);
    TrackPopupMenu(trayMenu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
    PostMessageA(window, WM_NULL, 0, 0);
}

void onTrayRightClick(HWND window)
{
    if (rightClickBlocked())
        bringDialogsForward();
    else
        showTrayMenu(window);
}

LRESULT onTrayCallback(HWND window, LPARAM mouseMessage)
{
    const UINT mouse = static_cast<UINT>(mouseMessage);
    if (mouse == WM_RBUTTONUP) {
        onTrayRightClick(window);
    } else if (leftClickBlocked()) {
        if (mouse == WM_LBUTTONUP)
            bringDialogsForward();
    } else if (mouse == WM_LBUTTONDBLCLK) {
        switchFunction(settings.Enable == 1 ? 0 : 1);
    }
    return 0;
}

// ---- Messages

LRESULT onCreate(HWND window)
{
    taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    setUpTray(window);
    return 1;
}

LRESULT onTaskbarCreated(HWND window)
{
    Shell_NotifyIconA(NIM_DELETE, &trayIconRecord);
    dropTrayMenu();
    setUpTray(window);
    return 1;
}

LRESULT onQuitRequest()
{
    PostQuitMessage(0);
    return 1;   // logoff or shutdown may proceed; the loop's shutdown removes everything
}

LRESULT onHotKey(HWND window)
{
    if (settings.HotKeyUse != 0)
        PostMessageA(window, WM_COMMAND, IDC_SUSPEND_NOW, 0);
    return 1;
}

void onReadmeClosed()
{
    // The viewer goes first: its rich-edit control runs code of the library, which must still be
    // loaded while the control is destroyed.
    destroyWhenOpen(readmeViewer);
    if (readmeRichEditLibrary) {
        FreeLibrary(readmeRichEditLibrary);
        readmeRichEditLibrary = nullptr;
    }
}

void forwardShortcut(HWND window, WORD id)
{
    HWND active = GetActiveWindow();
    // The main window becomes active for the popup menu; sending the shortcut to ourselves
    // would come straight back here.
    if (active && active != window)
        SendMessageA(active, WM_COMMAND, id, 0);
}

// A launcher's hand-off, sent from another process, is answered at once: the power call returns
// only after the resume, far beyond the launcher's bounded wait. 1: the suspend follows; 0: one
// is under way already (or its failure box is open), and this request is dropped.
LRESULT acceptSuspendHandOff(HWND window, LPARAM kind)
{
    if (suspendUnderWay || suspendErrorOpen)
        return 0;
    PostMessageA(window, WM_COMMAND, IDC_SUSPEND_NOW, kind);
    return 1;
}

LRESULT onCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    const WORD id = LOWORD(wParam);
    switch (id) {
    case IDC_SUSPEND_NOW:
        if (InSendMessage())
            return acceptSuspendHandOff(window, lParam);
        commandedSuspend(lParam);
        // Whichever loop delivered it (the main one, a box's, the tray menu's), the main loop
        // ends the program once it runs again.
        if (launchSuspendPending == 1 && lParam == SUSPEND_KIND_LAUNCH)
            launchSuspendPending = 2;
        return 0;
    case IDM_FUNCTION_ON:
        switchFunction(1);
        return 1;
    case IDM_FUNCTION_OFF:
        switchFunction(0);
        return 1;
    case IDM_FORCED_SUSPEND:
        // Posted, so that the menu has closed before the suspend starts.
        PostMessageA(window, WM_COMMAND, IDC_SUSPEND_NOW, 0);
        return 1;
    case IDM_SETTINGS:
        openSettingsDialog();
        return 1;
    case IDM_ABOUT:
        openAboutBox();
        return 1;
    case IDM_README:
        showReadme(window);
        return 1;
    case IDM_EXIT:
        PostQuitMessage(0);
        return 1;
    case IDM_HIBERNATE:
        PostMessageA(window, WM_COMMAND, IDC_SUSPEND_NOW, SUSPEND_KIND_HIBERNATE);
        return 1;
    case IDM_STANDBY:
        PostMessageA(window, WM_COMMAND, IDC_SUSPEND_NOW, SUSPEND_KIND_STANDBY);
        return 1;
    case IDM_SHOW_WATCH_STATUS:
        if (settings.StatusDisplay == 1)
            invalidateWatchReport();
        return 1;
    case IDC_README_CLOSED:
        onReadmeClosed();
        return 1;
    }
    if (isForwardedShortcut(id))
        forwardShortcut(window, id);
    return 1;
}

// ---- Bringing the dialogs forward

void bringForward(HWND dialog, const RECT& opened)
{
    SetForegroundWindow(dialog);
    RECT now;
    GetWindowRect(dialog, &now);
    if (now.left != opened.left || now.top != opened.top)
        centerWindowOnScreen(dialog);   // the user had dragged it away
}

} // namespace

void trayRetryTick(HWND window)
{
    KillTimer(window, TIMER_TRAY_RETRY);
    if (Shell_NotifyIconA(NIM_MODIFY, &trayIconRecord))
        return; // the shell had added the icon after all
    Shell_NotifyIconA(NIM_DELETE, &trayIconRecord);
    dropTrayMenu();
    if (--trayAttemptsLeft > 0) {
        tryAddTrayIcon(window);
        return;
    }
    showFatalError(window, "タスクトレイにアイコンを登録できませんでした");
}

void dropTrayMenu()
{
    if (trayMenu)
        DestroyMenu(trayMenu);   // takes the submenu with it
    trayMenu = nullptr;
    forcedSuspendSubmenu = nullptr;
}

void buildTrayMenu()
{
    trayMenu = CreatePopupMenu();
    forcedSuspendSubmenu = isNtPlatform ? CreatePopupMenu() : nullptr;

    AppendMenuA(trayMenu, MF_STRING, IDM_FUNCTION_ON, kMenuFunctionOn);
    AppendMenuA(trayMenu, MF_STRING, IDM_FUNCTION_OFF, kMenuFunctionOff);
    AppendMenuA(trayMenu, MF_SEPARATOR, 0, nullptr);
    if (isNtPlatform) {
        AppendMenuA(trayMenu, MF_STRING | (settings.StatusDisplay == 0 ? MF_GRAYED : 0), IDM_SHOW_WATCH_STATUS,
                    kMenuShowWatchStatus);
        AppendMenuA(trayMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(forcedSuspendSubmenu, MF_STRING, IDM_STANDBY, kMenuStandby);
        AppendMenuA(forcedSuspendSubmenu, MF_STRING, IDM_HIBERNATE, kMenuHibernate);
        AppendMenuA(trayMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(forcedSuspendSubmenu), kMenuForcedSuspend);
    } else {
        AppendMenuA(trayMenu, MF_STRING, IDM_FORCED_SUSPEND, kMenuForcedSuspend);
    }
    AppendMenuA(trayMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(trayMenu, MF_STRING, IDM_SETTINGS, kMenuSettings);
    AppendMenuA(trayMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(trayMenu, MF_STRING, IDM_ABOUT, kMenuAbout);
    if (readmeAvailable) {
        AppendMenuA(trayMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(trayMenu, MF_STRING, IDM_README, kMenuReadme);
    }
    AppendMenuA(trayMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(trayMenu, MF_STRING, IDM_EXIT, kMenuExit);
}

void bringDialogsForward()
{
    if (cautionWindow)
        bringForward(cautionWindow, cautionWindowRect);
    // Only one of the three large dialogs is brought up: they sit on top of each other.
    if (programEditor)
        bringForward(programEditor, programEditorOpeningRect);
    else if (titleEditor)
        bringForward(titleEditor, titleEditorOpeningRect);
    else if (settingsDialog)
        bringForward(settingsDialog, settingsDialogRect);
    if (aboutBox)
        bringForward(aboutBox, aboutBoxRect);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // "TaskbarCreated" is registered at run time, so its id cannot be a case label. It is 0
    // until WM_CREATE, and 0 is WM_NULL, which the popup menu posts.
    if (taskbarCreatedMessage != 0 && message == taskbarCreatedMessage)
        return onTaskbarCreated(window);

    switch (message) {
    case WM_CREATE:
        return onCreate(window);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
        return onQuitRequest();
    case WM_QUERYOPEN:
        return 0;   // never restored: the window is never shown
    case WM_TIMER:
        return onMainWindowTimer(window, wParam);
    case WM_POWER:
        return onPower(window, wParam);
    case WM_POWERBROADCAST:
        return onPowerBroadcast(window, wParam);
    case WM_COMMAND:
        return onCommand(window, wParam, lParam);
    case WM_HOTKEY:
        return onHotKey(window);
    case WM_TRAY_CALLBACK:
        return onTrayCallback(window, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
