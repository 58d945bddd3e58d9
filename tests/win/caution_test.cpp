// The resource watch of the 9x family: the caution window and the low-resource stop.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/win/power_system.h"

namespace {

constexpr const char* kCautionTitle = "警告！(Somnivar）";

class Caution : public powersystem::NinexMeterTest {
protected:
    HWND cautionWindow() { return harness::findProcessWindow(processId(), "#32770", kCautionTitle); }
    std::vector<HWND> cautionWindows()
    {
        std::vector<HWND> found;
        for (const harness::Box& box : harness::openDialogs(processId()))
            if (box.caption == kCautionTitle)
                found.push_back(box.window);
        return found;
    }
    bool waitCaution(bool present)
    {
        return harness::waitUntil([&] { return (cautionWindow() != nullptr) == present; }, 5000);
    }
};

TEST_F(Caution, AppearsAtValueOncePerShortageAndGoesAboveIt)
{
    setSetting("Resource", 1);
    setSetting("Value", 30);
    ASSERT_TRUE(start());
    ASSERT_TRUE(pollAt(31));
    EXPECT_EQ(cautionWindow(), nullptr);

    ASSERT_TRUE(pollAt(30));
    ASSERT_TRUE(waitCaution(true));
    HWND window = cautionWindow();
    char text[128] = "";
    GetDlgItemTextA(window, 1132, text, sizeof(text));
    EXPECT_STREQ(text, "リソースが 30 % 以下になりました。");
    GetDlgItemTextA(window, 1131, text, sizeof(text));
    EXPECT_STREQ(text, "ご注意下さい！");
    // Kept on top by the template (Windows makes a system-modal dialog topmost; Wine does not).
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & DS_SYSMODAL);

    ASSERT_TRUE(pollAt(29));
    EXPECT_EQ(cautionWindows(), std::vector<HWND>{window});

    ASSERT_TRUE(pollAt(31));
    EXPECT_TRUE(harness::waitWindowGone(window, 5000));
}

TEST_F(Caution, ClosedWindowStaysClosedUntilTheNextShortage)
{
    setSetting("Resource", 1);
    setSetting("Value", 30);
    ASSERT_TRUE(start());
    ASSERT_TRUE(pollAt(25));
    ASSERT_TRUE(waitCaution(true));
    harness::Box box;
    box.window = cautionWindow();
    ASSERT_TRUE(harness::pressButton(box, IDOK));
    ASSERT_TRUE(harness::waitWindowGone(box.window, 5000));

    ASSERT_TRUE(pollAt(25));
    ASSERT_TRUE(pollAt(20));
    EXPECT_EQ(cautionWindow(), nullptr);

    ASSERT_TRUE(pollAt(31));
    ASSERT_TRUE(pollAt(30));
    EXPECT_TRUE(waitCaution(true));

    // The close box ends it the same way.
    ASSERT_TRUE(harness::postMessage(cautionWindow(), WM_CLOSE, 0, 0));
    EXPECT_TRUE(waitCaution(false));
    ASSERT_TRUE(pollAt(30));
    EXPECT_EQ(cautionWindow(), nullptr);
}

TEST_F(Caution, NeverWithResourceOff)
{
    setSetting("Resource", 0);
    setSetting("Value", 30);
    ASSERT_TRUE(start());
    ASSERT_TRUE(pollAt(0));
    EXPECT_EQ(cautionWindow(), nullptr);
}

TEST_F(Caution, NeverOnTheNtFamily)
{
    harness::setWineVersion(nullptr);
    setSetting("Resource", 1);
    setSetting("Value", 30);
    meter_->percent = 0;
    ASSERT_TRUE(start());
    postTimer(TIMER_ACTIVITY_POLL);
    harness::pumpMessages(1500); // a real tick as well
    EXPECT_EQ(meter_->callCount, 0);
    EXPECT_EQ(cautionWindow(), nullptr);
}

TEST_F(Caution, AnAllowedSuspendRequestClosesIt)
{
    setSetting("Resource", 1);
    setSetting("Value", 30);
    setSetting("SuspendOther", 1);
    ASSERT_TRUE(start());
    ASSERT_TRUE(pollAt(10));
    ASSERT_TRUE(waitCaution(true));
    HWND window = cautionWindow();
    EXPECT_EQ(send(WM_POWERBROADCAST, PBT_APMQUERYSUSPEND), TRUE);
    EXPECT_TRUE(harness::waitWindowGone(window, 5000));
}

class ResourceStop : public powersystem::NinexMeterTest {};

// The expiry veto during the stop is covered in-process: on the 9x family no power call can be
// seen from here.
TEST_F(ResourceStop, SwitchesOffAtStopValueAndShutdownRestoresEnable)
{
    setSetting("Enable", 1);
    setSetting("OffCheck", 1); // keeps the watch scan from switching the function back on
    setSetting("Stop", 1);
    setSetting("StopValue", 20);
    ASSERT_TRUE(start());
    ASSERT_TRUE(pollAt(21));
    EXPECT_EQ(storedSetting("Enable"), 1u);
    ASSERT_TRUE(pollAt(20));
    EXPECT_EQ(storedSetting("Enable"), 0u);

    EXPECT_TRUE(harness::stopSomnivar(instance_));
    EXPECT_EQ(storedSetting("Enable"), 1u);
}

TEST_F(ResourceStop, RecoveryRestoresThePreviousEnable)
{
    setSetting("Enable", 1);
    setSetting("OffCheck", 1);
    setSetting("Stop", 1);
    setSetting("StopValue", 20);
    ASSERT_TRUE(start());
    ASSERT_TRUE(pollAt(5));
    EXPECT_EQ(storedSetting("Enable"), 0u);
    ASSERT_TRUE(pollAt(21));
    EXPECT_EQ(storedSetting("Enable"), 1u);
}

} // namespace
