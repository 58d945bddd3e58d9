// The readme viewer: the help text in the interface's language, read-only in a rich-edit control,
// white on black, scrolled by whole lines.
#include "info/dialogs_win.h"

#include <algorithm>
#include <imm.h>
#include <richedit.h>

#include "app/bytes.h"
#include "app/process_win.h"
#include "app/timers_win.h"
#include "app/windows_win.h"
#include "info/readmelines.h"
#include "info/readmescroll.h"
#include "resources/resource.h"

HWND readmeEdit;
WNDPROC readmeEditPreviousProc;
HMODULE readmeRichEditLibrary;

namespace {

constexpr LONG kTextHeightTwips = 175;   // 8.75 points
constexpr COLORREF kTextColour = RGB(255, 255, 255);
constexpr BYTE kShiftJisCharset = 128;
constexpr BYTE kAnsiCharset = 0;
constexpr int kEditWidth = 502;
constexpr int kEditHeight = 373;
constexpr int kButtonGap = 8;   // pixels between the text and the OK button at the least
// More than any help text needs. A larger file, or one that is not text at all, is shown up
// to here: all of it would otherwise be laid out on the thread that runs the whole program.
constexpr DWORD kReadmeByteLimit = 512 * 1024;

int readmeViewHeight = kReadmeViewHeight;   // pixels of text in one screenful
int readmeLineUnit = 1;
int readmeLinesPerPage = 1;
int readmeLastLine;
int readmeTopLine;

struct ReadmeStream {
    HANDLE file;
    DWORD bytesLeft;
    ReadmeLineState lines;
    char carried;          // a lead byte whose trail byte had not been read yet
    bool hasCarried;
};

// Never reports an error: the text ends at the first read that delivers nothing. Half the
// buffer is read, so that the line breaks put in always fit.
DWORD CALLBACK readmeStreamCallback(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* bytesRead)
{
    ReadmeStream* stream = reinterpret_cast<ReadmeStream*>(cookie);
    char piece[4096];
    size_t have = 0;
    if (stream->hasCarried)
        piece[have++] = stream->carried;
    DWORD wanted = size < 8 ? 0 : static_cast<DWORD>(size / 2);
    if (wanted > sizeof(piece) - have)
        wanted = static_cast<DWORD>(sizeof(piece) - have);
    if (wanted > stream->bytesLeft)
        wanted = stream->bytesLeft;
    DWORD got = 0;
    if (wanted && !ReadFile(stream->file, piece + have, wanted, &got, nullptr))
        got = 0;
    stream->bytesLeft -= got;
    have += got;
    size_t used = 0;
    const size_t written = copyBreakingLongLines(stream->lines, std::string_view(piece, have), got < wanted || got == 0,
                                                 reinterpret_cast<char*>(buffer), size < 0 ? 0 : size, &used);
    stream->hasCarried = used < have;
    if (stream->hasCarried)
        stream->carried = piece[used];
    *bytesRead = static_cast<LONG>(written);
    return 0;
}

LRESULT send(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(readmeEdit, message, wParam, lParam);
}

// The caret (an empty selection) at the start of a line; the message loop keeps it hidden.
void putCaretAtLine(int line)
{
    const LRESULT start = send(EM_LINEINDEX, line, 0);
    send(EM_SETSEL, start, start);
}

void scrollToLine(int line)
{
    const LRESULT first = send(EM_GETFIRSTVISIBLELINE, 0, 0);
    send(EM_LINESCROLL, 0, line - first);
    readmeTopLine = line;
    putCaretAtLine(line);
}

int pixelYOfLine(int line)
{
    POINTL point = {};
    send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), send(EM_LINEINDEX, line, 0));
    return point.y;
}

// The scroll unit guessed from the control's first font, before any format is set.
void measureLineUnitFromFont()
{
    HDC dc = GetDC(readmeEdit);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    ReleaseDC(readmeEdit, dc);
    // The platform sets this bit for variable-pitch fonts, whatever its name says.
    const bool variablePitch = (metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) != 0;
    readmeLineUnit = readmeLineUnitFromWidth(metrics.tmAveCharWidth, variablePitch);
    readmeLinesPerPage = wholeLinesPerPage(readmeViewHeight, readmeLineUnit);
}

// The font guess rarely equals the height of a line of the text's own font, and every scroll
// would then drift off whole lines; once the text is in, the real distance between two lines
// is the unit.
void measureLineUnitFromText()
{
    if (readmeLastLine < 1)
        return;
    const int height = pixelYOfLine(1) - pixelYOfLine(0);
    if (height > 0) {
        readmeLineUnit = height;
        readmeLinesPerPage = wholeLinesPerPage(readmeViewHeight, readmeLineUnit);
    }
}

void setTextFormat()
{
    send(EM_SETBKGNDCOLOR, 0, RGB(0, 0, 0));
    CHARFORMATA format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_CHARSET | CFM_PROTECTED;
    format.dwEffects = CFE_PROTECTED;
    format.yHeight = kTextHeightTwips;
    format.crTextColor = kTextColour;
    format.bCharSet = currentLanguage() == Language::japanese ? kShiftJisCharset : kAnsiCharset;
    copyBounded(format.szFaceName, sizeof(format.szFaceName), text(TextId::readmeFace));
    send(EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    // Some rich-edit controls give the text streamed in afterwards their default format, not
    // the one the empty control had: black text on the black page.
    send(EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
}

void loadReadmeText()
{
    HANDLE file = CreateFileA(text(TextId::readmeFile), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;   // an empty black page, as for an empty file
    // The control's own limit would cut at 32 kB; a character never takes less than a byte, and
    // the stream adds a line break at most every kReadmeLineLimit bytes.
    send(EM_EXLIMITTEXT, 0, kReadmeByteLimit + 2 * (kReadmeByteLimit / kReadmeLineLimit + 1));
    ReadmeStream stream = {file, kReadmeByteLimit, {}, 0, false};
    EDITSTREAM editStream = {};
    editStream.dwCookie = reinterpret_cast<DWORD_PTR>(&stream);
    editStream.pfnCallback = readmeStreamCallback;
    send(EM_STREAMIN, SF_TEXT, reinterpret_cast<LPARAM>(&editStream));
    CloseHandle(file);
}

LRESULT CALLBACK readmeEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);

// The control is made for a dialog 502 pixels wide with its button below 373; where the
// dialog font makes the dialog smaller, the control shrinks with it rather than lose its
// scroll bar beyond the right edge or cover the button.
void createReadmeEdit(HWND dialog)
{
    RECT client = {}, button = {};
    GetClientRect(dialog, &client);
    GetWindowRect(GetDlgItem(dialog, IDOK), &button);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&button), 2);
    const int width = std::min(static_cast<int>(client.right), scaledPixels(kEditWidth));
    const int height = std::min(static_cast<int>(button.top) - scaledPixels(kButtonGap), scaledPixels(kEditHeight));
    readmeEdit = CreateWindowExA(WS_EX_CLIENTEDGE, "RICHEDIT", "",
                                 WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                     ES_READONLY,
                                 0, 0, width, height, dialog, nullptr, appInstance, nullptr);
    if (readmeEdit) {
        RECT text = {};
        GetClientRect(readmeEdit, &text);
        readmeViewHeight = std::min(static_cast<int>(text.bottom), scaledPixels(kReadmeViewHeight));
    }
}

void addAboutItem(HWND dialog)
{
    HMENU systemMenu = GetSystemMenu(dialog, FALSE);
    InsertMenuA(systemMenu, 0, MF_BYPOSITION | MF_STRING, IDC_SHOW_ABOUT, text(TextId::menuAbout));
    InsertMenuA(systemMenu, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    DrawMenuBar(dialog);
}

BOOL onInitDialog(HWND dialog)
{
    SendMessageA(dialog, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_PROGRAM))));
    if (!readmeRichEditLibrary) {
        // By full path: a library of that name in the working directory must never be loaded.
        char path[MAX_PATH];
        systemDirectoryPath("RICHED32.DLL", path, sizeof(path));
        readmeRichEditLibrary = path[0] ? LoadLibraryA(path) : nullptr;
    }
    createReadmeEdit(dialog);
    addAboutItem(dialog);
    if (!readmeEdit)
        return TRUE;   // no rich-edit control: only the OK button is shown
    measureLineUnitFromFont();
    setTextFormat();
    loadReadmeText();
    send(EM_SETOPTIONS, ECOOP_OR, ECO_READONLY | ECO_AUTOVSCROLL);
    send(EM_SETMODIFY, FALSE, 0);
    send(EM_SETREADONLY, TRUE, 0);
    send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    send(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    readmeLastLine = static_cast<int>(send(EM_GETLINECOUNT, 0, 0)) - 1;
    readmeTopLine = static_cast<int>(send(EM_LINEFROMCHAR, static_cast<WPARAM>(-1), 0));
    measureLineUnitFromText();
    ImmDisableIME(static_cast<DWORD>(-1));
    readmeEditPreviousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(readmeEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(readmeEditProc)));
    // The keys belong to the text, not to the OK button.
    return FALSE;
}

LRESULT onEditKeyDown(HWND edit, WPARAM wParam, LPARAM lParam)
{
    int target = 0;
    const int taken = readmeKeyTarget(static_cast<int>(wParam), readmeTopLine, readmeLinesPerPage, readmeLastLine,
                                      &target);
    if (taken < 0)
        return CallWindowProcA(readmeEditPreviousProc, edit, WM_KEYDOWN, wParam, lParam);
    if (taken > 0)
        scrollToLine(target);
    return 0;
}

// Scroll bar and wheel: the position snaps to a whole line before the control scrolls from it.
LRESULT onEditScroll(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(edit, SB_VERT, &info);
    const int top = readmeSnappedTop(info.nPos, readmeLineUnit, readmeLinesPerPage, readmeLastLine,
                                     message == WM_MOUSEWHEEL);
    readmeTopLine = top;
    info.fMask = SIF_POS;
    info.nPos = top * readmeLineUnit;
    SetScrollInfo(edit, SB_VERT, &info, TRUE);
    putCaretAtLine(top);
    const WORD request = LOWORD(wParam);
    if (message == WM_VSCROLL && (request == SB_THUMBTRACK || request == SB_THUMBPOSITION)) {
        // A dragged thumb lands on a whole line as well.
        const int position = HIWORD(wParam);
        wParam = MAKEWPARAM(request, position - position % readmeLineUnit);
    }
    return CallWindowProcA(readmeEditPreviousProc, edit, message, wParam, lParam);
}

LRESULT CALLBACK readmeEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        return onEditKeyDown(edit, wParam, lParam);
    case WM_VSCROLL:
    case WM_MOUSEWHEEL:
        return onEditScroll(edit, message, wParam, lParam);
    default:
        return CallWindowProcA(readmeEditPreviousProc, edit, message, wParam, lParam);
    }
}

// OK, Esc, the close box, an ending session and the suspend all end here. Every handle that
// points at the viewer or its control is cleared before that window goes.
void closeReadmeViewer(HWND dialog)
{
    destroyReadmeEdit();
    // The main window frees the library and destroys the viewer. A readme-only start closed
    // before the main window exists does both itself.
    if (mainWindow)
        SendMessageA(mainWindow, WM_COMMAND, IDC_README_CLOSED, 0);
    if (IsWindow(dialog)) {
        if (readmeViewer == dialog)
            readmeViewer = nullptr;
        DestroyWindow(dialog);
    }
    if (readmeRichEditLibrary && !mainWindow) {
        FreeLibrary(readmeRichEditLibrary);
        readmeRichEditLibrary = nullptr;
    }
}

// A dialog answers WM_QUERYENDSESSION through its message result, which a destroyed window no
// longer has: the viewer closes just after the answer, so that it never vetoes a logoff.
// However the viewer goes, also destroyed from outside: its control goes first, with its own
// procedure back, and nothing keeps a handle to either.
void onDestroy(HWND dialog)
{
    destroyReadmeEdit();
    if (readmeViewer == dialog)
        readmeViewer = nullptr;
}

BOOL onCommand(HWND dialog, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL:
    case IDC_ESCAPE:
        closeReadmeViewer(dialog);
        return TRUE;
    }
    return FALSE;
}

} // namespace

INT_PTR CALLBACK readmeViewerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (keepAboutBoxInFront(dialog, message, wParam))
        return TRUE;
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(dialog);
    case WM_COMMAND:
        return onCommand(dialog, wParam);
    case WM_CLOSE:
        closeReadmeViewer(dialog);
        return TRUE;
    case WM_QUERYENDSESSION:
        return answerEndSessionThenClose(dialog);
    case WM_DESTROY:
        onDestroy(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}

void openReadmeViewer(HWND owner)
{
    if (!readmeViewer)
        readmeViewer = CreateDialogParamA(appInstance, dialogTemplate(DialogId::readme), owner, readmeViewerProc,
                                          reinterpret_cast<LPARAM>(owner));
}

void showReadme(HWND owner)
{
    if (readmeViewer)
        return;
    openReadmeViewer(owner);
    startReadmeSettling(kReadmeSettlingTicks);
}

void destroyReadmeEdit()
{
    if (!readmeEdit)
        return;
    HWND edit = readmeEdit;
    readmeEdit = nullptr;
    if (readmeEditPreviousProc)
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(readmeEditPreviousProc));
    readmeEditPreviousProc = nullptr;
    DestroyWindow(edit);
}
