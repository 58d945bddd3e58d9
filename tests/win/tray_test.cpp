// Tray icon record, enable state marks and status line from the process state, in-process.
#include "harness/harness.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/mainwnd_win.h"
#include "app/startup_win.h"
#include "app/timers_win.h"
#include "info/version_win.h"
#include "info/versiontext.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "status/statusline.h"
#include "status/tray_win.h"
#include "tests/win/standins.h"

namespace {

int WINAPI fakeFreeResources(int) { return 55; }

// Saves and restores every piece of process state these tests change.
class TrayState : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedSettings_ = settings;
        savedNt_ = isNtPlatform;
        savedShell_ = shellMajorVersion;
        savedMeter_ = resourceMeterLibrary;
        savedProc_ = freeResourcesProc;
        savedPercent_ = freeResourcePercent;
        savedStop_ = resourceStopActive;
        savedMenu_ = trayMenu;
        savedWindow_ = mainWindow;
        savedRecord_ = trayIconRecord;
        settings = kDefaultSettings;
    }
    void TearDown() override
    {
        armIdleTimer(0);
        settings = savedSettings_;
        isNtPlatform = savedNt_;
        shellMajorVersion = savedShell_;
        resourceMeterLibrary = savedMeter_;
        freeResourcesProc = savedProc_;
        freeResourcePercent = savedPercent_;
        resourceStopActive = savedStop_;
        if (trayMenu && trayMenu != savedMenu_)
            DestroyMenu(trayMenu);
        trayMenu = savedMenu_;
        mainWindow = savedWindow_;
        trayIconRecord = savedRecord_;
    }

    void useMeter(int percent)
    {
        resourceMeterLibrary = GetModuleHandleA(nullptr);  // any loaded module stands in
        freeResourcesProc = fakeFreeResources;
        freeResourcePercent = percent;
    }

private:
    Settings savedSettings_{};
    int savedNt_ = 0, savedShell_ = 0, savedPercent_ = 0, savedStop_ = 0;
    HMODULE savedMeter_ = nullptr;
    FreeResourcesProc savedProc_ = nullptr;
    HMENU savedMenu_ = nullptr;
    HWND savedWindow_ = nullptr;
    NOTIFYICONDATAA savedRecord_{};
};

std::string statusLine(size_t bufferSize = sizeof(NOTIFYICONDATAA::szTip))
{
    char buffer[sizeof(NOTIFYICONDATAA::szTip) + 8];
    std::memset(buffer, 'Z', sizeof(buffer));
    buildStatusLine(buffer, bufferSize);
    EXPECT_EQ(buffer[bufferSize], 'Z') << "wrote past the buffer";
    return buffer;
}

TEST_F(TrayState, StatusLineFollowsTheProcessState)
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
    shellMajorVersion = 4;
    EXPECT_EQ(statusLine(), "Somnivar - S:OFF O:CAN/10Min E:ON/SUS M:STB H:OFF P:ON T:OF...");
    resourceStopActive = 0;
    EXPECT_EQ(statusLine(), "Somnivar - S:OFF O:CAN R:12%/OFF");
}

TEST_F(TrayState, StatusLineIsBoundedByTheCallersBuffer)
{
    isNtPlatform = 1;
    shellMajorVersion = 6;
    useMeter(INT_MIN);
    settings.Time = INT_MIN;
    settings.Value = INT_MAX;
    settings.StopValue = -1;
    settings.Resource = 1;
    settings.Stop = 1;
    settings.Expand = 1;
    const std::string tip = statusLine();
    EXPECT_EQ(tip.size(), kTipLength);
    EXPECT_EQ(tip.substr(tip.size() - 3), "...");
    EXPECT_EQ(statusLine(8), "Somniva");
    EXPECT_EQ(statusLine(1), "");
}

TEST_F(TrayState, RecordIsFilledForTheShell)
{
    mainWindow = reinterpret_cast<HWND>(0x1234);
    isNtPlatform = 1;
    shellMajorVersion = 6;
    settings.Enable = 0;
    std::memset(&trayIconRecord, 0x5A, sizeof(trayIconRecord));
    fillTrayIconRecord();
    EXPECT_EQ(trayIconRecord.cbSize, kNotifyRecordSize);
    EXPECT_EQ(trayIconRecord.hWnd, mainWindow);
    EXPECT_EQ(trayIconRecord.uID, 123u);
    EXPECT_EQ(trayIconRecord.uFlags, 7u);
    EXPECT_EQ(trayIconRecord.uCallbackMessage, 32868u);
    EXPECT_STREQ(trayIconRecord.szTip, "Somnivar - S:OFF O:CAN U:OFF");
    EXPECT_EQ(trayIconRecord.szInfo[0], '\0');
#if defined(_WIN64)
    EXPECT_EQ(kNotifyRecordSize, 504u);
#else
    EXPECT_EQ(kNotifyRecordSize, 488u);
#endif
}

// The marks as the tray set-up's menu carries them: on and off at positions 0 and 1.
HMENU makeTrayMenu()
{
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, IDM_FUNCTION_ON, "on");
    AppendMenuA(menu, MF_STRING, IDM_FUNCTION_OFF, "off");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_EXIT, "exit");
    return menu;
}

TEST_F(TrayState, EnableStateMovesTheMarksAndTheDefaultItem)
{
    trayMenu = makeTrayMenu();
    isNtPlatform = 1;
    shellMajorVersion = 6;

    setEnableState(0);
    EXPECT_EQ(settings.Enable, 0);
    EXPECT_EQ(GetMenuState(trayMenu, IDM_FUNCTION_ON, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(GetMenuState(trayMenu, IDM_FUNCTION_OFF, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(GetMenuDefaultItem(trayMenu, TRUE, 0), 1u);
    EXPECT_STREQ(trayIconRecord.szTip, "Somnivar - S:OFF O:CAN U:OFF");
    EXPECT_EQ(trayIconRecord.uID, 123u);

    setEnableState(1);
    EXPECT_EQ(settings.Enable, 1);
    EXPECT_EQ(GetMenuState(trayMenu, IDM_FUNCTION_ON, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(trayMenu, IDM_FUNCTION_OFF, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(GetMenuDefaultItem(trayMenu, TRUE, 0), 0u);
    EXPECT_EQ(std::string(trayIconRecord.szTip).rfind("Somnivar - S:ON O:CAN/10Min", 0), 0u);

    setEnableState(-1);
    EXPECT_EQ(settings.Enable, 0);
    EXPECT_EQ(GetMenuDefaultItem(trayMenu, TRUE, 0), 1u);

    // Without a menu (no tray set-up yet) the rest still happens.
    DestroyMenu(trayMenu);
    trayMenu = nullptr;
    setEnableState(1);
    EXPECT_EQ(settings.Enable, 1);
}

// ---- Against the stand-in notification area

// A window of this process to own the icon, and the stand-in tray that decodes the calls.
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

    harness::TrayEvent onlyEvent()
    {
        harness::TrayEvent event;
        EXPECT_TRUE(tray_.waitFor([](const harness::TrayEvent&) { return true; }, 5000, &event));
        EXPECT_EQ(tray_.events().size(), 1u);
        return event;
    }

    harness::FakeTray tray_;
    HWND owner_ = nullptr;
};

TEST_F(TrayShell, BalloonIsAFreshRecordWithItsOwnFieldsOnly)
{
    const NOTIFYICONDATAA before = trayIconRecord;
    ASSERT_TRUE(showTrayBalloon(owner_, "サスペンド要求はキャンセルされました", "Somnivar", kBalloonInfo));
    const harness::TrayEvent event = onlyEvent();
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
    ASSERT_TRUE(showTrayBalloon(owner_, text.c_str(), title.c_str(), kBalloonWarning));
    const harness::TrayEvent event = onlyEvent();
    EXPECT_EQ(event.balloonText, text.substr(0, 254));
    EXPECT_EQ(event.balloonTitle, title.substr(0, 62));
    EXPECT_EQ(event.balloonFlags, kBalloonWarning);

    tray_.clear();
    const std::string longTitle(100, 'T');
    const std::string exact(255, 'x');
    ASSERT_TRUE(showTrayBalloon(owner_, exact.c_str(), longTitle.c_str(), kBalloonError));
    const harness::TrayEvent second = onlyEvent();
    EXPECT_EQ(second.balloonText, exact);
    EXPECT_EQ(second.balloonTitle, longTitle.substr(0, 63));
    EXPECT_EQ(second.balloonFlags, kBalloonError);

    tray_.clear();
    ASSERT_TRUE(showTrayBalloon(owner_, nullptr, nullptr, kBalloonInfo));
    EXPECT_EQ(onlyEvent().balloonText, "");
}

// Figures for the one-second refresh: the whole refresh (status line, the shell call, and the
// stand-in tray's decoding in this same process) and the status line alone.
TEST_F(TrayShell, RefreshCost)
{
    const HWND savedWindow = mainWindow;
    const NOTIFYICONDATAA savedRecord = trayIconRecord;
    const Settings savedSettings = settings;
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
    auto wallMs = [] {
        LARGE_INTEGER counter, frequency;
        QueryPerformanceCounter(&counter);
        QueryPerformanceFrequency(&frequency);
        return counter.QuadPart * 1000.0 / frequency.QuadPart;
    };
    constexpr int kRefreshes = 1000;

    const double processBefore = cpuMs(nullptr);
    const double threadBefore = cpuMs(GetCurrentThread());
    const double wallBefore = wallMs();
    for (int i = 0; i < kRefreshes; ++i)
        refreshTrayTip();
    const double wall = wallMs() - wallBefore;
    const double thread = cpuMs(GetCurrentThread()) - threadBefore;
    const double process = cpuMs(nullptr) - processBefore;
    EXPECT_TRUE(tray_.waitFor([](const harness::TrayEvent&) { return true; }, 5000));
    EXPECT_EQ(tray_.events().back().tip, trayIconRecord.szTip);

    // The status line alone is far below the timer resolution: time many more.
    constexpr int kBuilds = 100000;
    char tip[sizeof(NOTIFYICONDATAA::szTip)];
    const double buildThreadBefore = cpuMs(GetCurrentThread());
    const double buildWallBefore = wallMs();
    for (int i = 0; i < kBuilds; ++i)
        buildStatusLine(tip, sizeof(tip));
    const double buildWall = wallMs() - buildWallBefore;
    const double buildThread = cpuMs(GetCurrentThread()) - buildThreadBefore;

    std::printf("[ refresh  ] %d refreshes (status line + NIM_MODIFY to the stand-in tray): "
                "wall %.1f ms, this thread's CPU %.1f ms, process CPU %.1f ms\n",
                kRefreshes, wall, thread, process);
    std::printf("[ refresh  ] %d status lines alone: wall %.1f ms, CPU %.1f ms (%.2f us each)\n", kBuilds,
                buildWall, buildThread, buildWall * 1000.0 / kBuilds);
    // Only an absurd cost fails: the refresh runs once a second.
    EXPECT_LT(wall / kRefreshes, 50.0);

    mainWindow = savedWindow;
    trayIconRecord = savedRecord;
    settings = savedSettings;
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

std::string expectedTip(const StatusLineInputs& in)
{
    StatusLineBuffer line;
    const size_t length = buildStatusLineText(in, line);
    return std::string(line.data(), length);
}

class TrayStatusSystem : public harness::SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        ASSERT_TRUE(tray_.start());
    }
    void TearDown() override
    {
        tray_.stop();
        SomnivarTest::TearDown();
    }

    // The last tip the program sent, once it equals expected (the one-second refresh resends it).
    bool waitForTip(DWORD processId, const std::string& expected, int icon, DWORD ms = 5000)
    {
        const bool seen = tray_.waitFor(
            [&](const harness::TrayEvent& e) {
                return e.processId == processId && (e.flags & NIF_TIP) && e.tip == expected && e.iconResource == icon;
            },
            ms);
        if (!seen) {
            for (const harness::TrayEvent& e : tray_.events()) {
                std::string tip = harness::toUtf8(e.tip);
                for (size_t at = tip.find('\n'); at != std::string::npos; at = tip.find('\n', at))
                    tip.replace(at, 1, "\\n");
                std::printf("  seen: NIM %lu icon %d tip \"%s\"\n", e.message, e.iconResource, tip.c_str());
            }
        }
        return seen;
    }

    harness::FakeTray tray_;
};

TEST_F(TrayStatusSystem, TooltipOfTheRunningProgramIsTheComposedLine)
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
    const std::string on = expectedTip(in);
    ASSERT_GT(on.size(), 40u);
    EXPECT_TRUE(tray_.waitFor([&](const harness::TrayEvent& e) {
        return e.message == NIM_ADD && e.processId == program.process.id && e.tip == on && e.iconResource == 2;
    }, 5000)) << harness::toUtf8(on);
    tray_.clear();
    EXPECT_TRUE(waitForTip(program.process.id, on, 2)) << "the one-second refresh";

    // Switched off from the menu: the short line and the off icon.
    ASSERT_TRUE(harness::postMessage(program.mainWindow, WM_COMMAND, IDM_FUNCTION_OFF, 0));
    in.Enable = 0;
    EXPECT_TRUE(waitForTip(program.process.id, expectedTip(in), 3));
    EXPECT_EQ(expectedTip(in), "Somnivar - S:OFF O:SUS U:OFF");
    harness::stopSomnivar(program);
}

// The 9x family with the resource meter: no U field, the R and A fields from the meter.
TEST_F(TrayStatusSystem, NineXTooltipCarriesTheMeterReading)
{
    char meterPath[MAX_PATH];
    systemDirectoryPath("RSRC32.DLL", meterPath, sizeof(meterPath));
    ASSERT_TRUE(CopyFileA(harness::binPath("rsrc32.dll").c_str(), meterPath, FALSE)) << meterPath;
    HANDLE mapping = nullptr;
    standin::MeterState* meter = standin::mapShared<standin::MeterState>(standin::kMeterMappingName, &mapping);
    ASSERT_NE(meter, nullptr);
    meter->percent = 47;
    meter->configured = 1;

    harness::setWineVersion("win98");
    ASSERT_TRUE(harness::storeSettings({{"Resource", 1}, {"Value", 40}, {"Stop", 1}, {"StopValue", 10},
                                        {"StatusDisplay", 1}}));
    harness::Instance program;
    const bool started = harness::startSomnivar("", &program);

    StatusLineInputs in{};
    in.Enable = 1;
    in.Time = 10;
    in.ExpType = 1;
    in.StatusDisplay = 1;
    in.meterAvailable = 1;
    in.freeResourcePercent = 47;
    in.Resource = 1;
    in.Value = 40;
    in.Stop = 1;
    in.StopValue = 10;
    in.shellMajorVersion = shellMajorVersionHere();
    const std::string expected = expectedTip(in);
    if (started) {
        EXPECT_TRUE(waitForTip(program.process.id, expected, 2)) << harness::toUtf8(expected);
        EXPECT_GT(meter->callCount, 0);
        harness::stopSomnivar(program);
    }
    UnmapViewOfFile(meter);
    CloseHandle(mapping);
    DeleteFileA(meterPath);
    ASSERT_TRUE(started);
}

} // namespace
