// The list editors in-process: the real dialogs from Somnivar.exe's resources, driven by their
// commands and notifications, their message boxes answered by a timer, the list views read back.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/scan_win.h"
#include "app/startup_win.h"
#include "app/windows_win.h"
#include "harness/harness.h"
#include "info/dialogs_win.h"
#include "settings/settings.h"
#include "watchlists/editors_win.h"
#include "watchlists/listfiles_win.h"

using Rows = std::vector<std::string>;

namespace {

Rows boxes;          // "caption|text" of every box the timer answered
int boxAnswer = IDOK;

void CALLBACK answerBoxes(HWND, UINT, UINT_PTR, DWORD)
{
    for (const harness::Box& box : harness::openDialogs(GetCurrentProcessId())) {
        if (GetDlgItem(box.window, 0xFFFF)) {
            boxes.push_back(box.caption + "|" + box.text);
            if (!harness::pressButton(box, boxAnswer))
                harness::pressButton(box, IDOK);
        }
    }
}

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

void setRows(HWND list, const Rows& texts)
{
    ListView_DeleteAllItems(list);
    for (const std::string& text : texts) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_STATE;
        item.iItem = ListView_GetItemCount(list);
        item.state = item.stateMask = LVIS_SELECTED;
        item.pszText = const_cast<char*>(text.c_str());
        ListView_InsertItem(list, &item);
    }
}

LRESULT command(HWND editor, int id)
{
    return SendMessageA(editor, WM_COMMAND, id, 0);
}

void clickHeader(HWND list)
{
    SendMessageA(ListView_GetHeader(list), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
    SendMessageA(ListView_GetHeader(list), WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
}

}  // namespace

class EditorInProcess : public harness::SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        InitCommonControls();
        resources_ = LoadLibraryExA(harness::binPath("Somnivar.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(resources_, nullptr);
        appInstance = reinterpret_cast<HINSTANCE>(resources_);
        mainWindow = CreateWindowExA(0, "STATIC", "Somnivar", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        settingsDialog = CreateWindowExA(0, "STATIC", "Somnivar の設定", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                         nullptr, nullptr, nullptr);
        boxes.clear();
        boxAnswer = IDOK;
        timer_ = SetTimer(nullptr, 0, 50, answerBoxes);
    }

    void TearDown() override
    {
        KillTimer(nullptr, timer_);
        for (HWND* window : {&programEditor, &titleEditor, &aboutBox, &settingsDialog, &mainWindow})
            destroyWhenOpen(*window);
        freeWatchLists();
        programListPresent = titleListPresent = 0;
        settings = kDefaultSettings;
        appInstance = nullptr;
        FreeLibrary(resources_);
        SomnivarTest::TearDown();
    }

    HMODULE resources_ = nullptr;
    UINT_PTR timer_ = 0;
};

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
    EXPECT_FALSE(rows(editor.leftList).empty());

    setRows(editor.leftList, {"zz.exe", "win_tests.exe", "a.exe"});
    command(programEditor, 1060);
    EXPECT_EQ(boxes, Rows({"Somnivar|win_tests.exe は、既に登録されています。"}));
    EXPECT_EQ(rows(editor.leftList, true), Rows({"win_tests.exe", "a.exe"}));
    EXPECT_EQ(rows(editor.rightList), Rows({"win_tests.exe", "zz.exe"}));

    // The first click on a header sorts descending.
    clickHeader(editor.rightList);
    EXPECT_EQ(rows(editor.rightList), Rows({"zz.exe", "win_tests.exe"}));
    command(programEditor, 1074);
    EXPECT_EQ(harness::readFile(path), "zz.exe\r\nwin_tests.exe\r\n");
    EXPECT_EQ(editor.listModified, 0);
    // Reloaded between two ticks of a scan that had found win_tests.exe at another place.
    EXPECT_EQ(std::string(programList.text.get()), "zz.exe<win_tests.exe<");
    EXPECT_EQ(runWatchScan(), 1);
    EXPECT_EQ(std::string(programList.text.get()), "zz.exe<win_tests.exe>");

    // Held open without sharing by another program, the list file cannot be replaced.
    setRows(editor.leftList, {"new.exe"});
    command(programEditor, 1060);
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    command(programEditor, 1074);
    CloseHandle(held);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].rfind("Somnivar - Error|", 0), 0u) << harness::toUtf8(boxes[1]);
    EXPECT_EQ(harness::readFile(path), "zz.exe\r\nwin_tests.exe\r\n");
    EXPECT_EQ(editor.listModified, 1);
    WIN32_FIND_DATAA temporary;
    EXPECT_EQ(FindFirstFileA("*.tmp", &temporary), INVALID_HANDLE_VALUE);  // nothing left behind

    // Close button: No keeps the editor open. Close box: no question, nothing reloaded.
    boxes.clear();
    boxAnswer = IDNO;
    command(programEditor, 1069);
    EXPECT_EQ(boxes, Rows({"Somnivar|監視リストが更新されていますが、保存されていません。\n終了しても宜しいですか？"}));
    ASSERT_NE(programEditor, nullptr);
    writeFile("FileList.txt", "zz.exe\r\nother.exe\r\n");
    SendMessageA(programEditor, WM_CLOSE, 0, 0);
    EXPECT_EQ(programEditor, nullptr);
    EXPECT_TRUE(IsWindowVisible(settingsDialog));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(std::string(programList.text.get()), "zz.exe<win_tests.exe>");

    // The next opening goes on with the other direction.
    openProgramEditor();
    clickHeader(programEditorState.rightList);
    EXPECT_EQ(rows(programEditorState.rightList), Rows({"other.exe", "zz.exe"}));
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

    // A dragged divider snaps back. The column is wider than the list: scrolled to its divider.
    HWND header = ListView_GetHeader(editor.rightList);
    ListView_Scroll(editor.rightList, 60, 0);
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(168, 5));
    SendMessageA(header, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 5));
    SendMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(60, 5));
    harness::pumpMessages(100);
    EXPECT_EQ(ListView_GetColumnWidth(editor.rightList, 0), 169);

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
