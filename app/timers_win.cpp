#include "app/timers_win.h"

UINT_PTR idleTimerArmed;
UINT_PTR cautionFlashArmed;
int resourceStopActive;
int enableBeforeResourceStop;
int cautionShown;
int readmeSettling = 1;
int readmeSettlingBudget;

void armIdleTimer(int) {}
void startReadmeSettling(int budget)
{
    readmeSettling = 1;
    readmeSettlingBudget = budget;
}
LRESULT onMainWindowTimer(HWND, WPARAM) { return 0; }
