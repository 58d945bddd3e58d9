// Idle supervision: the one-second poll, the idle expiry and its vetoes, the watchdogs, the
// resource watch.
#include <windows.h>

#include <gtest/gtest.h>

#include "status/caution_win.h"
#include "status/detectors_win.h"
#include "tests/win/program_state.h"

namespace {

class IdleInProcess : public programstate::ProgramStateTest {};

TEST_F(IdleInProcess, ExpiryIsVetoedByResourceStopEnableOffAndGraceAndStaysArmed)
{
    armIdleTimer(1);
    const struct {
        const char* name;
        int resourceStop;
        int enable;
        UINT_PTR grace;
    } vetoes[] = {{"resource stop", 1, 1, 0}, {"enable off", 0, 0, 0}, {"grace", 0, 1, 9}};
    for (const auto& veto : vetoes) {
        SCOPED_TRACE(veto.name);
        resourceStopActive = veto.resourceStop;
        settings.Enable = veto.enable;
        resumeGrace = veto.grace;
        onMainWindowTimer(mainWindow, TIMER_IDLE_EXPIRY);
        EXPECT_EQ(standIn_.calls(), 0);
        EXPECT_NE(idleTimerArmed, 0u);
    }
    resourceStopActive = 0;
    settings.Enable = 1;
    resumeGrace = 0;
    onMainWindowTimer(mainWindow, TIMER_IDLE_EXPIRY);
    EXPECT_EQ(standIn_.calls(), 1);
}

TEST_F(IdleInProcess, PollRestartsTheCountdownOnInputOnlyWhileEnabled)
{
    settings.Enable = 1;
    MessageSet(1);
    onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL);
    EXPECT_EQ(MessageCheck(), 0);
    EXPECT_NE(idleTimerArmed, 0u);

    // Switched off: the flag is neither read nor cleared, and nothing is armed.
    armIdleTimer(0);
    settings.Enable = 0;
    MessageSet(1);
    onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL);
    EXPECT_EQ(MessageCheck(), 1);
    EXPECT_EQ(idleTimerArmed, 0u);

    // Switching on starts from a clean flag.
    armIdleTimer(1);
    EXPECT_EQ(MessageCheck(), 0);
}

TEST_F(IdleInProcess, ReadmeSettlingEndsWhenTheBudgetRunsOutOrItsWindowAppears)
{
    startReadmeSettling(2);
    onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL);
    EXPECT_EQ(readmeSettling, 1);
    onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL);
    EXPECT_EQ(readmeSettling, 0);
    EXPECT_EQ(readmeViewer, nullptr);

    // No budget (as at start): it keeps looking until the viewer is there.
    startReadmeSettling(0);
    for (int tick = 0; tick < 3; ++tick)
        onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL);
    EXPECT_EQ(readmeSettling, 1);
    HWND viewer = CreateWindowExA(0, "#32770", "Somnivar - Readme.txt", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(viewer, nullptr);
    onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL);
    EXPECT_EQ(readmeSettling, 0);
    EXPECT_EQ(readmeViewer, viewer);
    readmeViewer = nullptr;
    DestroyWindow(viewer);
}

DWORD WINAPI searchForever(void*)
{
    for (;;)
        Sleep(10);
}

void startFakeWatcher(WatchRecord& watch, UINT_PTR timerId)
{
    watch.finishedFlag = 0;
    watch.thread = CreateThread(nullptr, 0, searchForever, nullptr, 0, &watch.threadId);
    watch.watchdogTimer = SetTimer(mainWindow, timerId, 5000, nullptr);
}

TEST_F(IdleInProcess, WatchdogTickEndsItsWatcherOnly)
{
    startFakeWatcher(sharingWatch, TIMER_SHARING_WATCHDOG);
    startFakeWatcher(dialUpWatch, TIMER_DIALUP_WATCHDOG);
    HANDLE sharing = nullptr;
    DuplicateHandle(GetCurrentProcess(), sharingWatch.thread, GetCurrentProcess(), &sharing, SYNCHRONIZE, FALSE, 0);

    onMainWindowTimer(mainWindow, TIMER_SHARING_WATCHDOG);
    EXPECT_EQ(sharingWatch.finishedFlag, 1);
    EXPECT_EQ(sharingWatch.thread, nullptr);
    EXPECT_EQ(sharingWatch.watchdogTimer, 0u);
    EXPECT_EQ(WaitForSingleObject(sharing, 5000), WAIT_OBJECT_0);
    CloseHandle(sharing);
    EXPECT_NE(dialUpWatch.thread, nullptr);
    EXPECT_NE(dialUpWatch.watchdogTimer, 0u);

    // Any (re)arming of the countdown stops what remains.
    armIdleTimer(1);
    EXPECT_EQ(dialUpWatch.finishedFlag, 1);
    EXPECT_EQ(dialUpWatch.thread, nullptr);
    EXPECT_EQ(dialUpWatch.watchdogTimer, 0u);
}

// The 9x resource meter, as start-up would have found it.
int meterPercent;
int WINAPI fakeMeter(int)
{
    return meterPercent;
}

class ResourceWatchInProcess : public programstate::ProgramStateTest {
protected:
    void SetUp() override
    {
        programstate::ProgramStateTest::SetUp();
        isNtPlatform = 0;
        resourceMeterLibrary = GetModuleHandleA(nullptr);
        freeResourcesProc = fakeMeter;
    }
    void tickAt(int percent)
    {
        meterPercent = percent;
        onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL);
    }
};

TEST_F(ResourceWatchInProcess, StopSwitchesOffAtStopValueAndRestoresThePreviousEnable)
{
    settings.Stop = 1;
    settings.StopValue = 20;
    for (int before : {1, 0}) {
        SCOPED_TRACE(before);
        settings.Enable = before;
        tickAt(21);
        EXPECT_EQ(resourceStopActive, 0);
        EXPECT_EQ(settings.Enable, before);
        tickAt(20);
        EXPECT_EQ(freeResourcePercent, 20);
        EXPECT_EQ(resourceStopActive, 1);
        EXPECT_EQ(settings.Enable, 0);
        // The user switches on meanwhile: still held by the stop until the resources recover.
        settings.Enable = 1;
        tickAt(5);
        EXPECT_EQ(settings.Enable, 1);
        EXPECT_EQ(resourceStopActive, 1);
        onMainWindowTimer(mainWindow, TIMER_IDLE_EXPIRY);
        EXPECT_EQ(standIn_.calls(), 0);
        tickAt(21);
        EXPECT_EQ(resourceStopActive, 0);
        EXPECT_EQ(settings.Enable, before);
    }
}

TEST_F(ResourceWatchInProcess, NothingIsMeasuredWithoutTheMeter)
{
    settings.Stop = 1;
    settings.Resource = 1;
    freeResourcePercent = 77;
    freeResourcesProc = nullptr; // the library loaded but its export was missing
    tickAt(0);
    EXPECT_EQ(freeResourcePercent, 77);
    EXPECT_EQ(resourceStopActive, 0);
    EXPECT_EQ(cautionShown, 0);
    freeResourcePercent = 0;
}

TEST_F(IdleInProcess, CautionBlinkAlternatesOnTimerSix)
{
    cautionBlinkState = 1;
    onMainWindowTimer(mainWindow, TIMER_CAUTION_FLASH);
    EXPECT_EQ(cautionBlinkState, 0);
    onMainWindowTimer(mainWindow, TIMER_CAUTION_FLASH);
    EXPECT_EQ(cautionBlinkState, 1);
}

} // namespace
