// The once-a-second tooltip refresh calls the notification area only for a change, and again
// after a refused call.
#include "harness/harness.h"

#include "app/startup_win.h"
#include "settings/settings.h"
#include "status/tray_win.h"

namespace {

using IdleCost = harness::SomnivarTest;

TEST_F(IdleCost, RefreshSendsOnlyWhatTheTrayDoesNotShow)
{
    harness::FakeTray tray;
    ASSERT_TRUE(tray.start());
    const HWND savedMainWindow = mainWindow;
    const Settings savedSettings = settings;
    mainWindow = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    settings = kDefaultSettings;
    fillTrayIconRecord();
    ASSERT_TRUE(notifyTrayIcon(NIM_ADD));
    // Each call is delivered before Shell_NotifyIconA returns: no waiting needed.
    auto refreshes = [&](int time, int count) {
        settings.Time = time;
        tray.clear();
        for (int i = 0; i < count; ++i)
            refreshTrayTip();
        return tray.events();
    };
    EXPECT_TRUE(refreshes(10, 3).empty());
    auto sent = refreshes(25, 3);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].tip.substr(0, 27), "Somnivar - S:ON O:CAN/25Min");
    // A refused call leaves unknown what the tray shows: the next refresh sends even the tip it
    // last accepted.
    tray.stop();
    refreshes(30, 1);
    ASSERT_TRUE(tray.start());
    sent = refreshes(25, 2);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].tip.substr(0, 27), "Somnivar - S:ON O:CAN/25Min");
    DestroyWindow(mainWindow);
    mainWindow = savedMainWindow;
    settings = savedSettings;
}

} // namespace
