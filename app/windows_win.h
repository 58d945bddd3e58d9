// Small pieces every window-owning file of the program shares: the captions and the closing
// of a modeless window whose handle lives in a process-wide variable.
#pragma once
#include <windows.h>

// The program's name: window class and title of the main window, and the caption of its boxes
// and balloons.
constexpr const char* kAppName = "Somnivar";
constexpr const char* kErrorCaption = "Somnivar - Error";
constexpr const char* kNoTimerText = "タイマーが確保できません。";
// Items of the tray menu and of the dialogs' system menus. The half-width katakana of
// ﾊﾞｰｼﾞｮﾝ are part of the text.
constexpr const char* kMenuAbout = "ﾊﾞｰｼﾞｮﾝ情報 (&V)";
constexpr const char* kMenuReadme = "Readme.txt の表示 (&B)";

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
