// State shared by the stand-in powrprof.dll and RSRC32.DLL inside Somnivar.exe and the tests:
// one named mapping, so a test controls and observes them without loading them.
#pragma once
#include <windows.h>

namespace standin {

struct PowerCall {
    LONG sequence, hibernate, forceCritical, disableWakeEvent;
    DWORD tick;  // GetTickCount at entry
};

struct State {
    volatile LONG sequence;       // shared with the tests' monitor broadcast recorder
    volatile LONG callCount;      // SetSuspendState calls
    volatile LONG failWithError;  // nonzero: SetLastError(this) and fail
    volatile LONG sleepMs;        // stay "asleep" this long
    volatile LONG notify;         // send PBT_APMSUSPEND/PBT_APMRESUMESUSPEND to the caller's window;
                                  // 2: and handle sent messages meanwhile, as inside a broadcast
    volatile LONG returned;       // SetSuspendState calls that have returned
    volatile LONG meterPercent;   // what RSRC32.DLL reports
    volatile LONG meterCalls;
    volatile LONG withoutS3;      // GetPwrCapabilities: no S1 to S3
    volatile LONG modernStandby;  // GetPwrCapabilities: AoAc
    PowerCall calls[16];
};

inline State* sharedState()
{
    static State* state;
    if (state)
        return state;
    const char* name = "SomnivarTest.StandIns";
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(State), name);
    state = mapping ? static_cast<State*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(State))) : nullptr;
    return state;
}

// Logs a power call; the 9x family's SetSystemPowerState (in-process only) with disableWakeEvent 9.
inline void logPowerCall(LONG hibernate, LONG force, LONG disableWake)
{
    State* s = sharedState();
    const LONG index = InterlockedIncrement(&s->callCount) - 1;
    if (index < 16)
        s->calls[index] = {InterlockedIncrement(&s->sequence), hibernate, force, disableWake, GetTickCount()};
    SetLastError(static_cast<DWORD>(s->failWithError));
}

// What the stand-in power library reports: S3 unless withoutS3, AoAc when modernStandby (the third
// byte after FastSystemS4 in these pre-Windows 8 headers).
inline BOOLEAN WINAPI fillCapabilities(SYSTEM_POWER_CAPABILITIES* capabilities)
{
    *capabilities = {};
    capabilities->SystemS3 = !sharedState()->withoutS3;
    capabilities->spare2[2] = sharedState()->modernStandby != 0;
    return TRUE;
}

} // namespace standin
