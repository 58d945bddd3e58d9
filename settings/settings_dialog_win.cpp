// The settings dialog, so far a window that opens and closes; its controls come with the
// dialog's own work.
#include "settings/settings_dialog_win.h"
#include "app/mainwnd_win.h"
#include "app/startup_win.h"
#include "resources/resource.h"

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        GetWindowRect(dialog, &settingsDialogRect);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_ESCAPE)
            DestroyWindow(dialog);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        settingsDialog = nullptr;
        return TRUE;
    }
    return FALSE;
}

void openSettingsDialog()
{
    if (!settingsDialog)
        settingsDialog = CreateDialogParamA(appInstance, "IDD_TIMESET", mainWindow, settingsDialogProc,
                                            reinterpret_cast<LPARAM>(mainWindow));
}
