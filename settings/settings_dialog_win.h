// The settings dialog IDD_TIMESET.
#pragma once
#include <windows.h>

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Opens the dialog modeless, owned by the main window, unless it is open already.
void openSettingsDialog();
