// The about box and the readme viewer, so far as plain windows that open and close; their
// contents come with their own work.
#include "info/dialogs_win.h"
#include "app/startup_win.h"
#include "app/mainwnd_win.h"
#include "resources/resource.h"

INT_PTR CALLBACK aboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        GetWindowRect(dialog, &aboutBoxRect);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDC_ESCAPE || LOWORD(wParam) == IDCANCEL)
            DestroyWindow(dialog);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        aboutBox = nullptr;
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK readmeViewerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_ESCAPE)
            SendMessageA(dialog, WM_CLOSE, 0, 0);
        return TRUE;
    case WM_CLOSE:
        // The main window owns the handle and the rich-edit library; tell it we are done.
        if (mainWindow)
            SendMessageA(mainWindow, WM_COMMAND, IDC_README_CLOSED, 0);
        else
            DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        readmeViewer = nullptr;
        return TRUE;
    }
    return FALSE;
}

void openAboutBox()
{
    if (!aboutBox)
        aboutBox = CreateDialogParamA(appInstance, "IDD_ABOUT", mainWindow, aboutBoxProc,
                                      reinterpret_cast<LPARAM>(mainWindow));
}

void openReadmeViewer(HWND owner)
{
    if (!readmeViewer)
        readmeViewer = CreateDialogParamA(appInstance, "IDD_README", owner, readmeViewerProc,
                                          reinterpret_cast<LPARAM>(owner));
}
