// Small pieces every window-owning file of the program shares: the captions and the closing
// of a modeless window whose handle lives in a process-wide variable.
#pragma once
#include <windows.h>

#include "app/texts.h"

// The program's name: window class and title of the main window, by which a second start
// finds the first. The same in every language.
constexpr const char* kAppName = "Somnivar";

// The handle is cleared before the window goes, so that the window's own WM_DESTROY (and any
// message sent during its destruction) already finds it closed.
inline void destroyWhenOpen(HWND& window)
{
    if (!window)
        return;
    HWND doomed = window;
    window = nullptr;
    DestroyWindow(doomed);
}

// WM_QUERYENDSESSION of a modeless dialog: the answer goes through the message result, and the
// dialog closes only afterwards. Destroyed at once it would answer 0 and veto every logoff.
inline BOOL answerEndSessionThenClose(HWND dialog)
{
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    return TRUE;
}

// A length in pixels that the program fixes itself, given for 96 dots per inch, at the system's
// DPI. The program declares itself aware of it, so Windows no longer stretches its windows as a
// blurred bitmap; dialog units scale by themselves. The system DPI holds for the whole session.
constexpr int kDesignDpi = 96;
inline int scaledPixels(int pixels)
{
    static int dpi;
    if (dpi <= 0) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen)
            ReleaseDC(nullptr, screen);
        if (dpi <= 0)
            dpi = kDesignDpi;
    }
    return MulDiv(pixels, dpi, kDesignDpi);
}

// armed holds the timer's SetTimer result; it is 0 again afterwards.
inline void killTimerWhenArmed(HWND window, UINT_PTR& armed, UINT_PTR id)
{
    if (!armed)
        return;
    KillTimer(window, id);
    armed = 0;
}
