// The about box: product name, version and legal notice from the program's own version block,
// beside the program icon stepping through the program's three icons.
#include "info/dialogs_win.h"

#include <cstring>

#include "app/bytes.h"
#include "app/mainwnd_win.h"
#include "app/process_win.h"
#include "app/timers_win.h"
#include "app/windows_win.h"
#include "info/version_win.h"
#include "resources/resource.h"

namespace {

constexpr const char* kVersionPrefix = "Version ";
// The wording (and spelling) of the version line when the program file has no version block.
constexpr const char* kNoVersionBlock = " : Unkown";
constexpr UINT kAnimationPeriodMs = 1000;
constexpr int kVersionTextSize = 256;

HWND aboutIconPlace;
int aboutIconIndex = IDI_PROGRAM;

void showVersionTexts(HWND dialog)
{
    char line[kVersionTextSize];
    size_t length = copyBounded(line, sizeof(line), kVersionPrefix);
    // The program's own file, by its module path: the command line may name it without its
    // folder or extension.
    char path[MAX_PATH];
    const DWORD pathLength = GetModuleFileNameA(nullptr, path, sizeof(path));
    VersionBlock block;
    if (pathLength == 0 || pathLength >= sizeof(path) || !loadVersionBlock(path, &block)) {
        copyBounded(line + length, sizeof(line) - length, kNoVersionBlock);
        SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, line);
        return;
    }
    queryVersionString(&block, "FileVersion", line + length, sizeof(line) - length);
    SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, line);
    char text[kVersionTextSize];
    queryVersionString(&block, "LegalCopyright", text, sizeof(text));
    SetDlgItemTextA(dialog, IDC_ABOUT_LEGAL, text);
    queryVersionString(&block, "ProductName", text, sizeof(text));
    SetDlgItemTextA(dialog, IDC_ABOUT_PRODUCT, text);
    freeVersionBlock(&block);
}

BOOL onInitDialog(HWND dialog)
{
    showVersionTexts(dialog);
    SendMessageA(dialog, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_PROGRAM))));
    if (readmeAvailable) {
        HMENU systemMenu = GetSystemMenu(dialog, FALSE);
        InsertMenuA(systemMenu, 0, MF_BYPOSITION | MF_STRING, IDC_SHOW_README, kMenuReadme);
        InsertMenuA(systemMenu, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
        DrawMenuBar(dialog);
    }
    aboutIconPlace = GetDlgItem(dialog, IDC_ABOUT_ICON);
    if (!SetTimer(dialog, TIMER_ABOUT_ANIMATION, kAnimationPeriodMs, nullptr))
        showFatalError(mainWindow, kNoTimerText);
    aboutIconIndex = IDI_PROGRAM;
    GetWindowRect(dialog, &aboutBoxRect);
    return TRUE;
}

// Draws the icon of the current step over the icon place, then steps on: every repaint moves
// the animation, the timer's as well as the system's.
void drawAnimatedIcon()
{
    if (!aboutIconPlace)
        return;
    InvalidateRect(aboutIconPlace, nullptr, TRUE);
    UpdateWindow(aboutIconPlace);
    HDC dc = GetDC(aboutIconPlace);
    if (dc) {
        DrawIcon(dc, 0, 0, LoadIconA(appInstance, MAKEINTRESOURCEA(aboutIconIndex)));
        ReleaseDC(aboutIconPlace, dc);
    }
    aboutIconIndex = aboutIconIndex == IDI_FUNCTION_OFF ? IDI_PROGRAM : aboutIconIndex + 1;
}

BOOL onPaint(HWND dialog)
{
    // The box paints itself first: painted afterwards, the box's own background would cover
    // the icon until the next tick.
    PAINTSTRUCT paint;
    BeginPaint(dialog, &paint);
    EndPaint(dialog, &paint);
    drawAnimatedIcon();
    return TRUE;
}

// WM_DESTROY, however the box goes (OK, Esc, close box, ending session, another window
// destroying it): the handle is cleared, the timer stops, and the settings dialog, which
// holds the box in front, comes forward again.
void onDestroy(HWND dialog)
{
    if (aboutBox == dialog)
        aboutBox = nullptr;
    KillTimer(dialog, TIMER_ABOUT_ANIMATION);
    aboutIconPlace = nullptr;
    if (settingsDialog)
        SetForegroundWindow(settingsDialog);
}

BOOL onSysCommand(WPARAM command)
{
    if (command == IDC_SHOW_README) {
        showReadme(mainWindow);
        return TRUE;
    }
    // The display-power command the suspend broadcasts is not for this box.
    if ((command & 0xFFF0) == SC_MONITORPOWER)
        return TRUE;
    return FALSE;
}

// A dialog answers WM_QUERYENDSESSION through its message result, which a destroyed window no
// longer has: the box closes just after the answer, so that it never vetoes a logoff.
BOOL onCommand(WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL:
    case IDC_ESCAPE:
        closeAboutBox();
        return TRUE;
    }
    return FALSE;
}

} // namespace

INT_PTR CALLBACK aboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(dialog);
    case WM_COMMAND:
        return onCommand(wParam);
    case WM_SYSCOMMAND:
        return onSysCommand(wParam);
    case WM_TIMER:
        PostMessageA(dialog, WM_PAINT, 0, 0);
        return TRUE;
    case WM_PAINT:
        return onPaint(dialog);
    case WM_CLOSE:
        closeAboutBox();
        return TRUE;
    case WM_QUERYENDSESSION:
        return answerEndSessionThenClose(dialog);
    case WM_DESTROY:
        onDestroy(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}

void openAboutBox()
{
    if (!aboutBox)
        aboutBox = CreateDialogParamA(appInstance, "IDD_ABOUT", mainWindow, aboutBoxProc,
                                      reinterpret_cast<LPARAM>(mainWindow));
}

void closeAboutBox()
{
    destroyWhenOpen(aboutBox);
}

void addInfoItemsToSystemMenu(HWND dialog)
{
    HMENU menu = GetSystemMenu(dialog, FALSE);
    InsertMenuA(menu, 0, MF_BYPOSITION | MF_STRING, IDC_SHOW_ABOUT, kMenuAbout);
    InsertMenuA(menu, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    if (readmeAvailable) {
        InsertMenuA(menu, 2, MF_BYPOSITION | MF_STRING, IDC_SHOW_README, kMenuReadme);
        InsertMenuA(menu, 3, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    }
    DrawMenuBar(dialog);
}

int keepAboutBoxInFront(HWND dialog, UINT message, WPARAM wParam)
{
    if (message == WM_ACTIVATE) {
        if (LOWORD(wParam) != WA_INACTIVE && aboutBox) {
            closeAboutBox();
            PostMessageA(dialog, WM_SYSCOMMAND, IDC_SHOW_ABOUT, 0);
        }
        return 0;
    }
    if (message != WM_SYSCOMMAND)
        return 0;
    if (aboutBox) {
        closeAboutBox();
        PostMessageA(dialog, WM_SYSCOMMAND, IDC_SHOW_ABOUT, 0);
        return 1;
    }
    if (wParam == IDC_SHOW_ABOUT) {
        openAboutBox();
        return 1;
    }
    return 0;
}
