// Suspend execution and the answers to power notifications.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/win/program_state.h"

namespace {

using programstate::ninexCalls;
using powertest::checkSuspendOrder;

constexpr LRESULT kBroadcastQueryDeny = 0x424D5144;

class SuspendInProcess : public programstate::ProgramStateTest {};

TEST_F(SuspendInProcess, IdleSuspendHibernatesPerSuspendTypeBetweenTheMonitorBroadcasts)
{
    settings.Monitor = 1; // off before, on after
    for (int suspendType : {1, 0}) {
        SCOPED_TRACE(suspendType);
        standIn_.reset();
        recorder_.clear();
        settings.SuspendType = suspendType;
        idleSuspend();
        ASSERT_EQ(standIn_.calls(), 1);
        const standin::PowerCall& call = standIn_.call(0);
        EXPECT_EQ(call.hibernate, suspendType);
        EXPECT_EQ(call.forceCritical, 0);
        EXPECT_EQ(call.disableWakeEvent, 0);
        EXPECT_EQ(checkSuspendOrder(recorder_.events(), call.sequence, 2), "");
        EXPECT_EQ(suspendInProgress, 0);
        EXPECT_NE(idleTimerArmed, 0u);
        EXPECT_EQ(MessageCheck(), 0);
    }
}

TEST_F(SuspendInProcess, MonitorSettingChoosesTheBroadcastAndOddValuesKeepThePrevious)
{
    const struct {
        int monitor;
        LPARAM argument;
    } cases[] = {{0, -1}, {2, 1}, {3, 1}, {1, 2}, {-7, 2}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.monitor);
        standIn_.reset();
        recorder_.clear();
        settings.Monitor = each.monitor;
        commandedSuspend(0);
        ASSERT_EQ(standIn_.calls(), 1);
        EXPECT_EQ(checkSuspendOrder(recorder_.events(), standIn_.call(0).sequence, each.argument), "");
    }
}

TEST_F(SuspendInProcess, CommandedKindOverridesSuspendTypeOnlyForHibernateAndStandby)
{
    const struct {
        LPARAM kind;
        int suspendType;
        LONG hibernate;
    } cases[] = {{263, 0, 1}, {264, 1, 0}, {258, 1, 1}, {0, 1, 1}, {-1, 0, 0}, {-1, 1, 1}};
    for (const auto& each : cases) {
        SCOPED_TRACE(testing::Message() << each.kind << " " << each.suspendType);
        standIn_.reset();
        settings.SuspendType = each.suspendType;
        commandedSuspend(each.kind);
        ASSERT_EQ(standIn_.calls(), 1);
        EXPECT_EQ(standIn_.call(0).hibernate, each.hibernate);
    }
}

TEST_F(SuspendInProcess, NinexFamilyCallsSetSystemPowerStateWithBothArgumentsZero)
{
    isNtPlatform = 0;
    settings.SuspendType = 1; // has no say on the 9x family
    idleSuspend();
    commandedSuspend(263);
    EXPECT_EQ(standIn_.calls(), 0);
    ASSERT_EQ(ninexCalls.size(), 2u);
    for (const programstate::NinexCall& call : ninexCalls) {
        EXPECT_EQ(call.suspend, FALSE);
        EXPECT_EQ(call.force, FALSE);
    }
    const auto monitor = recorder_.events();
    ASSERT_EQ(monitor.size(), 4u);
    EXPECT_EQ(checkSuspendOrder({monitor[0], monitor[1]}, ninexCalls[0].sequence, -1), "");
    EXPECT_EQ(checkSuspendOrder({monitor[2], monitor[3]}, ninexCalls[1].sequence, -1), "");
}

TEST_F(SuspendInProcess, FailedIdleSuspendReArmsTheCountdownWhateverEnableIs)
{
    standIn_.state().failWithError = ERROR_ACCESS_DENIED;
    settings.Enable = 0;
    idleSuspend();
    EXPECT_EQ(standIn_.calls(), 1);
    EXPECT_NE(idleTimerArmed, 0u);
    EXPECT_EQ(suspendInProgress, 0);
    EXPECT_EQ(MessageCheck(), 0);
}

TEST_F(SuspendInProcess, FailedCommandedSuspendRearmsOnlyWhenEnabled)
{
    standIn_.state().failWithError = ERROR_ACCESS_DENIED;
    settings.Enable = 0;
    armIdleTimer(1);
    commandedSuspend(0);
    EXPECT_EQ(idleTimerArmed, 0u);
    EXPECT_EQ(suspendInProgress, 0);

    settings.Enable = 1;
    commandedSuspend(0);
    EXPECT_NE(idleTimerArmed, 0u);
    EXPECT_EQ(standIn_.calls(), 2);
}

// A stand-in for one of the program's modeless windows; WM_CLOSE destroys it.
HWND openDummyDialog()
{
    return CreateWindowExA(0, "STATIC", "dummy", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

TEST_F(SuspendInProcess, IdleSuspendClosesTheProgramWindowsButNotASettlingReadme)
{
    cautionWindow = openDummyDialog();
    aboutBox = openDummyDialog();
    HWND caution = cautionWindow;
    HWND about = aboutBox;
    HWND readme = openDummyDialog();
    readmeViewer = readme;
    readmeSettling = 1;
    idleSuspend();
    EXPECT_EQ(cautionWindow, nullptr);
    EXPECT_EQ(aboutBox, nullptr);
    EXPECT_FALSE(IsWindow(caution));
    EXPECT_FALSE(IsWindow(about));
    EXPECT_EQ(readmeViewer, readme);
    EXPECT_TRUE(IsWindow(readme));

    readmeSettling = 0;
    idleSuspend();
    EXPECT_EQ(readmeViewer, nullptr);
    EXPECT_FALSE(IsWindow(readme)); // WM_CLOSE reaches DefWindowProc, which destroys it
}

TEST_F(SuspendInProcess, RequestDecisionAnswersWithTheExactValues)
{
    settings.SuspendOther = 0;
    for (WPARAM event : {PBT_APMQUERYSUSPEND, PBT_APMQUERYSTANDBY, PBT_APMSUSPEND, PBT_APMSTANDBY})
        EXPECT_EQ(onPowerBroadcast(mainWindow, event), kBroadcastQueryDeny) << event;
    EXPECT_EQ(onPower(mainWindow, 1), -1);

    settings.SuspendOther = 1;
    armIdleTimer(1);
    aboutBox = openDummyDialog();
    EXPECT_EQ(onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND), TRUE);
    EXPECT_EQ(aboutBox, nullptr);
    EXPECT_EQ(idleTimerArmed, 0u);
    EXPECT_EQ(onPower(mainWindow, 1), 1);

    // The program's own suspend is let through even when others' are not.
    settings.SuspendOther = 0;
    suspendInProgress = 1;
    EXPECT_EQ(onPowerBroadcast(mainWindow, PBT_APMSUSPEND), TRUE);
    EXPECT_EQ(onPower(mainWindow, 1), 1);

    // Events that are neither requests nor resumes.
    EXPECT_EQ(onPowerBroadcast(mainWindow, PBT_APMPOWERSTATUSCHANGE), TRUE);
    EXPECT_EQ(onPower(mainWindow, 3), 0);
}

TEST_F(SuspendInProcess, ResumeStartsTheGraceInWhichEveryRequestIsRefused)
{
    for (WPARAM event : {PBT_APMRESUMECRITICAL, PBT_APMRESUMESUSPEND, PBT_APMRESUMEAUTOMATIC}) {
        SCOPED_TRACE(event);
        settings.Enable = 0;
        suspendInProgress = 1;
        resumeGrace = 0;
        EXPECT_EQ(onPowerBroadcast(mainWindow, event), TRUE);
        EXPECT_NE(resumeGrace, 0u);
        EXPECT_NE(idleTimerArmed, 0u); // restarted whatever Enable is
        EXPECT_EQ(suspendInProgress, 0);
    }
    resumeGrace = 0;
    armIdleTimer(0);
    EXPECT_EQ(onPower(mainWindow, 2), 0);
    EXPECT_NE(resumeGrace, 0u);
    EXPECT_NE(idleTimerArmed, 0u);

    settings.SuspendOther = 1;
    suspendInProgress = 1;
    EXPECT_EQ(onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND), kBroadcastQueryDeny);
    EXPECT_EQ(onPower(mainWindow, 1), -1);

    onMainWindowTimer(mainWindow, TIMER_RESUME_GRACE);
    EXPECT_EQ(resumeGrace, 0u);
    EXPECT_EQ(onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND), TRUE);
}

} // namespace
