// Idle supervision: the main window's timers and the idle countdown.
#pragma once
#include <windows.h>

extern UINT_PTR idleTimerArmed;       // timer 3's SetTimer result, 0 while not armed
extern UINT_PTR cautionFlashArmed;    // timer 6
extern int resourceStopActive;
extern int enableBeforeResourceStop;
extern int cautionShown;
extern int readmeSettling;

// Mode 1 arms the idle countdown when it is not armed, any other mode disarms it; both clear
// the activity flag and, unless our own suspend is in progress, stop the interference watchers.
void armIdleTimer(int mode);
// "No timer can be obtained" and the quit, through the one fatal path.
void reportTimerFailure();
// Installs the input hooks afresh (NT family: Windows may have dropped them). Does nothing
// unless start-up installed them.
void reinstallInputHooks();
// Ticks a freshly opened readme viewer is looked for.
constexpr int kReadmeSettlingTicks = 30;
// Starts the readme settling look-up with a budget of ticks.
void startReadmeSettling(int budget);
// WM_TIMER of the main window.
LRESULT onMainWindowTimer(HWND window, WPARAM timerId);
