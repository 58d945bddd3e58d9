// Suspend execution and the answers to power notifications.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/win/power_system.h"
#include "tests/win/program_state.h"

namespace {

using powertest::checkSuspendOrder;
using programstate::ninexCalls;

constexpr const char* kRequestCancelled = "サスペンド要求はキャンセルされました";
constexpr LRESULT kBroadcastQueryDeny = 0x424D5144;

// The report of a power call that failed with error, as the program builds it.
std::string suspendErrorText(DWORD error)
{
    char system[256] = "";
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), system, sizeof(system), nullptr))
        system[0] = '\0';
    return std::string("サスペンドできませんでした。\n理由：") + system;
}

// A stand-in for one of the program's modeless windows; WM_CLOSE destroys it.
HWND openDummyDialog()
{
    return CreateWindowExA(0, "STATIC", "dummy", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

using SuspendInProcess = programstate::ProgramStateTest;

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

// A failed idle suspend re-arms the countdown whatever Enable is; a commanded one only when
// Enable is 1.
TEST_F(SuspendInProcess, FailedSuspendReArmsTheCountdownAsAfterASuccess)
{
    standIn_.state().failWithError = ERROR_ACCESS_DENIED;
    settings.Enable = 0;
    idleSuspend();
    EXPECT_NE(idleTimerArmed, 0u);
    EXPECT_EQ(suspendInProgress, 0);
    EXPECT_EQ(MessageCheck(), 0);

    commandedSuspend(0);
    EXPECT_EQ(idleTimerArmed, 0u);
    EXPECT_EQ(suspendInProgress, 0);

    settings.Enable = 1;
    commandedSuspend(0);
    EXPECT_NE(idleTimerArmed, 0u);
    EXPECT_EQ(standIn_.calls(), 3);
}

TEST_F(SuspendInProcess, IdleSuspendClosesTheProgramWindowsButNotASettlingReadme)
{
    HWND caution = cautionWindow = openDummyDialog();
    HWND about = aboutBox = openDummyDialog();
    HWND readme = readmeViewer = openDummyDialog();
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
    EXPECT_FALSE(IsWindow(readme));
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

    // Neither requests nor resumes.
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

// ---- Somnivar.exe with the power stand-in

using Suspend = powersystem::PowerSystemTest;

// -L hibernates and -S stands by whatever SuspendType says; -X, and an option that finds no
// instance (lParam -1), follow it. Without an instance the program suspends once and ends.
TEST_F(Suspend, OptionsChooseTheKindWithOrWithoutARunningInstance)
{
    const struct {
        const char* option;
        DWORD suspendType;
        LONG hibernate;
    } cases[] = {{"-L", 0, 1}, {"-S", 1, 0}, {"-X", 1, 1}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.option);
        standIn_.reset();
        setSetting("SuspendType", each.suspendType);
        ASSERT_TRUE(start());
        DWORD exitCode = 1;
        ASSERT_TRUE(harness::runSomnivar(each.option, 20000, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        ASSERT_EQ(standIn_.calls(), 1);
        EXPECT_EQ(standIn_.call(0).hibernate, each.hibernate);
        EXPECT_TRUE(harness::stopSomnivar(instance_));
    }
    standIn_.reset();
    recorder_.clear();
    DWORD exitCode = 1;
    ASSERT_TRUE(harness::runSomnivar("-S", 20000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    ASSERT_EQ(standIn_.calls(), 1);
    EXPECT_EQ(standIn_.call(0).hibernate, 1);
    EXPECT_EQ(checkSuspendOrder(recorder_.events(), standIn_.call(0).sequence, -1), "");
}

// The failure is reported in an unowned box with the system's text, the monitor already back
// on; a launch option's suspend ends the program only once the box is answered.
TEST_F(Suspend, FailedLaunchSuspendWaitsForItsErrorBox)
{
    standIn_.state().failWithError = ERROR_ACCESS_DENIED;
    harness::StartOptions options;
    options.arguments = "-S";
    harness::Process process;
    ASSERT_TRUE(harness::startProcess(harness::binPath("Somnivar.exe"), options, &process));
    harness::Box box;
    ASSERT_TRUE(harness::waitMessageBox("Somnivar - Error", 15000, &box, process.id));
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, suspendErrorText(ERROR_ACCESS_DENIED));
    const auto monitor = recorder_.events();
    ASSERT_EQ(monitor.size(), 2u);
    EXPECT_EQ(monitor[1].argument, -1);
    harness::pumpMessages(1500);
    EXPECT_TRUE(IsWindow(box.window));
    EXPECT_FALSE(harness::waitProcessExit(process, 0, nullptr));
    EXPECT_TRUE(harness::pressButton(box, IDOK));
    DWORD exitCode = 1;
    ASSERT_TRUE(harness::waitProcessExit(process, 10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(standIn_.calls(), 1);
}

// With -M every report is a balloon. Under SuspendOther 0 another program's request is refused,
// while the program's own suspend is allowed (the stand-in sends the suspend and resume
// notifications during the call); once the grace has ended, a failed suspend is reported.
TEST_F(Suspend, BalloonsReportRefusedRequestsAndUnderMTheFailure)
{
    harness::FakeTray tray;
    ASSERT_TRUE(tray.start());
    const auto balloon = [&](const char* title, const std::string& text, DWORD flags, DWORD ms) {
        return tray.waitFor(
            [&](const harness::TrayEvent& event) {
                return event.balloonTitle == title && event.balloonText == text && event.balloonFlags == flags;
            },
            ms);
    };
    setSetting("SuspendOther", 0);
    standIn_.state().notify = 1;
    standIn_.state().sleepMs = 200;
    ASSERT_TRUE(start("-M"));
    EXPECT_EQ(send(WM_POWERBROADCAST, PBT_APMQUERYSUSPEND), kBroadcastQueryDeny);
    EXPECT_TRUE(balloon("Somnivar", kRequestCancelled, 1, 5000));
    tray.clear();
    EXPECT_EQ(static_cast<int>(send(WM_POWER, 1)), -1);
    EXPECT_TRUE(balloon("Somnivar", kRequestCancelled, 1, 5000));
    tray.clear();

    ASSERT_TRUE(postTimer(TIMER_IDLE_EXPIRY));
    ASSERT_TRUE(waitCalls(1));
    ASSERT_TRUE(harness::waitUntil([&] { return standIn_.call(0).resumeAnswer != 0; }, 5000));
    EXPECT_EQ(standIn_.call(0).suspendAnswer, TRUE);
    EXPECT_EQ(standIn_.call(0).resumeAnswer, TRUE);
    EXPECT_FALSE(balloon("Somnivar", kRequestCancelled, 1, 1000));

    standIn_.state().notify = 0;
    standIn_.state().failWithError = ERROR_NOT_SUPPORTED;
    ASSERT_TRUE(postTimer(TIMER_RESUME_GRACE));
    ASSERT_TRUE(postTimer(TIMER_IDLE_EXPIRY));
    EXPECT_TRUE(balloon("Somnivar - Error", suspendErrorText(ERROR_NOT_SUPPORTED), 3, 10000));
    EXPECT_EQ(standIn_.calls(), 2);
    EXPECT_TRUE(harness::openDialogs(processId()).empty());
}

} // namespace
