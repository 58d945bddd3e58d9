// Built twice: as powrprof.dll (SetSuspendState) and as RSRC32.DLL (the 9x resource meter).
#include <windows.h>

#include "tests/win/standins.h"

extern "C" BOOLEAN WINAPI SetSuspendState(BOOLEAN hibernate, BOOLEAN forceCritical, BOOLEAN disableWakeEvent)
{
    standin::logPowerCall(hibernate, forceCritical, disableWakeEvent);
    return standin::sharedState()->failWithError == 0;
}

extern "C" int WINAPI freeSystemResourcesPercent(int)
{
    InterlockedIncrement(&standin::sharedState()->meterCalls);
    return standin::sharedState()->meterPercent;
}
