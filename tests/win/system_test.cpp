// Somnivar.exe itself, with the stand-in power and resource libraries: the launch suspend, the one
// real-time wait and the 9x family's resource watch.
#include "harness/harness.h"
#include <shellapi.h>

#include "resources/resource.h"

using namespace harness;

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

// A hung instance (its thread answers nothing) makes -S give up with a box. Without an instance
// -S suspends once (as SuspendType says) and ends; a failure waits for its unowned box. An
// instance started with -M reports the failure as a balloon instead.
TEST_F(Power, FailedLaunchSuspendWaitsForItsBoxAndUnderMIsABalloon)
{
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE hung = CreateThread(nullptr, 0, [](LPVOID event) -> DWORD {
        WNDCLASSA windowClass = {0, DefWindowProcA, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "Somnivar"};
        RegisterClassA(&windowClass);
        HWND window = CreateWindowExA(0, "Somnivar", "Somnivar", WS_POPUP, 0, 0, 0, 0, 0, 0, 0, 0);
        WaitForSingleObject(event, 30000);
        return DWORD(DestroyWindow(window));
    }, release, 0, nullptr);
    Process launch;
    Box box;
    ASSERT_TRUE(waitUntil([] { return FindWindowA("Somnivar", "Somnivar") != nullptr; }, 5000));
    ASSERT_TRUE(startProcess(binPath("Somnivar.exe"), {"-S"}, &launch));
    ASSERT_TRUE(waitMessageBox("Somnivar - Error", 15000, &box, launch.id));
    EXPECT_EQ(box.text, "起動中の Somnivar が応答しません。\n要求は取り消されました。");
    EXPECT_TRUE(pressButton(box, IDOK) && waitExitCode(launch, 10000) != STILL_ACTIVE);
    EXPECT_TRUE(SetEvent(release) && WaitForSingleObject(hung, 10000) == WAIT_OBJECT_0 && CloseHandle(hung) && CloseHandle(release));

    standIns().failWithError = ERROR_ACCESS_DENIED;
    ASSERT_TRUE(startProcess(binPath("Somnivar.exe"), {"-S"}, &launch));
    ASSERT_TRUE(waitMessageBox("Somnivar - Error", 15000, &box, launch.id));
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, failureText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(standIns().calls[0].hibernate, 1);
    pumpMessages(1000);
    EXPECT_TRUE(IsWindow(box.window) && processRunning(launch));
    pressButton(box, IDOK);
    EXPECT_EQ(waitExitCode(launch, 10000), 0u);
    EXPECT_EQ(standIns().callCount, 1);

    standIns().failWithError = ERROR_NOT_SUPPORTED;
    ASSERT_TRUE(startSomnivar("-M", &instance_));
    ASSERT_TRUE(post(WM_COMMAND, IDC_SUSPEND_NOW));
    EXPECT_TRUE(tray_.waitFor([](const TrayEvent& e) {
        return e.balloonTitle == "Somnivar - Error" && e.balloonText == failureText(ERROR_NOT_SUPPORTED) &&
               e.balloonFlags == 3 && e.flags == NIF_INFO && e.timeout == 10000;
    }, 10000));
    EXPECT_EQ(standIns().callCount, 2);
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

// Moves to the same point reach the hooks uncounted; the expiry must not take them for missed input.
TEST_F(Power, ZeroDistanceMovesDuringTheCountdownLetTheSuspendCome)
{
    ASSERT_TRUE(startSomnivar("", &instance_));
    INPUT move = {INPUT_MOUSE};
    move.mi.dwFlags = MOUSEEVENTF_MOVE;  // by 0, 0
    ASSERT_EQ(SendInput(1, &move, sizeof(move)), 1u);  // may count: the hooks store the point
    pumpMessages(2500);  // the poll restarts the countdown after it
    ASSERT_TRUE(SendInput(1, &move, sizeof(move)) == 1 && post(WM_TIMER, TIMER_IDLE_EXPIRY));
    EXPECT_TRUE(waitUntil([] { return standIns().callCount == 1; }, 10000));
}

// The 9x family's resource watch, with the stand-in meter where start-up loads it from.
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
    enum { endOfSession, above };
    for (int way : {above, endOfSession}) {
        SCOPED_TRACE(way);
        ASSERT_TRUE(pollAt(30));
        ASSERT_TRUE(waitUntil([&] { return caution() != nullptr; }, 5000));
        HWND window = caution();
        char text[128] = "";
        GetDlgItemTextA(window, 1132, text, sizeof(text));
        EXPECT_STREQ(text, "リソースが 30 % 以下になりました。");
        GetDlgItemTextA(window, 1131, text, sizeof(text));
        EXPECT_STREQ(text, "ご注意下さい！");
        ASSERT_TRUE(pollAt(25));
        EXPECT_EQ(openDialogs(instance_.process.id).size(), 1u) << "one per shortage";
        DWORD_PTR mayEnd = 0;
        if (way == endOfSession) {  // it goes, and must not veto the logoff on its way out
            ASSERT_TRUE(sendMessage(window, WM_QUERYENDSESSION, 0, 0, &mayEnd));
            EXPECT_NE(mayEnd, 0u);
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
    EXPECT_TRUE(stopSomnivar(instance_));
    EXPECT_EQ(storedSetting("Enable"), 1u);
    DeleteFileA(installed.c_str());
}

// Second starts beside a running instance: every option letter in both cases hands its command
// over; what is no option (unknown letters, other forms, 32 KB of arguments, bytes that are no
// code page 932 text) meets the already-running box. The instance keeps running throughout.
TEST_F(Power, SecondStartsHandOverOptionsAndAnythingElseMeetsTheRunningBox)
{
    writeFile("Readme.txt", "Readme\r\n");
    ASSERT_TRUE(startSomnivar("", &instance_));
    std::string many;
    while (many.size() < 32000 - binPath("Somnivar.exe").size())
        many += "-Q /S --S -SS ";
    const struct { std::string arguments; LONG hibernate; bool viewer; } rows[] = {
        {"-L", 1, false}, {"-l", 1, false}, {"-S", 0, false}, {"-s", 0, false}, {"-X", 1, false},
        {"-x", 1, false}, {"-H", -1, true}, {"-h", -1, true}, {"-?", -1, true}, {"-M", -1, false},
        {"-m", -1, false}, {"-Q - -- /S -SS S \"\"", -1, false}, {many, -1, false},
        {"\x81\x7F \xFD\xFE\xFF -\x82 \x82", -1, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(toUtf8(row.arguments.substr(0, 20)));
        const LONG calls = standIns().callCount;
        Process launch;
        ASSERT_TRUE(startProcess(binPath("Somnivar.exe"), {row.arguments}, &launch));
        Box box;
        if (row.viewer) {
            HWND viewer = nullptr;
            ASSERT_TRUE(waitUntil([&] {
                return (viewer = findProcessWindow(instance_.process.id, "#32770", "Somnivar - Readme.txt")) != nullptr;
            }, 15000));
            postMessage(viewer, WM_CLOSE, 0, 0);
        } else if (row.hibernate < 0) {
            ASSERT_TRUE(waitMessageBox("Somnivar", 15000, &box, launch.id));
            EXPECT_EQ(box.text, "Somnivar は既に起動されています。");
            pressButton(box, IDOK);
        }
        ASSERT_EQ(waitExitCode(launch, 15000), 0u);
        // The instance answers the hand-off at once and suspends just after.
        waitUntil([&] { return standIns().returned > calls; }, row.hibernate >= 0 ? 10000 : 500);
        ASSERT_EQ(standIns().callCount, calls + (row.hibernate >= 0 ? 1 : 0));
        if (row.hibernate >= 0) {
            EXPECT_EQ(standIns().calls[calls].hibernate, row.hibernate);
        }
        ASSERT_TRUE(processRunning(instance_.process) && sendMessage(instance_.mainWindow, WM_NULL, 0, 0));
    }
}
