// Idle supervision, suspend and the power notifications: a machine in use is never suspended, an
// idle one never stays awake, boxes never pile up. First in-process, with the power calls and
// MessageBoxA replaced through the import table; then Somnivar.exe with the stand-in libraries.
#include "harness/harness.h"
#include <commctrl.h>

#include "app/startup_win.h"
#include "app/suspend_win.h"
#include "app/timers_win.h"
#include "hooklib/vantrel.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "status/tray_win.h"

using namespace harness;

namespace {

constexpr LRESULT kDeny = 0x424D5144;  // BROADCAST_QUERY_DENY
const std::string kCancelled = "サスペンド要求はキャンセルされました";

// The report of a failed power call.
std::string failureText(DWORD error)
{
    char system[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, system, 256, nullptr);
    return std::string("サスペンドできませんでした。\n理由：") + system;
}

LRESULT ownSuspendAnswer;  // the program's answer to its own suspend's notification
bool notifyOwnSuspend;

BOOLEAN WINAPI hookedSetSuspendState(BOOLEAN hibernate, BOOLEAN force, BOOLEAN disableWake)
{
    if (notifyOwnSuspend)
        ownSuspendAnswer = onPowerBroadcast(mainWindow, PBT_APMSUSPEND);
    standin::logPowerCall(hibernate, force, disableWake);
    return standIns().failWithError == 0;
}
BOOL WINAPI hookedSetSystemPowerState(BOOL suspend, BOOL force)
{
    standin::logPowerCall(suspend, force, 9);
    return TRUE;
}

int boxes;
std::vector<std::string> boxTexts;
void (*inBox)();  // what the box's modal loop runs, once
int WINAPI fakeBox(HWND, const char* text, const char*, UINT)
{
    ++boxes;
    boxTexts.push_back(text);
    if (inBox)
        std::exchange(inBox, nullptr)();
    return IDOK;
}

LRESULT CALLBACK testMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return message == WM_TIMER ? onMainWindowTimer(window, wParam) : DefWindowProcA(window, message, wParam, lParam);
}

HWND dummy()  // a stand-in for a modeless window of the program
{
    return CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

} // namespace

class PowerInProcess : public SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        for (int i = 0; i < 3; ++i)
            previous_[i] = hookImport(kHooked[i], replacements_[i]);
        ASSERT_TRUE(previous_[0] && previous_[1] && previous_[2] && tray_.start());
        WNDCLASSA windowClass = {0, testMainProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "PowerMain"};
        RegisterClassA(&windowClass);
        mainWindow = CreateWindowExA(0, "PowerMain", "", WS_POPUP, 0, 0, 0, 0, 0, 0, 0, 0);
        settings = kDefaultSettings;
        isNtPlatform = balloonErrorMode = 1;
        monitorPowerArgument = -1;
        boxes = 0;
        boxTexts.clear();
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
        for (int i = 0; i < 3; ++i)
            hookImport(kHooked[i], previous_[i]);
        SomnivarTest::TearDown();
    }
    LRESULT tick(UINT_PTR timer) { return onMainWindowTimer(mainWindow, timer); }
    // The last tray event is this balloon, shown for ten seconds.
    bool lastBalloon(const char* title, const std::string& text, DWORD kind)
    {
        const std::vector<TrayEvent> events = tray_.events();
        const TrayEvent e = events.empty() ? TrayEvent{} : events.back();
        return e.balloonTitle == title && e.balloonText == text && e.balloonFlags == kind && e.flags == NIF_INFO &&
               e.timeout == 10000;
    }

    static constexpr const char* kHooked[3] = {"SetSuspendState", "SetSystemPowerState", "MessageBoxA"};
    void* replacements_[3] = {reinterpret_cast<void*>(hookedSetSuspendState),
                              reinterpret_cast<void*>(hookedSetSystemPowerState), reinterpret_cast<void*>(fakeBox)};
    void* previous_[3] = {};
    FakeTray tray_;
};

// A Time of 0 or less would suspend at once, a huge one overflow the period or fail the timer.
TEST_F(PowerInProcess, ExpiryIsVetoedByResourceStopEnableOffAndGraceAndStaysArmed)
{
    for (int time : {0, -1, INT_MAX}) {
        settings.Time = time;
        armIdleTimer(0);
        armIdleTimer(1);
        pumpMessages(300);
    }
    const struct {
        int resourceStop, enable;
        UINT_PTR grace;
        LONG calls;
    } cases[] = {{1, 1, 0, 0}, {0, 0, 0, 0}, {0, 1, 9, 0}, {0, 1, 0, 1}};
    for (const auto& c : cases) {
        resourceStopActive = c.resourceStop;
        settings.Enable = c.enable;
        resumeGrace = c.grace;
        tick(TIMER_IDLE_EXPIRY);
        EXPECT_EQ(standIns().callCount, c.calls);
        EXPECT_NE(idleTimerArmed, 0u);
    }
    EXPECT_EQ(boxes, 0);
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
    tick(TIMER_ACTIVITY_POLL);
    EXPECT_TRUE(readmeSettling == 0 && readmeViewer == viewer);
}

int meterPercent;
int WINAPI fakeMeter(int) { return meterPercent; }

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
            SCOPED_TRACE(testing::Message() << before << " " << step.percent);
            meterPercent = step.percent;
            settings.Enable = step.userOn ? 1 : settings.Enable;
            tick(TIMER_ACTIVITY_POLL);
            EXPECT_EQ(resourceStopActive, step.stop);
            EXPECT_EQ(settings.Enable, step.enable);
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

// The call's kind by family, command and SuspendType, each between the monitor broadcasts (off
// before, on after); an idle suspend closes the windows but a settling readme.
TEST_F(PowerInProcess, SuspendKindFamilyOrderAndTheCountdownAfterwards)
{
    constexpr LPARAM idle = 1;
    settings.Monitor = 1;
    readmeViewer = dummy();
    readmeSettling = 1;
    for (HWND* window : {&cautionWindow, &aboutBox, &settingsDialog})
        *window = dummy();
    const struct {
        int nt;
        LPARAM kind;
        int suspendType;
        std::vector<LONG> call;  // hibernate, force, disableWakeEvent
    } cases[] = {{1, idle, 1, {1, 0, 0}}, {1, idle, 0, {0, 0, 0}}, {1, 263, 0, {1, 0, 0}}, {1, 264, 1, {0, 0, 0}},
                 {1, 258, 1, {1, 0, 0}}, {1, 0, 0, {0, 0, 0}}, {1, -1, 1, {1, 0, 0}}, {0, idle, 1, {0, 0, 9}},
                 {0, 263, 1, {0, 0, 9}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.nt << " " << c.kind << " " << c.suspendType);
        isNtPlatform = c.nt;
        settings.SuspendType = c.suspendType;
        tray_.clear();
        c.kind == idle ? idleSuspend() : commandedSuspend(c.kind);
        const standin::PowerCall& call = standIns().calls[standIns().callCount - 1];
        EXPECT_EQ(std::vector<LONG>({call.hibernate, call.forceCritical, call.disableWakeEvent}), c.call);
        EXPECT_EQ(checkSuspendOrder(tray_.monitorEvents(), call.sequence, 2), "");
        EXPECT_TRUE(suspendInProgress == 0 && idleTimerArmed != 0 && MessageCheck() == 0);
        EXPECT_TRUE(!cautionWindow && !aboutBox && !settingsDialog && IsWindow(readmeViewer));
    }
    readmeSettling = 0;
    idleSuspend();
    EXPECT_EQ(readmeViewer, nullptr);

    // A failed idle suspend re-arms the countdown whatever Enable is; a commanded one only on 1.
    // Under -M the failure is a balloon, else a box.
    isNtPlatform = 1;
    standIns().failWithError = ERROR_ACCESS_DENIED;
    settings.Enable = 0;
    armIdleTimer(0);
    idleSuspend();
    EXPECT_NE(idleTimerArmed, 0u);
    EXPECT_TRUE(lastBalloon("Somnivar - Error", failureText(ERROR_ACCESS_DENIED), 3));
    balloonErrorMode = 0;
    commandedSuspend(0);
    EXPECT_EQ(idleTimerArmed, 0u);
    settings.Enable = 1;
    commandedSuspend(0);
    EXPECT_TRUE(idleTimerArmed != 0 && suspendInProgress == 0 && standIns().callCount == 13);
    EXPECT_EQ(boxTexts, std::vector<std::string>(2, failureText(ERROR_ACCESS_DENIED)));
}

TEST_F(PowerInProcess, RequestsAndResumesAnswerWithTheExactValuesAndRefusalsShowABalloon)
{
    for (WPARAM event : {PBT_APMQUERYSUSPEND, PBT_APMQUERYSTANDBY, PBT_APMSUSPEND, PBT_APMSTANDBY}) {
        tray_.clear();
        EXPECT_EQ(onPowerBroadcast(mainWindow, event), kDeny) << event;
        EXPECT_TRUE(lastBalloon("Somnivar", kCancelled, 1)) << event;
    }
    tray_.clear();
    EXPECT_EQ(onPower(mainWindow, 1), -1);
    EXPECT_TRUE(lastBalloon("Somnivar", kCancelled, 1));
    settings.SuspendOther = 1;  // allowed, and the windows close
    armIdleTimer(1);
    aboutBox = dummy();
    tray_.clear();
    EXPECT_EQ(onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND), TRUE);
    EXPECT_TRUE(aboutBox == nullptr && idleTimerArmed == 0 && tray_.events().empty());
    EXPECT_EQ(onPower(mainWindow, 1), 1);
    settings.SuspendOther = 0;  // the program's own suspend goes through
    notifyOwnSuspend = true;
    idleSuspend();
    notifyOwnSuspend = false;
    EXPECT_EQ(ownSuspendAnswer, TRUE);
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

std::vector<LRESULT> seen;

// In a failed suspend's box the suspend is over and none starts; a timer failure (no such
// window) that the poll in its box meets again shows no second fatal pair.
TEST_F(PowerInProcess, BoxesNeverPileUp)
{
    standIns().failWithError = ERROR_ACCESS_DENIED;
    balloonErrorMode = settings.SuspendOther = 0;
    inBox = [] {
        seen = {suspendInProgress, MessageCheck(), onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND)};
        onMainWindowTimer(mainWindow, TIMER_IDLE_EXPIRY);
        commandedSuspend(0);
    };
    idleSuspend();
    armIdleTimer(0);
    const HWND window = std::exchange(mainWindow, reinterpret_cast<HWND>(0x7FFE));
    inBox = [] {
        MessageSet(1);
        onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL);
    };
    armIdleTimer(1);
    mainWindow = window;
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(seen, (std::vector<LRESULT>{0, 0, kDeny}));
    EXPECT_EQ(boxes, 3);
    EXPECT_EQ(standIns().callCount, 1);
}

DWORD inputTime;
int hookInstalls;
BOOL WINAPI fakeLastInput(LASTINPUTINFO* info)
{
    info->dwTime = inputTime;
    return TRUE;
}
int fakeSetHook() { return ++hookInstalls; }
void fakeFreeHook() {}

// A veto of a suspend we allowed, switching on, and input the hooks missed start the countdown
// afresh (timer 3); a resume and missed input install the hooks again.
TEST_F(PowerInProcess, CountdownStartsAfreshAndLostHooksComeBack)
{
    const std::pair<const char*, void*> hooks[] = {{"GetLastInputInfo", reinterpret_cast<void*>(fakeLastInput)},
                                                   {"SetHook", reinterpret_cast<void*>(fakeSetHook)},
                                                   {"FreeHook", reinterpret_cast<void*>(fakeFreeHook)}};
    void* previous[3];
    for (int i = 0; i < 3; ++i)
        previous[i] = hookImport(hooks[i].first, hooks[i].second);
    settings.SuspendOther = inputHooksInstalled = 1;
    onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND);
    onPowerBroadcast(mainWindow, PBT_APMQUERYSTANDBYFAILED);
    EXPECT_EQ(idleTimerArmed, 3u);
    onPowerBroadcast(mainWindow, PBT_APMRESUMEAUTOMATIC);
    idleTimerArmed = 99;
    setEnableState(1);
    EXPECT_EQ(idleTimerArmed, 3u);
    EXPECT_EQ(hookInstalls, 1);
    // Last-input time and flag at a poll; then the countdown's timer, and the installs so far.
    const struct {
        DWORD time;
        int flag, timer, installs;
    } polls[] = {{7, 0, 0, 1}, {8, 1, 3, 1}, {9, 0, 3, 2}};
    for (const auto& poll : polls) {
        armIdleTimer(0);
        inputTime = poll.time;
        MessageSet(poll.flag);
        tick(TIMER_ACTIVITY_POLL);
        EXPECT_EQ(int(idleTimerArmed), poll.timer) << poll.time;
        EXPECT_EQ(hookInstalls, poll.installs) << poll.time;
    }
    inputHooksInstalled = 0;
    for (int i = 0; i < 3; ++i)
        hookImport(hooks[i].first, previous[i]);
}

// ---- Somnivar.exe with the stand-ins

class Power : public SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        ASSERT_TRUE(storeSettings({{"SuspendType", 1}}) && tray_.start());
    }
    bool post(UINT message, WPARAM wParam) { return postMessage(instance_.mainWindow, message, wParam, 0); }
    FakeTray tray_;
    Instance instance_;
};

// Without an instance -S suspends once (as SuspendType says) and ends; a failure waits for its
// unowned box. An instance started with -M reports the failure as a balloon instead.
TEST_F(Power, FailedLaunchSuspendWaitsForItsBoxAndUnderMIsABalloon)
{
    standIns().failWithError = ERROR_ACCESS_DENIED;
    Process launch;
    Box box;
    ASSERT_TRUE(startProcess(binPath("Somnivar.exe"), {"-S"}, &launch));
    ASSERT_TRUE(waitMessageBox("Somnivar - Error", 15000, &box, launch.id));
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, failureText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(checkSuspendOrder(tray_.monitorEvents(), standIns().calls[0].sequence, -1), "");
    EXPECT_EQ(standIns().calls[0].hibernate, 1);
    pumpMessages(1000);
    EXPECT_TRUE(IsWindow(box.window) && processRunning(launch));
    pressButton(box, IDOK);
    DWORD exitCode = 1;
    ASSERT_TRUE(waitProcessExit(launch, 10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(standIns().callCount, 1);

    standIns().failWithError = ERROR_NOT_SUPPORTED;
    ASSERT_TRUE(startSomnivar("-M", &instance_));
    ASSERT_TRUE(post(WM_TIMER, TIMER_IDLE_EXPIRY));
    EXPECT_TRUE(tray_.waitFor([](const TrayEvent& e) {
        return e.balloonTitle == "Somnivar - Error" && e.balloonText == failureText(ERROR_NOT_SUPPORTED) &&
               e.balloonFlags == 3 && e.flags == NIF_INFO && e.timeout == 10000;
    }, 10000));
    EXPECT_EQ(standIns().callCount, 2);
    EXPECT_TRUE(openDialogs(instance_.process.id).empty());
}

// The one real-time test: with Time 1 and no input the suspend comes a minute after start.
TEST_F(Power, RealTimeWithoutInputTheSuspendComesOneMinuteAfterStart)
{
    const DWORD started = GetTickCount();
    ASSERT_TRUE(storeSettings({{"Time", 1}}) && startSomnivar("", &instance_));
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
    ASSERT_TRUE(startSomnivar("", &instance_));
    const char* title = "警告！(Somnivar）";
    // Two reads after a change: the first of those polls has finished (real ticks count too).
    auto pollAt = [&](LONG percent) {
        standIns().meterPercent = percent;
        const LONG before = standIns().meterCalls;
        post(WM_TIMER, TIMER_ACTIVITY_POLL);
        post(WM_TIMER, TIMER_ACTIVITY_POLL);
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
        } else if (way == ok) {
            pressButton(Box{window}, IDOK);
        } else if (way == closeBox) {
            postMessage(window, WM_CLOSE, 0, 0);
        }
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
    for (const Box& box : openDialogs(instance_.process.id))
        pressButton(box, IDOK);
    EXPECT_TRUE(stopSomnivar(instance_));
    EXPECT_EQ(storedSetting("Enable"), 1u);

    setWineVersion(nullptr);  // never on the NT family
    standIns().meterPercent = 0;
    standIns().meterCalls = 0;
    ASSERT_TRUE(startSomnivar("", &instance_));
    post(WM_TIMER, TIMER_ACTIVITY_POLL);
    pumpMessages(1500);
    EXPECT_EQ(standIns().meterCalls, 0);
    EXPECT_EQ(caution(), nullptr);
    DeleteFileA(installed.c_str());
}
