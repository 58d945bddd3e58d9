// Tray icon record, enable state marks and status line from the process state, in-process.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstring>
#include <string>

#include "app/mainwnd_win.h"
#include "app/startup_win.h"
#include "app/timers_win.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "status/statusline.h"
#include "status/tray_win.h"

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

} // namespace
