// Interference detectors: the watcher threads that answer the system's confirmation windows
// during an idle suspend, and the power-management window closer.
#pragma once
#include <windows.h>

struct WatchRecord {
    HWND foundWindow;
    volatile LONG foundFlag;
    volatile LONG finishedFlag;
    UINT_PTR watchdogTimer;
    HANDLE thread;
    DWORD threadId;
};
extern WatchRecord sharingWatch;
extern WatchRecord dialUpWatch;

// Sets the finished flag first, then ends the watcher thread when there is one.
void endWatch(WatchRecord& watch);
void startWatchers();
void stopWatchers();
void closeApmWindow(HWND mainWindow);
// Watchdog expiry of timer 4 (sharing) or 5 (dial-up).
void onWatchdogExpired(WatchRecord& watch, UINT_PTR timerId);
