// Built twice: as powrprof.dll (SetSuspendState) and as RSRC32.DLL (the 9x resource meter).
#include <windows.h>

#include "tests/win/standins.h"

extern "C" BOOLEAN WINAPI SetSuspendState(BOOLEAN hibernate, BOOLEAN forceCritical, BOOLEAN disableWakeEvent)
{
    standin::State* s = standin::sharedState();
    const LONG index = InterlockedIncrement(&s->callCount) - 1;
    standin::PowerCall scratch = {};
    standin::PowerCall& call = index < 16 ? s->calls[index] : scratch;
    call = {InterlockedIncrement(&s->sequence), hibernate, forceCritical, disableWakeEvent, 0, 0, GetTickCount()};
    // A real suspend notifies every window, the caller's main window included.
    HWND target = s->notify ? FindWindowA("Somnivar", "Somnivar") : nullptr;
    if (target)
        call.suspendAnswer = static_cast<LONG>(SendMessageA(target, WM_POWERBROADCAST, PBT_APMSUSPEND, 0));
    MSG sent;
    for (const DWORD start = GetTickCount(); LONG(GetTickCount() - start) < s->sleepMs; Sleep(1))
        if (s->notify == 2)
            PeekMessageA(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    if (target)
        call.resumeAnswer = static_cast<LONG>(SendMessageA(target, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0));
    SetLastError(static_cast<DWORD>(s->failWithError));
    return s->failWithError == 0;
}

extern "C" int WINAPI freeSystemResourcesPercent(int)
{
    InterlockedIncrement(&standin::sharedState()->meterCalls);
    return standin::sharedState()->meterPercent;
}
