// Built twice: as powrprof.dll (SetSuspendState) and as RSRC32.DLL (the 9x resource meter).
#include <windows.h>

#include "tests/win/standins.h"

extern "C" BOOLEAN WINAPI SetSuspendState(BOOLEAN hibernate, BOOLEAN forceCritical, BOOLEAN disableWakeEvent)
{
    standin::State* s = standin::sharedState();
    standin::logPowerCall(hibernate, forceCritical, disableWakeEvent);
    // Asleep for sleepMs; with notify the caller's main window hears of the suspend and the
    // resume, as from a real one, and with notify 2 sent messages are handled meanwhile.
    HWND target = s->notify ? FindWindowA("Somnivar", "Somnivar") : nullptr;
    if (target)
        SendMessageA(target, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    MSG sent;
    for (const DWORD start = GetTickCount(); LONG(GetTickCount() - start) < s->sleepMs; Sleep(1))
        if (s->notify == 2)
            PeekMessageA(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    if (target)
        SendMessageA(target, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    InterlockedIncrement(&s->returned);
    SetLastError(static_cast<DWORD>(s->failWithError));
    return s->failWithError == 0;
}

extern "C" BOOLEAN WINAPI GetPwrCapabilities(SYSTEM_POWER_CAPABILITIES* capabilities)
{
    return standin::fillCapabilities(capabilities);
}

extern "C" int WINAPI freeSystemResourcesPercent(int)
{
    InterlockedIncrement(&standin::sharedState()->meterCalls);
    return standin::sharedState()->meterPercent;
}
