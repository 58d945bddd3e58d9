// Vantrel.dll: system-wide mouse and keyboard hooks that raise one activity flag shared by
// every process that maps the library. On the 9x family the hook procedures run inside
// whichever process receives the input, so everything they touch lives in the shared section
// and they call nothing but CallNextHookEx.
#define VANTREL_BUILD
#include "hooklib/vantrel.h"

#include <windows.h>

namespace {

// One copy for all processes: the section is marked read/write/shared in the .def file and
// here. The fields keep the documented order; all start zeroed.
struct SharedState {
    HHOOK mouseHook;
    HHOOK keyboardHook;
    volatile LONG activity;
    HINSTANCE moduleInstance;
    volatile LONG lastMouseX;
    volatile LONG lastMouseY;
    OSVERSIONINFOA version;
};

__attribute__((section(".shared"), shared)) SharedState shared = {};

LRESULT CALLBACK mouseHookProc(int code, WPARAM message, LPARAM record)
{
    if (message == WM_MOUSEMOVE || message == WM_NCMOUSEMOVE) {
        // MOUSEHOOKSTRUCT and MSLLHOOKSTRUCT both begin with the cursor point.
        const POINT* point = reinterpret_cast<const POINT*>(record);
        if (point->x != shared.lastMouseX || point->y != shared.lastMouseY) {
            shared.lastMouseX = point->x;
            shared.lastMouseY = point->y;
            shared.activity = 1;
        }
    } else {
        shared.activity = 1;
    }
    return CallNextHookEx(shared.mouseHook, code, message, record);
}

LRESULT CALLBACK keyboardHookProc(int code, WPARAM key, LPARAM record)
{
    shared.activity = 1;
    return CallNextHookEx(shared.keyboardHook, code, key, record);
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        shared.moduleInstance = instance;
    return TRUE;
}

VANTREL_API int SetHook()
{
    shared.version.dwOSVersionInfoSize = sizeof(shared.version);
    GetVersionExA(&shared.version);
    const bool nt = shared.version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    shared.mouseHook = SetWindowsHookExA(nt ? WH_MOUSE_LL : WH_MOUSE, mouseHookProc, shared.moduleInstance, 0);
    if (!shared.mouseHook) {
        shared.keyboardHook = nullptr;
        return 0;
    }
    shared.keyboardHook =
        SetWindowsHookExA(nt ? WH_KEYBOARD_LL : WH_KEYBOARD, keyboardHookProc, shared.moduleInstance, 0);
    if (shared.keyboardHook)
        return 1;
    UnhookWindowsHookEx(shared.mouseHook);
    shared.mouseHook = nullptr;
    shared.keyboardHook = nullptr;
    return 0;
}

VANTREL_API void FreeHook()
{
    // The handles are left as they are: a later SetHook overwrites them.
    if (shared.mouseHook) {
        UnhookWindowsHookEx(shared.mouseHook);
        UnhookWindowsHookEx(shared.keyboardHook);
    }
}

VANTREL_API int MessageCheck()
{
    return shared.activity;
}

VANTREL_API int MessageSet(int value)
{
    shared.activity = value;
    return value;
}
