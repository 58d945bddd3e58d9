// The settings dialog, the about box and the readme viewer of a running Somnivar, driven through
// their controls as a user would.
#include "harness/harness.h"

#include <commctrl.h>

using namespace harness;

namespace {

constexpr DWORD kCtrlAltS = 0x653, kCtrlShiftS = 0x353;  // hot-key-control codes

std::string numberedLines(int count)  // "NNN 行目 Somnivar" with CR LF
{
    std::string lines;
    for (int i = 0; i < count; ++i)
        lines += std::to_string(100 + i) + " \x8d\x73\x96\xda Somnivar\r\n";
    return lines;
}

class Dialogs : public SomnivarTest {
protected:
    Instance app_;
    HWND dialog_ = nullptr;
    HWND window(const char* title)  // once it has finished opening: a sent message waits for that
    {
        HWND found = nullptr;
        waitUntil([&] { return (found = findProcessWindow(app_.process.id, "#32770", title)) != nullptr && IsWindowVisible(found); }, 10000);
        return found && sendMessage(found, WM_NULL, 0, 0, nullptr, 20000) ? found : nullptr;
    }
    void open()
    {
        ASSERT_TRUE(postMessage(app_.mainWindow, WM_COMMAND, 259, 0));
        ASSERT_TRUE((dialog_ = window("Somnivar の設定")) != nullptr);
    }
    void closed() { ASSERT_TRUE(waitWindowGone(dialog_, 5000)); }
    HWND item(int id) { return GetDlgItem(dialog_, id); }
    LRESULT send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        DWORD_PTR result = 0;
        return sendMessage(window, message, wParam, lParam, &result) ? static_cast<LRESULT>(result) : -1;
    }
    bool checked(int id) { return send(item(id), BM_GETCHECK) == BST_CHECKED; }
    std::string text(HWND control)  // WM_GETTEXT: another process's control answers from its thread
    {
        char buffer[256] = {};
        const LRESULT length = send(control, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer));
        return length >= 0 ? std::string(buffer, length) : "?";
    }
    std::string text(int id) { return text(item(id)); }
    void setText(int id, const char* value) { send(item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value)); }
    // Posted as the control's own click notification: OK and 削除 open boxes of their own.
    void press(int id) { ASSERT_TRUE(postMessage(dialog_, WM_COMMAND, id, reinterpret_cast<LPARAM>(item(id)))); }
    void answer(const char* caption, const char* expectedText, int button)
    {
        Box box;
        ASSERT_TRUE(waitMessageBox(caption, 10000, &box, app_.process.id)) << caption;
        EXPECT_EQ(box.text, expectedText);
        EXPECT_TRUE(pressButton(box, button) && waitWindowGone(box.window, 5000));
    }
    // A registration from this process fails exactly while Somnivar holds the combination.
    bool heldBySomnivar(UINT modifiers)
    {
        return !(RegisterHotKey(nullptr, 0x5A5A, modifiers, 'S') && UnregisterHotKey(nullptr, 0x5A5A));
    }
};

class SettingsDialog : public Dialogs {};
class InfoTest : public Dialogs {};

} // namespace

TEST_F(SettingsDialog, NtFamilyShowsStoresRefusesAndUninstalls)
{
    ASSERT_TRUE(storeSettings({{"Time", 25}, {"SuspendType", 1}, {"Monitor", 2}, {"HotKeyUse", 1},
                               {"HotKeyCode", kCtrlAltS}, {"ApplicationCheck", 1}, {"Expand", 1}, {"ExpType", 0},
                               {"SuspendOther", 1}, {"StatusDisplay", 1}, {"Value", 150}}));
    ASSERT_TRUE(startSomnivar("", &app_));
    open();
    ASSERT_TRUE(postMessage(app_.mainWindow, WM_COMMAND, 259, 0));  // open already: never a second one
    pumpMessages(500);
    EXPECT_EQ(openDialogs(app_.process.id).size(), 1u);
    std::vector<int> tabOrder;  // in reading order, radio groups at their checked button; no resource meter
    for (HWND at = item(1100); tabOrder.size() < 30 && (tabOrder.empty() || at != item(1100));
         at = GetNextDlgTabItem(dialog_, at, FALSE))
        tabOrder.push_back(GetDlgCtrlID(at));
    EXPECT_EQ(tabOrder, (std::vector<int>{1100, 1103, 1049, 1114, 1116, 1029, 1053, 1054, 1055, 1056, 1068, 1070,
                                          1069, 1075, 1, 2, 1111}));
    EXPECT_TRUE(text(1100) == "25" && text(1119) == "150");
    EXPECT_TRUE(checked(1049) && !checked(1105) && checked(1103) && checked(1114) && checked(1116));
    EXPECT_TRUE(checked(1054) && checked(1056) && !checked(1070) && checked(1029) && checked(1075));
    EXPECT_TRUE(send(item(1053), CB_GETCURSEL) == 2 && send(item(1055), HKM_GETHOTKEY) == kCtrlAltS);
    // The level field, disabled without a resource meter, still decides: OK fails, Cancel closes.
    press(1);
    answer("Somnivar", "リソース監視警告表示残量に誤りがあります。", IDOK);
    ASSERT_TRUE(IsWindow(dialog_));
    press(2);
    closed();
    // OK stores what the controls say; the hot key moves to exactly the new combination.
    open();
    setText(1119, "40");
    setText(1100, "007");
    for (int id : {1105, 1056, 1030, 1070, 1115})
        send(item(id), BM_CLICK);
    send(item(1053), CB_SETCURSEL, 1);
    send(item(1055), HKM_SETHOTKEY, 'S');  // a plain key is refused, and the old one stays
    press(1);
    answer("Somnivar", "ホットキーには Ctrl か Alt を含めて下さい。\n（ファンクションキーは単独でも設定できます）", IDOK);
    EXPECT_TRUE(IsWindow(dialog_) && heldBySomnivar(MOD_CONTROL | MOD_ALT));
    send(item(1055), HKM_SETHOTKEY, kCtrlShiftS);
    press(1);
    closed();
    for (const auto& [name, value] : StoredValues{
             {"Time", 7}, {"Value", 40}, {"SuspendType", 0}, {"Monitor", 1}, {"HotKeyUse", 1}, {"ApplicationCheck", 0},
             {"HotKeyCode", kCtrlShiftS}, {"SuspendOther", 0}, {"StatusDisplay", 1}, {"Enable", 1}, {"TitleCheck", 1},
             {"ExpType", 1}})
        EXPECT_EQ(storedSetting(name), value) << name;
    EXPECT_TRUE(heldBySomnivar(MOD_CONTROL | MOD_SHIFT));
    EXPECT_FALSE(heldBySomnivar(MOD_CONTROL | MOD_ALT));
    // 機能無効 takes effect on OffCheck at once, Cancel or not; the next opening stores it.
    open();
    send(item(1104), BM_CLICK);
    press(2);
    closed();
    open();
    EXPECT_TRUE(storedSetting("Enable") == 1 && storedSetting("OffCheck") == 1 && checked(1103));
    send(item(1055), HKM_SETHOTKEY, 0);  // an emptied hot key is given up and stored as 0
    for (int id : {1049, 1070, 1116})  // and the other answers of the pairs
        send(item(id), BM_CLICK);
    press(1);
    closed();
    EXPECT_TRUE(storedSetting("HotKeyUse") == 0 && !heldBySomnivar(MOD_CONTROL | MOD_SHIFT));
    EXPECT_TRUE(storedSetting("SuspendType") == 1 && storedSetting("TitleCheck") == 0 && storedSetting("ExpType") == 0);
    // An idle suspend closes the dialog under OK's failure box: what OK stores is what it showed.
    open();
    ASSERT_TRUE(RegisterHotKey(nullptr, 0x5A5B, MOD_CONTROL | MOD_SHIFT, 'S'));
    send(item(1054), BM_CLICK);
    send(item(1055), HKM_SETHOTKEY, kCtrlShiftS);
    press(1);
    Box box;  // the failure box
    ASSERT_TRUE(waitMessageBox("Somnivar - Error", 10000, &box, app_.process.id));
    pumpMessages(300);  // the box moved the pointer, which Wine counts as input: switching on restarts
    ASSERT_TRUE(postMessage(app_.mainWindow, WM_COMMAND, 256, 0) && postMessage(app_.mainWindow, WM_TIMER, 3, 0));
    EXPECT_TRUE(waitWindowGone(box.window, 10000) && waitUntil([] { return standIns().callCount == 1; }, 10000));
    pumpMessages(1000);  // OK goes on once the suspend has returned
    EXPECT_TRUE(storedSetting("Enable") == 1 && storedSetting("Expand") == 1 && storedSetting("StatusDisplay") == 1);
    closed();
    UnregisterHotKey(nullptr, 0x5A5B);
    open();
    press(1111);
    answer("Somnivar レジストリ・アンインストール", "Somnivar の設定をレジストリより削除しますか？", IDYES);
    answer("Somnivar", "プログラムを終了します。", IDOK);
    EXPECT_EQ(waitExitCode(app_.process, 10000), 0u);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Orlenby\\Somnivar"));
}

// One instance: the about box, then a readme shown whole, a 5 MB one, a binary one, an empty one,
// a single line of 1 MB and one deleted since the start.
TEST_F(InfoTest, AboutBoxThenReadmesShownWholeOrCut)
{
    ASSERT_TRUE(storeSettings());
    ASSERT_TRUE(startSomnivar("", &app_));
    ASSERT_TRUE(postMessage(app_.mainWindow, WM_COMMAND, 260, 0));
    HWND about = window("Somnivar について");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(text(GetDlgItem(about, 1107)), "Somnivar");
    EXPECT_EQ(text(GetDlgItem(about, 1106)), "Version 8.1");
    EXPECT_EQ(text(GetDlgItem(about, 1105)), "Copyright (C) 2026 Orlenby");
    ASSERT_TRUE(postMessage(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 0));
    EXPECT_TRUE(waitWindowGone(about, 5000));
    std::string binary(65536, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 7);  // every byte value, NULs included
    const std::string readmes[] = {numberedLines(150), numberedLines(280000), binary, "", std::string(1 << 20, 'x'), ""};
    for (const std::string& readme : readmes) {
        SCOPED_TRACE(&readme - readmes);
        if (&readme == std::end(readmes) - 1)
            DeleteFileA("Readme.txt");
        else
            writeFile("Readme.txt", readme);
        ASSERT_TRUE(postMessage(app_.mainWindow, WM_COMMAND, 261, 0));
        HWND viewer = window("Somnivar - Readme.txt");
        HWND edit = FindWindowExA(viewer, nullptr, "RICHEDIT", nullptr);
        ASSERT_NE(edit, nullptr);
        if (readme.size() < 10000) {
            std::string shown(readme.size() + 16, '\0');
            const LRESULT length = send(edit, WM_GETTEXT, shown.size(), reinterpret_cast<LPARAM>(&shown[0]));
            EXPECT_EQ(toUtf8(shown.substr(0, length)), toUtf8(readme));
        }
        const LRESULT lines = send(edit, EM_GETLINECOUNT);
        EXPECT_TRUE(lines >= 1 && lines <= (readme.size() > 65536 ? 30000 : 65536)) << lines << ": half a MB at most";
        ASSERT_TRUE(postMessage(viewer, WM_CLOSE, 0, 0) && waitWindowGone(viewer, 10000));
    }
    EXPECT_TRUE(processRunning(app_.process));
}
