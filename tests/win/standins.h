// Shared state of the test stand-ins for the power call (powrprof.dll) and the 9x resource
// meter (RSRC32.DLL). Each lives in a named file mapping, so a test controls and observes a
// stand-in inside Somnivar.exe without loading the stand-in itself.
#pragma once
#include <windows.h>

namespace standin {

constexpr const char* kPowerMappingName = "SomnivarTest.PowerStandIn";
constexpr const char* kMeterMappingName = "SomnivarTest.ResourceMeterStandIn";
constexpr LONG kMaxPowerCalls = 64;

struct PowerCall {
    LONG sequence;          // from PowerState::sequence, shared with the test's monitor recorder
    LONG hibernate;
    LONG forceCritical;
    LONG disableWakeEvent;
    LONG suspendAnswer;     // the program's answer to PBT_APMSUSPEND sent during the call
    LONG resumeAnswer;      // its answer to PBT_APMRESUMESUSPEND
    LONGLONG counter;       // QueryPerformanceCounter at entry
};

struct PowerState {
    volatile LONG sequence;       // event counter: incremented for every recorded event
    volatile LONG callCount;      // SetSuspendState calls so far (all of them, even past the log)
    // Controls, set by the test before the call:
    volatile LONG failWithError;  // nonzero: SetLastError(this), return FALSE
    volatile LONG sleepMs;        // stay "asleep" this long
    volatile LONG notify;         // send PBT_APMSUSPEND before and PBT_APMRESUMESUSPEND after
                                  // the sleep to the caller's "Somnivar" window; 2: and pump sent ones
    PowerCall calls[kMaxPowerCalls];
};

struct MeterState {
    volatile LONG configured;     // 0: the meter reports 100
    volatile LONG percent;
    volatile LONG callCount;
};

// Opens (or creates, zero-filled) a named mapping of T. Returns null on failure.
template <typename T>
T* mapShared(const char* name, HANDLE* mapping)
{
    *mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(T), name);
    if (!*mapping)
        return nullptr;
    void* view = MapViewOfFile(*mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(T));
    if (!view) {
        CloseHandle(*mapping);
        *mapping = nullptr;
    }
    return static_cast<T*>(view);
}

} // namespace standin
