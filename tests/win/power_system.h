// System tests of the idle supervision and suspend: Somnivar.exe runs with the power stand-in,
// the test records the monitor broadcasts and fires the timers by posting WM_TIMER.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "harness/harness.h"
#include "resources/resource.h"
#include "tests/win/power_observer.h"

namespace powersystem {

constexpr const char* kSettingsPath = "Software\\Orlenby\\Somnivar\\";
constexpr const char* kErrorPrefix = "サスペンドできませんでした。\n理由：";
constexpr const char* kRequestCancelled = "サスペンド要求はキャンセルされました";
constexpr LRESULT kBroadcastQueryDeny = 0x424D5144;
constexpr const char* kStandInOverrides = "Software\\Wine\\AppDefaults\\Somnivar.exe\\DllOverrides";

// The prefix for a power call that failed with error, as the program builds it.
inline std::string suspendErrorText(DWORD error)
{
    char system[256] = "";
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), system, sizeof(system), nullptr))
        system[0] = '\0';
    return std::string(kErrorPrefix) + system;
}

class PowerSystemTest : public harness::SomnivarTest {
protected:
    void SetUp() override
    {
        harness::SomnivarTest::SetUp();
        ASSERT_TRUE(standIn_.ok());
        standIn_.reset();
        ASSERT_TRUE(recorder_.start());
        // The stand-in is chosen per program in the registry: a child process takes its load
        // order overrides from there, not from the environment block it is started with.
        ASSERT_TRUE(harness::writeString(HKEY_CURRENT_USER, kStandInOverrides, "powrprof", "native,builtin"));
        // The whole record: no first-run dialog, and no missing value that would make the
        // program rewrite the key over what a test sets.
        ASSERT_TRUE(harness::storeSettings());
    }
    void TearDown() override
    {
        harness::SomnivarTest::TearDown();
        recorder_.stop();
        harness::deleteKeyTree(HKEY_CURRENT_USER, kStandInOverrides);
    }

    static void setSetting(const char* name, DWORD value)
    {
        ASSERT_TRUE(harness::writeDword(HKEY_CURRENT_USER, kSettingsPath, name, value));
    }
    static DWORD storedSetting(const char* name)
    {
        DWORD value = 0xDEADBEEF;
        harness::readDword(HKEY_CURRENT_USER, kSettingsPath, name, &value);
        return value;
    }

    bool start(const char* arguments = "") { return harness::startSomnivar(arguments, &instance_); }
    DWORD processId() const { return instance_.process.id; }

    bool postTimer(UINT_PTR id) { return harness::postMessage(instance_.mainWindow, WM_TIMER, id, 0); }
    LRESULT send(UINT message, WPARAM wParam, LPARAM lParam = 0)
    {
        DWORD_PTR result = 0xBADBAD;
        EXPECT_TRUE(harness::sendMessage(instance_.mainWindow, message, wParam, lParam, &result, 30000));
        return static_cast<LRESULT>(result);
    }
    // Posts a commanded hibernate behind what was posted before and waits for its power call:
    // posted messages are handled in order, so everything before it has been handled then.
    // (A sent message is no such marker: it may be handled first, or inside a broadcast.)
    // Returns how many power calls came before it, -1 when it never came. Tests that use it
    // keep SuspendType 0, so that only the marker hibernates.
    LONG callsBeforeMarker(LONG from = 0)
    {
        if (!harness::postMessage(instance_.mainWindow, WM_COMMAND, IDC_SUSPEND_NOW, 263))
            return -1;
        LONG marker = -1;
        harness::waitUntil(
            [&] {
                const LONG calls = standIn_.calls() < standin::kMaxPowerCalls ? standIn_.calls() : standin::kMaxPowerCalls;
                for (LONG index = from; index < calls; ++index) {
                    if (standIn_.call(index).hibernate) {
                        marker = index;
                        return true;
                    }
                }
                return false;
            },
            15000);
        return marker;
    }
    bool waitCalls(LONG count, DWORD ms = 10000)
    {
        return harness::waitUntil([&] { return standIn_.calls() >= count; }, ms);
    }

    powertest::PowerStandIn standIn_;
    powertest::MonitorRecorder recorder_{standIn_};
    harness::Instance instance_;
};

// The 9x family with the resource meter stand-in installed where start-up loads it from.
class NinexMeterTest : public PowerSystemTest {
protected:
    void SetUp() override
    {
        PowerSystemTest::SetUp();
        meter_ = standin::mapShared<standin::MeterState>(standin::kMeterMappingName, &meterMapping_);
        ASSERT_NE(meter_, nullptr);
        meter_->configured = 1;
        meter_->percent = 100;
        meter_->callCount = 0;
        char directory[MAX_PATH];
        const UINT length = GetSystemDirectoryA(directory, sizeof(directory));
        ASSERT_TRUE(length > 0 && length < sizeof(directory));
        installedMeter_ = std::string(directory) + "\\RSRC32.DLL";
        ASSERT_TRUE(CopyFileA(harness::binPath("rsrc32.dll").c_str(), installedMeter_.c_str(), FALSE));
        harness::setWineVersion("win98");
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

    standin::MeterState* meter_ = nullptr;

private:
    HANDLE meterMapping_ = nullptr;
    std::string installedMeter_;
};

} // namespace powersystem
