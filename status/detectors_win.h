// Interference detectors: the watcher threads that answer the system's confirmation windows
// during an idle suspend, and the power-management window closer.
#pragma once
#include <windows.h>

// One watch. The user-interface thread owns every field but the finished flag, which it shares
// with the watcher thread: a watcher claims its answer by turning the flag from 0 to 1, and
// whoever stops the watch turns it to 1 first, so exactly one of the two wins.
struct WatchRecord {
    volatile LONG finishedFlag; // 1 while no watch runs, 0 while it runs
    UINT_PTR watchdogTimer;     // SetTimer result of the watch's timer, 0 while not armed
    HANDLE thread;              // the watcher, until it has been seen to end
    DWORD threadId;
};
extern WatchRecord sharingWatch;
extern WatchRecord dialUpWatch;

// How long the user-interface thread waits for a stopped watcher to notice and end by itself.
constexpr DWORD kWatcherEndWaitMs = 500;

// Sets the finished flag, then waits up to kWatcherEndWaitMs for the watcher to end and
// forgets it. A watcher that does not end in time keeps its handle: it can no longer answer,
// and the next stop or start looks at it again.
void endWatch(WatchRecord& watch);
// Before the power call of the idle suspend: arms timers 4 and 5 and starts both watchers.
void startWatchers();
// Ends both watchers and kills their timers.
void stopWatchers();
// After a failed power call: closes the power-management window when it appears within 5 s.
void closeApmWindow(HWND mainWindow);
// Watchdog expiry of timer 4 (sharing) or 5 (dial-up).
void onWatchdogExpired(WatchRecord& watch, UINT_PTR timerId);

