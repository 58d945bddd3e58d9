// powrprof.dll for the benchmark's copy of Somnivar.exe: SetSuspendState notes when it was
// entered and returns at once, as if the machine had slept and woken.
#include "tools/bench/bench_power.h"

extern "C" __declspec(dllexport) BOOLEAN WINAPI SetSuspendState(BOOLEAN, BOOLEAN, BOOLEAN)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    static BenchPowerCalls* calls = mapBenchPowerCalls();
    if (calls && calls->count < kBenchPowerSlots) {
        calls->counter[calls->count] = now.QuadPart;
        InterlockedIncrement(&calls->count);
    }
    if (calls && calls->sleepMs > 0)
        Sleep(static_cast<DWORD>(calls->sleepMs));
    return TRUE;
}
