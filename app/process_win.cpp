// The process-wide handles and flags, and the fatal path.
#include "app/process_win.h"

#include <cstring>

#include "app/windows_win.h"

int isNtPlatform;
int shellMajorVersion;
int readmeAvailable;
int balloonErrorMode;
int processWatchAvailable;
int firstRun;
int pendingLaunchCommand = -1;
int shutdownPrivilegeHeld;
int inputHooksInstalled;
int launchSuspendPending;
HMODULE resourceMeterLibrary;
FreeResourcesProc freeResourcesProc;

HINSTANCE appInstance;
HWND mainWindow;
HACCEL acceleratorTable;

HWND aboutBox;
HWND settingsDialog;
HWND cautionWindow;
HWND readmeViewer;
HWND programEditor;
HWND titleEditor;

void systemDirectoryPath(const char* fileName, char* path, size_t pathSize)
{
    char directory[MAX_PATH];
    const UINT length = GetSystemDirectoryA(directory, sizeof(directory));
    path[0] = '\0';
    if (length == 0 || length >= sizeof(directory))
        return;
    const size_t nameLength = std::strlen(fileName);
    if (length + 1 + nameLength + 1 > pathSize)
        return;
    std::memcpy(path, directory, length);
    path[length] = '\\';
    std::memcpy(path + length + 1, fileName, nameLength + 1);
}

int fatalErrorShown;

void showFatalError(HWND owner, const char* text)
{
    // The boxes' modal loops go on running every timer, and a failure met there once is met again.
    if (fatalErrorShown)
        return;
    fatalErrorShown = 1;
    MessageBoxA(owner, text, kAppName, MB_ICONERROR);
    MessageBoxA(owner, "終了します。", kAppName, MB_ICONERROR);
    PostQuitMessage(0);
}

void centerWindowOnScreen(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int x = ((GetSystemMetrics(SM_CXSCREEN) - width) / 2 + 4) & ~7;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    if (rect.left == x && rect.top == y)
        return;
    ShowWindow(window, SW_HIDE);
    MoveWindow(window, x, y, width, height, FALSE);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
}
