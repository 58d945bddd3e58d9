// The program and title watch-list editors. Both are one dialog procedure over a description of
// the editor (its file, loader, texts and left-list source), so that they cannot drift apart.
#include "watchlists/editors_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/bytes.h"
#include "app/scan_win.h"
#include "app/process_win.h"
#include "app/timers_win.h"
#include "app/windows_win.h"
#include "info/dialogs_win.h"
#include "resources/resource.h"
#include "watchlists/editorlists.h"
#include "watchlists/listfiles_win.h"

ListEditorState programEditorState;
ListEditorState titleEditorState;
int leftSortDescending;
int rightSortDescending;
HWND inPlaceEdit;
char textBeforeEdit[kEntryBufferSize];
RECT programEditorOpeningRect;
RECT titleEditorOpeningRect;

namespace {

constexpr const char* kUnsavedQuestion = "監視リストが更新されていますが、保存されていません。\n終了しても宜しいですか？";
constexpr const char* kAlreadyListed = " は、既に登録されています。";
constexpr const char* kFetchError = "取得エラー";

// ---- Texts of a list file the editor could not read; %s is the file's name.
constexpr const char* kListUnreadableText =
    "\"%s\" を読み込めませんでした。\n元のリストを失わないよう、この画面では保存できません。";
constexpr const char* kListTooLargeText =
    "\"%s\" は 32 KB を超えているため読み込めません。\n元のリストを失わないよう、この画面では保存できません。";
constexpr const char* kSaveRefusedText =
    "\"%s\" を読み込めなかったため、保存しません。\n画面を閉じて開き直してください。";
static_assert(kListFileMaxSize == 32 * 1024, "the text names the limit");

// Everything in which the two editors differ.
struct EditorKind {
    const char* templateName;
    HWND& window;
    ListEditorState& state;
    RECT& openingRect;
    const char* fileName;
    unsigned (*load)();
    int& present;
    const char* leftHeader;
    const char* rightHeader;
    ColumnWidths widths;
    const char* emptyListText;
    bool (*droppedWhenRead)(std::string_view);
    void (*fillLeft)(HWND list);
};

// ---- List-view rows

int rowCount(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string rowText(HWND list, int row)
{
    char text[kEntryBufferSize] = {};
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return std::string(text, strnlen(text, sizeof(text) - 1));
}

std::vector<std::string> rowTexts(HWND list)
{
    std::vector<std::string> texts;
    for (int row = 0, count = rowCount(list); row < count; ++row)
        texts.push_back(rowText(list, row));
    return texts;
}

void appendRow(HWND list, std::string_view name)
{
    char text[kEntryBufferSize];
    copyBounded(text, sizeof(text), name);
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = rowCount(list);
    item.pszText = text;
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

int firstSelectedRow(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

HWND headerOf(HWND list)
{
    return reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
}

// The width follows the row count; the flag tells the width lock that this change is ours.
void fitColumn(ListEditorState& state, HWND list, const ColumnWidths& widths)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    column.cx = scaledPixels(columnWidthFor(widths, rowCount(list)));
    state.columnUpdateByProgram = 1;
    SendMessageA(list, LVM_SETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    state.columnUpdateByProgram = 0;
}

void setUpList(HWND list, const char* header, int width)
{
    char text[64];
    copyBounded(text, sizeof(text), header);
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_CENTER;
    column.cx = scaledPixels(width);
    column.pszText = text;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    const LPARAM extended = SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, extended | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
}

// ---- The left lists' sources

void fillRunningPrograms(HWND list)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        appendRow(list, kFetchError);
        return;
    }
    forEachWatchableProcess(snapshot, [list](std::string_view name) {
        appendRow(list, name);
        return true;
    });
    CloseHandle(snapshot);
}

// Through the title watch's own collection: its exclusions (the program's own windows) and its
// de-duplication are the editor's too.
void fillOpenTitles(HWND list)
{
    clearTitleTable(windowTitleTable);
    EnumWindows(collectWindowTitle, 0);
    for (int slot = 0; slot < windowTitleTable.count; ++slot)
        appendRow(list, tableTitle(windowTitleTable, slot));
}

const EditorKind programKind = {
    "IDD_APPL", programEditor, programEditorState, programEditorOpeningRect, kProgramListFile, loadProgramList,
    programListPresent, "実行中プログラム", "監視プログラム", {136, 119},
    "監視プログラムリストにプログラム名がありません", isReservedProcessName, fillRunningPrograms,
};
const EditorKind titleKind = {
    "IDD_TITLE", titleEditor, titleEditorState, titleEditorOpeningRect, kTitleListFile, loadTitleList,
    titleListPresent, "実行中タイトル", "監視タイトル", {169, 152},
    "監視タイトルリストにタイトル名がありません", isOwnWindowTitle, fillOpenTitles,
};

// ---- Files

enum class ListRead { ok, gone, failed, tooLarge };

// The whole file. Shared for reading and writing: a list that another program has open is read
// all the same, where a refused open would show an empty list that a save then writes over the
// real one. error is the platform's code of a failed open or read.
ListRead readWholeFile(const char* fileName, std::string& bytes, DWORD& error)
{
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return isListFileGone(error) ? ListRead::gone : ListRead::failed;
    }
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(file, &sizeHigh);
    const DWORD sizeError = size == INVALID_FILE_SIZE ? GetLastError() : NO_ERROR;
    ListRead result = ListRead::ok;
    DWORD read = 0;
    if (sizeError != NO_ERROR) {
        error = sizeError;
        result = ListRead::failed;
    } else if (sizeHigh != 0 || size > kListFileMaxSize) {
        result = ListRead::tooLarge;
    } else {
        bytes.assign(size, '\0');
        if (size != 0 && !ReadFile(file, &bytes[0], size, &read, nullptr)) {
            error = GetLastError();
            result = ListRead::failed;
        }
        bytes.resize(read);
    }
    CloseHandle(file);
    return result;
}

// The 9x family has the name of the replacing move but not the move: there the old list steps
// aside under a temporary name, and comes back when the new one cannot take its place.
DWORD replaceByRenaming(const char* temporary, const char* fileName)
{
    char previous[MAX_PATH];
    if (!GetTempFileNameA(".", "snv", 0, previous) || !DeleteFileA(previous))
        return GetLastError();
    const bool hadList = MoveFileA(fileName, previous) != FALSE;
    if (!hadList && GetLastError() != ERROR_FILE_NOT_FOUND)
        return GetLastError();
    if (!MoveFileA(temporary, fileName)) {
        const DWORD error = GetLastError();
        if (hadList)
            MoveFileA(previous, fileName);
        return error;
    }
    if (hadList)
        DeleteFileA(previous);
    return NO_ERROR;
}

// Writes the content beside the list file and puts it in the list file's place only when every
// byte is on disk, so that a failure at any point leaves the old file as it was. Returns the
// platform's error code, NO_ERROR on success.
DWORD replaceListFile(const char* fileName, const std::string& content)
{
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(".", "snv", 0, temporary))
        return GetLastError();
    DWORD error = NO_ERROR;
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
    } else {
        const DWORD size = static_cast<DWORD>(content.size());
        DWORD written = 0;
        if (!WriteFile(file, content.data(), size, &written, nullptr) || !FlushFileBuffers(file))
            error = GetLastError();
        else if (written != size)
            error = ERROR_HANDLE_DISK_FULL;
        if (!CloseHandle(file) && error == NO_ERROR)
            error = GetLastError();
    }
    if (error == NO_ERROR && !MoveFileExA(temporary, fileName, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        if (error == ERROR_CALL_NOT_IMPLEMENTED)
            error = replaceByRenaming(temporary, fileName);
    }
    if (error != NO_ERROR)
        DeleteFileA(temporary);
    return error;
}

// The system's text for the error, after our own lines when there are any; owned by the editor:
// a box without owner would open behind the topmost editor.
void showSystemError(HWND dialog, DWORD error, const std::string& ownLines = {})
{
    char text[256] = {};
    if (error != NO_ERROR)
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof(text), nullptr);
    const std::string shown = ownLines.empty() ? text : *text ? ownLines + "\n\n" + text : ownLines;
    MessageBoxA(dialog, shown.c_str(), kErrorCaption, MB_ICONWARNING);
}

// One of the texts above with the list file's name in place of %s.
std::string withFileName(const char* text, const char* fileName)
{
    std::string shown = text;
    shown.replace(shown.find("%s"), 2, fileName);
    return shown;
}

// ---- Opening

// A label wider than its button (with a substitute font whose kana run wider than its dialog
// units) is drawn a little smaller instead of cut off; the layout stays as designed. Returns the
// smaller font, which the caller deletes, or null when every label fits.
HFONT fitButtonLabels(HWND dialog)
{
    const int buttons[] = {IDC_EDITOR_ADD, IDC_EDITOR_SAVE, IDC_EDITOR_CLOSE, IDC_EDITOR_FETCH_AGAIN, IDC_EDITOR_REMOVE};
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    HDC dc = GetDC(dialog);
    HGDIOBJ previous = SelectObject(dc, font);
    std::vector<HWND> tooWide;
    int room = 0;
    int needed = 0;   // the largest overflow, as the room/needed ratio of its button
    for (int id : buttons) {
        HWND button = GetDlgItem(dialog, id);
        char text[64] = {};
        const int length = GetWindowTextA(button, text, sizeof(text));
        SIZE extent = {};
        GetTextExtentPoint32A(dc, text, length, &extent);
        RECT client;
        GetClientRect(button, &client);
        const int inside = client.right - 2 * GetSystemMetrics(SM_CXEDGE);
        if (extent.cx <= inside)
            continue;
        tooWide.push_back(button);
        if (!needed || extent.cx * room > needed * inside) {
            room = inside;
            needed = extent.cx;
        }
    }
    SelectObject(dc, previous);
    ReleaseDC(dialog, dc);
    if (tooWide.empty())
        return nullptr;
    LOGFONTA smaller = {};
    GetObjectA(font, sizeof(smaller), &smaller);
    smaller.lfHeight = MulDiv(smaller.lfHeight, room, needed);
    smaller.lfWidth = 0;
    HFONT fitted = CreateFontIndirectA(&smaller);
    for (HWND button : tooWide)
        SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(fitted), FALSE);
    return fitted;
}

// A file that is there but could not be read is shown as such once the editor is on screen, and
// never saved over: its real content was not shown.
void readWatchedNames(const EditorKind& kind, HWND dialog)
{
    std::string bytes;
    DWORD error = NO_ERROR;
    const ListRead result = readWholeFile(kind.fileName, bytes, error);
    if (result == ListRead::gone) {
        kind.present = 0;
        return;
    }
    if (result != ListRead::ok) {
        kind.state.unreadable = 1;
        PostMessageA(dialog, WM_EDITOR_LIST_UNREADABLE, error, static_cast<LPARAM>(result));
        return;
    }
    for (const std::string& name : namesInListFile(bytes, kind.droppedWhenRead))
        appendRow(kind.state.rightList, name);
}

void onListUnreadable(const EditorKind& kind, HWND dialog, DWORD error, ListRead result)
{
    if (result == ListRead::tooLarge)
        showSystemError(dialog, NO_ERROR, withFileName(kListTooLargeText, kind.fileName));
    else
        showSystemError(dialog, error, withFileName(kListUnreadableText, kind.fileName));
}

BOOL onInitDialog(const EditorKind& kind, HWND dialog)
{
    ListEditorState& state = kind.state;
    state = {};
    state.leftList = GetDlgItem(dialog, IDC_EDITOR_RUNNING_LIST);
    state.rightList = GetDlgItem(dialog, IDC_EDITOR_WATCHED_LIST);
    setUpList(state.leftList, kind.leftHeader, kind.widths.wide);
    setUpList(state.rightList, kind.rightHeader, kind.widths.wide);
    if (settingsDialog) {
        ShowWindow(settingsDialog, SW_MINIMIZE);
        ShowWindow(settingsDialog, SW_HIDE);
    }
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageA(dialog, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_PROGRAM))));
    addInfoItemsToSystemMenu(dialog);
    GetWindowRect(dialog, &kind.openingRect);
    state.labelFont = fitButtonLabels(dialog);
    readWatchedNames(kind, dialog);
    fitColumn(state, state.rightList, kind.widths);
    kind.fillLeft(state.leftList);
    fitColumn(state, state.leftList, kind.widths);
    // Dragging a divider shows only an outline; the width lock puts the column back anyway.
    HWND header = headerOf(state.leftList);
    SetWindowLongPtrA(header, GWL_STYLE, GetWindowLongPtrA(header, GWL_STYLE) & ~static_cast<LONG_PTR>(HDS_FULLDRAG));
    return TRUE;
}

// ---- Commands

void fetchAgain(const EditorKind& kind)
{
    SendMessageA(kind.state.leftList, LVM_DELETEALLITEMS, 0, 0);
    kind.fillLeft(kind.state.leftList);
    fitColumn(kind.state, kind.state.leftList, kind.widths);
}

bool isWatched(HWND rightList, const std::string& name)
{
    const std::vector<std::string> watched = rowTexts(rightList);
    return std::find(watched.begin(), watched.end(), name) != watched.end();
}

// Moves the selected left rows one by one, and stops at the first name already watched: it and
// the rows after it stay selected on the left.
void moveToWatched(const EditorKind& kind, HWND dialog)
{
    ListEditorState& state = kind.state;
    for (int row = firstSelectedRow(state.leftList); row >= 0; row = firstSelectedRow(state.leftList)) {
        const std::string name = rowText(state.leftList, row);
        if (isWatched(state.rightList, name)) {
            MessageBoxA(dialog, (name + kAlreadyListed).c_str(), kAppName, MB_OK);
            break;
        }
        SendMessageA(state.leftList, LVM_DELETEITEM, row, 0);
        appendRow(state.rightList, name);
        state.listModified = 1;
    }
    fitColumn(state, state.leftList, kind.widths);
    fitColumn(state, state.rightList, kind.widths);
}

void removeFromWatched(const EditorKind& kind)
{
    ListEditorState& state = kind.state;
    if (firstSelectedRow(state.rightList) < 0)
        return;
    for (int row = firstSelectedRow(state.rightList); row >= 0; row = firstSelectedRow(state.rightList))
        SendMessageA(state.rightList, LVM_DELETEITEM, row, 0);
    state.listModified = 1;
    fitColumn(state, state.rightList, kind.widths);
}

// An empty list is never written: the user may delete the file instead.
void offerDeletion(const EditorKind& kind, HWND dialog)
{
    MessageBoxA(dialog, kind.emptyListText, kAppName, MB_OK);
    const std::string question = std::string("\"") + kind.fileName + "\" を削除しても良いですか？";
    if (MessageBoxA(dialog, question.c_str(), kAppName, MB_YESNO) != IDYES)
        return;
    // A file that stays would still hold the old list: that is no success.
    if (!DeleteFileA(kind.fileName) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        showSystemError(dialog, GetLastError());
        return;
    }
    kind.state.listModified = 0;
}

void save(const EditorKind& kind, HWND dialog)
{
    ListEditorState& state = kind.state;
    if (!state.listModified)
        return;
    if (state.unreadable) {
        MessageBoxA(dialog, withFileName(kSaveRefusedText, kind.fileName).c_str(), kErrorCaption, MB_ICONWARNING);
        return;
    }
    const std::vector<std::string> names = rowTexts(state.rightList);
    if (names.empty()) {
        offerDeletion(kind, dialog);
        return;
    }
    // A failed save leaves the old file whole, and its watch with it.
    const DWORD error = replaceListFile(kind.fileName, listFileContent(names));
    if (error != NO_ERROR) {
        showSystemError(dialog, error);
        return;
    }
    // The reload rebuilds the text and its entry index together, so the scan's next tick walks
    // the new list; nothing of the old one is kept between ticks but its marks, which go with it.
    kind.load();
    state.listModified = 0;
}

void closeEditor(const EditorKind& kind, HWND dialog)
{
    if (kind.state.listModified &&
        MessageBoxA(dialog, kUnsavedQuestion, kAppName, MB_ICONWARNING | MB_YESNO) != IDYES)
        return;
    kind.state.listModified = 0;
    kind.load();
    kind.window = nullptr;
    DestroyWindow(dialog);
}

BOOL onCommand(const EditorKind& kind, HWND dialog, WORD id)
{
    switch (id) {
    case IDC_EDITOR_FETCH_AGAIN:
        fetchAgain(kind);
        return TRUE;
    case IDC_EDITOR_ADD:
        moveToWatched(kind, dialog);
        return TRUE;
    case IDC_EDITOR_REMOVE:
        removeFromWatched(kind);
        return TRUE;
    case IDC_EDITOR_SAVE:
        save(kind, dialog);
        return TRUE;
    case IDC_EDITOR_CLOSE:
    case IDC_ESCAPE:
        closeEditor(kind, dialog);
        return TRUE;
    }
    return FALSE;
}

// ---- Notifications: header clicks and width changes, in-place editing

// Rows carry their index as item value while the sort compares their texts.
struct RowSort {
    std::vector<std::string> texts;
    bool descending;
};

int CALLBACK compareRows(LPARAM first, LPARAM second, LPARAM sort)
{
    const auto& rows = *reinterpret_cast<const RowSort*>(sort);
    return compareRowTexts(rows.texts[first], rows.texts[second], rows.descending);
}

void sortList(HWND list, int descending)
{
    const RowSort rows = {rowTexts(list), descending != 0};
    for (int row = 0; row < static_cast<int>(rows.texts.size()); ++row) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        item.lParam = row;
        SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&rows), reinterpret_cast<LPARAM>(compareRows));
}

void onHeaderClick(const EditorKind& kind, HWND header)
{
    ListEditorState& state = kind.state;
    if (header == headerOf(state.leftList)) {
        leftSortDescending = !leftSortDescending;
        sortList(state.leftList, leftSortDescending);
    } else if (header == headerOf(state.rightList)) {
        rightSortDescending = !rightSortDescending;
        sortList(state.rightList, rightSortDescending);
        // The file follows the shown order.
        state.listModified = 1;
    }
}

// A divider the user dragged snaps back at once.
void onHeaderChanged(const EditorKind& kind, HWND header)
{
    ListEditorState& state = kind.state;
    if (state.columnUpdateByProgram)
        return;
    for (HWND list : {state.leftList, state.rightList}) {
        if (header == headerOf(list))
            fitColumn(state, list, kind.widths);
    }
}

// Some list views pass on only the end of a drag, before the header takes the new width: the
// width is put back once the drag is over.
void onRefitColumns(const EditorKind& kind)
{
    for (HWND list : {kind.state.leftList, kind.state.rightList})
        fitColumn(kind.state, list, kind.widths);
}

void onDoubleClick(const EditorKind& kind, HWND from)
{
    const int row = firstSelectedRow(kind.state.rightList);
    if (from == kind.state.rightList && row >= 0)
        SendMessageA(kind.state.rightList, LVM_EDITLABELA, row, 0);
}

// Every edit passes here, also one the list starts by itself on a slow second click, so the row
// and its old name are taken now rather than at the double click.
void onBeginEdit(const EditorKind& kind, int row)
{
    kind.state.editIndex = row;
    copyBounded(textBeforeEdit, sizeof(textBeforeEdit), rowText(kind.state.rightList, row));
    inPlaceEdit = reinterpret_cast<HWND>(SendMessageA(kind.state.rightList, LVM_GETEDITCONTROL, 0, 0));
    SendMessageA(inPlaceEdit, EM_LIMITTEXT, kEntryBufferSize - 1, 0);
}

// The edit control's text decides, not the notification's: the list view reports an emptied
// name like a cancelled edit.
void onEndEdit(const EditorKind& kind)
{
    ListEditorState& state = kind.state;
    char text[kEntryBufferSize] = {};
    if (inPlaceEdit)
        GetWindowTextA(inPlaceEdit, text, sizeof(text));
    inPlaceEdit = nullptr;
    const std::string_view name = boundedListEntry(std::string_view(text, strnlen(text, sizeof(text) - 1)));
    char edited[kEntryBufferSize];
    copyBounded(edited, sizeof(edited), name);
    if (name.empty()) {
        SendMessageA(state.rightList, LVM_DELETEITEM, state.editIndex, 0);
        fitColumn(state, state.rightList, kind.widths);
    } else {
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = edited;
        SendMessageA(state.rightList, LVM_SETITEMTEXTA, state.editIndex, reinterpret_cast<LPARAM>(&item));
    }
    if (name != textBeforeEdit)
        state.listModified = 1;
}

BOOL onNotify(const EditorKind& kind, HWND dialog, const NMHDR& notification)
{
    switch (notification.code) {
    case HDN_ITEMCLICKA:
    case HDN_ITEMCLICKW:
        onHeaderClick(kind, notification.hwndFrom);
        break;
    case HDN_ITEMCHANGEDA:
    case HDN_ITEMCHANGEDW:
        onHeaderChanged(kind, notification.hwndFrom);
        break;
    case HDN_ENDTRACKA:
    case HDN_ENDTRACKW:
        PostMessageA(dialog, WM_EDITOR_REFIT_COLUMNS, 0, 0);
        break;
    case NM_DBLCLK:
        onDoubleClick(kind, notification.hwndFrom);
        break;
    case LVN_BEGINLABELEDITA:
        onBeginEdit(kind, reinterpret_cast<const NMLVDISPINFOA&>(notification).item.iItem);
        break;
    case LVN_ENDLABELEDITA:
        onEndEdit(kind);
        break;
    }
    return FALSE;
}

// ---- System menu

// The about box belongs to the main window and would sit behind the topmost editor: while it is
// open, any system command of the editor brings it back in front instead.
BOOL onSysCommand(HWND dialog, WPARAM command)
{
    if (keepAboutBoxInFront(dialog, WM_SYSCOMMAND, command))
        return TRUE;
    if (command == IDC_SHOW_README) {
        showReadme(mainWindow);
        return TRUE;
    }
    return FALSE;
}

// ---- Closing

// The close box drops unsaved changes without a question and reloads nothing.
BOOL onClose(const EditorKind& kind, HWND dialog)
{
    kind.window = nullptr;
    DestroyWindow(dialog);
    return TRUE;
}

// Answered through the message result, which a destroyed window no longer has: the window closes
// just after the answer, so that it never vetoes a logoff.
BOOL onDestroy(const EditorKind& kind, HWND dialog)
{
    if (kind.window == dialog)
        kind.window = nullptr;
    kind.state.leftList = nullptr;
    kind.state.rightList = nullptr;
    if (kind.state.labelFont)
        DeleteObject(kind.state.labelFont);
    kind.state.labelFont = nullptr;
    if (inPlaceEdit && IsChild(dialog, inPlaceEdit))
        inPlaceEdit = nullptr;
    if (settingsDialog) {
        ShowWindow(settingsDialog, SW_SHOW);
        ShowWindow(settingsDialog, SW_RESTORE);
        SetForegroundWindow(settingsDialog);
    }
    return FALSE;
}

INT_PTR editorProc(const EditorKind& kind, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(kind, dialog);
    case WM_NOTIFY:
        return onNotify(kind, dialog, *reinterpret_cast<const NMHDR*>(lParam));
    case WM_EDITOR_REFIT_COLUMNS:
        onRefitColumns(kind);
        return TRUE;
    case WM_EDITOR_LIST_UNREADABLE:
        onListUnreadable(kind, dialog, static_cast<DWORD>(wParam), static_cast<ListRead>(lParam));
        return TRUE;
    case WM_COMMAND:
        return onCommand(kind, dialog, LOWORD(wParam));
    case WM_SYSCOMMAND:
        return onSysCommand(dialog, wParam);
    case WM_CLOSE:
        return onClose(kind, dialog);
    case WM_QUERYENDSESSION:
        return answerEndSessionThenClose(dialog);
    case WM_DESTROY:
        return onDestroy(kind, dialog);
    }
    return FALSE;
}

void openEditor(const EditorKind& kind, DLGPROC procedure)
{
    if (!kind.window)
        kind.window = CreateDialogParamA(appInstance, kind.templateName, mainWindow, procedure,
                                         reinterpret_cast<LPARAM>(mainWindow));
}

}  // namespace

INT_PTR CALLBACK programEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return editorProc(programKind, dialog, message, wParam, lParam);
}

INT_PTR CALLBACK titleEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return editorProc(titleKind, dialog, message, wParam, lParam);
}

void openProgramEditor()
{
    openEditor(programKind, programEditorProc);
}

void openTitleEditor()
{
    openEditor(titleKind, titleEditorProc);
}
