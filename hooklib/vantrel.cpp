// Vantrel.dll: system-wide mouse and keyboard hooks that raise one activity flag shared by
// every process that maps the library. On the 9x family the hook procedures run inside
// whichever process receives the input, so everything they touch lives in the shared section
// and they call nothing but GetTickCount and CallNextHookEx. The library links without the C
// runtime (it would otherwise be started up in every one of those processes), so nothing here
// may need it.
#define VANTREL_BUILD
#include "hooklib/vantrel.h"

#include <windows.h>

#include <cstddef>

namespace {

// All state, one copy for every process that maps the library. The section gets the
// read/write/shared attributes from the attribute below; it is initialised data, all zero.
// On x86 every handle is a 32-bit word and the record is exactly the documented 172 bytes;
// on x64 the two hook handles and the module handle are pointer-sized, as the platform's
// calls take them there.
struct SharedState {
    HHOOK mouseHook;
    HHOOK keyboardHook;
    volatile LONG activity;
    HINSTANCE moduleInstance;
    volatile LONG lastMouseX;
    volatile LONG lastMouseY;
    OSVERSIONINFOA version;
    // GetTickCount when either hook last received an event, counted as activity or not: what the
    // system saw after it was not seen by the hooks.
    volatile DWORD lastEventTime;
};

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record is the 148-byte ANSI one");
static_assert(offsetof(SharedState, mouseHook) == 0, "the fields keep their order");
static_assert(offsetof(SharedState, keyboardHook) == sizeof(HHOOK), "the fields keep their order");
static_assert(offsetof(SharedState, activity) == 2 * sizeof(HHOOK), "the fields keep their order");
static_assert(offsetof(SharedState, activity) % 4 == 0 && offsetof(SharedState, lastMouseX) % 4 == 0 &&
                  offsetof(SharedState, lastMouseY) % 4 == 0,
              "the words read without a lock are aligned");
static_assert(offsetof(SharedState, lastMouseY) == offsetof(SharedState, lastMouseX) + 4,
              "the fields keep their order");
static_assert(offsetof(SharedState, version) == offsetof(SharedState, lastMouseY) + 4,
              "the fields keep their order");
static_assert(offsetof(SharedState, lastEventTime) == offsetof(SharedState, version) + sizeof(OSVERSIONINFOA),
              "the event time follows the documented fields");
#ifndef _WIN64
static_assert(offsetof(SharedState, moduleInstance) == 12 && offsetof(SharedState, lastMouseX) == 16 &&
                  offsetof(SharedState, version) == 24 && sizeof(SharedState) == 176,
              "the x86 layout is the documented one, then the event time");
#endif

__attribute__((section(".shared"), shared)) SharedState shared = {};

// The hook code is not examined: every call counts, whatever its code.
LRESULT CALLBACK mouseHookProc(int code, WPARAM message, LPARAM record)
{
    shared.lastEventTime = GetTickCount();
    if (message == WM_MOUSEMOVE || message == WM_NCMOUSEMOVE) {
        // MOUSEHOOKSTRUCT and MSLLHOOKSTRUCT both begin with the cursor point, so one reading
        // serves both hook kinds. A move to the point already stored is no activity.
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
    shared.lastEventTime = GetTickCount();
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

VANTREL_API int __cdecl SetHook(void)
{
    shared.version.dwOSVersionInfoSize = sizeof(shared.version);
    GetVersionExA(&shared.version);
    // Low-level hooks on the NT family run on the installing thread and need no injection; the
    // 9x family has only the ordinary global kinds.
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
    return 0;
}

VANTREL_API void __cdecl FreeHook(void)
{
    // The two hooks are always installed and removed together. The handles are left as they
    // are: a later SetHook overwrites them.
    if (shared.mouseHook) {
        UnhookWindowsHookEx(shared.mouseHook);
        UnhookWindowsHookEx(shared.keyboardHook);
    }
}

VANTREL_API int __cdecl MessageCheck(void)
{
    return shared.activity;
}

VANTREL_API int __cdecl MessageSet(int value)
{
    shared.activity = value;
    return value;
}

VANTREL_API unsigned __cdecl LastEventTime(void)
{
    return shared.lastEventTime;
}
