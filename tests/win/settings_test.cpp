// The settings store against the real registry of the test prefix, in-process: both platform
// families are exercised by setting isNtPlatform directly.
#include "harness/harness.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/startup_win.h"
#include "app/timers_win.h"
#include "settings/settings.h"
#include "settings/settings_store_win.h"
#include "status/tray_win.h"

namespace {

constexpr const char* kMakerPath = "Software\\Orlenby";
constexpr const char* kSettingsPath = "Software\\Orlenby\\Somnivar";
constexpr const char* kOtherProductPath = "Software\\Orlenby\\OtherProduct";

// ---- Registry helpers

bool keyExists(const char* path) { return harness::keyExists(HKEY_CURRENT_USER, path); }
void deleteTree(const char* path) { harness::deleteKeyTree(HKEY_CURRENT_USER, path); }

void setRaw(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kSettingsPath, &key), ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void setDword(const char* name, DWORD value) { setRaw(name, REG_DWORD, &value, sizeof(value)); }

void deleteValue(const char* name)
{
    HKEY key;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, kSettingsPath, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

struct StoredDword {
    bool present = false;
    DWORD type = 0;
    DWORD size = 0;
    int32_t value = 0;
};

StoredDword stored(const char* name)
{
    StoredDword result;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return result;
    BYTE data[64] = {};
    DWORD size = sizeof(data);
    if (RegQueryValueExA(key, name, nullptr, &result.type, data, &size) == ERROR_SUCCESS) {
        result.present = true;
        result.size = size;
        std::memcpy(&result.value, data, sizeof(result.value));
    }
    RegCloseKey(key);
    return result;
}

int32_t storedValue(const char* name)
{
    const StoredDword value = stored(name);
    EXPECT_TRUE(value.present) << name;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << name;
    EXPECT_EQ(value.size, 4u) << name;
    return value.value;
}

// The names of the stored values, sorted (the registry enumerates them in its own order).
std::vector<std::string> storedNames()
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// A complete key with every value away from its default.
constexpr Settings kCustomSettings = {25, 0, 1, 0, 1, 50, 1, 20, 1, 1, 2, 1, 0x241, 1, 1, 1, 1};

void writeCompleteKey(const Settings& values)
{
    setDword("Time", values.Time);
    setDword("Enable", values.Enable);
    setDword("Expand", values.Expand);
    setDword("ExpType", values.ExpType);
    setDword("Resource", values.Resource);
    setDword("Value", values.Value);
    setDword("Stop", values.Stop);
    setDword("StopValue", values.StopValue);
    setDword("SuspendOther", values.SuspendOther);
    setDword("SuspendType", values.SuspendType);
    setDword("Monitor", values.Monitor);
    setDword("HotKeyUse", values.HotKeyUse);
    setDword("HotKeyCode", values.HotKeyCode);
    setDword("ApplicationCheck", values.ApplicationCheck);
    setDword("TitleCheck", values.TitleCheck);
    setDword("OffCheck", values.OffCheck);
    setDword("StatusDisplay", values.StatusDisplay);
}

const std::vector<std::string> kCommonWriteOrder = {
    "Time", "Enable", "Expand", "ExpType", "Resource", "Value", "Stop", "StopValue",
    "SuspendOther", "HotKeyUse", "HotKeyCode", "ApplicationCheck", "TitleCheck", "OffCheck",
};

// ---- Message boxes raised on the test thread, answered from a helper thread.

struct SeenBox {
    HWND owner = nullptr;
    std::string caption;
    std::string text;
    HICON icon = nullptr;
    std::vector<int> buttons;  // visible ones among IDOK, IDCANCEL, IDYES, IDNO
};

BOOL CALLBACK collectDialog(HWND window, LPARAM found)
{
    char className[16];
    if (IsWindowVisible(window) && GetClassNameA(window, className, sizeof(className))
        && std::string(className) == "#32770") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK readStatic(HWND child, LPARAM box)
{
    char className[16];
    GetClassNameA(child, className, sizeof(className));
    if (std::string(className) != "Static")
        return TRUE;
    SeenBox& seen = *reinterpret_cast<SeenBox*>(box);
    if (GetWindowLongA(child, GWL_STYLE) & SS_ICON) {
        seen.icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    } else {
        char text[512] = {};
        GetWindowTextA(child, text, sizeof(text));
        if (text[0])
            seen.text = text;
    }
    return TRUE;
}

// Answers the boxes of one thread in turn with the given buttons; a box beyond the script
// is recorded and closed, so that a wrong box never hangs the test.
class BoxAnswerer {
public:
    BoxAnswerer(DWORD threadId, std::vector<int> answers)
        : threadId_(threadId), answers_(std::move(answers)), worker_([this] { run(); })
    {
    }
    std::vector<SeenBox> finish()
    {
        stop_ = true;
        worker_.join();
        return seen_;
    }

private:
    void run()
    {
        const DWORD deadline = GetTickCount() + 20000;
        while (!stop_ && GetTickCount() < deadline) {
            HWND box = nullptr;
            EnumThreadWindows(threadId_, collectDialog, reinterpret_cast<LPARAM>(&box));
            if (!box) {
                Sleep(10);
                continue;
            }
            Sleep(50);  // let the box finish its initialisation
            SeenBox seen;
            seen.owner = GetWindow(box, GW_OWNER);
            char caption[256] = {};
            GetWindowTextA(box, caption, sizeof(caption));
            seen.caption = caption;
            EnumChildWindows(box, readStatic, reinterpret_cast<LPARAM>(&seen));
            for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
                HWND button = GetDlgItem(box, id);
                if (button && IsWindowVisible(button))
                    seen.buttons.push_back(id);
            }
            const size_t index = seen_.size();
            seen_.push_back(seen);
            const int answer = index < answers_.size() ? answers_[index] : seen.buttons.front();
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
            while (IsWindow(box) && GetTickCount() < deadline)
                Sleep(10);
        }
    }

    DWORD threadId_;
    std::vector<int> answers_;
    std::vector<SeenBox> seen_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

class SettingsStore : public harness::SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        settings = kDefaultSettings;
        firstRun = 0;
        isNtPlatform = 1;
    }
    void TearDown() override
    {
        armIdleTimer(0);
        deleteTree(kMakerPath);
        settings = kDefaultSettings;
        firstRun = 0;
        isNtPlatform = 1;
        SomnivarTest::TearDown();
    }

    // A start-up's load as the program does it, from a fresh record.
    void load()
    {
        settings = kDefaultSettings;
        firstRun = 0;
        loadSettings();
    }

    std::vector<SeenBox> uninstall(std::vector<int> answers, int* result)
    {
        HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        BoxAnswerer answerer(GetCurrentThreadId(), std::move(answers));
        *result = deleteSettings(owner);
        std::vector<SeenBox> seen = answerer.finish();
        for (const SeenBox& box : seen)
            EXPECT_EQ(box.owner, owner) << box.caption;
        DestroyWindow(owner);
        return seen;
    }
};

// ---- Load

TEST_F(SettingsStore, FirstRunOnNtWritesTheDefaultsAndMonitorOnlyWithTheEnableState)
{
    load();
    EXPECT_EQ(firstRun, 1);
    EXPECT_TRUE(keyExists(kSettingsPath));

    std::vector<std::string> expected = kCommonWriteOrder;
    expected.push_back("StatusDisplay");
    expected.push_back("SuspendType");
    EXPECT_EQ(storedNames(), sorted(expected));
    const int32_t defaults[] = {10, 1, 0, 1, 0, 30, 0, 30, 0, 0, 0, 0, 0, 0, 0, 0};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(storedValue(expected[i].c_str()), defaults[i]) << expected[i];

    setEnableState(settings.Enable);
    EXPECT_EQ(storedValue("Monitor"), 0);
    EXPECT_EQ(storedNames().size(), 17u);
}

TEST_F(SettingsStore, FirstRunOn9xLeavesOutTheNtValues)
{
    isNtPlatform = 0;
    load();
    EXPECT_EQ(firstRun, 1);
    EXPECT_EQ(storedNames(), sorted(kCommonWriteOrder));

    setEnableState(1);
    std::vector<std::string> expected = kCommonWriteOrder;
    expected.push_back("Monitor");
    EXPECT_EQ(storedNames(), sorted(expected));
}

TEST_F(SettingsStore, MakerKeyOfAnotherProductOnlyGetsTheSettingsKeyAdded)
{
    HKEY other;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kOtherProductPath, &other), ERROR_SUCCESS);
    RegCloseKey(other);

    load();
    EXPECT_EQ(firstRun, 1);
    EXPECT_EQ(storedValue("Time"), 10);
    EXPECT_EQ(storedNames().size(), 16u);
    EXPECT_TRUE(keyExists(kOtherProductPath));
}

TEST_F(SettingsStore, CompleteKeyIsReadAsItStands)
{
    writeCompleteKey(kCustomSettings);
    load();
    EXPECT_EQ(firstRun, 0);
    EXPECT_EQ(std::memcmp(&settings, &kCustomSettings, sizeof(Settings)), 0);

    // Out-of-range values are kept, in memory and in the registry.
    setDword("Time", static_cast<DWORD>(-5));
    setDword("Monitor", 7);
    setDword("Value", 1000);
    load();
    EXPECT_EQ(settings.Time, -5);
    EXPECT_EQ(settings.Monitor, 7);
    EXPECT_EQ(settings.Value, 1000);
    EXPECT_EQ(storedValue("Time"), -5);
}

TEST_F(SettingsStore, MissingExpandResetsItAndEveryLaterValueButMonitor)
{
    writeCompleteKey(kCustomSettings);
    deleteValue("Expand");
    load();
    EXPECT_EQ(firstRun, 0);

    const Settings& c = kCustomSettings;
    const Settings& d = kDefaultSettings;
    // Before Expand in the read order: kept.
    EXPECT_EQ(settings.Time, c.Time);
    EXPECT_EQ(settings.Enable, c.Enable);
    EXPECT_EQ(storedValue("Time"), c.Time);
    EXPECT_EQ(storedValue("Enable"), c.Enable);
    // Monitor is never part of the full write, so it keeps what was stored.
    EXPECT_EQ(settings.Monitor, c.Monitor);
    EXPECT_EQ(storedValue("Monitor"), c.Monitor);
    // Expand and all later ones: back at the defaults, in memory and in the registry.
    const std::pair<const char*, int32_t Settings::*> reset[] = {
        {"Expand", &Settings::Expand},         {"ExpType", &Settings::ExpType},
        {"Resource", &Settings::Resource},     {"Value", &Settings::Value},
        {"Stop", &Settings::Stop},             {"StopValue", &Settings::StopValue},
        {"SuspendOther", &Settings::SuspendOther}, {"HotKeyUse", &Settings::HotKeyUse},
        {"HotKeyCode", &Settings::HotKeyCode}, {"ApplicationCheck", &Settings::ApplicationCheck},
        {"TitleCheck", &Settings::TitleCheck}, {"OffCheck", &Settings::OffCheck},
        {"StatusDisplay", &Settings::StatusDisplay}, {"SuspendType", &Settings::SuspendType},
    };
    for (const auto& [name, field] : reset) {
        EXPECT_EQ(settings.*field, d.*field) << name;
        EXPECT_EQ(storedValue(name), d.*field) << name;
    }
}

TEST_F(SettingsStore, DataLongerThanFourBytesCountsAsMissing)
{
    writeCompleteKey(kCustomSettings);
    // "abcd" with its terminator: five bytes.
    setRaw("Value", REG_SZ, "abcd", 5);
    // Up to four bytes are taken as they stand, whatever the type: "abc" and its terminator.
    setRaw("Resource", REG_SZ, "abc", 4);
    load();
    EXPECT_EQ(firstRun, 0);
    EXPECT_EQ(settings.Expand, kCustomSettings.Expand);
    EXPECT_EQ(settings.Resource, 0x00636261);
    EXPECT_EQ(settings.Value, kDefaultSettings.Value);
    EXPECT_EQ(settings.Stop, kDefaultSettings.Stop);
    EXPECT_EQ(settings.OffCheck, kDefaultSettings.OffCheck);
    EXPECT_EQ(storedValue("Value"), kDefaultSettings.Value);
    EXPECT_EQ(storedValue("Resource"), 0x00636261);
    EXPECT_EQ(storedValue("Expand"), kCustomSettings.Expand);
}

TEST_F(SettingsStore, NineXReadsStatusDisplayButNeverWritesIt)
{
    isNtPlatform = 0;
    writeCompleteKey(kCustomSettings);
    setDword("SuspendType", 1);
    load();
    EXPECT_EQ(settings.StatusDisplay, 1);                         // read
    EXPECT_EQ(settings.SuspendType, kDefaultSettings.SuspendType);  // not even read
    EXPECT_EQ(settings.Time, kCustomSettings.Time);

    // A 9x first run leaves StatusDisplay out, so every later start finds it missing and
    // rewrites the set: OffCheck, stored as two raw bytes, comes back as a 4-byte REG_DWORD.
    deleteTree(kMakerPath);
    load();
    const BYTE one[2] = {1, 0};
    setRaw("OffCheck", REG_BINARY, one, sizeof(one));
    setDword("Time", 42);
    setDword("Monitor", 1);  // as the first run's enable state would have stored it
    load();
    EXPECT_EQ(firstRun, 0);
    EXPECT_EQ(settings.Time, 42);
    EXPECT_EQ(settings.OffCheck, 1);
    EXPECT_EQ(settings.Monitor, 1);
    EXPECT_EQ(storedValue("OffCheck"), 1);
    EXPECT_EQ(storedValue("Time"), 42);
    EXPECT_FALSE(stored("StatusDisplay").present);
    EXPECT_FALSE(stored("SuspendType").present);

    settings.StatusDisplay = 1;
    settings.SuspendType = 1;
    setEnableState(1);
    writeAllSettings(0);
    EXPECT_FALSE(stored("StatusDisplay").present);
    EXPECT_FALSE(stored("SuspendType").present);
}

// ---- Writes

TEST_F(SettingsStore, WritesNeverCreateTheKeyExceptTheCreatingFullWrite)
{
    writeSetting("Enable", 0);
    writeAllSettings(0);
    EXPECT_FALSE(keyExists(kMakerPath));

    settings.Time = 33;
    settings.Monitor = 2;
    writeAllSettings(1);
    EXPECT_EQ(storedValue("Time"), 33);
    EXPECT_FALSE(stored("Monitor").present);

    writeSetting("Monitor", 2);
    EXPECT_EQ(storedValue("Monitor"), 2);
    writeSetting("HotKeyCode", -1);
    EXPECT_EQ(storedValue("HotKeyCode"), -1);
}

TEST_F(SettingsStore, EnableStateStoresItsValuesButNotTheTimings)
{
    load();
    settings.Time = 45;
    settings.Expand = 1;
    settings.Value = 60;
    settings.Stop = 1;
    settings.SuspendType = 1;
    settings.OffCheck = 1;
    setEnableState(5);  // anything but 1 is off
    EXPECT_EQ(settings.Enable, 0);
    EXPECT_EQ(storedValue("Enable"), 0);
    EXPECT_EQ(storedValue("Stop"), 1);
    EXPECT_EQ(storedValue("OffCheck"), 1);
    EXPECT_EQ(storedValue("SuspendType"), 1);
    EXPECT_EQ(storedValue("Time"), 10);
    EXPECT_EQ(storedValue("Expand"), 0);
    EXPECT_EQ(storedValue("Value"), 30);
}

// ---- Uninstall

TEST_F(SettingsStore, UninstallYesDeletesBothKeysAndEndsTheProgram)
{
    load();
    int result = -1;
    const std::vector<SeenBox> boxes = uninstall({IDYES, IDOK}, &result);
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(keyExists(kSettingsPath));
    EXPECT_FALSE(keyExists(kMakerPath));

    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Somnivar レジストリ・アンインストール");
    EXPECT_EQ(boxes[0].text, "Somnivar の設定をレジストリより削除しますか？");
    EXPECT_EQ(boxes[0].icon, LoadIconA(nullptr, IDI_QUESTION));
    EXPECT_EQ(boxes[0].buttons, (std::vector<int>{IDCANCEL, IDYES, IDNO}));
    EXPECT_EQ(boxes[1].caption, "Somnivar");
    EXPECT_EQ(boxes[1].text, "プログラムを終了します。");
    EXPECT_EQ(boxes[1].icon, LoadIconA(nullptr, IDI_INFORMATION));
    EXPECT_EQ(boxes[1].buttons, (std::vector<int>{IDOK}));

    // Nothing written during the shutdown brings the key back.
    setEnableState(1);
    writeAllSettings(0);
    EXPECT_FALSE(keyExists(kMakerPath));
}

TEST_F(SettingsStore, UninstallYesKeepsTheMakerKeyOfAnotherProduct)
{
    load();
    HKEY other;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kOtherProductPath, &other), ERROR_SUCCESS);
    RegCloseKey(other);
    int result = -1;
    uninstall({IDYES, IDOK}, &result);
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(keyExists(kSettingsPath));
    EXPECT_TRUE(keyExists(kOtherProductPath));
}

TEST_F(SettingsStore, UninstallNoEndsTheProgramAndCancelGoesOnBothUntouched)
{
    load();
    int result = -1;
    std::vector<SeenBox> boxes = uninstall({IDNO, IDOK}, &result);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "プログラムを終了します。");
    EXPECT_EQ(storedNames().size(), 16u);

    boxes = uninstall({IDCANCEL}, &result);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Somnivar レジストリ・アンインストール");
    EXPECT_EQ(storedNames().size(), 16u);
}

TEST_F(SettingsStore, UninstallWithoutTheKeysWarnsAndGoesOn)
{
    HKEY other;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kOtherProductPath, &other), ERROR_SUCCESS);
    RegCloseKey(other);
    int result = -1;
    std::vector<SeenBox> boxes = uninstall({IDOK}, &result);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Somnivar");
    EXPECT_EQ(boxes[0].text, "設定保存用のレジストリデータがありません。");
    EXPECT_EQ(boxes[0].icon, LoadIconA(nullptr, IDI_WARNING));
    EXPECT_TRUE(keyExists(kOtherProductPath));

    deleteTree(kMakerPath);
    boxes = uninstall({IDOK}, &result);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "削除するレジストリデータがありません。");
    EXPECT_EQ(boxes[0].icon, LoadIconA(nullptr, IDI_WARNING));
    EXPECT_FALSE(keyExists(kMakerPath));
}

} // namespace
