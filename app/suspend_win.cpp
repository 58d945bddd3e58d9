#include "app/suspend_win.h"

int suspendInProgress;
UINT_PTR resumeGrace;

void commandedSuspend(LPARAM) {}
void idleSuspend() {}
void closeProgramWindows() {}
LRESULT onPower(HWND, WPARAM) { return 0; }
LRESULT onPowerBroadcast(HWND, WPARAM) { return TRUE; }
