// Test stand-in for powrprof.dll: records each SetSuspendState call, can fail it with a chosen
// error and can stay "asleep" while sending the program the notifications a real suspend brings.
#include <windows.h>

#include "tests/win/standins.h"

namespace {

HANDLE sharedMapping;
standin::PowerState* sharedState;

standin::PowerState* state()
{
    if (!sharedState)
        sharedState = standin::mapShared<standin::PowerState>(standin::kPowerMappingName, &sharedMapping);
    return sharedState;
}

BOOL CALLBACK findSomnivarWindow(HWND window, LPARAM found)
{
    char className[32];
    if (GetClassNameA(window, className, sizeof(className)) && lstrcmpA(className, "Somnivar") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The calling thread's main window: a real suspend notifies every window, our caller's included.
HWND callerMainWindow()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findSomnivarWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

extern "C" BOOLEAN WINAPI SetSuspendState(BOOLEAN hibernate, BOOLEAN forceCritical, BOOLEAN disableWakeEvent)
{
    standin::PowerState* shared = state();
    if (!shared)
        return TRUE;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const LONG index = InterlockedIncrement(&shared->callCount) - 1;
    standin::PowerCall scratch = {};
    standin::PowerCall& call = index < standin::kMaxPowerCalls ? shared->calls[index] : scratch;
    call.counter = now.QuadPart;
    call.hibernate = hibernate;
    call.forceCritical = forceCritical;
    call.disableWakeEvent = disableWakeEvent;
    call.sequence = InterlockedIncrement(&shared->sequence);

    const HWND target = shared->notify ? callerMainWindow() : nullptr;
    if (target)
        call.suspendAnswer = static_cast<LONG>(SendMessageA(target, WM_POWERBROADCAST, PBT_APMSUSPEND, 0));
    MSG sent;
    for (const DWORD start = GetTickCount(); LONG(GetTickCount() - start) < shared->sleepMs; Sleep(1))
        if (shared->notify == 2)
            PeekMessageA(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    if (target)
        call.resumeAnswer = static_cast<LONG>(SendMessageA(target, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0));

    if (shared->failWithError) {
        SetLastError(static_cast<DWORD>(shared->failWithError));
        return FALSE;
    }
    return TRUE;
}
