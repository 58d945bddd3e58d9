#include "status/caution_win.h"

INT_PTR CALLBACK cautionDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
void cautionBlinkStep() {}
