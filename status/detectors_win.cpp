#include "status/detectors_win.h"

#include "app/startup_win.h"
#include "app/windows_win.h"
#include "resources/resource.h"

WatchRecord sharingWatch = {nullptr, 0, 1, 0, nullptr, 0};
WatchRecord dialUpWatch = {nullptr, 0, 1, 0, nullptr, 0};

// The finished flag is set first, so a watcher that is still enumerating stops at its next
// callback and never answers a window after the stop.
void endWatch(WatchRecord& watch)
{
    watch.finishedFlag = 1;
    if (watch.thread) {
        TerminateThread(watch.thread, 0);
        CloseHandle(watch.thread);
        watch.thread = nullptr;
    }
}

void startWatchers() {}

void stopWatchers()
{
    if (sharingWatch.thread)
        endWatch(sharingWatch);
    if (dialUpWatch.thread)
        endWatch(dialUpWatch);
    killTimerWhenArmed(mainWindow, sharingWatch.watchdogTimer, TIMER_SHARING_WATCHDOG);
    killTimerWhenArmed(mainWindow, dialUpWatch.watchdogTimer, TIMER_DIALUP_WATCHDOG);
}

void closeApmWindow(HWND) {}

void onWatchdogExpired(WatchRecord& watch, UINT_PTR timerId)
{
    endWatch(watch);
    KillTimer(mainWindow, timerId);
    watch.watchdogTimer = 0;
}
