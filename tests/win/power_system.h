// System tests of the idle supervision and suspend: Somnivar.exe runs with the power stand-in,
// the test records the monitor broadcasts and fires the timers by posting WM_TIMER.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include "harness/harness.h"
#include "resources/resource.h"
#include "tests/win/power_observer.h"

namespace powersystem {

constexpr const char* kSettingsPath = "Software\\Orlenby\\Somnivar\\";
constexpr const char* kStandInOverrides = "Software\\Wine\\AppDefaults\\Somnivar.exe\\DllOverrides";

class PowerSystemTest : public harness::SomnivarTest {
protected:
    void SetUp() override
    {
        harness::SomnivarTest::SetUp();
        ASSERT_TRUE(standIn_.ok());
        standIn_.reset();
        ASSERT_TRUE(recorder_.start());
        // A child process takes its load order overrides from the registry, not from the
        // environment block it is started with.
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
    LRESULT send(UINT message, WPARAM wParam)
    {
        DWORD_PTR result = 0xBADBAD;
        EXPECT_TRUE(harness::sendMessage(instance_.mainWindow, message, wParam, 0, &result, 30000));
        return static_cast<LRESULT>(result);
    }
    bool waitCalls(LONG count, DWORD ms = 10000)
    {
        return harness::waitUntil([&] { return standIn_.calls() >= count; }, ms);
    }

    powertest::PowerStandIn standIn_;
    powertest::MonitorRecorder recorder_{standIn_};
    harness::Instance instance_;
};

} // namespace powersystem
