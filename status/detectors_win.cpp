#include "status/detectors_win.h"

#include <cstring>
#include <initializer_list>

#include "app/process_win.h"
#include "app/windows_win.h"
#include "resources/resource.h"
#include "settings/settings.h"

WatchRecord sharingWatch = {1, 0, nullptr, 0};
WatchRecord dialUpWatch = {1, 0, nullptr, 0};

namespace {

constexpr UINT kWatchdogMs = 5000;
constexpr DWORD kApmSearchMs = 5000;
// The closer runs on the thread of the low-level input hooks: another program's hung window
// must not hold it.
constexpr UINT kApmCloseTimeoutMs = 500;
// Between two searches of a watcher: a confirmation is still answered well within 100 ms of its
// appearance, and the watchers no longer cost a whole core while the machine tries to sleep.
constexpr DWORD kWatchPassPauseMs = 20;
constexpr int kTextSize = 256;

constexpr const char* kSharingTitle = "共有";
constexpr const char* kSharingTitleNt = "Windows";
constexpr const char* kDialUpTitle = "ダイヤルアップ ネットワーク";
constexpr const char* kDialUpClass = "#32770";
constexpr const char* kDialUpEngineClass = "RnaEngClass";
constexpr const char* kApmTitle = "アドバンスト パワー マネージメント";

// Thread start parameters; the watchers do not read them.
constexpr ULONG_PTR kSharingWatcherParameter = 1;
constexpr ULONG_PTR kDialUpWatcherParameter = 2;

// One pass through the window order: the flag that stops it, and what it found.
struct WatchSearch {
    const volatile LONG* finished;
    HWND found;
};

// GetWindowTextA on a window of this process that another thread owns sends that thread
// WM_GETTEXT and waits for it. While our user-interface thread sits in the power call, that
// would hold a watcher at our main window for the whole sleep. The confirmation windows are
// never ours, so ours are passed over before anything is read from them.
bool isOwnWindow(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId();
}

// True when the window has a title; our own windows count as untitled.
bool readTitle(HWND window, char (&title)[kTextSize])
{
    title[0] = '\0';
    return !isOwnWindow(window) && GetWindowTextA(window, title, kTextSize) > 0;
}

bool hasClass(HWND window, const char* wanted)
{
    char className[kTextSize];
    return GetClassNameA(window, className, kTextSize) > 0 && std::strcmp(className, wanted) == 0;
}

bool stopped(LPARAM search)
{
    return *reinterpret_cast<WatchSearch*>(search)->finished != 0;
}

BOOL matched(LPARAM search, HWND window)
{
    reinterpret_cast<WatchSearch*>(search)->found = window;
    return FALSE;
}

// Titles are compared byte for byte: "共有です" or "Windows 2000" is somebody else's window.
BOOL matchTitle(HWND window, LPARAM search, const char* title, const char* otherTitle)
{
    if (stopped(search))
        return FALSE;
    char text[kTextSize];
    if (readTitle(window, text) &&
        (std::strcmp(text, title) == 0 || (otherTitle && std::strcmp(text, otherTitle) == 0)))
        return matched(search, window);
    return TRUE;
}

BOOL CALLBACK matchSharingWindow(HWND window, LPARAM search)
{
    return matchTitle(window, search, kSharingTitle, kSharingTitleNt);
}

BOOL CALLBACK matchApmWindow(HWND window, LPARAM search)
{
    return matchTitle(window, search, kApmTitle, nullptr);
}

bool isDialUpDialog(HWND window)
{
    char title[kTextSize];
    return readTitle(window, title) && std::strcmp(title, kDialUpTitle) == 0 && hasClass(window, kDialUpClass);
}

// A dialog with the dial-up title is the dial-up confirmation only beside the untitled engine
// window, so the search starts from the engine window and walks up, then down.
BOOL CALLBACK matchDialUpWindow(HWND window, LPARAM search)
{
    if (stopped(search))
        return FALSE;
    char title[kTextSize];
    if (readTitle(window, title) || !hasClass(window, kDialUpEngineClass))
        return TRUE;
    for (UINT direction : {GW_HWNDPREV, GW_HWNDNEXT})
        for (HWND other = GetWindow(window, direction); other; other = GetWindow(other, direction))
            if (isDialUpDialog(other))
                return matched(search, other);
    // The engine window without its dialog: this pass ends, and the watcher looks again.
    return FALSE;
}

void sendAnswer(HWND window)
{
    const bool goOn = settings.ExpType == 1;
    // SendMessageA: the window has handled the first answer before it sees the second.
    SendMessageA(window, WM_COMMAND, goOn ? IDYES : IDNO, 0);
    SendMessageA(window, WM_COMMAND, goOn ? IDOK : IDCANCEL, 0);
}

// Searches, with a short pause between passes, until a window matches or the watch is stopped.
// The answer goes out only when this watcher is the one that turns the finished flag to 1: a
// stop that came first wins, and the window is left alone.
void watchFor(WatchRecord& watch, WNDENUMPROC match)
{
    WatchSearch search = {&watch.finishedFlag, nullptr};
    while (!search.found) {
        EnumWindows(match, reinterpret_cast<LPARAM>(&search));
        if (watch.finishedFlag)
            return;
        if (!search.found)
            Sleep(kWatchPassPauseMs);
    }
    if (InterlockedCompareExchange(&watch.finishedFlag, 1, 0) == 0)
        sendAnswer(search.found);
}

DWORD WINAPI watchSharingDialog(LPVOID)
{
    watchFor(sharingWatch, matchSharingWindow);
    ExitThread(0);
}

DWORD WINAPI watchDialUpDialog(LPVOID)
{
    watchFor(dialUpWatch, matchDialUpWindow);
    ExitThread(0);
}

// Forgets the watcher once its thread has ended; true when none is left.
bool forgetEndedWatcher(WatchRecord& watch, DWORD waitMs)
{
    if (!watch.thread)
        return true;
    if (WaitForSingleObject(watch.thread, waitMs) != WAIT_OBJECT_0)
        return false;
    CloseHandle(watch.thread);
    watch.thread = nullptr;
    return true;
}

// The watchdog is armed here rather than by the thread: a timer belongs to the thread that
// owns its window. The finished flag is cleared before the thread exists, so that a stop
// coming right after the start is never undone by the new thread.
void startWatcher(WatchRecord& watch, UINT_PTR timerId, LPTHREAD_START_ROUTINE procedure, ULONG_PTR parameter)
{
    // A watcher of an earlier suspend still stuck in a platform call keeps its record, and
    // this suspend goes without that watcher.
    if (!forgetEndedWatcher(watch, 0))
        return;
    watch.watchdogTimer = SetTimer(mainWindow, timerId, kWatchdogMs, nullptr);
    if (!watch.watchdogTimer) {
        showFatalError(mainWindow, kNoTimerText);
        return;
    }
    watch.finishedFlag = 0;
    watch.thread = CreateThread(nullptr, 0, procedure, reinterpret_cast<LPVOID>(parameter), 0, &watch.threadId);
    if (!watch.thread) {
        watch.finishedFlag = 1;
        killTimerWhenArmed(mainWindow, watch.watchdogTimer, timerId);
    }
}

} // namespace

void endWatch(WatchRecord& watch)
{
    InterlockedExchange(&watch.finishedFlag, 1);
    forgetEndedWatcher(watch, kWatcherEndWaitMs);
}

void startWatchers()
{
    startWatcher(sharingWatch, TIMER_SHARING_WATCHDOG, watchSharingDialog, kSharingWatcherParameter);
    startWatcher(dialUpWatch, TIMER_DIALUP_WATCHDOG, watchDialUpDialog, kDialUpWatcherParameter);
}

void stopWatchers()
{
    if (sharingWatch.thread)
        endWatch(sharingWatch);
    if (dialUpWatch.thread)
        endWatch(dialUpWatch);
    killTimerWhenArmed(mainWindow, sharingWatch.watchdogTimer, TIMER_SHARING_WATCHDOG);
    killTimerWhenArmed(mainWindow, dialUpWatch.watchdogTimer, TIMER_DIALUP_WATCHDOG);
}

void closeApmWindow(HWND window)
{
    // Takes over the sharing watcher's watchdog for the time of the search.
    sharingWatch.watchdogTimer = SetTimer(window, TIMER_SHARING_WATCHDOG, kWatchdogMs, nullptr);
    // The quit comes after this suspend attempt; the window is still looked for.
    if (!sharingWatch.watchdogTimer)
        showFatalError(window, kNoTimerText);
    // This thread handles no timer while it searches, so it keeps the time itself. Nothing but
    // the time ends this search: its own flag stays 0.
    const volatile LONG searching = 0;
    WatchSearch search = {&searching, nullptr};
    const DWORD start = GetTickCount();
    while (!search.found && GetTickCount() - start < kApmSearchMs)
        EnumWindows(matchApmWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found)
        SendMessageTimeoutA(search.found, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kApmCloseTimeoutMs, nullptr);
    killTimerWhenArmed(window, sharingWatch.watchdogTimer, TIMER_SHARING_WATCHDOG);
    if (sharingWatch.thread)
        endWatch(sharingWatch);
}

void onWatchdogExpired(WatchRecord& watch, UINT_PTR timerId)
{
    endWatch(watch);
    KillTimer(mainWindow, timerId);
    watch.watchdogTimer = 0;
}
