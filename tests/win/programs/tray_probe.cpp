// Test helper: makes the notification-icon calls the program makes, so the tests can check
// what the stand-in tray decodes. Adds Somnivar's icon 2 with a tip, changes to icon 3 with a
// balloon, deletes. Exit code: bit 0 add, bit 1 modify, bit 2 delete succeeded.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

namespace {

HICON loadProgramIcon(HMODULE program, int id)
{
    return static_cast<HICON>(LoadImageA(program, MAKEINTRESOURCEA(id), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
}

void copyText(char* target, size_t size, const char* text)
{
    std::strncpy(target, text, size - 1);
    target[size - 1] = '\0';
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    char* slash = std::strrchr(path, '\\');
    if (!length || !slash)
        return 100;
    copyText(slash + 1, sizeof(path) - (slash + 1 - path), "Somnivar.exe");
    HMODULE program = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!program)
        return 101;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "TrayProbe";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "TrayProbe", "TrayProbe", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                                  nullptr);

    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = 123;
    data.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    data.uCallbackMessage = WM_APP + 100;
    data.hIcon = loadProgramIcon(program, 2);
    copyText(data.szTip, sizeof(data.szTip), "Somnivar 自動サスペンド 有効");
    int result = Shell_NotifyIconA(NIM_ADD, &data) ? 1 : 0;

    data.uFlags = NIF_ICON | NIF_INFO;
    data.hIcon = loadProgramIcon(program, 3);
    copyText(data.szInfo, sizeof(data.szInfo), "サスペンドエラーメッセージは、ここに表示されます");
    copyText(data.szInfoTitle, sizeof(data.szInfoTitle), "Somnivar");
    data.dwInfoFlags = NIIF_WARNING;
    data.uTimeout = 10000;
    result |= Shell_NotifyIconA(NIM_MODIFY, &data) ? 2 : 0;

    data.uFlags = 0;
    result |= Shell_NotifyIconA(NIM_DELETE, &data) ? 4 : 0;

    DestroyWindow(window);
    FreeLibrary(program);
    return result;
}
