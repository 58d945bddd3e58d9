// The caution window: a small, always-on-top, blinking warning about low free resources.
#include "status/caution_win.h"

#include "app/mainwnd_win.h"
#include "app/process_win.h"
#include "app/timers_win.h"
#include "app/windows_win.h"
#include "resources/resource.h"
#include "settings/settings.h"

namespace {

int cautionBlinkState;  // 1 when the window opens, toggled by timer 6

constexpr const char* kCautionFormat = "リソースが %d %% 以下になりました。";
constexpr UINT kBlinkPeriodMs = 300;

HMENU cautionWindowMenu;
HWND cautionIconPlace;

BOOL onInitDialog(HWND dialog)
{
    // The window menu loses its second item; only what a warning needs stays.
    cautionWindowMenu = GetSystemMenu(dialog, FALSE);
    DeleteMenu(cautionWindowMenu, 1, MF_BYPOSITION);
    DrawMenuBar(dialog);

    SendMessageA(dialog, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_PROGRAM))));

    char text[128]; // the format and any 32-bit number fit with room to spare
    wsprintfA(text, kCautionFormat, settings.Value);
    SetDlgItemTextA(dialog, IDC_CAUTION_TEXT, text);

    cautionIconPlace = GetDlgItem(dialog, IDC_CAUTION_ICON);
    GetWindowRect(dialog, &cautionWindowRect);
    MessageBeep(MB_ICONEXCLAMATION);

    cautionFlashArmed = SetTimer(mainWindow, TIMER_CAUTION_FLASH, kBlinkPeriodMs, nullptr);
    if (!cautionFlashArmed) {
        showFatalError(mainWindow, kNoTimerText);
        if (cautionWindowMenu) {
            DestroyMenu(cautionWindowMenu);
            cautionWindowMenu = nullptr;
        }
    }
    cautionBlinkState = 1;
    return FALSE;
}

void onPaint()
{
    // The icon is drawn over the static after it has painted itself.
    InvalidateRect(cautionIconPlace, nullptr, TRUE);
    UpdateWindow(cautionIconPlace);
    HDC dc = GetDC(cautionIconPlace);
    if (dc) {
        DrawIcon(dc, 0, 0, LoadIconA(nullptr, MAKEINTRESOURCEA(32515))); // IDI_EXCLAMATION
        ReleaseDC(cautionIconPlace, dc);
    }
}

// OK, the close box and an ending session: the window goes, the shortage stays noted
// (cautionShown), so the window does not come back until the resources have recovered.
BOOL closeCaution(HWND dialog)
{
    DestroyWindow(dialog);
    return TRUE;
}

// Every way out ends here, also a destruction from outside (recovery, suspend, shutdown).
void onDestroy(HWND dialog)
{
    KillTimer(mainWindow, TIMER_CAUTION_FLASH);
    cautionFlashArmed = 0;
    if (cautionWindowMenu) {
        DestroyMenu(cautionWindowMenu);
        cautionWindowMenu = nullptr;
    }
    cautionIconPlace = nullptr;
    if (cautionWindow == dialog)
        cautionWindow = nullptr;
}

// A dialog answers WM_QUERYENDSESSION through its message result, which a destroyed window no
// longer has: the window is closed just after the answer, so that it never vetoes a logoff.
} // namespace

INT_PTR CALLBACK cautionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(dialog);
    case WM_PAINT:
        onPaint();
        return FALSE;
    case WM_COMMAND:
        return LOWORD(wParam) == IDOK ? closeCaution(dialog) : FALSE;
    case WM_CLOSE:
        return closeCaution(dialog);
    case WM_QUERYENDSESSION:
        return answerEndSessionThenClose(dialog);
    case WM_DESTROY:
        onDestroy(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}

void cautionBlinkStep()
{
    cautionBlinkState = cautionBlinkState == 1 ? 0 : 1;
    if (cautionWindow)
        FlashWindow(cautionWindow, cautionBlinkState);
}
