#include "status/detectors_win.h"

WatchRecord sharingWatch = {nullptr, 0, 1, 0, nullptr, 0};
WatchRecord dialUpWatch = {nullptr, 0, 1, 0, nullptr, 0};

void startWatchers() {}
void stopWatchers() {}
void closeApmWindow(HWND) {}
void onWatchdogExpired(WatchRecord&, UINT_PTR) {}
