// In-process fixture for the idle supervision and suspend code: the program's procedures run in
// this process against a main window of its own, with SetSuspendState and SetSystemPowerState
// replaced through the import table (they log into the stand-ins' shared state).
#pragma once
#include "harness/harness.h"

#include "app/startup_win.h"
#include "app/suspend_win.h"
#include "app/timers_win.h"
#include "hooklib/vantrel.h"
#include "resources/resource.h"
#include "settings/settings.h"

inline std::vector<std::pair<LONG, BOOL>> ninexCalls;  // sequence, suspend || force

inline BOOLEAN WINAPI hookedSetSuspendState(BOOLEAN hibernate, BOOLEAN force, BOOLEAN disableWake)
{
    standin::State& s = harness::standIns();
    const LONG index = InterlockedIncrement(&s.callCount) - 1;
    if (index < 16)
        s.calls[index] = {InterlockedIncrement(&s.sequence), hibernate, force, disableWake};
    SetLastError(static_cast<DWORD>(s.failWithError));
    return s.failWithError == 0;
}
inline BOOL WINAPI hookedSetSystemPowerState(BOOL suspend, BOOL force)
{
    ninexCalls.push_back({InterlockedIncrement(&harness::standIns().sequence), suspend || force});
    return TRUE;
}

inline LRESULT CALLBACK testMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return message == WM_TIMER ? onMainWindowTimer(window, wParam) : DefWindowProcA(window, message, wParam, lParam);
}

class PowerInProcess : public harness::SomnivarTest {
protected:
    void SetUp() override
    {
        harness::SomnivarTest::SetUp();
        ninexCalls.clear();
        realSuspend_ = harness::hookImport("SetSuspendState", reinterpret_cast<void*>(hookedSetSuspendState));
        realSystem_ = harness::hookImport("SetSystemPowerState", reinterpret_cast<void*>(hookedSetSystemPowerState));
        ASSERT_TRUE(realSuspend_ && realSystem_ && recorder_.start());
        WNDCLASSA windowClass = {0, testMainProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "PowerMain"};
        RegisterClassA(&windowClass);
        mainWindow = CreateWindowExA(0, "PowerMain", "", WS_POPUP, 0, 0, 0, 0, 0, 0, 0, 0);
        settings = kDefaultSettings;
        isNtPlatform = balloonErrorMode = 1;  // a failure never blocks this thread in a box
        monitorPowerArgument = -1;
        MessageSet(0);
    }
    void TearDown() override
    {
        closeProgramWindows();
        armIdleTimer(0);
        KillTimer(mainWindow, TIMER_RESUME_GRACE);
        DestroyWindow(mainWindow);
        mainWindow = nullptr;
        suspendInProgress = resourceStopActive = cautionShown = isNtPlatform = balloonErrorMode = 0;
        resumeGrace = 0;
        readmeSettling = 1;
        freeResourcesProc = nullptr;
        resourceMeterLibrary = nullptr;
        settings = kDefaultSettings;
        harness::hookImport("SetSuspendState", realSuspend_);
        harness::hookImport("SetSystemPowerState", realSystem_);
        harness::SomnivarTest::TearDown();
    }
    LRESULT tick(UINT_PTR timer) { return onMainWindowTimer(mainWindow, timer); }
    harness::MonitorRecorder recorder_;
    void* realSuspend_ = nullptr;
    void* realSystem_ = nullptr;
};
