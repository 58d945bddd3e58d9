// Suspend execution and the platform's power notifications.
#pragma once
#include <windows.h>

extern int suspendInProgress;
// A suspend's failure box is on screen; no other suspend starts meanwhile.
extern int suspendErrorOpen;
// From the start of a suspend to the end of its follow-up (error box, window closer included).
// The monitor broadcast, the window closer and the box all let sent messages in, a launcher's
// hand-off among them; a suspend started there would run inside this one, and its end would
// clear suspendInProgress and stop this one's watchers early.
extern int suspendUnderWay;
extern UINT_PTR resumeGrace;   // timer 9's SetTimer result while the 30 s grace runs
extern int monitorPowerArgument; // SC_MONITORPOWER argument of the last suspend
// A standby by display-off (Modern Standby): 0 none, else one of the two states below.
extern int displayOffStandby;
constexpr int kDisplayOffSettling = 1; // the display was just switched off
constexpr int kDisplayOffWaiting = 2;  // waiting for the user to come back

// WM_COMMAND 7: suspend now; kind is the command's lParam (263 hibernate, 264 standby,
// anything else the configured SuspendType).
void commandedSuspend(LPARAM kind);
// Timer 3 expiry that was not vetoed.
void idleSuspend();
// Destroys the program's modeless windows before a suspend.
void closeProgramWindows();
// The part of it that the shutdown shares: the caution window, the list editors, the about box
// and the settings dialog, in that order. The readme viewer has rules of its own in each.
void destroyModelessDialogs();
// The activity poll's first step: false when no display-off standby runs. Otherwise the poll
// counts no input itself; the first input after the settling poll ends the standby as a resume.
bool pollDisplayOffStandby(HWND window);
LRESULT onPower(HWND window, WPARAM event);
LRESULT onPowerBroadcast(HWND window, WPARAM event);
