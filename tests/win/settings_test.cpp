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

struct Field {
    std::string name;
    int32_t Settings::*member;
};
// In the record's order, which is the load order apart from Monitor and SuspendType.
#define FIELD(name) Field{#name, &Settings::name}
const Field kFields[] = {
    FIELD(Time), FIELD(Enable), FIELD(Expand), FIELD(ExpType), FIELD(Resource), FIELD(Value),
    FIELD(Stop), FIELD(StopValue), FIELD(SuspendOther), FIELD(SuspendType), FIELD(Monitor), FIELD(HotKeyUse),
    FIELD(HotKeyCode), FIELD(ApplicationCheck), FIELD(TitleCheck), FIELD(OffCheck), FIELD(StatusDisplay),
};
#undef FIELD
bool ntOnly(const Field& field) { return field.name == "StatusDisplay" || field.name == "SuspendType"; }

// A complete key with every value away from its default.
constexpr Settings kCustomSettings = {25, 0, 1, 0, 1, 50, 1, 20, 1, 1, 2, 1, 0x241, 1, 1, 1, 1};

bool keyExists(const char* path) { return harness::keyExists(HKEY_CURRENT_USER, path); }
void deleteTree(const char* path) { harness::deleteKeyTree(HKEY_CURRENT_USER, path); }
void setDword(const std::string& name, int32_t value)
{
    ASSERT_TRUE(harness::writeDword(HKEY_CURRENT_USER, kSettingsPath, name.c_str(), static_cast<DWORD>(value)));
}
bool present(const char* name) { return harness::valueExists(HKEY_CURRENT_USER, kSettingsPath, name); }

// A stored value, which must be a REG_DWORD of 4 bytes.
int32_t storedValue(const std::string& name)
{
    DWORD value = 0xDEADBEEF;
    EXPECT_TRUE(harness::readDword(HKEY_CURRENT_USER, kSettingsPath, name.c_str(), &value)) << name;
    return static_cast<int32_t>(value);
}

std::vector<std::string> sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}
std::vector<std::string> storedNames() { return sorted(harness::valueNames(HKEY_CURRENT_USER, kSettingsPath)); }

void writeCompleteKey()
{
    for (const Field& field : kFields)
        setDword(field.name, kCustomSettings.*field.member);
}

// ---- The uninstall's message boxes, raised on the test thread and answered from a helper thread.

struct SeenBox {
    harness::Box box;
    HICON icon = nullptr;
    std::vector<int> buttons;  // visible ones among IDOK, IDCANCEL, IDYES, IDNO
};

BOOL CALLBACK readIcon(HWND child, LPARAM icon)
{
    char className[16] = {};
    GetClassNameA(child, className, sizeof(className));
    if (lstrcmpiA(className, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        *reinterpret_cast<HICON*>(icon) = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    return TRUE;
}

// Runs deleteSettings and answers its boxes in turn; a box beyond the script is recorded and
// closed, so that a wrong box never hangs the test.
std::vector<SeenBox> uninstall(const std::vector<int>& answers, int expectedResult)
{
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    std::vector<SeenBox> seen;
    std::atomic<bool> done{false};
    std::thread answerer([&] {
        const DWORD deadline = GetTickCount() + 20000;
        while (!done && GetTickCount() < deadline) {
            if (harness::openDialogs(GetCurrentProcessId()).empty()) {
                Sleep(10);
                continue;
            }
            Sleep(50);  // let the box finish its initialisation
            SeenBox box;
            box.box = harness::openDialogs(GetCurrentProcessId()).front();
            EnumChildWindows(box.box.window, readIcon, reinterpret_cast<LPARAM>(&box.icon));
            for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
                HWND button = GetDlgItem(box.box.window, id);
                if (button && IsWindowVisible(button))
                    box.buttons.push_back(id);
            }
            seen.push_back(box);
            harness::pressButton(box.box, seen.size() <= answers.size() ? answers[seen.size() - 1] : box.buttons.front());
            while (IsWindow(box.box.window) && GetTickCount() < deadline)
                Sleep(10);
        }
    });
    EXPECT_EQ(deleteSettings(owner), expectedResult);
    done = true;
    answerer.join();
    for (const SeenBox& box : seen)
        EXPECT_EQ(box.box.owner, owner) << box.box.caption;
    DestroyWindow(owner);
    return seen;
}

class SettingsStore : public harness::SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        reset();
    }
    void TearDown() override
    {
        armIdleTimer(0);
        deleteTree(kMakerPath);
        reset();
        SomnivarTest::TearDown();
    }
    void reset()
    {
        settings = kDefaultSettings;
        firstRun = 0;
        isNtPlatform = 1;
    }
    // A start-up's load as the program does it, from a fresh record.
    void load()
    {
        settings = kDefaultSettings;
        firstRun = 0;
        loadSettings();
    }
};

// ---- Load

TEST_F(SettingsStore, FirstRunWritesTheDefaultsAndMonitorOnlyWithTheEnableState)
{
    for (int nt : {1, 0}) {
        SCOPED_TRACE(nt ? "NT family" : "9x family");
        deleteTree(kMakerPath);
        isNtPlatform = nt;
        load();
        EXPECT_EQ(firstRun, 1);
        std::vector<std::string> expected;
        for (const Field& field : kFields) {
            if (field.name == "Monitor" || (!nt && ntOnly(field)))
                continue;
            expected.push_back(field.name);
            EXPECT_EQ(storedValue(field.name), kDefaultSettings.*field.member) << field.name;
        }
        EXPECT_EQ(storedNames(), sorted(expected));

        setEnableState(1);
        expected.push_back("Monitor");
        EXPECT_EQ(storedNames(), sorted(expected));
        EXPECT_EQ(storedValue("Monitor"), 0);
    }
}

TEST_F(SettingsStore, CompleteKeyIsReadAsItStands)
{
    writeCompleteKey();
    load();
    EXPECT_EQ(firstRun, 0);
    EXPECT_EQ(std::memcmp(&settings, &kCustomSettings, sizeof(Settings)), 0);

    // Out-of-range values are kept, in memory and in the registry.
    setDword("Time", -5);
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
    writeCompleteKey();
    HKEY key;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, kSettingsPath, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, "Expand");
    RegCloseKey(key);
    load();
    EXPECT_EQ(firstRun, 0);
    // Time and Enable come before Expand in the load order; Monitor is never part of the full write.
    for (const Field& field : kFields) {
        const bool kept = field.name == "Time" || field.name == "Enable" || field.name == "Monitor";
        const int32_t expected = (kept ? kCustomSettings : kDefaultSettings).*field.member;
        EXPECT_EQ(settings.*field.member, expected) << field.name;
        EXPECT_EQ(storedValue(field.name), expected) << field.name;
    }
}

TEST_F(SettingsStore, DataLongerThanFourBytesCountsAsMissing)
{
    writeCompleteKey();
    // "abcd" with its terminator: five bytes. Up to four bytes are taken as they stand, whatever
    // the type: "abc" and its terminator.
    ASSERT_TRUE(harness::writeString(HKEY_CURRENT_USER, kSettingsPath, "Value", "abcd"));
    ASSERT_TRUE(harness::writeString(HKEY_CURRENT_USER, kSettingsPath, "Resource", "abc"));
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
    writeCompleteKey();
    load();
    EXPECT_EQ(settings.StatusDisplay, 1);                         // read
    EXPECT_EQ(settings.SuspendType, kDefaultSettings.SuspendType);  // not even read
    EXPECT_EQ(settings.Time, kCustomSettings.Time);

    // A 9x first run leaves StatusDisplay out, so every later start finds it missing and
    // rewrites the set: OffCheck, stored as two raw bytes, comes back as a 4-byte REG_DWORD.
    deleteTree(kMakerPath);
    load();
    ASSERT_TRUE(harness::writeString(HKEY_CURRENT_USER, kSettingsPath, "OffCheck", "\x01"));
    setDword("Time", 42);
    setDword("Monitor", 1);  // as the first run's enable state would have stored it
    load();
    EXPECT_EQ(firstRun, 0);
    EXPECT_EQ(settings.Time, 42);
    EXPECT_EQ(settings.OffCheck, 1);
    EXPECT_EQ(settings.Monitor, 1);
    EXPECT_EQ(storedValue("OffCheck"), 1);
    EXPECT_EQ(storedValue("Time"), 42);

    settings.StatusDisplay = 1;
    settings.SuspendType = 1;
    setEnableState(1);
    writeAllSettings(0);
    EXPECT_FALSE(present("StatusDisplay"));
    EXPECT_FALSE(present("SuspendType"));
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
    EXPECT_FALSE(present("Monitor"));

    writeSetting("Monitor", 2);
    EXPECT_EQ(storedValue("Monitor"), 2);
    writeSetting("HotKeyCode", -1);
    EXPECT_EQ(storedValue("HotKeyCode"), -1);
}

TEST_F(SettingsStore, EnableStateStoresItsValuesButNotTheTimingsNorExpand)
{
    load();
    settings = kCustomSettings;
    setEnableState(5);  // anything but 1 is off
    EXPECT_EQ(settings.Enable, 0);
    for (const Field& field : kFields) {
        const bool untouched = field.name == "Time" || field.name == "Expand" || field.name == "ExpType"
                               || field.name == "Value" || field.name == "StopValue";
        EXPECT_EQ(storedValue(field.name), (untouched ? kDefaultSettings : settings).*field.member) << field.name;
    }
}

// ---- Uninstall

TEST_F(SettingsStore, UninstallCancelGoesOnNoEndsUntouchedYesDeletesBothKeys)
{
    load();
    std::vector<SeenBox> boxes = uninstall({IDCANCEL}, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(storedNames().size(), 16u);

    boxes = uninstall({IDNO, IDOK}, 1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(storedNames().size(), 16u);

    boxes = uninstall({IDYES, IDOK}, 1);
    EXPECT_FALSE(keyExists(kMakerPath));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].box.caption, "Somnivar レジストリ・アンインストール");
    EXPECT_EQ(boxes[0].box.text, "Somnivar の設定をレジストリより削除しますか？");
    EXPECT_EQ(boxes[0].icon, LoadIconA(nullptr, IDI_QUESTION));
    EXPECT_EQ(boxes[0].buttons, (std::vector<int>{IDCANCEL, IDYES, IDNO}));
    EXPECT_EQ(boxes[1].box.caption, "Somnivar");
    EXPECT_EQ(boxes[1].box.text, "プログラムを終了します。");
    EXPECT_EQ(boxes[1].icon, LoadIconA(nullptr, IDI_INFORMATION));
    EXPECT_EQ(boxes[1].buttons, (std::vector<int>{IDOK}));

    // Nothing written during the shutdown brings the key back.
    setEnableState(1);
    writeAllSettings(0);
    EXPECT_FALSE(keyExists(kMakerPath));
}

// The maker's key may hold other products: a first run only adds the settings key to it, an
// uninstall only takes that, and a missing key of either level is only reported.
TEST_F(SettingsStore, MakerKeyOfAnotherProductIsNeverTaken)
{
    auto expectWarning = [&](const char* text) {
        const std::vector<SeenBox> boxes = uninstall({IDOK}, 0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].box.caption, "Somnivar");
        EXPECT_EQ(boxes[0].box.text, text);
        EXPECT_EQ(boxes[0].icon, LoadIconA(nullptr, IDI_WARNING));
    };
    ASSERT_TRUE(harness::writeDword(HKEY_CURRENT_USER, kOtherProductPath, "Installed", 1));
    expectWarning("設定保存用のレジストリデータがありません。");
    EXPECT_TRUE(keyExists(kOtherProductPath));

    load();
    EXPECT_EQ(firstRun, 1);
    EXPECT_EQ(storedNames().size(), 16u);
    uninstall({IDYES, IDOK}, 1);
    EXPECT_FALSE(keyExists(kSettingsPath));
    EXPECT_TRUE(keyExists(kOtherProductPath));

    deleteTree(kMakerPath);
    expectWarning("削除するレジストリデータがありません。");
    EXPECT_FALSE(keyExists(kMakerPath));
}

} // namespace
