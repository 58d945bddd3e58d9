// Start-up, command line, single instance, message loop and shutdown.
#include "app/startup_win.h"

#include <clocale>
#include <cstring>
#include <tlhelp32.h>

#include "app/bytes.h"
#include "app/mainwnd_win.h"
#include "app/powercaps_win.h"
#include "app/process_win.h"
#include "app/scan_win.h"
#include "app/suspend_win.h"
#include "app/syslibs_win.h"
#include "app/timers_win.h"
#include "app/windows_win.h"
#include "hooklib/vantrel.h"
#include "info/dialogs_win.h"
#include "info/version_win.h"
#include "info/versiontext.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "settings/settings_dialog_win.h"
#include "settings/settings_store_win.h"
#include "status/detectors_win.h"
#include "status/tray_win.h"
#include "watchlists/editors_win.h"
#include "watchlists/listfiles_win.h"

namespace {

// A hung instance must not hang every launcher: the hand-off gives up after a few seconds.
constexpr UINT kHandOffTimeoutMs = 5000;
constexpr const char* kInstanceSilentText = "起動中の Somnivar が応答しません。\n要求は取り消されました。";

void showError(HWND owner, const char* text, UINT style)
{
    MessageBoxA(owner, text, kErrorCaption, style);
}

HWND findRunningInstance()
{
    return FindWindowA(kAppName, kAppName);
}

// A search by name, as the list-present flags and the readme check use it: only "the file does
// not exist" counts as absent; any other failure (a locked file, say) counts as present.
bool fileSearchSaysMissing(const char* name)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(name, &found);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        return false;
    }
    return GetLastError() == ERROR_FILE_NOT_FOUND;
}

void readPlatform()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    isNtPlatform = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void readShellVersion()
{
    char path[MAX_PATH];
    systemDirectoryPath("Shell32.dll", path, sizeof(path));
    VersionBlock block;
    if (!path[0] || !loadVersionBlock(path, &block))
        return;
    char productVersion[256];
    queryVersionString(&block, "ProductVersion", productVersion, sizeof(productVersion));
    freeVersionBlock(&block);
    shellMajorVersion = leadingInteger(productVersion);
}

void readReadmeAvailability()
{
    const bool missing = fileSearchSaysMissing("Readme.txt");
    // By full path: the program works in its current directory, where a planted library of
    // that name must never be loaded.
    char path[MAX_PATH];
    systemDirectoryPath("RICHED32.DLL", path, sizeof(path));
    HMODULE richEdit = path[0] ? LoadLibraryA(path) : nullptr;
    readmeAvailable = !missing && richEdit != nullptr;
    if (richEdit)
        FreeLibrary(richEdit);
}

// Hands a command to the running instance, if any. Returns true when one took it.
bool handToRunningInstance(WPARAM command, LPARAM argument)
{
    HWND running = findRunningInstance();
    if (!running)
        return false;
    DWORD_PTR answer;
    if (!SendMessageTimeoutA(running, WM_COMMAND, command, argument, SMTO_ABORTIFHUNG, kHandOffTimeoutMs, &answer))
        showError(nullptr, kInstanceSilentText, MB_ICONWARNING);
    return true;
}

// Returns false when the process is to end now with 0.
bool handleCommandLine()
{
    for (int i = 1; i < __argc; ++i) {
        const char* argument = __argv[i];
        if (std::strlen(argument) != 2 || argument[0] != '-')
            continue;
        switch (argument[1]) {
        case '?':
        case 'H':
        case 'h':
            if (!readmeAvailable)
                break;
            if (handToRunningInstance(IDM_README, 0))
                return false;
            openReadmeViewer(nullptr);
            startReadmeSettling(kReadmeSettlingTicks);
            pendingLaunchCommand = 0;
            break;
        case 'L':
        case 'l':
            if (handToRunningInstance(IDC_SUSPEND_NOW, SUSPEND_KIND_HIBERNATE))
                return false;
            pendingLaunchCommand = SUSPEND_KIND_HIBERNATE;
            break;
        case 'S':
        case 's':
            if (handToRunningInstance(IDC_SUSPEND_NOW, SUSPEND_KIND_STANDBY))
                return false;
            pendingLaunchCommand = SUSPEND_KIND_STANDBY;
            break;
        case 'X':
        case 'x':
            if (handToRunningInstance(IDC_SUSPEND_NOW, SUSPEND_KIND_CONFIGURED))
                return false;
            pendingLaunchCommand = SUSPEND_KIND_CONFIGURED;
            break;
        case 'M':
        case 'm':
            balloonErrorMode = 1;
            break;
        default:
            break;
        }
    }
    return true;
}

// Returns false when another instance runs and the process is to end.
bool checkSingleInstance()
{
    if (pendingLaunchCommand != -1)
        return true;
    HWND running = findRunningInstance();
    if (!running)
        return true;
    char text[128];
    wsprintfA(text, "%s は既に起動されています。", kAppName);
    MessageBoxA(running, text, kAppName, MB_OK);
    return false;
}

void acquirePowerRights()
{
    if (isNtPlatform) {
        shutdownPrivilegeHeld = setShutdownPrivilege(1);
        if (!shutdownPrivilegeHeld) {
            showFatalError(nullptr, "誠に申し訳御座いませんが、現在のシステムまたは\n"
                                    "アカウントでは、サスペンドが実行できません。");
        }
        return;
    }
    char path[MAX_PATH];
    systemDirectoryPath("RSRC32.DLL", path, sizeof(path));
    resourceMeterLibrary = path[0] ? LoadLibraryA(path) : nullptr;
    if (resourceMeterLibrary)
        freeResourcesProc = reinterpret_cast<FreeResourcesProc>(
            reinterpret_cast<void*>(GetProcAddress(resourceMeterLibrary, "_MyGetFreeSystemResources32@4")));
}

bool createMainWindow(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_SAVEBITS | CS_BYTEALIGNCLIENT;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = kAppName;
    RegisterClassA(&windowClass);
    // The window is never shown; it owns the timers, the hot key and the tray icon. Its
    // creation adds the tray icon (WM_CREATE).
    mainWindow = CreateWindowExA(WS_EX_TRANSPARENT, kAppName, kAppName, WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, instance, nullptr);
    return mainWindow != nullptr;
}

void armSupervisionTimers()
{
    for (UINT_PTR id : {static_cast<UINT_PTR>(TIMER_ACTIVITY_POLL), static_cast<UINT_PTR>(TIMER_WATCH_SCAN)}) {
        if (!SetTimer(mainWindow, id, 1000, nullptr))
            reportTimerFailure();
    }
}

void registerSuspendHotKey()
{
    if (settings.HotKeyCode == 0)
        return;
    const UINT key = settings.HotKeyCode & 0xFF;
    const UINT flags = (settings.HotKeyCode >> 8) & 0xFF;
    UINT modifiers = 0;
    if (flags & HOTKEYF_ALT)
        modifiers |= MOD_ALT;
    if (flags & HOTKEYF_CONTROL)
        modifiers |= MOD_CONTROL;
    if (flags & HOTKEYF_SHIFT)
        modifiers |= MOD_SHIFT;
    if (!RegisterHotKey(mainWindow, HOTKEY_ID_SUSPEND, modifiers, key))
        MessageBoxA(mainWindow, "ホットキーの設定ができませんでした", kErrorCaption, MB_OK);
}

void loadWatchLists()
{
    programListPresent = fileSearchSaysMissing(kProgramListFile) ? 0 : 1;
    titleListPresent = fileSearchSaysMissing(kTitleListFile) ? 0 : 1;
    loadProgramList();
    loadTitleList();
}

void probeProcessWatch()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        CloseHandle(snapshot);
        processWatchAvailable = 1;
        return;
    }
    processWatchAvailable = 0;
    showError(mainWindow, "現在、プログラム監視ができない状態です。", MB_ICONWARNING);
}

// ---- Message loop

bool insideRect(const RECT& rect, POINT point)
{
    return point.x >= rect.left && point.x <= rect.right && point.y >= rect.top && point.y <= rect.bottom;
}

} // namespace

bool filterInPlaceEdit(const MSG& message)
{
    if (!programEditor && !titleEditor)
        return false;
    if (message.message == WM_KEYDOWN && inPlaceEdit && message.hwnd == inPlaceEdit) {
        if (message.wParam == VK_RETURN) {
            SendMessageA(inPlaceEdit, WM_KILLFOCUS, 0, 0);
            return true;
        }
        if (message.wParam == VK_ESCAPE) {
            SetWindowTextA(inPlaceEdit, textBeforeEdit);
            SendMessageA(inPlaceEdit, WM_KILLFOCUS, 0, 0);
            return true;
        }
        return false;
    }
    if ((message.message == WM_LBUTTONDOWN || message.message == WM_RBUTTONDOWN) && message.hwnd &&
        (message.hwnd == programEditor || message.hwnd == titleEditor)) {
        POINT cursor;
        GetCursorPos(&cursor);
        const RECT& opening = titleEditor && inPlaceEdit ? titleEditorOpeningRect : programEditorOpeningRect;
        if (inPlaceEdit && insideRect(opening, cursor)) {
            SendMessageA(inPlaceEdit, WM_KILLFOCUS, 0, 0);
            return true;
        }
    }
    return false;
}

namespace {

bool routeToDialogs(MSG& message)
{
    const HWND dialogs[] = {aboutBox, settingsDialog, cautionWindow, readmeViewer, programEditor, titleEditor};
    for (HWND dialog : dialogs) {
        if (dialog && IsDialogMessageA(dialog, &message))
            return true;
    }
    return false;
}

void launchFollowUp()
{
    if (pendingLaunchCommand == 0 && !readmeViewer) {
        // A readme-only start ends with its viewer.
        PostQuitMessage(0);
    } else if (pendingLaunchCommand == SUSPEND_KIND_CONFIGURED || pendingLaunchCommand == SUSPEND_KIND_HIBERNATE ||
               pendingLaunchCommand == SUSPEND_KIND_STANDBY) {
        pendingLaunchCommand = -1;
        // The suspend comes a second later, from a timer: this thread runs the input hooks and
        // must not sleep.
        launchSuspendPending = 1;
        if (!SetTimer(mainWindow, TIMER_LAUNCH_SUSPEND, 1000, nullptr))
            PostMessageA(mainWindow, WM_COMMAND, IDC_SUSPEND_NOW, SUSPEND_KIND_LAUNCH);
    } else if (launchSuspendPending == 2) {
        // The quit waits until the suspend has been handled and its loop has returned here: a
        // quit queued earlier would end the modal loop of its error box at once, and a menu's
        // loop would swallow it.
        PostQuitMessage(0);
    }
}

WPARAM runMessageLoop()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!filterInPlaceEdit(message) && !TranslateAcceleratorA(mainWindow, acceleratorTable, &message) &&
            !routeToDialogs(message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (readmeEdit)
            HideCaret(readmeEdit);
        launchFollowUp();
    }
    return message.wParam;
}

// ---- Shutdown

WPARAM shutDown(WPARAM exitCode)
{
    sharingWatch.finishedFlag = 1;
    dialUpWatch.finishedFlag = 1;

    if (acceleratorTable)
        DestroyAcceleratorTable(acceleratorTable);
    UnregisterHotKey(mainWindow, HOTKEY_ID_SUSPEND);

    freeWatchLists();

    Shell_NotifyIconA(NIM_DELETE, &trayIconRecord);
    dropTrayMenu();

    armIdleTimer(0);

    KillTimer(mainWindow, TIMER_ACTIVITY_POLL);
    if (isNtPlatform && shutdownPrivilegeHeld)
        setShutdownPrivilege(0);

    KillTimer(mainWindow, TIMER_WATCH_SCAN);
    killTimerWhenArmed(mainWindow, idleTimerArmed, TIMER_IDLE_EXPIRY);
    killTimerWhenArmed(mainWindow, cautionFlashArmed, TIMER_CAUTION_FLASH);
    killTimerWhenArmed(mainWindow, sharingWatch.watchdogTimer, TIMER_SHARING_WATCHDOG);
    killTimerWhenArmed(mainWindow, dialUpWatch.watchdogTimer, TIMER_DIALUP_WATCHDOG);

    // The finished flags are 1 since the top of the shutdown; endWatch only sets them again.
    endWatch(sharingWatch);
    endWatch(dialUpWatch);

    // The low-resource stop switched the function off on its own: store what the user had.
    if (settings.Stop == 1 && settings.StopValue >= freeResourcePercent && resourceStopActive)
        setEnableState(enableBeforeResourceStop);

    destroyModelessDialogs();

    destroyReadmeEdit();
    destroyWhenOpen(readmeViewer);
    // After the viewer: its control runs the library's code until it is gone.
    if (readmeRichEditLibrary) {
        FreeLibrary(readmeRichEditLibrary);
        readmeRichEditLibrary = nullptr;
    }

    removeSettingsTooltips();

    FreeHook();

    if (resourceMeterLibrary) {
        FreeLibrary(resourceMeterLibrary);
        resourceMeterLibrary = nullptr;
        freeResourcesProc = nullptr;
    }
    return exitCode;
}

} // namespace

int setShutdownPrivilege(int enable)
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return 0;
    TOKEN_PRIVILEGES privileges = {};
    if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        CloseHandle(token);
        return 0;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable == 1 ? SE_PRIVILEGE_ENABLED : 0;
    SetLastError(ERROR_SUCCESS);
    const BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    // The call succeeds with ERROR_NOT_ALL_ASSIGNED when the account lacks the privilege.
    const bool assigned = adjusted && GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return assigned ? 1 : 0;
}

int somnivarMain(HINSTANCE instance, int)
{
    narrowLibrarySearch();
    lookUpSystemCalls();
    appInstance = instance;
    setlocale(LC_ALL, "jpn");
    // The state above starts by static initialisation: flags 0, pendingLaunchCommand -1,
    // readmeSettling 1 with no budget, finished flags 1, settings at their defaults.
    readPlatform();
    readShellVersion();
    readReadmeAvailability();
    if (!handleCommandLine())
        return 0;
    if (!checkSingleInstance())
        return 0;
    acquirePowerRights();
    readPowerCapabilities();
    loadSettings();
    createMainWindow(instance);
    if (!SetHook()) {
        showFatalError(mainWindow, "マウス・キーボードをフックできませんでした。");
        return 0;
    }
    inputHooksInstalled = 1;
    acceleratorTable = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_DIALOG_SHORTCUTS));
    MessageSet(0);
    InitCommonControls();
    setEnableState(settings.Enable);
    armSupervisionTimers();
    registerSuspendHotKey();
    loadWatchLists();
    probeProcessWatch();
    // After the probe: the dialog greys the program watch while no snapshot can be taken.
    if (firstRun)
        openSettingsDialog();
    if (balloonErrorMode)
        showTrayBalloon(mainWindow, "サスペンドエラーメッセージは、ここに表示されます", kAppName, kBalloonInfo);
    return static_cast<int>(shutDown(runMessageLoop()));
}
