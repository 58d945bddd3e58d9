// The settings store against the prefix's registry, the watch scan against real processes and
// windows, and the list editors built from Somnivar.exe's own dialog resources: in-process, the
// procedures called as the program calls them. A thread timer, which every modal loop runs,
// answers the message boxes. Last, the scan wired into a running program.
#include "harness/harness.h"
#include <commctrl.h>
#include <shellapi.h>

#include "app/scan_win.h"
#include "app/startup_win.h"
#include "app/timers_win.h"
#include "info/dialogs_win.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "settings/settings_store_win.h"
#include "status/tray_win.h"
#include "watchlists/editors_win.h"
#include "watchlists/listfiles_win.h"

using namespace harness;
using Rows = std::vector<std::string>;

namespace {

constexpr const char* kKey = "Software\\Orlenby\\Somnivar";

// Every box answered, as "caption|text|" then its icon (W warning, Q question, I information,
// - none) and the ids of its buttons among OK 1, Cancel 2, Yes 6, No 7.
Rows boxes;
std::vector<int> answers;  // pressed in turn; OK once they run out

void CALLBACK answerBoxes(HWND, UINT, UINT_PTR, DWORD)
{
    for (const Box& box : openDialogs(GetCurrentProcessId())) {
        if (!GetDlgItem(box.window, 0xFFFF))  // a message box's text
            continue;
        HICON icon = nullptr;
        for (HWND child = GetWindow(box.window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        }
        std::string seen = box.caption + "|" + box.text + "|";
        seen += icon == LoadIconA(nullptr, IDI_WARNING)       ? "W"
                : icon == LoadIconA(nullptr, IDI_QUESTION)    ? "Q"
                : icon == LoadIconA(nullptr, IDI_INFORMATION) ? "I" : "-";
        for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
            if (IsWindowVisible(GetDlgItem(box.window, id)))
                seen += std::to_string(id);
        }
        boxes.push_back(seen);
        const int answer = answers.empty() ? IDOK : answers.front();
        if (!answers.empty())
            answers.erase(answers.begin());
        pressButton(box, answer);
    }
}

int32_t stored(const char* name) { return static_cast<int32_t>(storedSetting(name)); }

#define FIELD(name, preset, custom) {#name, &Settings::name, preset, custom}
const struct Field {  // name, default, a value away from it
    const char* name;
    int32_t Settings::*member;
    int32_t preset, custom;
} kFields[] = {FIELD(Time, 10, 25), FIELD(Enable, 1, 0), FIELD(Expand, 0, 1), FIELD(ExpType, 1, 0),
               FIELD(Resource, 0, 1), FIELD(Value, 30, 50), FIELD(Stop, 0, 1), FIELD(StopValue, 30, 20),
               FIELD(SuspendOther, 0, 1), FIELD(SuspendType, 0, 1), FIELD(Monitor, 0, 2), FIELD(HotKeyUse, 0, 1),
               FIELD(HotKeyCode, 0, 0x241), FIELD(ApplicationCheck, 0, 1), FIELD(TitleCheck, 0, 1),
               FIELD(OffCheck, 0, 1), FIELD(StatusDisplay, 0, 1)};
#undef FIELD

bool listed(const Rows& names, const char* name) { return std::find(names.begin(), names.end(), name) != names.end(); }

Rows rows(HWND list, bool selectedOnly = false)
{
    Rows texts;
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        char text[1024] = {};
        ListView_GetItemText(list, row, 0, text, sizeof(text));
        if (!selectedOnly || ListView_GetItemState(list, row, LVIS_SELECTED))
            texts.push_back(text);
    }
    return texts;
}

void setRows(HWND list, const Rows& texts)  // all selected
{
    ListView_DeleteAllItems(list);
    for (const std::string& text : texts) {
        LVITEMA item = {LVIF_TEXT | LVIF_STATE, ListView_GetItemCount(list), 0, LVIS_SELECTED, LVIS_SELECTED};
        item.pszText = const_cast<char*>(text.c_str());
        ListView_InsertItem(list, &item);
    }
}

} // namespace

class InProcess : public SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        ASSERT_TRUE(tray_.start());  // a tray never started would post its quit to this thread
        InitCommonControls();
        resources_ = LoadLibraryExA(binPath("Somnivar.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(resources_, nullptr);
        appInstance = reinterpret_cast<HINSTANCE>(resources_);
        mainWindow = CreateWindowExA(0, "STATIC", "Somnivar", WS_POPUP, 0, 0, 0, 0, 0, 0, 0, 0);
        settingsDialog = CreateWindowExA(0, "STATIC", "Somnivar の設定", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, 0, 0, 0, 0);
        boxes.clear();
        answers.clear();
        timer_ = SetTimer(nullptr, 0, 50, answerBoxes);
    }
    void TearDown() override
    {
        KillTimer(nullptr, timer_);
        armIdleTimer(0);
        for (HWND* window : {&programEditor, &titleEditor, &aboutBox, &settingsDialog, &mainWindow}) {
            if (*window)
                DestroyWindow(*window);
            *window = nullptr;
        }
        freeWatchLists();
        programListPresent = titleListPresent = 0;
        settings = kDefaultSettings;
        isNtPlatform = 1;
        appInstance = nullptr;
        FreeLibrary(resources_);
        SomnivarTest::TearDown();
    }
    void load(int nt = 1)
    {
        isNtPlatform = nt;
        settings = kDefaultSettings;
        firstRun = 0;
        loadSettings();
    }
    void expectRecord(const Rows& custom, bool inRegistry = true)  // in memory, and where stored
    {
        for (const Field& field : kFields) {
            const int32_t value = listed(custom, field.name) ? field.custom : field.preset;
            EXPECT_EQ(settings.*field.member, value) << field.name;
            if (inRegistry && valueExists(HKEY_CURRENT_USER, kKey, field.name)) {
                EXPECT_EQ(stored(field.name), value) << field.name;
            }
        }
    }
    Process startProgramAs(const char* name)  // the helper under a watched name
    {
        const std::string path = workDirectory() + "\\" + name;
        CopyFileA(binPath("helper.exe").c_str(), path.c_str(), FALSE);
        Process process;
        EXPECT_TRUE(startProcess(path, {}, &process)) << name;
        return process;
    }
    Rows balloons()
    {
        Rows texts;
        for (const TrayEvent& e : tray_.events()) {
            if (e.message == NIM_MODIFY && (e.flags & NIF_INFO) && e.balloonTitle == "Somnivar" && e.balloonFlags == 1)
                texts.push_back(e.balloonText);
        }
        return texts;
    }
    void lists(const std::string& programs, const std::string& titles)  // loaded as start-up does
    {
        writeFile(kProgramListFile, programs);
        writeFile(kTitleListFile, titles);
        programListPresent = !programs.empty() && loadProgramList();
        titleListPresent = !titles.empty() && loadTitleList();
    }
    HMODULE resources_ = nullptr;
    UINT_PTR timer_ = 0;
    FakeTray tray_;
};

class SettingsStore : public InProcess {};
class EditorInProcess : public InProcess {};
class ScanInProcess : public InProcess {};
class Scan : public InProcess {};

TEST_F(SettingsStore, FirstRunWritesTheDefaultsOfItsFamily)
{
    for (int nt : {0, 1}) {
        SCOPED_TRACE(nt);
        deleteKeyTree(HKEY_CURRENT_USER, "Software\\Orlenby");
        load(nt);
        EXPECT_EQ(firstRun, 1);
        Rows names = {"ApplicationCheck", "Enable", "Expand", "ExpType", "HotKeyCode", "HotKeyUse", "OffCheck",
                      "Resource", "StatusDisplay", "Stop", "StopValue", "SuspendOther", "SuspendType", "Time",
                      "TitleCheck", "Value"};  // Monitor only comes with the enable state
        for (const char* name : {"StatusDisplay", "SuspendType"}) {
            if (!nt)
                names.erase(std::find(names.begin(), names.end(), name));
        }
        EXPECT_EQ(valueNames(HKEY_CURRENT_USER, kKey), names);
        expectRecord({});
        setEnableState(1);
        EXPECT_EQ(stored("Monitor"), 0);
    }
}

// Data of five bytes counts as missing: Value and every later value but Monitor are reset.
TEST_F(SettingsStore, ADamagedValueResetsTheLaterOnes)
{
    for (const Field& field : kFields)
        ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kKey, field.name, static_cast<DWORD>(field.custom)));
    ASSERT_TRUE(writeString(HKEY_CURRENT_USER, kKey, "Value", "abcd"));
    load();
    EXPECT_EQ(firstRun, 0);
    expectRecord({"Time", "Enable", "Expand", "ExpType", "Resource", "Monitor"}, false);
    EXPECT_TRUE(stored("Value") == 30 && stored("OffCheck") == 0 && stored("Expand") == 1 && stored("Monitor") == 2);
}

TEST_F(SettingsStore, UninstallAsksThenDeletesOnlyItsOwnKey)
{
    const std::string question = "Somnivar レジストリ・アンインストール|Somnivar の設定をレジストリより削除しますか？|Q267";
    const std::string ends = "Somnivar|プログラムを終了します。|I1";
    ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, "Software\\Orlenby\\OtherProduct", "Installed", 1));
    EXPECT_EQ(deleteSettings(mainWindow), 0);
    load();
    for (const auto& [answer, result] : {std::pair{IDCANCEL, 0}, {IDNO, 1}, {IDYES, 1}}) {
        answers = {answer};
        EXPECT_EQ(deleteSettings(mainWindow), result);
        EXPECT_EQ(valueNames(HKEY_CURRENT_USER, kKey).size(), answer == IDYES ? 0u : 16u);
    }
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kKey));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "Software\\Orlenby\\OtherProduct"));
    setEnableState(1);  // nothing written during the shutdown brings the key back
    writeAllSettings(0);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kKey));

    deleteKeyTree(HKEY_CURRENT_USER, "Software\\Orlenby");
    EXPECT_EQ(deleteSettings(mainWindow), 0);
    load();
    answers = {IDYES};
    EXPECT_EQ(deleteSettings(mainWindow), 1);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Orlenby"));  // the maker key held nothing else
    EXPECT_EQ(boxes, Rows({"Somnivar|設定保存用のレジストリデータがありません。|W1", question, question, ends, question,
                           ends, "Somnivar|削除するレジストリデータがありません。|W1", question, ends}));
}

// Reserved names and the program's own titles never match; a balloon shows every change.
TEST_F(ScanInProcess, MarksTheFirstMatchingEntriesShowsEveryChangeAndRereadsChangedLists)
{
    settings.ApplicationCheck = settings.TitleCheck = settings.StatusDisplay = processWatchAvailable = 1;
    runWatchScan();  // forgets what an earlier test left shown
    tray_.clear();
    lists("System\r\nSyst?m\r\nSomniv*\r\nnotepad.exe\r\ncalc.exe\r\n", "メモ帳*\r\n設定\r\n*の設定\r\nSomnivar*\r\n");
    startProgramAs("notepad.exe");
    startProgramAs("calc.exe");
    startProgramAs("System");
    Process windows;
    ASSERT_TRUE(startProcess(binPath("helper.exe"), {"windows \"無題 - メモ帳\" \"メモ帳 - a.txt\" 設定 "
                                                     "\"Somnivar の設定\" Somnivar"}, &windows));
    const std::string ready = "helper ready " + std::to_string(windows.id);
    ASSERT_TRUE(waitUntil([&] { return FindWindowA(nullptr, ready.c_str()) != nullptr; }, 15000));
    EXPECT_EQ(runWatchScan(), 4);
    EXPECT_EQ(std::string(programList.text.get()), "System<Syst?m<Somniv*<notepad.exe>calc.exe>");
    EXPECT_EQ(runWatchScan(), 4);  // unchanged: no balloon
    invalidateWatchReport();       // the show-status command: the same again
    EXPECT_EQ(runWatchScan(), 4);
    killProcess(windows);
    EXPECT_EQ(runWatchScan(), 2);
    EXPECT_EQ(std::string(titleList.text.get()), "メモ帳*<設定<*の設定<Somnivar*<");
    killStartedProcesses();
    EXPECT_EQ(runWatchScan(), 0);
    EXPECT_EQ(runWatchScan(), 0);
    const std::string programs = "・監視プログラム名\n    notepad.exe\n    calc.exe";
    const std::string both = programs + "\n・監視タイトル名\n    メモ帳 - a.txt\n    設定";
    EXPECT_EQ(balloons(), Rows({both, both, programs, "監視対象は見つかりません"}));
    tray_.clear();
    settings.StatusDisplay = 0;  // no balloon without StatusDisplay
    lists("note*\r\nnotepad.exe\r\n", "");  // a process matching two entries marks the first
    startProgramAs("notepad.exe");
    runWatchScan();
    EXPECT_EQ(std::string(programList.text.get()), "note*>notepad.exe<");
    EXPECT_TRUE(balloons().empty());

    // A change in memory lasts until the file is read again: when its time differs, either way.
    lists("notepad.exe\r\n", "a.exe\r\nb.exe\r\n");
    programList.text[0] = 'N';
    EXPECT_EQ(runWatchScan(), 0);
    EXPECT_EQ(std::string(programList.text.get()), "Notepad.exe<");
    for (uint64_t time : {programList.lastWriteTime + 1, programList.lastWriteTime - 864000000000}) {
        programList.text[0] = 'N';
        HANDLE file = CreateFileA(kProgramListFile, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const FILETIME fileTime = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
        EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &fileTime));
        CloseHandle(file);
        EXPECT_EQ(runWatchScan(), 1);
        EXPECT_EQ(std::string(programList.text.get()), "notepad.exe>");
        EXPECT_EQ(programList.lastWriteTime, time);
    }
    // Held without sharing: the tick is abandoned, lists, flags and marks stay for the next one.
    HANDLE held = CreateFileA(kTitleListFile, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(runWatchScan(), -1);
    EXPECT_EQ(titleListPresent, 1);
    EXPECT_EQ(std::string(programList.text.get()), "notepad.exe>");
    settings.TitleCheck = 0;  // a list switched off is not even opened
    EXPECT_EQ(runWatchScan(), 1);
    CloseHandle(held);
}

TEST_F(EditorInProcess, ProgramsMoveUntilAWatchedOneSaveForTheNextTickAndAFailedSaveKeepsAll)
{
    const std::string path = workDirectory() + "\\FileList.txt";
    writeFile("FileList.txt", "\r\n\r\nwin_tests.exe\r\nSystem\r\nSomnivar.exe\r\nno line break.exe");
    programListPresent = processWatchAvailable = 1;
    settings.ApplicationCheck = 1;
    loadProgramList();
    ASSERT_EQ(runWatchScan(), 1);

    openProgramEditor();
    ASSERT_NE(programEditor, nullptr);
    EXPECT_FALSE(IsWindowVisible(settingsDialog));  // hidden while an editor is open
    const ListEditorState& editor = programEditorState;
    EXPECT_EQ(rows(editor.rightList), Rows({"win_tests.exe"}));

    setRows(editor.leftList, {"zz.exe", "win_tests.exe", "a.exe"});
    SendMessageA(programEditor, WM_COMMAND, 1060, 0);
    EXPECT_EQ(rows(editor.leftList, true), Rows({"win_tests.exe", "a.exe"}));
    EXPECT_EQ(rows(editor.rightList), Rows({"win_tests.exe", "zz.exe"}));
    SendMessageA(programEditor, WM_COMMAND, 1074, 0);
    EXPECT_EQ(readFile(path), "win_tests.exe\r\nzz.exe\r\n");
    EXPECT_EQ(editor.listModified, 0);
    // Reloaded between two ticks of a scan that had found win_tests.exe at another place.
    EXPECT_EQ(std::string(programList.text.get()), "win_tests.exe<zz.exe<");
    EXPECT_EQ(runWatchScan(), 1);
    EXPECT_EQ(std::string(programList.text.get()), "win_tests.exe>zz.exe<");

    // Held open without sharing by another program, the list file cannot be replaced.
    setRows(editor.leftList, {"new.exe"});
    SendMessageA(programEditor, WM_COMMAND, 1060, 0);
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SendMessageA(programEditor, WM_COMMAND, 1074, 0);
    CloseHandle(held);
    EXPECT_EQ(readFile(path), "win_tests.exe\r\nzz.exe\r\n");
    EXPECT_EQ(editor.listModified, 1);
    WIN32_FIND_DATAA temporary;
    EXPECT_EQ(FindFirstFileA("*.tmp", &temporary), INVALID_HANDLE_VALUE);  // nothing left behind

    // The close box asks nothing and reloads nothing.
    writeFile("FileList.txt", "zz.exe\r\nother.exe\r\n");
    SendMessageA(programEditor, WM_CLOSE, 0, 0);
    EXPECT_EQ(programEditor, nullptr);
    EXPECT_TRUE(IsWindowVisible(settingsDialog));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "Somnivar|win_tests.exe は、既に登録されています。|-1");
    EXPECT_TRUE(boxes[1].rfind("Somnivar - Error|", 0) == 0 && boxes[1].substr(boxes[1].size() - 3) == "|W1")
        << toUtf8(boxes[1]);
    EXPECT_EQ(std::string(programList.text.get()), "win_tests.exe>zz.exe<");
}

TEST_F(EditorInProcess, TitlesLeaveOutOwnWindowsAndEditsInPlace)
{
    writeFile("TitleList.txt", "Somnivar の設定\r\nMemo\r\n");
    HWND probes[2];
    for (HWND& probe : probes)
        probe = CreateWindowExA(0, "STATIC", "Editor probe", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    openAboutBox();
    openTitleEditor();
    ASSERT_NE(titleEditor, nullptr);
    const ListEditorState& editor = titleEditorState;
    EXPECT_EQ(rows(editor.rightList), Rows({"Memo"}));
    const Rows titles = rows(editor.leftList);
    auto count = [&](const char* title) { return std::count(titles.begin(), titles.end(), title); };
    EXPECT_EQ(count("Editor probe"), 1);
    EXPECT_EQ(count("Somnivar について"), 1);
    EXPECT_EQ(count("監視タイトルの追加・削除") + count("Somnivar の設定") + count("Somnivar"), 0);
    for (HWND probe : probes)
        DestroyWindow(probe);

    ListView_SetItemState(editor.rightList, 0, LVIS_SELECTED, LVIS_SELECTED);
    NMHDR doubleClick = {editor.rightList, 1067, static_cast<UINT>(NM_DBLCLK)};
    for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
        SendMessageA(titleEditor, WM_NOTIFY, 1067, reinterpret_cast<LPARAM>(&doubleClick));
        ASSERT_NE(inPlaceEdit, nullptr);
        SetWindowTextA(inPlaceEdit, "");
        EXPECT_TRUE(filterInPlaceEdit({inPlaceEdit, WM_KEYDOWN, key, 0, 0, {}}));
        EXPECT_EQ(inPlaceEdit, nullptr);
        EXPECT_EQ(rows(editor.rightList), key == VK_ESCAPE ? Rows({"Memo"}) : Rows());
        EXPECT_EQ(editor.listModified, key == VK_ESCAPE ? 0 : 1);
    }
    EXPECT_TRUE(boxes.empty());
}

// One running program: the same program twice is one line, the command shows the report again,
// and the user's off stays off.
TEST_F(Scan, RunningProgramSwitchesOffForAWatchedProgramAndBackOn)
{
    writeFile("FileList.txt", "Somnivar.exe\r\n[System Process]\r\nnotepad.exe\r\n");
    ASSERT_TRUE(storeSettings({{"ApplicationCheck", 1}, {"StatusDisplay", 1}}));
    Instance program;
    ASSERT_TRUE(startSomnivar("", &program));
    auto enableAfterTick = [&](DWORD value) {
        postMessage(program.mainWindow, WM_TIMER, TIMER_WATCH_SCAN, 0);
        return waitUntil([&] { return storedSetting("Enable") == value; }, 5000);
    };
    Process first = startProgramAs("notepad.exe");
    Process second = startProgramAs("notepad.exe");
    ASSERT_TRUE(enableAfterTick(0));
    ASSERT_TRUE(postMessage(program.mainWindow, WM_COMMAND, IDM_SHOW_WATCH_STATUS, 0));
    ASSERT_TRUE(enableAfterTick(0));
    ASSERT_TRUE(waitUntil([&] { return balloons().size() == 2; }, 5000));
    killProcess(first);
    killProcess(second);
    ASSERT_TRUE(enableAfterTick(1));
    Process third = startProgramAs("notepad.exe");
    ASSERT_TRUE(enableAfterTick(0));
    ASSERT_TRUE(sendMessage(program.mainWindow, WM_COMMAND, IDM_FUNCTION_OFF, 0));
    EXPECT_EQ(storedSetting("OffCheck"), 1u);
    killProcess(third);
    EXPECT_FALSE(enableAfterTick(1));
    const std::string found = "・監視プログラム名\n    notepad.exe", none = "監視対象は見つかりません";
    EXPECT_EQ(balloons(), Rows({found, found, none, found, none}));
}
