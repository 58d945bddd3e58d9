// The resource watch of the 9x family: the caution window and the low-resource stop.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/win/power_system.h"

namespace {

constexpr const char* kCautionTitle = "警告！(Somnivar）";

// The 9x family with the resource meter stand-in installed where start-up loads it from.
class NinexMeterTest : public powersystem::PowerSystemTest {
protected:
    void SetUp() override
    {
        PowerSystemTest::SetUp();
        meter_ = standin::mapShared<standin::MeterState>(standin::kMeterMappingName, &meterMapping_);
        ASSERT_NE(meter_, nullptr);
        *meter_ = {1, 100, 0};
        char directory[MAX_PATH];
        const UINT length = GetSystemDirectoryA(directory, sizeof(directory));
        ASSERT_TRUE(length > 0 && length < sizeof(directory));
        installedMeter_ = std::string(directory) + "\\RSRC32.DLL";
        ASSERT_TRUE(CopyFileA(harness::binPath("rsrc32.dll").c_str(), installedMeter_.c_str(), FALSE));
        harness::setWineVersion("win98");
        setSetting("Resource", 1);
        setSetting("Value", 30);
    }
    void TearDown() override
    {
        PowerSystemTest::TearDown();
        DeleteFileA(installedMeter_.c_str());
        meter_->configured = 0;
        UnmapViewOfFile(meter_);
        CloseHandle(meterMapping_);
    }
    // Sets the free resources and returns once a whole poll has run at that level: the meter
    // is read at the start of a poll, so two reads after the change mean the first of those
    // polls has finished (the real one-second ticks count as well as the posted ones).
    bool pollAt(int percent)
    {
        meter_->percent = percent;
        const LONG before = meter_->callCount;
        postTimer(TIMER_ACTIVITY_POLL);
        postTimer(TIMER_ACTIVITY_POLL);
        return harness::waitUntil([&] { return meter_->callCount >= before + 2; }, 10000);
    }
    HWND cautionWindow() { return harness::findProcessWindow(processId(), "#32770", kCautionTitle); }
    bool waitCaution(bool present)
    {
        return harness::waitUntil([&] { return (cautionWindow() != nullptr) == present; }, 5000);
    }

    standin::MeterState* meter_ = nullptr;

private:
    HANDLE meterMapping_ = nullptr;
    std::string installedMeter_;
};

using Caution = NinexMeterTest;

TEST_F(Caution, AppearsAtValueOncePerShortageAndGoesAboveIt)
{
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
    std::vector<HWND> open;
    for (const harness::Box& box : harness::openDialogs(processId()))
        if (box.caption == kCautionTitle)
            open.push_back(box.window);
    EXPECT_EQ(open, std::vector<HWND>{window});

    ASSERT_TRUE(pollAt(31));
    EXPECT_TRUE(harness::waitWindowGone(window, 5000));
}

TEST_F(Caution, ClosedWindowStaysClosedUntilTheNextShortage)
{
    ASSERT_TRUE(start());
    enum class Way { ok, closeBox, endOfSession };
    for (Way way : {Way::ok, Way::closeBox, Way::endOfSession}) {
        SCOPED_TRACE(static_cast<int>(way));
        ASSERT_TRUE(pollAt(31));
        ASSERT_TRUE(pollAt(25));
        ASSERT_TRUE(waitCaution(true));
        harness::Box box;
        box.window = cautionWindow();
        if (way == Way::endOfSession) {
            // The window goes, and it must not veto the logoff on its way out.
            DWORD_PTR mayEnd = 0;
            ASSERT_TRUE(harness::sendMessage(box.window, WM_QUERYENDSESSION, 0, 0, &mayEnd, 5000));
            EXPECT_NE(mayEnd, 0u);
        } else {
            ASSERT_TRUE(way == Way::closeBox ? harness::postMessage(box.window, WM_CLOSE, 0, 0)
                                             : harness::pressButton(box, IDOK));
        }
        ASSERT_TRUE(harness::waitWindowGone(box.window, 5000));
        ASSERT_TRUE(pollAt(25));
        ASSERT_TRUE(pollAt(20));
        EXPECT_EQ(cautionWindow(), nullptr);
    }
}

TEST_F(Caution, NeverOnTheNtFamily)
{
    harness::setWineVersion(nullptr);
    meter_->percent = 0;
    ASSERT_TRUE(start());
    postTimer(TIMER_ACTIVITY_POLL);
    harness::pumpMessages(1500); // a real tick as well
    EXPECT_EQ(meter_->callCount, 0);
    EXPECT_EQ(cautionWindow(), nullptr);
}

using ResourceStop = NinexMeterTest;

// Recovery and the expiry veto while the stop holds are checked in-process.
TEST_F(ResourceStop, SwitchesOffAtStopValueAndShutdownRestoresEnable)
{
    setSetting("Resource", 0);
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

} // namespace
