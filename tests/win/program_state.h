// In-process tests of the idle supervision and suspend code: the program's procedures run in
// the test process against a main window of the test's own, with the power calls replaced by
// import-table hooks that log into the power stand-in's shared state.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/startup_win.h"
#include "app/suspend_win.h"
#include "app/timers_win.h"
#include "hooklib/vantrel.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "status/tray_win.h"
#include "tests/win/power_observer.h"

namespace programstate {

struct NinexCall {
    LONG sequence;
    BOOL suspend;
    BOOL force;
};

inline powertest::PowerStandIn* hookedStandIn;
inline std::vector<NinexCall> ninexCalls;

// Behaves like the stand-in DLL, without notifications: this main window is not "Somnivar".
inline BOOL succeedUnlessTold()
{
    const LONG error = hookedStandIn->state().failWithError;
    if (error)
        SetLastError(static_cast<DWORD>(error));
    return !error;
}

inline BOOLEAN WINAPI hookedSetSuspendState(BOOLEAN hibernate, BOOLEAN force, BOOLEAN disableWake)
{
    standin::PowerState& shared = hookedStandIn->state();
    const LONG index = InterlockedIncrement(&shared.callCount) - 1;
    if (index < standin::kMaxPowerCalls)
        shared.calls[index] = {InterlockedIncrement(&shared.sequence), hibernate, force, disableWake, 0, 0, 0};
    return static_cast<BOOLEAN>(succeedUnlessTold());
}

inline BOOL WINAPI hookedSetSystemPowerState(BOOL suspend, BOOL force)
{
    ninexCalls.push_back({InterlockedIncrement(&hookedStandIn->state().sequence), suspend, force});
    return succeedUnlessTold();
}

inline LRESULT CALLBACK testMainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        return onMainWindowTimer(window, wParam);
    case WM_POWER:
        return onPower(window, wParam);
    case WM_POWERBROADCAST:
        return onPowerBroadcast(window, wParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

constexpr const char* kSettingsKeyPath = "Software\\Orlenby\\Somnivar";

class ProgramStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(standIn_.ok());
        standIn_.reset();
        hookedStandIn = &standIn_;
        ninexCalls.clear();
        previousSuspendState_ = powertest::hookImport("SetSuspendState", reinterpret_cast<void*>(hookedSetSuspendState));
        previousSystemPowerState_ =
            powertest::hookImport("SetSystemPowerState", reinterpret_cast<void*>(hookedSetSystemPowerState));
        ASSERT_NE(previousSuspendState_, nullptr);
        ASSERT_NE(previousSystemPowerState_, nullptr);
        ASSERT_TRUE(recorder_.start());

        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = testMainWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SomnivarTestInProcessMain";
        RegisterClassA(&windowClass);
        mainWindow = CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     windowClass.hInstance, nullptr);
        ASSERT_NE(mainWindow, nullptr);
        appInstance = GetModuleHandleA(nullptr);

        // setEnableState stores what it switched; keep the prefix's settings key clean.
        RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
        settings = kDefaultSettings;
        isNtPlatform = 1;
        balloonErrorMode = 1; // a failure must never block the test thread in a message box
        suspendInProgress = 0;
        resumeGrace = 0;
        idleTimerArmed = 0;
        resourceStopActive = 0;
        enableBeforeResourceStop = 0;
        cautionShown = 0;
        readmeSettling = 0;
        readmeSettlingBudget = 0;
        monitorPowerArgument = -1;
        MessageSet(0);
    }

    void TearDown() override
    {
        closeProgramWindows();
        armIdleTimer(0);
        KillTimer(mainWindow, TIMER_RESUME_GRACE);
        resumeGrace = 0;
        DestroyWindow(mainWindow);
        mainWindow = nullptr;
        freeResourcesProc = nullptr;
        resourceMeterLibrary = nullptr;
        settings = kDefaultSettings;
        isNtPlatform = 0;
        balloonErrorMode = 0;
        readmeSettling = 1;
        recorder_.stop();
        powertest::hookImport("SetSuspendState", previousSuspendState_);
        powertest::hookImport("SetSystemPowerState", previousSystemPowerState_);
        hookedStandIn = nullptr;
        RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
    }

    powertest::PowerStandIn standIn_;
    powertest::MonitorRecorder recorder_{standIn_};

private:
    void* previousSuspendState_ = nullptr;
    void* previousSystemPowerState_ = nullptr;
};

} // namespace programstate
