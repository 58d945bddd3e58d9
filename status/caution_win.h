// The caution window IDD_CAUTION: raised once per shortage of free system resources.
#pragma once
#include <windows.h>


INT_PTR CALLBACK cautionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Timer 6: one blink step.
void cautionBlinkStep();
