// What the benchmark's stand-in powrprof.dll records: when each SetSuspendState call entered.
// It "sleeps" sleepMs before it returns (0: at once).
#pragma once
#include <windows.h>

constexpr const char* kBenchPowerMapping = "SomnivarBench.PowerCalls";
constexpr LONG kBenchPowerSlots = 64;

struct BenchPowerCalls {
    volatile LONG count;
    LONGLONG counter[kBenchPowerSlots];  // QueryPerformanceCounter at entry
    volatile LONG sleepMs;
};

// The shared record (created zero-filled by whichever side comes first), or null.
inline BenchPowerCalls* mapBenchPowerCalls()
{
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(BenchPowerCalls),
                                        kBenchPowerMapping);
    return mapping ? static_cast<BenchPowerCalls*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
}
