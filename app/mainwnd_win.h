// The hidden main window: its procedure, the tray set-up and popup menu, command dispatch.
#pragma once
#include <windows.h>

extern HMENU trayMenu;
extern HMENU forcedSuspendSubmenu;   // NT family only
extern UINT taskbarCreatedMessage;

// Rectangles the dialogs recorded when they opened, compared by bringDialogsForward.
extern RECT cautionWindowRect;
extern RECT settingsDialogRect;
extern RECT aboutBoxRect;

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Builds trayMenu (and the NT submenu) for the current state; used by the tray set-up.
void buildTrayMenu();
void bringDialogsForward();
// Destroys trayMenu and with it the NT submenu; both handles become null.
void dropTrayMenu();
// The tray set-up's retry timer: asks a busy shell whether it added the icon after all, and
// tries again (five attempts in all) when it did not.
void trayRetryTick(HWND window);
