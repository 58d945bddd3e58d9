// Test helper: stands in for a running Somnivar (a window of class and title "Somnivar") and
// writes every WM_COMMAND it receives to commands.txt in its working directory, one line
// "<wParam> <lParam> begin" when it arrives and "<wParam> <lParam> end" when handled. Command 7
// takes a second, so a test can tell whether the sender waited for it.
#include <windows.h>

#include <cstdio>

namespace {

void record(WPARAM wParam, LPARAM lParam, const char* stage)
{
    char line[96];
    const int length = std::snprintf(line, sizeof(line), "%lu %ld %s\n", static_cast<unsigned long>(wParam),
                                     static_cast<long>(lParam), stage);
    HANDLE file = CreateFileA("commands.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        record(wParam, lParam, "begin");
        if (LOWORD(wParam) == 7)
            Sleep(1000);
        record(wParam, lParam, "end");
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "Somnivar";
    RegisterClassA(&windowClass);
    if (!CreateWindowExA(WS_EX_TRANSPARENT, "Somnivar", "Somnivar", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                         nullptr))
        return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
