// The settings store against the prefix's registry, in-process, on both families.
#include "harness/harness.h"
#include <atomic>
#include <thread>

#include "app/startup_win.h"
#include "app/timers_win.h"
#include "settings/settings.h"
#include "settings/settings_store_win.h"
#include "status/tray_win.h"

using namespace harness;

namespace {

constexpr const char* kKey = "Software\\Orlenby\\Somnivar";
// Name, default, a value away from it.
#define FIELD(name, preset, custom) {#name, &Settings::name, preset, custom}
const struct Field {
    const char* name;
    int32_t Settings::*member;
    int32_t preset, custom;
} kFields[] = {FIELD(Time, 10, 25), FIELD(Enable, 1, 0), FIELD(Expand, 0, 1), FIELD(ExpType, 1, 0),
               FIELD(Resource, 0, 1), FIELD(Value, 30, 50), FIELD(Stop, 0, 1), FIELD(StopValue, 30, 20),
               FIELD(SuspendOther, 0, 1), FIELD(SuspendType, 0, 1), FIELD(Monitor, 0, 2), FIELD(HotKeyUse, 0, 1),
               FIELD(HotKeyCode, 0, 0x241), FIELD(ApplicationCheck, 0, 1), FIELD(TitleCheck, 0, 1),
               FIELD(OffCheck, 0, 1), FIELD(StatusDisplay, 0, 1)};
#undef FIELD

int32_t stored(const char* name) { return static_cast<int32_t>(storedSetting(name)); }

std::vector<std::string> namesWithout(std::vector<std::string> left)
{
    std::vector<std::string> names;
    for (const Field& field : kFields) {
        if (std::find(left.begin(), left.end(), field.name) == left.end())
            names.push_back(field.name);
    }
    std::sort(names.begin(), names.end(), [](auto& a, auto& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    return names;
}

struct SeenBox {
    Box box;
    HICON icon = nullptr;
    std::vector<int> buttons;
};

// Runs deleteSettings, answering its boxes in turn from a helper thread.
std::vector<SeenBox> uninstall(std::vector<int> answers, int expectedResult)
{
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    std::vector<SeenBox> seen;
    std::atomic<bool> done{false};
    std::thread answerer([&] {
        for (DWORD start = GetTickCount(); !done && GetTickCount() - start < 20000; Sleep(50)) {
            const std::vector<Box> open = openDialogs(GetCurrentProcessId());
            if (open.empty() || (!seen.empty() && seen.back().box.window == open[0].window))
                continue;
            Sleep(50);  // let the box finish its initialisation
            SeenBox box{openDialogs(GetCurrentProcessId()).at(0)};
            for (HWND child = GetWindow(box.box.window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
                box.icon = (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON
                               ? reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0)) : box.icon;
            for (int id : {IDOK, IDCANCEL, IDYES, IDNO})
                if (IsWindowVisible(GetDlgItem(box.box.window, id)))
                    box.buttons.push_back(id);
            seen.push_back(box);
            pressButton(box.box, seen.size() <= answers.size() ? answers[seen.size() - 1] : IDCANCEL);
        }
    });
    EXPECT_EQ(deleteSettings(owner), expectedResult);
    done = true;
    answerer.join();
    for (const SeenBox& box : seen)
        EXPECT_EQ(box.box.owner, owner);
    DestroyWindow(owner);
    return seen;
}

} // namespace

class SettingsStore : public SomnivarTest {
protected:
    void TearDown() override
    {
        armIdleTimer(0);
        deleteKeyTree(HKEY_CURRENT_USER, "Software\\Orlenby");
        settings = kDefaultSettings;
        isNtPlatform = 1;
        SomnivarTest::TearDown();
    }
    void load(int nt = 1)
    {
        isNtPlatform = nt;
        settings = kDefaultSettings;
        firstRun = 0;
        loadSettings();
    }
    void writeCustomKey()
    {
        for (const Field& field : kFields)
            ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kKey, field.name, static_cast<DWORD>(field.custom)));
    }
    void expectRecord(std::vector<std::string> custom, bool inRegistry = true)
    {
        for (const Field& field : kFields) {
            const bool isCustom = std::find(custom.begin(), custom.end(), field.name) != custom.end();
            EXPECT_EQ(settings.*field.member, isCustom ? field.custom : field.preset) << field.name;
            if (inRegistry && valueExists(HKEY_CURRENT_USER, kKey, field.name)) {
                EXPECT_EQ(stored(field.name), isCustom ? field.custom : field.preset) << field.name;
            }
        }
    }
};

TEST_F(SettingsStore, FirstRunWritesTheDefaultsAndMonitorOnlyWithTheEnableState)
{
    for (int nt : {1, 0}) {
        SCOPED_TRACE(nt);
        deleteKeyTree(HKEY_CURRENT_USER, "Software\\Orlenby");
        load(nt);
        EXPECT_EQ(firstRun, 1);
        std::vector<std::string> absent = {"Monitor"};
        if (!nt)
            absent.insert(absent.end(), {"StatusDisplay", "SuspendType"});
        EXPECT_EQ(valueNames(HKEY_CURRENT_USER, kKey), namesWithout(absent));
        expectRecord({});
        setEnableState(1);
        EXPECT_EQ(stored("Monitor"), 0);
    }
}

TEST_F(SettingsStore, MissingValueResetsItAndEveryLaterOneButMonitor)
{
    // Data of five bytes counts as missing: Value and every later value but Monitor are reset.
    // Up to four bytes are taken as they stand, whatever the type.
    writeCustomKey();
    ASSERT_TRUE(writeString(HKEY_CURRENT_USER, kKey, "Value", "abcd"));
    ASSERT_TRUE(writeString(HKEY_CURRENT_USER, kKey, "Resource", "abc"));
    load();
    EXPECT_EQ(firstRun, 0);
    EXPECT_EQ(settings.Resource, 0x00636261);
    settings.Resource = 1;
    expectRecord({"Time", "Enable", "Expand", "ExpType", "Resource", "Monitor"}, false);
    EXPECT_EQ(stored("Value"), 30);
    EXPECT_EQ(stored("OffCheck"), 0);
    EXPECT_EQ(stored("Expand"), 1);
    EXPECT_EQ(stored("Monitor"), 2);
}

// The 9x family reads StatusDisplay but never writes it, so every later start rewrites the key.
TEST_F(SettingsStore, NineXNeverWritesStatusDisplayNorTouchesSuspendType)
{
    writeCustomKey();
    load(0);
    EXPECT_EQ(settings.StatusDisplay, 1);
    EXPECT_EQ(settings.SuspendType, 0);
    deleteKeyTree(HKEY_CURRENT_USER, "Software\\Orlenby");
    load(0);
    ASSERT_TRUE(writeString(HKEY_CURRENT_USER, kKey, "OffCheck", "\x01"));  // two raw bytes
    ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kKey, "Time", 42));
    ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kKey, "Monitor", 1));  // as the first run's enable state stores it
    load(0);
    EXPECT_EQ(firstRun, 0);
    EXPECT_EQ(settings.Time, 42);
    EXPECT_EQ(stored("OffCheck"), 1);  // rewritten as a 4-byte REG_DWORD
    settings.StatusDisplay = settings.SuspendType = 1;
    setEnableState(1);
    writeAllSettings(0);
    EXPECT_FALSE(valueExists(HKEY_CURRENT_USER, kKey, "StatusDisplay"));
    EXPECT_FALSE(valueExists(HKEY_CURRENT_USER, kKey, "SuspendType"));
}

TEST_F(SettingsStore, WritesNeverCreateTheKeyAndTheEnableStateStoresItsShare)
{
    settings.Time = 33;
    writeSetting("Enable", 0);
    writeAllSettings(0);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Orlenby"));
    writeAllSettings(1);
    EXPECT_EQ(stored("Time"), 33);
    EXPECT_FALSE(valueExists(HKEY_CURRENT_USER, kKey, "Monitor"));

    deleteKeyTree(HKEY_CURRENT_USER, "Software\\Orlenby");
    load();
    for (const Field& field : kFields)
        settings.*field.member = field.custom;
    setEnableState(5);  // anything but 1 is off
    EXPECT_EQ(settings.Enable, 0);
    for (const Field& field : kFields) {
        const std::vector<std::string> untouched = {"Time", "Expand", "ExpType", "Value", "StopValue"};
        const bool kept = std::find(untouched.begin(), untouched.end(), field.name) != untouched.end();
        EXPECT_EQ(stored(field.name), kept ? field.preset : field.custom) << field.name;
    }
}

TEST_F(SettingsStore, UninstallAsksThenDeletesOnlyItsOwnKey)
{
    ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, "Software\\Orlenby\\OtherProduct", "Installed", 1));
    std::vector<SeenBox> boxes = uninstall({IDOK}, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].box.caption, "Somnivar");
    EXPECT_EQ(boxes[0].box.text, "設定保存用のレジストリデータがありません。");
    EXPECT_EQ(boxes[0].icon, LoadIconA(nullptr, IDI_WARNING));

    load();
    EXPECT_EQ(uninstall({IDCANCEL}, 0).size(), 1u);
    EXPECT_EQ(uninstall({IDNO, IDOK}, 1).size(), 2u);
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, kKey).size(), 16u);
    boxes = uninstall({IDYES, IDOK}, 1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].box.caption, "Somnivar レジストリ・アンインストール");
    EXPECT_EQ(boxes[0].box.text, "Somnivar の設定をレジストリより削除しますか？");
    EXPECT_EQ(boxes[0].icon, LoadIconA(nullptr, IDI_QUESTION));
    EXPECT_EQ(boxes[0].buttons, (std::vector<int>{IDCANCEL, IDYES, IDNO}));
    EXPECT_EQ(boxes[1].box.caption, "Somnivar");
    EXPECT_EQ(boxes[1].box.text, "プログラムを終了します。");
    EXPECT_EQ(boxes[1].icon, LoadIconA(nullptr, IDI_INFORMATION));
    EXPECT_EQ(boxes[1].buttons, std::vector<int>{IDOK});
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kKey));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "Software\\Orlenby\\OtherProduct"));
    setEnableState(1);  // nothing written during the shutdown brings the key back
    writeAllSettings(0);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kKey));

    deleteKeyTree(HKEY_CURRENT_USER, "Software\\Orlenby");
    boxes = uninstall({IDOK}, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].box.text, "削除するレジストリデータがありません。");
    load();
    uninstall({IDYES, IDOK}, 1);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Orlenby"));  // the maker key held nothing else
}
