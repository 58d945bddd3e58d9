#include "app/mainwnd_win.h"

HMENU trayMenu;
HMENU forcedSuspendSubmenu;
UINT taskbarCreatedMessage;
RECT cautionWindowRect;
RECT settingsDialogRect;
RECT aboutBoxRect;

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
    case WM_CLOSE:
        PostQuitMessage(0);
        return message == WM_CLOSE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void buildTrayMenu() {}
void bringDialogsForward() {}
