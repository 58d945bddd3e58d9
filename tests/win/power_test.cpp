// Idle supervision, suspend and the power notifications: in-process with the power calls
// replaced through the import table, then Somnivar.exe with the stand-in libraries.
#include "tests/win/power_fixture.h"
#include <commctrl.h>

#include "status/tray_win.h"

using namespace harness;

namespace {

constexpr LRESULT kDeny = 0x424D5144;  // BROADCAST_QUERY_DENY
int meterPercent;

int WINAPI fakeMeter(int) { return meterPercent; }

HWND dummy()  // a stand-in for a modeless window of the program
{
    return CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

// The report of a failed power call.
std::string failureText(DWORD error)
{
    char system[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, system, 256, nullptr);
    return std::string("サスペンドできませんでした。\n理由：") + system;
}

} // namespace

TEST_F(PowerInProcess, ExpiryIsVetoedByResourceStopEnableOffAndGraceAndStaysArmed)
{
    armIdleTimer(1);
    const struct {
        int resourceStop, enable;
        UINT_PTR grace;
        LONG calls;
    } cases[] = {{1, 1, 0, 0}, {0, 0, 0, 0}, {0, 1, 9, 0}, {0, 1, 0, 1}};
    for (const auto& c : cases) {
        resourceStopActive = c.resourceStop, settings.Enable = c.enable, resumeGrace = c.grace;
        tick(TIMER_IDLE_EXPIRY);
        EXPECT_EQ(standIns().callCount, c.calls);
        EXPECT_NE(idleTimerArmed, 0u);
    }
}

TEST_F(PowerInProcess, PollRestartsTheCountdownOnInputOnlyWhileEnabledAndSettlesTheReadme)
{
    MessageSet(1);
    tick(TIMER_ACTIVITY_POLL);
    EXPECT_TRUE(MessageCheck() == 0 && idleTimerArmed != 0);
    armIdleTimer(0);
    settings.Enable = 0;  // the flag is neither read nor cleared
    MessageSet(1);
    tick(TIMER_ACTIVITY_POLL);
    EXPECT_TRUE(MessageCheck() == 1 && idleTimerArmed == 0);
    armIdleTimer(1);
    EXPECT_EQ(MessageCheck(), 0);

    startReadmeSettling(2);  // ends when its budget runs out...
    tick(TIMER_ACTIVITY_POLL);
    EXPECT_EQ(readmeSettling, 1);
    tick(TIMER_ACTIVITY_POLL);
    EXPECT_EQ(readmeSettling, 0);
    startReadmeSettling(0);  // ...or, without one, when the viewer of this process appears
    tick(TIMER_ACTIVITY_POLL);
    EXPECT_EQ(readmeSettling, 1);
    HWND viewer = CreateWindowExA(0, "#32770", "Somnivar - Readme.txt", WS_POPUP, 0, 0, 9, 9, 0, 0, 0, 0);
    readmeViewer = viewer;  // as its opener keeps it
    tick(TIMER_ACTIVITY_POLL);
    EXPECT_TRUE(readmeSettling == 0 && readmeViewer == viewer);
}

TEST_F(PowerInProcess, ResourceStopSwitchesOffAtStopValueAndRestoresThePreviousEnable)
{
    isNtPlatform = 0;
    resourceMeterLibrary = GetModuleHandleA(nullptr);
    freeResourcesProc = fakeMeter;
    settings.Stop = 1;
    settings.StopValue = 20;
    for (int before : {1, 0}) {
        settings.Enable = before;
        const struct {
            int percent, userOn, stop, enable;  // userOn: switched on meanwhile, still held
        } steps[] = {{21, 0, 0, before}, {20, 0, 1, 0}, {5, 1, 1, 1}, {21, 0, 0, before}};
        for (const auto& step : steps) {
            meterPercent = step.percent;
            settings.Enable = step.userOn ? 1 : settings.Enable;
            tick(TIMER_ACTIVITY_POLL);
            EXPECT_EQ(resourceStopActive, step.stop) << before << " " << step.percent;
            EXPECT_EQ(settings.Enable, step.enable) << before << " " << step.percent;
            if (step.stop)
                tick(TIMER_IDLE_EXPIRY);
            EXPECT_EQ(standIns().callCount, 0);
        }
    }
    // No caution without Resource; nothing measured when the export was missing.
    settings.Stop = 0;
    settings.Value = 30;
    meterPercent = 0;
    tick(TIMER_ACTIVITY_POLL);
    EXPECT_TRUE(cautionShown == 0 && cautionWindow == nullptr);
    freeResourcesProc = nullptr;
    settings.Resource = settings.Stop = 1;
    freeResourcePercent = 77;
    tick(TIMER_ACTIVITY_POLL);
    EXPECT_TRUE(freeResourcePercent == 77 && cautionShown == 0 && resourceStopActive == 0);
    freeResourcePercent = 0;
}

TEST_F(PowerInProcess, SuspendKindFamilyOrderAndTheCountdownAfterwards)
{
    settings.Monitor = 1;  // off before, on after
    readmeViewer = dummy();
    readmeSettling = 1;  // a settling readme stays; the other windows go
    for (HWND* window : {&cautionWindow, &aboutBox, &settingsDialog})
        *window = dummy();
    for (int type : {1, 0}) {
        settings.SuspendType = type;
        recorder_.clear();
        idleSuspend();
        const standin::PowerCall& call = standIns().calls[standIns().callCount - 1];
        EXPECT_EQ(std::vector<LONG>({call.hibernate, call.forceCritical, call.disableWakeEvent}),
                  std::vector<LONG>({type, 0, 0}));
        EXPECT_EQ(checkSuspendOrder(recorder_.events(), call.sequence, 2), "");
        EXPECT_TRUE(suspendInProgress == 0 && idleTimerArmed != 0 && MessageCheck() == 0);
        EXPECT_TRUE(!cautionWindow && !aboutBox && !settingsDialog && IsWindow(readmeViewer));
    }
    readmeSettling = 0;
    isNtPlatform = 0;  // SetSystemPowerState(0, 0) whatever SuspendType says
    recorder_.clear();
    idleSuspend();
    EXPECT_EQ(readmeViewer, nullptr);
    EXPECT_EQ(checkSuspendOrder(recorder_.events(), ninexCalls.at(0).first, 2), "");
    commandedSuspend(263);
    EXPECT_EQ(ninexCalls, (std::vector<std::pair<LONG, BOOL>>{{ninexCalls[0].first, 0}, {ninexCalls[1].first, 0}}));

    // A failed idle suspend re-arms the countdown whatever Enable is; a commanded one only on 1.
    isNtPlatform = 1;
    standIns().failWithError = ERROR_ACCESS_DENIED;
    settings.Enable = 0;
    armIdleTimer(0);
    idleSuspend();
    EXPECT_NE(idleTimerArmed, 0u);
    commandedSuspend(0);
    EXPECT_EQ(idleTimerArmed, 0u);
    settings.Enable = 1;
    commandedSuspend(0);
    EXPECT_TRUE(idleTimerArmed != 0 && suspendInProgress == 0 && standIns().callCount == 5);
}

TEST_F(PowerInProcess, RequestsAndResumesAnswerWithTheExactValues)
{
    for (WPARAM event : {PBT_APMQUERYSUSPEND, PBT_APMQUERYSTANDBY, PBT_APMSUSPEND, PBT_APMSTANDBY})
        EXPECT_EQ(onPowerBroadcast(mainWindow, event), kDeny) << event;
    EXPECT_EQ(onPower(mainWindow, 1), -1);
    settings.SuspendOther = 1;  // allowed, and the windows close
    armIdleTimer(1);
    aboutBox = dummy();
    EXPECT_EQ(onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND), TRUE);
    EXPECT_TRUE(aboutBox == nullptr && idleTimerArmed == 0);
    EXPECT_EQ(onPower(mainWindow, 1), 1);
    settings.SuspendOther = 0;  // the program's own suspend goes through
    suspendInProgress = 1;
    EXPECT_EQ(onPowerBroadcast(mainWindow, PBT_APMSUSPEND), TRUE);
    EXPECT_EQ(onPower(mainWindow, 1), 1);
    EXPECT_EQ(onPowerBroadcast(mainWindow, PBT_APMPOWERSTATUSCHANGE), TRUE);
    EXPECT_EQ(onPower(mainWindow, 3), 0);

    for (WPARAM event : {WPARAM(PBT_APMRESUMECRITICAL), WPARAM(PBT_APMRESUMESUSPEND), WPARAM(PBT_APMRESUMEAUTOMATIC), WPARAM(0)}) {
        settings.Enable = 0;
        suspendInProgress = 1;
        resumeGrace = 0;
        armIdleTimer(0);
        EXPECT_EQ(event ? onPowerBroadcast(mainWindow, event) : onPower(mainWindow, 2), event ? TRUE : 0);
        EXPECT_TRUE(resumeGrace != 0 && idleTimerArmed != 0 && suspendInProgress == 0) << event;
    }
    settings.SuspendOther = 1;  // in the grace everyone is refused
    suspendInProgress = 1;
    EXPECT_EQ(onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND), kDeny);
    EXPECT_EQ(onPower(mainWindow, 1), -1);
    tick(TIMER_RESUME_GRACE);
    EXPECT_EQ(resumeGrace, 0u);
    EXPECT_EQ(onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND), TRUE);
}

// ---- Somnivar.exe with the stand-ins

class Power : public SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        ASSERT_TRUE(storeSettings() && recorder_.start());
    }
    bool start(const char* arguments = "") { return startSomnivar(arguments, &instance_); }
    bool post(UINT message, WPARAM wParam) { return postMessage(instance_.mainWindow, message, wParam, 0); }
    LRESULT send(UINT message, WPARAM wParam)
    {
        DWORD_PTR result = 0xBADBAD;
        EXPECT_TRUE(sendMessage(instance_.mainWindow, message, wParam, 0, &result, 30000));
        return static_cast<LRESULT>(result);
    }
    bool waitCalls(LONG count) { return waitUntil([&] { return standIns().callCount >= count; }, 10000); }
    MonitorRecorder recorder_;
    Instance instance_;
};

// -L hibernates and -S stands by whatever SuspendType says; -X follows it. Without an instance
// the program suspends once and ends; a failure then waits for its unowned box to be answered.
TEST_F(Power, LaunchOptionsChooseTheKindAndAFailedOneWaitsForItsBox)
{
    const struct {
        const char* option;
        DWORD suspendType;
        LONG hibernate;
    } cases[] = {{"-L", 0, 1}, {"-S", 1, 0}, {"-X", 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        standIns().callCount = 0;
        ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, "Software\\Orlenby\\Somnivar", "SuspendType", c.suspendType));
        ASSERT_TRUE(start());
        DWORD exitCode = 1;
        ASSERT_TRUE(runSomnivar(c.option, 20000, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(standIns().callCount, 1);
        EXPECT_EQ(standIns().calls[0].hibernate, c.hibernate);
        ASSERT_TRUE(stopSomnivar(instance_));
    }
    standIns().callCount = 0;
    standIns().failWithError = ERROR_ACCESS_DENIED;
    recorder_.clear();
    Process launch;
    Box box;
    ASSERT_TRUE(startProcess(binPath("Somnivar.exe"), {"-S"}, &launch));
    ASSERT_TRUE(waitMessageBox("Somnivar - Error", 15000, &box, launch.id));
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, failureText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(checkSuspendOrder(recorder_.events(), standIns().calls[0].sequence, -1), "");
    EXPECT_EQ(standIns().calls[0].hibernate, 1);
    pumpMessages(1000);
    EXPECT_TRUE(IsWindow(box.window) && processRunning(launch));
    pressButton(box, IDOK);
    DWORD exitCode = 1;
    ASSERT_TRUE(waitProcessExit(launch, 10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(standIns().callCount, 1);
}

// With -M every report is a balloon: another program's request refused under SuspendOther 0,
// the program's own suspend let through, and after the grace a failed suspend. Timers are posted.
TEST_F(Power, BalloonsReportRefusedRequestsAndUnderMTheFailure)
{
    FakeTray tray;
    ASSERT_TRUE(tray.start());
    const auto balloon = [&](const char* title, const std::string& text, DWORD flags, DWORD ms) {
        return tray.waitFor([&](const TrayEvent& e) {
            return e.balloonTitle == title && e.balloonText == text && e.balloonFlags == flags &&
                   e.flags == NIF_INFO && e.timeout == 10000;
        }, ms);
    };
    ASSERT_TRUE(storeSettings({{"HotKeyUse", 0}, {"HotKeyCode", (HOTKEYF_CONTROL | HOTKEYF_ALT) << 8 | VK_F10}}));
    standIns().notify = 1;
    standIns().sleepMs = 200;
    ASSERT_TRUE(start("-M"));
    EXPECT_EQ(send(WM_POWERBROADCAST, PBT_APMQUERYSUSPEND), kDeny);
    EXPECT_TRUE(balloon("Somnivar", "サスペンド要求はキャンセルされました", 1, 5000));
    tray.clear();
    EXPECT_EQ(static_cast<int>(send(WM_POWER, 1)), -1);
    EXPECT_TRUE(balloon("Somnivar", "サスペンド要求はキャンセルされました", 1, 5000));
    tray.clear();
    pressChord({VK_CONTROL, VK_MENU, VK_F10});  // HotKeyUse 0: the hot key does nothing
    pumpMessages(1000);
    EXPECT_EQ(standIns().callCount, 0);

    ASSERT_TRUE(post(WM_TIMER, TIMER_IDLE_EXPIRY));
    ASSERT_TRUE(waitCalls(1));
    ASSERT_TRUE(waitUntil([&] { return standIns().calls[0].resumeAnswer != 0; }, 5000));
    EXPECT_EQ(standIns().calls[0].suspendAnswer, TRUE);
    EXPECT_EQ(standIns().calls[0].resumeAnswer, TRUE);
    standIns().notify = 0;
    standIns().failWithError = ERROR_NOT_SUPPORTED;
    ASSERT_TRUE(post(WM_TIMER, TIMER_RESUME_GRACE) && post(WM_TIMER, TIMER_IDLE_EXPIRY));
    EXPECT_TRUE(balloon("Somnivar - Error", failureText(ERROR_NOT_SUPPORTED), 3, 10000));
    EXPECT_EQ(standIns().callCount, 2);
    EXPECT_FALSE(balloon("Somnivar", "サスペンド要求はキャンセルされました", 1, 0));
    EXPECT_TRUE(openDialogs(instance_.process.id).empty());
}

// A Time of 0 or less would suspend at once, a huge one overflow the period or fail the timer.
TEST_F(Power, TimeOutsideItsRangeNeitherSuspendsAtOnceNorFails)
{
    for (DWORD time : {0ul, 0x7FFFFFFFul}) {
        ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, "Software\\Orlenby\\Somnivar", "Time", time));
        ASSERT_TRUE(start());
        pumpMessages(1500);
        EXPECT_EQ(standIns().callCount, 0);
        EXPECT_TRUE(openDialogs(instance_.process.id).empty());
        ASSERT_TRUE(stopSomnivar(instance_));
        EXPECT_EQ(storedSetting("Time"), time);
    }
}

// The one real-time test: with Time 1 and no input the suspend comes a minute after start.
TEST_F(Power, RealTimeWithoutInputTheSuspendComesOneMinuteAfterStart)
{
    ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, "Software\\Orlenby\\Somnivar", "Time", 1));
    const DWORD started = GetTickCount();
    ASSERT_TRUE(start());
    ASSERT_TRUE(waitUntil([] { return standIns().callCount > 0; }, 75000));
    EXPECT_GE(standIns().calls[0].tick - started, 60000u);
    EXPECT_LE(standIns().calls[0].tick - started, 62000u);
}

// ---- The 9x family's resource watch, with the stand-in meter where start-up loads it from.
TEST_F(Power, CautionAppearsOncePerShortageAndTheStopHoldsUntilShutdown)
{
    char meter[MAX_PATH];
    GetSystemDirectoryA(meter, MAX_PATH);
    const std::string installed = std::string(meter) + "\\RSRC32.DLL";
    ASSERT_TRUE(CopyFileA(binPath("rsrc32.dll").c_str(), installed.c_str(), FALSE));
    setWineVersion("win98");
    ASSERT_TRUE(storeSettings({{"Resource", 1}, {"Value", 30}, {"Stop", 1}, {"StopValue", 20}, {"OffCheck", 1}}));
    ASSERT_TRUE(start());
    const char* title = "警告！(Somnivar）";
    // Two reads after a change: the first of those polls has finished (real ticks count too).
    auto pollAt = [&](LONG percent) {
        standIns().meterPercent = percent;
        const LONG before = standIns().meterCalls;
        post(WM_TIMER, TIMER_ACTIVITY_POLL), post(WM_TIMER, TIMER_ACTIVITY_POLL);
        return waitUntil([&] { return standIns().meterCalls >= before + 2; }, 10000);
    };
    auto caution = [&] { return findProcessWindow(instance_.process.id, "#32770", title); };
    ASSERT_TRUE(pollAt(31));
    EXPECT_EQ(caution(), nullptr);
    enum { ok, closeBox, endOfSession, above };
    for (int way : {above, ok, closeBox, endOfSession}) {
        SCOPED_TRACE(way);
        ASSERT_TRUE(pollAt(30));
        ASSERT_TRUE(waitUntil([&] { return caution() != nullptr; }, 5000));
        HWND window = caution();
        char text[128] = "";
        GetDlgItemTextA(window, 1132, text, sizeof(text));
        EXPECT_STREQ(text, "リソースが 30 % 以下になりました。");
        GetDlgItemTextA(window, 1131, text, sizeof(text));
        EXPECT_STREQ(text, "ご注意下さい！");
        EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & DS_SYSMODAL);  // Wine does not make it topmost
        ASSERT_TRUE(pollAt(25));
        int open = 0;
        for (const Box& box : openDialogs(instance_.process.id))
            open += box.caption == title;
        EXPECT_EQ(open, 1) << "one per shortage";
        DWORD_PTR mayEnd = 0;
        if (way == endOfSession) {  // it goes, and must not veto the logoff on its way out
            ASSERT_TRUE(sendMessage(window, WM_QUERYENDSESSION, 0, 0, &mayEnd));
            EXPECT_NE(mayEnd, 0u);
        }
        if (way == ok || way == closeBox)
            way == ok ? pressButton(Box{window}, IDOK) : postMessage(window, WM_CLOSE, 0, 0);
        ASSERT_TRUE(pollAt(way == above ? 31 : 21));
        ASSERT_TRUE(waitWindowGone(window, 5000));
        ASSERT_TRUE(pollAt(21));
        EXPECT_EQ(caution() != nullptr, way == above) << "back only with the next shortage";
        ASSERT_TRUE(pollAt(31));
        ASSERT_TRUE(waitUntil([&] { return caution() == nullptr; }, 5000));
    }
    EXPECT_EQ(storedSetting("Enable"), 1u);
    ASSERT_TRUE(pollAt(20));
    EXPECT_EQ(storedSetting("Enable"), 0u);
    std::vector<Box> open = openDialogs(instance_.process.id);
    for (const Box& box : open)
        pressButton(box, IDOK);
    EXPECT_TRUE(stopSomnivar(instance_));
    EXPECT_EQ(storedSetting("Enable"), 1u);

    setWineVersion(nullptr);  // never on the NT family
    standIns().meterPercent = 0;
    standIns().meterCalls = 0;
    ASSERT_TRUE(start());
    post(WM_TIMER, TIMER_ACTIVITY_POLL);
    pumpMessages(1500);
    EXPECT_EQ(standIns().meterCalls, 0);
    EXPECT_EQ(caution(), nullptr);
    DeleteFileA(installed.c_str());
}
