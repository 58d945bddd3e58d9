// The CPU floor of a tray program: a hidden window whose message loop runs two one-second
// timers (2 and 8) and does nothing else. WM_CLOSE ends it. Options:
//   -scan   timer 8 also does what no watch scan can avoid: one process-snapshot walk, one
//           enumeration that reads every top-level title, and the last-write times of
//           FileList.txt and TitleList.txt (opened the way the program opens them)
//   -tray   adds a notification icon at start and removes it at the end (the start-up floor)
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstring>

namespace {

bool scanWork;

BOOL CALLBACK readTitle(HWND window, LPARAM)
{
    char title[1024];
    GetWindowTextA(window, title, sizeof(title));
    return TRUE;
}

void readFileTime(const char* name)
{
    HANDLE file = CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    FILETIME written;
    GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
}

void scanFloor()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 process = {};
    process.dwSize = sizeof(process);
    for (BOOL more = Process32First(snapshot, &process); more; more = Process32Next(snapshot, &process)) {
    }
    CloseHandle(snapshot);
    EnumWindows(readTitle, 0);
    readFileTime("FileList.txt");
    readFileTime("TitleList.txt");
}

LRESULT CALLBACK floorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == 8 && scanWork)
            scanFloor();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    scanWork = std::strstr(commandLine, "-scan") != nullptr;
    const bool trayIcon = std::strstr(commandLine, "-tray") != nullptr;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = floorWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "SomnivarBenchTimerFloor";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "timer_floor", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
    if (!window)
        return 1;
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    icon.hWnd = window;
    icon.uID = 123;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = WM_APP + 100;
    icon.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
    std::strcpy(icon.szTip, "timer_floor");
    if (trayIcon)
        Shell_NotifyIconA(NIM_ADD, &icon);
    SetTimer(window, 2, 1000, nullptr);
    SetTimer(window, 8, 1000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (trayIcon)
        Shell_NotifyIconA(NIM_DELETE, &icon);
    return 0;
}
