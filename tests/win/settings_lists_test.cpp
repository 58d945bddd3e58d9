// The settings store, the watch scan, the list editors and the tray refresh, in-process against the
// prefix's registry, real processes and Somnivar.exe's own dialogs; last, the scan in a running program.
#include "harness/harness.h"
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>

#include "app/mainwnd_win.h"
#include "app/scan_win.h"
#include "app/process_win.h"
#include "app/startup_win.h"
#include "app/timers_win.h"
#include "hooklib/vantrel.h"
#include "info/dialogs_win.h"
#include "info/version_win.h"
#include "info/versiontext.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "settings/settings_dialog_win.h"
#include "settings/settings_store_win.h"
#include "status/tray_win.h"
#include "watchlists/editors_win.h"
#include "watchlists/listfiles_win.h"

using namespace harness;
using Rows = std::vector<std::string>;

namespace {

constexpr const char* kKey = "Software\\Orlenby\\Somnivar";

BOOL WINAPI moveNotImplemented(const char*, const char*, DWORD) { return SetLastError(ERROR_CALL_NOT_IMPLEMENTED), FALSE; }

// Every box answered by a thread timer, as "caption|text|" and its buttons among OK 1, Cancel 2, Yes 6, No 7.
Rows boxes;
std::vector<int> answers;  // pressed in turn; OK once they run out

void CALLBACK answerBoxes(HWND, UINT, UINT_PTR, DWORD)
{
    for (const Box& box : openDialogs(GetCurrentProcessId())) {
        if (!GetDlgItem(box.window, 0xFFFF))  // a message box's text
            continue;
        std::string seen = box.caption + "|" + box.text + "|";
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

HANDLE WINAPI failedSnapshot(DWORD, DWORD) { return INVALID_HANDLE_VALUE; }
void* realWriteFile;
BOOL WINAPI fullDisk(HANDLE file, const void* data, DWORD size, DWORD* written, OVERLAPPED*)  // room for half
{
    return reinterpret_cast<decltype(&WriteFile)>(realWriteFile)(file, data, size / 2, written, nullptr);
}

// A node of a 16-bit version block: sizes and key, then the value or the children, 4-byte aligned.
std::string versionNode(const std::string& key, const std::string& content, WORD valueLength = 0)
{
    std::string node = std::string(4, '\0') + key + '\0';
    node.resize((node.size() + 3) & ~3u);
    node += content;
    const WORD sizes[] = {WORD(node.size()), valueLength};
    std::memcpy(&node[0], sizes, sizeof(sizes));
    return node;
}

decltype(&SetTimer) realSetTimer;
UINT idlePeriod;  // of the last idle countdown armed
UINT_PTR WINAPI recordSetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC procedure)
{
    if (id == TIMER_IDLE_EXPIRY)
        idlePeriod = period;
    return realSetTimer(window, id, period, procedure);
}

int32_t stored(const char* name) { return static_cast<int32_t>(storedSetting(name)); }

Rows rows(HWND list)
{
    Rows texts;
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        char text[1024] = {};
        ListView_GetItemText(list, row, 0, text, sizeof(text));
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
    void load()
    {
        isNtPlatform = 1;
        settings = kDefaultSettings;
        firstRun = 0;
        loadSettings();
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
    HMODULE resources_ = nullptr;
    UINT_PTR timer_ = 0;
    FakeTray tray_;
};

class SettingsStore : public InProcess {};
class EditorInProcess : public InProcess {};
class ScanInProcess : public InProcess {};

} // namespace

TEST_F(SettingsStore, FirstRunWritesTheDefaults)
{
    load();
    Rows written;
    for (const std::string& name : valueNames(HKEY_CURRENT_USER, kKey))
        written.push_back(name + "=" + std::to_string(stored(name.c_str())));
    EXPECT_EQ(written, Rows({"ApplicationCheck=0", "Enable=1", "Expand=0", "ExpType=1", "HotKeyCode=0", "HotKeyUse=0",
                             "OffCheck=0", "Resource=0", "StatusDisplay=0", "Stop=0", "StopValue=30", "SuspendOther=0",
                             "SuspendType=0", "Time=10", "TitleCheck=0", "Value=30"}));  // no Monitor yet
    setEnableState(1);
    EXPECT_EQ(stored("Monitor"), 0);
    // Another type or size is repaired like a missing value: the string "30" is no 12339.
    ASSERT_TRUE(writeValue(HKEY_CURRENT_USER, kKey, "Value", REG_SZ, std::string("30", 3)) &&
                writeValue(HKEY_CURRENT_USER, kKey, "StopValue", REG_BINARY, "\x05"));
    load();
    EXPECT_TRUE(settings.Value == 30 && settings.StopValue == 30 && stored("Value") == 30 && stored("StopValue") == 30);
}

TEST_F(SettingsStore, UninstallAsksThenDeletesOnlyItsOwnKey)
{
    const std::string question = "Somnivar レジストリ・アンインストール|Somnivar の設定をレジストリより削除しますか？|267";
    const std::string ends = "Somnivar|プログラムを終了します。|1";
    ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, "Software\\Orlenby\\OtherProduct", "Installed", 1));
    load();
    for (const auto& [answer, result] : {std::pair{IDCANCEL, 0}, {IDNO, 1}, {IDYES, 1}}) {
        answers = {answer};
        EXPECT_EQ(deleteSettings(mainWindow), result);
        EXPECT_EQ(keyExists(HKEY_CURRENT_USER, kKey), answer != IDYES);
    }
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "Software\\Orlenby\\OtherProduct"));
    setEnableState(1);  // nothing written during the shutdown brings the key back
    writeAllSettings(0);
    EXPECT_EQ(deleteSettings(mainWindow), 0);
    deleteKeyTree(HKEY_CURRENT_USER, "Software\\Orlenby");
    EXPECT_EQ(deleteSettings(mainWindow), 0);
    EXPECT_EQ(boxes, Rows({question, question, ends, question, ends, "Somnivar|設定保存用のレジストリデータがありません。|1",
                           "Somnivar|削除するレジストリデータがありません。|1"}));
}

// Values anyone may have stored: another type or size counts as missing; the extremes of a DWORD
// stay, yet the tooltip fits its field, the countdown takes a minute at least, and the settings
// dialog opens and stores values in range once a refused number has been corrected.
TEST_F(SettingsStore, ValuesOfAnyTypeOrSizeLeaveTheProgramUsable)
{
    const struct { DWORD type; std::string data; } kinds[] = {
        {REG_SZ, std::string("300", 4)}, {REG_DWORD, "\xFF"}, {REG_QWORD, std::string("\x05\0\0\0\0\0\0\0", 8)},
        {REG_DWORD, std::string("\0\0\0\x80", 4)}, {REG_DWORD, "\xFF\xFF\xFF\xFF"}};
    const std::pair<const char*, const char*> numbers[] = {
        {"Time", "設定時間に誤りがあります。"}, {"Value", "リソース監視警告表示残量に誤りがあります。"},
        {"StopValue", "自動無効リソース残量に誤りがあります。"}};
    realSetTimer = reinterpret_cast<decltype(&SetTimer)>(hookImport("SetTimer", reinterpret_cast<void*>(recordSetTimer)));
    DestroyWindow(std::exchange(settingsDialog, nullptr));
    for (const auto& kind : kinds) {
        for (const auto& [name, unused] : kStoredDefaults) {
            SCOPED_TRACE(std::string(name) + " type " + std::to_string(kind.type) + " size " + std::to_string(kind.data.size()));
            ASSERT_TRUE(deleteKeyTree(HKEY_CURRENT_USER, kKey) && storeSettings() &&
                        writeValue(HKEY_CURRENT_USER, kKey, name, kind.type, kind.data));
            load();
            char tip[129];
            tip[128] = 'G';
            buildStatusLine(tip, 128);
            EXPECT_TRUE(tip[128] == 'G' && std::strlen(tip) <= 127);
            armIdleTimer(0);
            armIdleTimer(1);
            EXPECT_GE(idlePeriod, 60000u);
            armIdleTimer(0);
            boxes.clear();
            openSettingsDialog();
            ASSERT_NE(settingsDialog, nullptr);
            SendMessageA(settingsDialog, WM_COMMAND, IDOK, 0);
            std::string refused;
            for (const auto& [number, text] : numbers) {
                if (kind.type == REG_DWORD && kind.data.size() == 4 && std::strcmp(name, number) == 0)
                    refused = std::string("Somnivar|") + text + "|1";
            }
            EXPECT_EQ(boxes, refused.empty() ? Rows() : Rows({refused}));
            if (settingsDialog) {  // corrected by hand
                for (int field : {1100, 1119, 1125})
                    SetDlgItemTextA(settingsDialog, field, "30");
                SendMessageA(settingsDialog, WM_COMMAND, IDOK, 0);
            }
            EXPECT_EQ(settingsDialog, nullptr);
            EXPECT_TRUE(settings.Time >= 1 && settings.Time <= 60 && settings.Value >= 1 && settings.Value <= 100 &&
                        settings.StopValue >= 1 && settings.StopValue <= 100);
        }
    }
    hookImport("SetTimer", reinterpret_cast<void*>(realSetTimer));
}

// Reserved names and the program's own titles never match; a balloon shows every change, and the
// show-status command shows it again. A find switches the function off and its end on again,
// unless the user switched it off meanwhile.
TEST_F(ScanInProcess, MarksWatchedEntriesShowsEveryChangeAndSwitchesTheFunction)
{
    settings.ApplicationCheck = settings.TitleCheck = settings.StatusDisplay = processWatchAvailable = 1;
    runWatchScan();  // forgets what an earlier test left shown
    tray_.clear();
    writeFile(kProgramListFile, "System\r\nSyst?m\r\nSomniv*\r\nnotepad.exe\r\ncalc.exe\r\n");
    writeFile(kTitleListFile, "メモ帳*\r\n設定\r\n*の設定\r\nSomnivar*\r\n");
    programListPresent = loadProgramList();  // as start-up loads them
    titleListPresent = loadTitleList();
    Process notepad = startProgramAs("notepad.exe"), calc = startProgramAs("calc.exe");
    startProgramAs("System");
    Process windows;
    ASSERT_TRUE(startProcess(binPath("helper.exe"), {"windows \"無題 - メモ帳\" \"メモ帳 - a.txt\" 設定 "
                                                     "\"Somnivar の設定\" Somnivar"}, &windows));
    const std::string ready = "helper ready " + std::to_string(windows.id);
    ASSERT_TRUE(waitUntil([&] { return FindWindowA(nullptr, ready.c_str()) != nullptr; }, 15000));
    EXPECT_EQ(runWatchScan(), 4);
    EXPECT_EQ(runWatchScan(), 4);  // unchanged: no balloon
    void* snapshot = hookImport("CreateToolhelp32Snapshot", reinterpret_cast<void*>(failedSnapshot));
    EXPECT_EQ(runWatchScan(), 4);  // a failed snapshot keeps what the last good one found
    hookImport("CreateToolhelp32Snapshot", snapshot);
    invalidateWatchReport();
    EXPECT_EQ(runWatchScan(), 4);
    killProcess(windows);
    EXPECT_EQ(runWatchScan(), 2);
    auto enableAfterTicks = [](int enable) {
        return waitUntil([&] { return !onMainWindowTimer(mainWindow, TIMER_WATCH_SCAN) && settings.Enable == enable; }, 5000);
    };
    EXPECT_TRUE(enableAfterTicks(0));
    killProcess(notepad);
    killProcess(calc);
    EXPECT_TRUE(enableAfterTicks(1));
    notepad = startProgramAs("notepad.exe");
    EXPECT_TRUE(enableAfterTicks(0));
    mainWindowProc(mainWindow, WM_COMMAND, IDM_FUNCTION_OFF, 0);  // the user's off outlasts the find
    killProcess(notepad);
    EXPECT_TRUE(enableAfterTicks(0) && settings.OffCheck == 1);
    const std::string programs = "・監視プログラム名\n    notepad.exe\n    calc.exe", none = "監視対象は見つかりません";
    const std::string both = programs + "\n・監視タイトル名\n    メモ帳 - a.txt\n    設定";
    EXPECT_EQ(balloons(), Rows({both, both, programs, none, "・監視プログラム名\n    notepad.exe", none}));
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
    const std::string saved = "win_tests.exe\r\nno line break.exe\r\nzz.exe\r\n";
    EXPECT_EQ(rows(editor.rightList), Rows({"win_tests.exe", "no line break.exe"}));
    setRows(editor.leftList, {"zz.exe", "win_tests.exe", "a.exe"});
    SendMessageA(programEditor, WM_COMMAND, 1060, 0);
    EXPECT_EQ(rows(editor.rightList), Rows({"win_tests.exe", "no line break.exe", "zz.exe"}));
    SendMessageA(programEditor, WM_COMMAND, 1074, 0);
    EXPECT_EQ(readFile(path), saved);
    // Reloaded between two ticks of a scan that had found win_tests.exe at another place.
    EXPECT_EQ(runWatchScan(), 1);
    EXPECT_EQ(std::string(programList.text.get()), "win_tests.exe>no line break.exe<zz.exe<");
    // Held open without sharing by another program, the list file cannot be replaced.
    setRows(editor.leftList, {"new.exe"});
    SendMessageA(programEditor, WM_COMMAND, 1060, 0);
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SendMessageA(programEditor, WM_COMMAND, 1074, 0);
    EXPECT_EQ(loadProgramList(), 0u);  // held in passing: the list and its watch stay
    CloseHandle(held);
    EXPECT_EQ(readFile(path), saved);
    EXPECT_TRUE(editor.listModified == 1 && programListPresent == 1);
    realWriteFile = hookImport("WriteFile", reinterpret_cast<void*>(fullDisk));  // nor on a full disk
    SendMessageA(programEditor, WM_COMMAND, 1074, 0);
    hookImport("WriteFile", realWriteFile);
    EXPECT_TRUE(readFile(path) == saved && editor.listModified == 1);
    // The 9x family's replacing move is a stub that fails: the save replaces the list all the same.
    void* move = hookImport("MoveFileExA", reinterpret_cast<void*>(moveNotImplemented));
    SendMessageA(programEditor, WM_COMMAND, 1074, 0);
    hookImport("MoveFileExA", move);
    EXPECT_EQ(readFile(path), "win_tests.exe\r\nno line break.exe\r\nzz.exe\r\nnew.exe\r\n");
    EXPECT_EQ(editor.listModified, 0);
    WIN32_FIND_DATAA found;
    EXPECT_EQ(FindFirstFileA("snv*", &found), INVALID_HANDLE_VALUE) << found.cFileName;
    // Escape and 閉じる ask first while a change is unsaved, and reload the list changed meanwhile.
    setRows(editor.leftList, {"more.exe"});
    SendMessageA(programEditor, WM_COMMAND, 1060, 0);
    writeFile("FileList.txt", "other.exe\r\n");
    answers = {IDNO, IDYES, IDOK, IDYES};
    for (WPARAM way : {1113, 1069})
        SendMessageA(programEditor, WM_COMMAND, way, 0);
    EXPECT_TRUE(programEditor == nullptr && IsWindowVisible(settingsDialog));
    EXPECT_EQ(std::string(programList.text.get()), "other.exe<");
    // Emptied and deleted, then closed with the close box: the watch ends with the file, the scan goes on.
    openProgramEditor();
    ListView_SetItemState(editor.rightList, -1, LVIS_SELECTED, LVIS_SELECTED);
    SendMessageA(programEditor, WM_COMMAND, 1062, 0);
    SendMessageA(programEditor, WM_COMMAND, 1074, 0);
    SendMessageA(programEditor, WM_CLOSE, 0, 0);  // the close box asks nothing
    EXPECT_TRUE(programEditor == nullptr && IsWindowVisible(settingsDialog));
    EXPECT_EQ(runWatchScan(), 0);
    EXPECT_EQ(programListPresent, 0);
    const std::string unsaved = "Somnivar|監視リストが更新されていますが、保存されていません。\n終了しても宜しいですか？|67";
    ASSERT_EQ(boxes.size(), 7u);
    EXPECT_EQ(boxes[0], "Somnivar|win_tests.exe は、既に登録されています。|1");
    EXPECT_TRUE(boxes[1].rfind("Somnivar - Error|", 0) == 0 && boxes[2].rfind("Somnivar - Error|", 0) == 0);
    EXPECT_EQ(Rows(boxes.begin() + 3, boxes.begin() + 5), Rows({unsaved, unsaved}));
}

// List files nobody wrote with an editor: the scan goes through them, and an editor opened on one
// shows exactly the entries the scan watches, or refuses a file over the size limit whole.
TEST_F(EditorInProcess, HostileListFilesScanAndOpenAlike)
{
    std::string random(65536, '\0'), oversized, lead1022(5000, 'a'), lead1023(5000, 'a');
    for (size_t i = 0, seed = 1; i < random.size(); ++i)
        random[i] = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
    for (int i = 0; oversized.size() <= 70000; ++i)
        oversized += "name" + std::to_string(i) + ".exe\r\n";
    lead1022[1022] = lead1023[1023] = '\x82';
    const struct { std::string bytes; Rows names; } files[] = {
        {"", {}}, {"a.exe\r\nb.exe", {"a.exe", "b.exe"}}, {std::string("a\0\0\0b\x7F\x7F\x7F" "c\r\n", 11), {"a", "b", "c"}},
        {lead1022 + "\r\n", {std::string(1022, 'a')}}, {lead1023 + "\r\n", {std::string(1023, 'a')}},
        {random, {}}, {oversized, {}}};
    settings.ApplicationCheck = settings.TitleCheck = processWatchAvailable = 1;
    for (const auto& file : files) {
        SCOPED_TRACE(file.bytes.size());
        writeFile(kProgramListFile, file.bytes);
        writeFile(kTitleListFile, file.bytes);
        programListPresent = titleListPresent = 1;
        loadProgramList();
        loadTitleList();
        EXPECT_GE(runWatchScan(), 0);
        for (const bool programs : {true, false}) {
            const WatchList& list = programs ? programList : titleList;
            Rows watched;
            for (uint32_t i = 0; i < list.entryCount; ++i) {
                const std::string_view entry = boundedListEntry(listEntry(list, i));
                if (!entry.empty() && !(programs ? isReservedProcessName(entry) : isOwnWindowTitle(entry)))
                    watched.emplace_back(entry);
            }
            if (!file.names.empty()) {
                EXPECT_EQ(watched, file.names);
            }
            boxes.clear();
            programs ? openProgramEditor() : openTitleEditor();
            HWND& editor = programs ? programEditor : titleEditor;
            ASSERT_NE(editor, nullptr);
            pumpMessages(200);  // a refusal is shown once the editor is on screen
            const bool tooLarge = file.bytes.size() > 32 * 1024;
            EXPECT_EQ(rows((programs ? programEditorState : titleEditorState).rightList), tooLarge ? Rows() : watched);
            const std::string refusal = std::string("Somnivar - Error|\"") + (programs ? kProgramListFile : kTitleListFile) +
                                        "\" は 32 KB を超えているため読み込めません。\n元のリストを失わないよう、この画面では保存できません。|1";
            EXPECT_EQ(boxes, tooLarge ? Rows({refusal}) : Rows());
            SendMessageA(editor, WM_CLOSE, 0, 0);
            EXPECT_EQ(editor, nullptr);
        }
    }
}

// Each open title once, the about box too, but never the program's own windows; a sort and a
// rename are saved, an edit to nothing removes the row, Escape restores it.
TEST_F(EditorInProcess, TitlesLeaveOutOwnWindowsAndEditsInPlace)
{
    writeFile("TitleList.txt", "Somnivar の設定\r\nMemo\r\nNote\r\n");
    HWND probes[2];
    for (HWND& probe : probes)
        probe = CreateWindowExA(0, "STATIC", "Editor probe", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    openAboutBox();
    // Open in another program that shares it: the editor reads it all the same.
    HANDLE writer = CreateFileA("TitleList.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    openTitleEditor();
    CloseHandle(writer);
    ASSERT_NE(titleEditor, nullptr);
    const ListEditorState& editor = titleEditorState;
    EXPECT_EQ(rows(editor.rightList), Rows({"Memo", "Note"}));
    const Rows titles = rows(editor.leftList);
    auto count = [&](const char* title) { return std::count(titles.begin(), titles.end(), title); };
    EXPECT_EQ(count("Editor probe"), 1);
    EXPECT_EQ(count("Somnivar について"), 1);
    EXPECT_EQ(count("監視タイトルの追加・削除") + count("Somnivar の設定") + count("Somnivar"), 0);
    for (HWND probe : probes)
        DestroyWindow(probe);

    rightSortDescending = 0;  // the first click sorts descending
    NMHDR headerClick = {ListView_GetHeader(editor.rightList), 0, static_cast<UINT>(HDN_ITEMCLICKA)};
    SendMessageA(titleEditor, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&headerClick));
    SendMessageA(titleEditor, WM_COMMAND, 1074, 0);
    EXPECT_EQ(readFile(workDirectory() + "\\TitleList.txt"), "Note\r\nMemo\r\n");
    ListView_SetItemState(editor.rightList, 0, LVIS_SELECTED, LVIS_SELECTED);
    NMHDR doubleClick = {editor.rightList, 1067, static_cast<UINT>(NM_DBLCLK)};
    const struct { WPARAM key; const char* text; Rows rows; int modified; const char* file; } edits[] = {
        {VK_ESCAPE, "", {"Note", "Memo"}, 0, "Note\r\nMemo\r\n"},
        {VK_RETURN, "Renamed", {"Renamed", "Memo"}, 1, "Renamed\r\nMemo\r\n"}, {VK_RETURN, "", {"Memo"}, 1, "Memo\r\n"}};
    for (const auto& edit : edits) {
        SendMessageA(titleEditor, WM_NOTIFY, 1067, reinterpret_cast<LPARAM>(&doubleClick));
        ASSERT_NE(inPlaceEdit, nullptr);
        SetWindowTextA(inPlaceEdit, edit.text);
        EXPECT_TRUE(filterInPlaceEdit({inPlaceEdit, WM_KEYDOWN, edit.key, 0, 0, {}}));
        EXPECT_EQ(inPlaceEdit, nullptr);
        EXPECT_EQ(rows(editor.rightList), edit.rows);
        EXPECT_EQ(editor.listModified, edit.modified);
        SendMessageA(titleEditor, WM_COMMAND, 1074, 0);
        EXPECT_EQ(readFile(workDirectory() + "\\TitleList.txt"), edit.file);
    }
    EXPECT_TRUE(boxes.empty());
}

// A list file that is there but cannot be read (held without sharing, or too large) is reported,
// never saved over, and stays watched.
TEST_F(EditorInProcess, AnUnreadableListIsReportedAndNeverSavedOver)
{
    const std::string held = "a.exe\r\n", large = held + std::string(70000, 'b');
    for (const std::string& file : {held, large}) {
        writeFile("FileList.txt", file);
        HANDLE holder = file == held ? CreateFileA("FileList.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                     : INVALID_HANDLE_VALUE;
        programListPresent = 1;
        openProgramEditor();
        ASSERT_TRUE(waitUntil([&] { return boxes.size() == (file == held ? 1u : 3u); }, 5000));
        setRows(programEditorState.leftList, {"new.exe"});
        SendMessageA(programEditor, WM_COMMAND, 1060, 0);
        SendMessageA(programEditor, WM_COMMAND, 1074, 0);
        CloseHandle(holder);
        EXPECT_TRUE(readFile("FileList.txt") == file && programListPresent == 1);
        EXPECT_EQ(loadProgramList(), 7u);  // the scan watches the whole lines within the limit: a.exe<
        SendMessageA(programEditor, WM_CLOSE, 0, 0);
    }
    const std::string error = "Somnivar - Error|\"FileList.txt\" ", kept = "\n元のリストを失わないよう、この画面では保存できません。";
    const std::string unsaved = error + "を読み込めなかったため、保存しません。\n画面を閉じて開き直してください。|1";
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].rfind(error + "を読み込めませんでした。" + kept + "\n\n", 0), 0u) << toUtf8(boxes[0]);
    EXPECT_EQ(Rows(boxes.begin() + 1, boxes.end()),
              Rows({unsaved, error + "は 32 KB を超えているため読み込めません。" + kept + "|1", unsaved}));
}

// A move along one axis is activity; a move to the same point is none.
TEST(Hooks, AMoveAlongEitherAxisIsActivityTheSamePointIsNot)
{
    ASSERT_EQ(SetHook(), 1);
    const struct { LONG x, y; bool active; } moves[] = {{123, 457, true}, {300, 457, true}, {300, 457, false}, {300, 96, true}};
    for (const auto& move : moves) {
        MessageSet(0);
        INPUT input = {INPUT_MOUSE};
        input.mi = {move.x * 65536 / GetSystemMetrics(SM_CXSCREEN), move.y * 65536 / GetSystemMetrics(SM_CYSCREEN), 0,
                    MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, 0, 0};
        ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
        EXPECT_EQ(waitUntil([] { return MessageCheck() == 1; }, 500), move.active) << move.x << "," << move.y;
    }
    FreeHook();
}

// The block's own translation first, then code pages before languages; a key no table holds reads
// as nothing, and a value the block ends within is read to the block's end, whatever its length says.
TEST(VersionReader, OwnTranslationFirstThenCodePagesBeforeLanguagesAndNeverPastTheBlock)
{
    auto table = [](const char* pair, const std::string& version) {  // its length says more than it holds
        return versionNode(pair, versionNode("ProductVersion", version, 16));
    };
    std::string bytes = versionNode("VS_VERSION_INFO", versionNode("StringFileInfo", table("040904e4", std::string("6.1", 4)) +
                                                                                     table("041103a4", "10.0"))) + "2600";
    auto read = [](const VersionBlock& block, const char* key) {
        char text[64] = "?";
        return queryVersionString(&block, key, text, sizeof(text)) ? std::string(text) : "none" + std::string(text);
    };
    const struct { WORD language, codePage; const char* text; } cases[] = {
        {0x0409, 1252, "6.1"}, {0x0411, 932, "10.0"}, {0x0407, 1200, "10.0"}};
    for (const auto& c : cases) {
        const VersionBlock block = {&bytes[0], DWORD(bytes.size() - 4), c.language, c.codePage};
        EXPECT_EQ(read(block, "ProductVersion"), c.text) << c.language;
        EXPECT_EQ(read(block, "FileVersion"), "none");
    }
    EXPECT_EQ(read({}, "ProductVersion"), "none");
    EXPECT_EQ(leadingInteger("10.0.19041"), 10);  // as the status line and the settings dialog read it
}
