// Status line from the process state and balloons, in-process; the tooltip of a running Somnivar.
#include "harness/harness.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>

#include "app/mainwnd_win.h"
#include "app/startup_win.h"
#include "app/timers_win.h"
#include "info/version_win.h"
#include "info/versiontext.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "status/statusline.h"
#include "status/tray_win.h"

namespace {

int WINAPI fakeFreeResources(int) { return 55; }

// Every piece of process state these tests change.
auto processState()
{
    return std::tie(settings, isNtPlatform, shellMajorVersion, resourceMeterLibrary, freeResourcesProc,
                    freeResourcePercent, resourceStopActive, trayMenu, mainWindow, trayIconRecord);
}

// Saves that state, and puts it back when it goes.
class SavedState {
public:
    SavedState() : saved_(processState()) {}
    ~SavedState()
    {
        armIdleTimer(0);
        processState() = saved_;
    }

private:
    std::tuple<Settings, int, int, HMODULE, FreeResourcesProc, int, int, HMENU, HWND, NOTIFYICONDATAA> saved_;
};

class TrayState : public ::testing::Test {
protected:
    void SetUp() override { settings = kDefaultSettings; }

    void useMeter(int percent)
    {
        resourceMeterLibrary = GetModuleHandleA(nullptr);  // any loaded module stands in
        freeResourcesProc = fakeFreeResources;
        freeResourcePercent = percent;
    }

private:
    SavedState saved_;
};

std::string statusLine(size_t bufferSize = sizeof(NOTIFYICONDATAA::szTip))
{
    char buffer[sizeof(NOTIFYICONDATAA::szTip) + 8];
    std::memset(buffer, 'Z', sizeof(buffer));
    buildStatusLine(buffer, bufferSize);
    EXPECT_EQ(buffer[bufferSize], 'Z') << "wrote past the buffer";
    return buffer;
}

TEST_F(TrayState, StatusLineFollowsTheProcessStateWithinTheCallersBuffer)
{
    isNtPlatform = 1;
    shellMajorVersion = 6;
    settings.Expand = 1;
    settings.Monitor = 2;
    settings.ApplicationCheck = 1;
    EXPECT_EQ(statusLine(), "Somnivar - S:ON O:CAN/10Min U:OFF E:ON/SUS M:STB\n"
                            "                        H:OFF P:ON T:OFF");
    shellMajorVersion = 4;
    EXPECT_EQ(statusLine(), "Somnivar - S:ON O:CAN/10Min U:OFF E:ON/SUS M:STB H:OFF P:ON...");

    // 9x with the resource meter, held off by low resources.
    isNtPlatform = 0;
    useMeter(12);
    settings.Enable = 0;
    settings.Stop = 1;
    resourceStopActive = 1;
    EXPECT_EQ(statusLine(), "Somnivar - S:OFF O:CAN/10Min E:ON/SUS M:STB H:OFF P:ON T:OF...");
    resourceStopActive = 0;
    EXPECT_EQ(statusLine(), "Somnivar - S:OFF O:CAN R:12%/OFF");

    // Every number at its extreme: the tip is full, and a smaller buffer still bounds it.
    isNtPlatform = 1;
    shellMajorVersion = 6;
    useMeter(INT_MIN);
    settings = kDefaultSettings;
    settings.Time = INT_MIN;
    settings.Value = INT_MAX;
    settings.StopValue = -1;
    settings.Resource = settings.Stop = settings.Expand = 1;
    const std::string tip = statusLine();
    EXPECT_EQ(tip.size(), kTipLength);
    EXPECT_EQ(tip.substr(tip.size() - 3), "...");
    EXPECT_EQ(statusLine(8), "Somniva");
    EXPECT_EQ(statusLine(1), "");
}

TEST_F(TrayState, EnableStateWithoutAMenuStillSwitches)
{
    // Before the tray set-up there is no menu to mark.
    trayMenu = nullptr;
    setEnableState(0);
    EXPECT_EQ(settings.Enable, 0);
    EXPECT_EQ(std::string(trayIconRecord.szTip).rfind("Somnivar - S:OFF", 0), 0u);
    setEnableState(1);
    EXPECT_EQ(settings.Enable, 1);
}

// ---- Against the stand-in notification area, with a window of this process owning the icon

class TrayShell : public harness::SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        ASSERT_TRUE(tray_.start());
        owner_ = CreateWindowExA(0, "STATIC", "tray owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(owner_);
        tray_.stop();
        SomnivarTest::TearDown();
    }

    harness::TrayEvent balloon(const char* text, const char* title, DWORD kind)
    {
        tray_.clear();
        EXPECT_TRUE(showTrayBalloon(owner_, text, title, kind));
        harness::TrayEvent event;
        EXPECT_TRUE(tray_.waitFor([](const harness::TrayEvent&) { return true; }, 5000, &event));
        EXPECT_EQ(tray_.events().size(), 1u);
        return event;
    }

    SavedState saved_;
    harness::FakeTray tray_;
    HWND owner_ = nullptr;
};

TEST_F(TrayShell, BalloonIsAFreshRecordWithItsOwnFieldsOnly)
{
    const NOTIFYICONDATAA before = trayIconRecord;
    const harness::TrayEvent event = balloon("サスペンド要求はキャンセルされました", "Somnivar", kBalloonInfo);
    EXPECT_EQ(event.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(event.window, owner_);
    EXPECT_EQ(event.id, 123u);
    EXPECT_EQ(event.flags, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(event.balloonText, "サスペンド要求はキャンセルされました");
    EXPECT_EQ(event.balloonTitle, "Somnivar");
    EXPECT_EQ(event.balloonFlags, kBalloonInfo);
    EXPECT_EQ(event.timeout, 10000u);
    EXPECT_EQ(event.tip, "");
    EXPECT_EQ(std::memcmp(&before, &trayIconRecord, sizeof(before)), 0) << "the icon's own record changed";
}

TEST_F(TrayShell, LongBalloonTextAndTitleAreCutAtCharacterBoundaries)
{
    // Two single bytes, then hiragana: 255 bytes would end in the middle of a character.
    std::string text = "ab";
    for (int i = 0; i < 200; ++i)
        text += "\x82\xa0";
    std::string title;
    for (int i = 0; i < 40; ++i)
        title += "\x83\x5e";  // katakana, 80 bytes
    harness::TrayEvent event = balloon(text.c_str(), title.c_str(), kBalloonWarning);
    EXPECT_EQ(event.balloonText, text.substr(0, 254));
    EXPECT_EQ(event.balloonTitle, title.substr(0, 62));
    EXPECT_EQ(event.balloonFlags, kBalloonWarning);

    const std::string exact(255, 'x');
    event = balloon(exact.c_str(), std::string(100, 'T').c_str(), kBalloonError);
    EXPECT_EQ(event.balloonText, exact);
    EXPECT_EQ(event.balloonTitle, std::string(63, 'T'));
    EXPECT_EQ(event.balloonFlags, kBalloonError);

    EXPECT_EQ(balloon(nullptr, nullptr, kBalloonInfo).balloonText, "");
}

// The CPU cost of the one-second refresh (status line and the shell call), for the record;
// the process figure includes the stand-in tray's decoding in this same process.
TEST_F(TrayShell, RefreshCost)
{
    mainWindow = owner_;
    settings = kDefaultSettings;
    settings.Expand = 1;
    settings.Monitor = 2;
    fillTrayIconRecord();

    auto cpuMs = [](HANDLE thread) {
        FILETIME created, exited, kernel, user;
        if (thread)
            GetThreadTimes(thread, &created, &exited, &kernel, &user);
        else
            GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
        const auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
        return (ticks(kernel) + ticks(user)) / 10000.0;
    };
    constexpr int kRefreshes = 1000;
    LARGE_INTEGER start, end, frequency;
    const double processBefore = cpuMs(nullptr);
    const double threadBefore = cpuMs(GetCurrentThread());
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kRefreshes; ++i)
        refreshTrayTip();
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    const double wall = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
    const double thread = cpuMs(GetCurrentThread()) - threadBefore;
    const double process = cpuMs(nullptr) - processBefore;
    EXPECT_TRUE(tray_.waitFor([](const harness::TrayEvent&) { return true; }, 5000));
    EXPECT_EQ(tray_.events().back().tip, trayIconRecord.szTip);

    std::printf("[ refresh  ] %d refreshes (status line + NIM_MODIFY to the stand-in tray): "
                "wall %.1f ms, this thread's CPU %.1f ms, process CPU %.1f ms\n",
                kRefreshes, wall, thread, process);
    // Only an absurd cost fails: the refresh runs once a second.
    EXPECT_LT(wall / kRefreshes, 50.0);
}

// ---- A running Somnivar

int shellMajorVersionHere()
{
    char path[MAX_PATH];
    systemDirectoryPath("Shell32.dll", path, sizeof(path));
    VersionBlock block;
    if (!path[0] || !loadVersionBlock(path, &block))
        return 0;
    char productVersion[256];
    queryVersionString(&block, "ProductVersion", productVersion, sizeof(productVersion));
    freeVersionBlock(&block);
    return leadingInteger(productVersion);
}

TEST_F(TrayShell, TooltipOfTheRunningProgramIsTheComposedLine)
{
    ASSERT_TRUE(harness::storeSettings({{"Time", 25}, {"SuspendOther", 1}, {"Expand", 1}, {"ExpType", 0},
                                        {"Monitor", 1}, {"HotKeyUse", 1}, {"HotKeyCode", 0x651}}));
    harness::Instance program;
    ASSERT_TRUE(harness::startSomnivar("", &program));

    StatusLineInputs in{};
    in.Enable = 1;
    in.SuspendOther = 1;
    in.Time = 25;
    in.isNt = 1;
    in.Expand = 1;
    in.ExpType = 0;
    in.Monitor = 1;
    in.HotKeyUse = 1;
    in.Value = 30;
    in.StopValue = 30;
    in.shellMajorVersion = shellMajorVersionHere();
    // The last tip the program sent, with the icon of its state, once it equals the composed one.
    auto waitForTip = [&](DWORD message, int icon) {
        StatusLineBuffer line;
        const std::string expected(line.data(), buildStatusLineText(in, line));
        EXPECT_TRUE(tray_.waitFor(
            [&](const harness::TrayEvent& e) {
                return e.message == message && e.processId == program.process.id && (e.flags & NIF_TIP)
                       && e.tip == expected && e.iconResource == icon;
            },
            5000))
            << harness::toUtf8(expected);
        return expected;
    };
    EXPECT_GT(waitForTip(NIM_ADD, 2).size(), 40u);

    // Switched off from the menu: the short line and the off icon.
    ASSERT_TRUE(harness::postMessage(program.mainWindow, WM_COMMAND, IDM_FUNCTION_OFF, 0));
    in.Enable = 0;
    EXPECT_EQ(waitForTip(NIM_MODIFY, 3), "Somnivar - S:OFF O:SUS U:OFF");
    harness::stopSomnivar(program);
}

} // namespace
