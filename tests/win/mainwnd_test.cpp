// The main window. Most of it is driven in this process: menus can only be read in-process under
// Wine, and the clicks, commands and tray set-up are easiest to observe here; the window uses the
// program's own procedure under a class name of its own, so that nothing mistakes it for a
// running Somnivar. The rest runs against a real Somnivar and the stand-in notification area.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/mainwnd_win.h"
#include "app/scan_win.h"
#include "app/startup_win.h"
#include "app/timers_win.h"
#include "harness/harness.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "settings/settings_store_win.h"
#include "status/tray_win.h"
#include "tests/win/power_observer.h"

namespace {

constexpr const char* kTestWindowClass = "SomnivarInProcess";

// The program's resources (icons, accelerator table), from Somnivar.exe beside the tests.
HMODULE loadProgramResources()
{
    return LoadLibraryExA(harness::binPath("Somnivar.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

// ---- Every Shell_NotifyIconA and Sleep call of the program's code in this process goes through
// this executable's import table. The tests put a recorder in the first, which can also refuse
// like a busy shell, and one in the second, so that the busy shell's waits take no time.
std::vector<DWORD> sleeps;
void WINAPI recordSleep(DWORD ms)
{
    sleeps.push_back(ms);
}

struct NotifyCall {
    DWORD code;
    NOTIFYICONDATAA record;
};
struct RecordingTray {
    std::vector<NotifyCall> calls;
    int addTimeouts = 0;          // NIM_ADD answers ERROR_TIMEOUT this many times
    DWORD addError = 0;           // when not 0, NIM_ADD fails with this error
    bool modifyFails = false;     // NIM_MODIFY fails: the shell never added the icon

    std::vector<DWORD> codes() const
    {
        std::vector<DWORD> result;
        for (const NotifyCall& call : calls)
            result.push_back(call.code);
        return result;
    }
};
RecordingTray* recordingTray;

BOOL WINAPI recordNotifyIcon(DWORD code, PNOTIFYICONDATAA record)
{
    recordingTray->calls.push_back({code, *record});
    if (code == NIM_ADD && recordingTray->addTimeouts > 0) {
        --recordingTray->addTimeouts;
        SetLastError(ERROR_TIMEOUT);
        return FALSE;
    }
    if (code == NIM_ADD && recordingTray->addError) {
        SetLastError(recordingTray->addError);
        return FALSE;
    }
    if (code == NIM_MODIFY && recordingTray->modifyFails) {
        SetLastError(ERROR_TIMEOUT);
        return FALSE;
    }
    return TRUE;
}

// ---- Stand-ins for the modeless dialogs. They are children of a hidden host at the screen's
// origin, so their rectangles are screen rectangles, without an X window behind each of them
// (Wine waits two seconds for every visible top-level window that is hidden or destroyed).
HWND standInHost;
HWND createStandIn(int x, int y)
{
    return CreateWindowExA(0, "STATIC", "stand-in", WS_CHILD | WS_VISIBLE, x, y, 200, 120, standInHost, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

POINT topLeft(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return {rect.left, rect.top};
}

// Where centerWindowOnScreen puts a window of this size.
POINT centred(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    return {((GetSystemMetrics(SM_CXSCREEN) - width) / 2 + 4) & ~7, (GetSystemMetrics(SM_CYSCREEN) - height) / 2};
}

bool samePoint(POINT a, POINT b)
{
    return a.x == b.x && a.y == b.y;
}

// ---- Reading a menu back
struct MenuRow {
    UINT id = 0;
    bool separator = false;
    HMENU submenu = nullptr;
    UINT state = 0;
    std::string text;
};

std::vector<MenuRow> readMenu(HMENU menu)
{
    std::vector<MenuRow> rows;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof(text);
        GetMenuItemInfoA(menu, i, TRUE, &info);
        MenuRow row;
        row.id = info.wID;
        row.separator = (info.fType & MFT_SEPARATOR) != 0;
        row.submenu = info.hSubMenu;
        row.state = info.fState;
        row.text = text;
        rows.push_back(row);
    }
    return rows;
}

// One expected row: id 0 with no text is a separator; id 0 with a text is the submenu.
struct Expected {
    UINT id;
    const char* text;
};

void expectRows(HMENU menu, const std::vector<Expected>& expected)
{
    const std::vector<MenuRow> rows = readMenu(menu);
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i + 1));
        if (!expected[i].text) {
            EXPECT_TRUE(rows[i].separator);
            continue;
        }
        EXPECT_FALSE(rows[i].separator);
        EXPECT_EQ(rows[i].text, expected[i].text);
        if (expected[i].id)
            EXPECT_EQ(rows[i].id, expected[i].id);
        else
            EXPECT_NE(rows[i].submenu, nullptr);
    }
}

// The texts as bytes, so that the code page conversion of the program's sources is checked too.
const char* const kSettingsText = "\x90\xdd\x81\x40\x92\xe8 (&S)";                        // 設　定
const char* const kExitText = "\x8f\x49\x81\x40\x97\xb9 (&X)";                            // 終　了
const char* const kAboutText = "\xca\xde\xb0\xbc\xde\xae\xdd\x8f\xee\x95\xf1 (&V)";         // ﾊﾞｰｼﾞｮﾝ情報
const char* const kOnText = "機能をONにする (&E)";
const char* const kOffText = "機能をOFFにする (&O)";
const char* const kStatusText = "現在の監視ステータスを表示(&Q)";
const char* const kForcedText = "強制サスペンド (&U)";
const char* const kReadmeText = "Readme.txt の表示 (&B)";

bool isChecked(HMENU menu, UINT id)
{
    return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

// Removes and returns the WM_COMMAND messages posted to window, leaving the rest queued.
std::vector<std::pair<WPARAM, LPARAM>> takePostedCommands(HWND window)
{
    std::vector<std::pair<WPARAM, LPARAM>> commands;
    MSG message;
    while (PeekMessageA(&message, window, WM_COMMAND, WM_COMMAND, PM_REMOVE))
        commands.emplace_back(message.wParam, message.lParam);
    return commands;
}

bool quitPosted()
{
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

// Records the WM_COMMAND messages that reach a window, to stand in for the active dialog.
std::vector<WORD> commandsReceived;
LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        commandsReceived.push_back(LOWORD(wParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

// Notes whether a popup menu is on screen and closes it; runs inside the menu's modal loop.
bool popupSeen;
void CALLBACK closePopupMenu(HWND, UINT, UINT_PTR, DWORD)
{
    HWND popup = FindWindowA("#32768", nullptr);
    if (popup && IsWindowVisible(popup)) {
        popupSeen = true;
        EndMenu();
    }
}

// The program's procedure behind a counter of the commands that reach it.
int commandsToMainWindow;
LRESULT CALLBACK countingMainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        ++commandsToMainWindow;
    return mainWindowProc(window, message, wParam, lParam);
}

class MainWindowInProcess : public harness::SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        savedSettings_ = settings;
        savedNt_ = isNtPlatform;
        savedReadme_ = readmeAvailable;
        savedInstance_ = appInstance;
        settings = kDefaultSettings;
        isNtPlatform = 1;
        readmeAvailable = 1;
        resourceStopActive = 0;
        resources_ = loadProgramResources();
        ASSERT_NE(resources_, nullptr);
        appInstance = reinterpret_cast<HINSTANCE>(resources_);

        recordingTray = &tray_;
        realNotifyIcon_ = powertest::hookImport("Shell_NotifyIconA", reinterpret_cast<void*>(recordNotifyIcon));
        ASSERT_NE(realNotifyIcon_, nullptr);
        sleeps.clear();
        standInHost = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                      GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, GetModuleHandleA(nullptr),
                                      nullptr);

        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = countingMainWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kTestWindowClass;
        RegisterClassA(&windowClass);

        WNDCLASSA recordingClass = {};
        recordingClass.lpfnWndProc = recordingProc;
        recordingClass.hInstance = GetModuleHandleA(nullptr);
        recordingClass.lpszClassName = "SomnivarRecording";
        RegisterClassA(&recordingClass);
        commandsReceived.clear();
    }

    void TearDown() override
    {
        for (HWND* dialog : {&settingsDialog, &aboutBox, &programEditor, &titleEditor, &cautionWindow, &readmeViewer}) {
            if (*dialog)
                DestroyWindow(*dialog);
            *dialog = nullptr;
        }
        armIdleTimer(0);
        if (mainWindow) {
            DestroyWindow(mainWindow);
            mainWindow = nullptr;
        }
        if (trayMenu)
            DestroyMenu(trayMenu);
        trayMenu = nullptr;
        forcedSuspendSubmenu = nullptr;
        trayIconRecord = {};
        DestroyWindow(standInHost);
        standInHost = nullptr;
        if (realNotifyIcon_)
            powertest::hookImport("Shell_NotifyIconA", realNotifyIcon_);
        if (realSleep_)
            powertest::hookImport("Sleep", realSleep_);
        recordingTray = nullptr;
        // The window's WM_DESTROY queued a quit; nothing of this test may reach the next.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        harness::deleteKeyTree(HKEY_CURRENT_USER, kMakerKey);
        appInstance = savedInstance_;
        if (resources_)
            FreeLibrary(resources_);
        settings = savedSettings_;
        isNtPlatform = savedNt_;
        readmeAvailable = savedReadme_;
        resourceStopActive = 0;
        SomnivarTest::TearDown();
    }

    HWND createMainWindow()
    {
        mainWindow = CreateWindowExA(WS_EX_TRANSPARENT, kTestWindowClass, kTestWindowClass, WS_POPUP, 0, 0, 0, 0,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        return mainWindow;
    }

    // The program's Sleep calls return at once and are recorded (the test's own calls too).
    void recordSleeps() { realSleep_ = powertest::hookImport("Sleep", reinterpret_cast<void*>(recordSleep)); }

    LRESULT trayClick(UINT mouseMessage)
    {
        return SendMessageA(mainWindow, WM_TRAY_CALLBACK, TRAY_ICON_ID, mouseMessage);
    }

    // Right-clicks the icon and reports whether the popup menu opened (and closes it).
    bool rightClickOpensMenu()
    {
        popupSeen = false;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, closePopupMenu);
        trayClick(WM_RBUTTONUP);
        KillTimer(nullptr, timer);
        return popupSeen;
    }

    RecordingTray tray_;

private:
    void* realNotifyIcon_ = nullptr;
    void* realSleep_ = nullptr;
    HINSTANCE savedInstance_ = nullptr;
    HMODULE resources_ = nullptr;
    Settings savedSettings_{};
    int savedNt_ = 0;
    int savedReadme_ = 0;
};

// ---- The popup menu

TEST_F(MainWindowInProcess, NtMenuHasAllFourteenRowsWithReadme)
{
    settings.Enable = 1;
    settings.StatusDisplay = 1;
    ASSERT_NE(createMainWindow(), nullptr);
    ASSERT_NE(trayMenu, nullptr);
    expectRows(trayMenu, {{256, kOnText}, {257, kOffText}, {0, nullptr}, {267, kStatusText}, {0, nullptr},
                          {0, kForcedText}, {0, nullptr}, {259, kSettingsText}, {0, nullptr}, {260, kAboutText},
                          {0, nullptr}, {261, kReadmeText}, {0, nullptr}, {262, kExitText}});
    ASSERT_NE(forcedSuspendSubmenu, nullptr);
    EXPECT_EQ(GetSubMenu(trayMenu, 5), forcedSuspendSubmenu);
    expectRows(forcedSuspendSubmenu, {{264, "スタンバイ (&N)"}, {263, "休止 (&M)"}});

    EXPECT_TRUE(isChecked(trayMenu, 256));
    EXPECT_FALSE(isChecked(trayMenu, 257));
    EXPECT_EQ(GetMenuDefaultItem(trayMenu, FALSE, 0), 256u);
    EXPECT_EQ(GetMenuState(trayMenu, 267, MF_BYCOMMAND) & MF_GRAYED, 0u);
}

TEST_F(MainWindowInProcess, NineXMenuHasPlainForcedSuspendAndNoStatusRow)
{
    isNtPlatform = 0;
    readmeAvailable = 0;
    settings.Enable = 0;
    settings.StatusDisplay = 0;
    ASSERT_NE(createMainWindow(), nullptr);
    expectRows(trayMenu, {{256, kOnText}, {257, kOffText}, {0, nullptr}, {258, kForcedText}, {0, nullptr},
                          {259, kSettingsText}, {0, nullptr}, {260, kAboutText}, {0, nullptr}, {262, kExitText}});
    EXPECT_EQ(forcedSuspendSubmenu, nullptr);
    EXPECT_FALSE(isChecked(trayMenu, 256));
    EXPECT_TRUE(isChecked(trayMenu, 257));
    EXPECT_EQ(GetMenuDefaultItem(trayMenu, FALSE, 0), 257u);
}

TEST_F(MainWindowInProcess, ReadmeRowsFollowAvailabilityAndStatusRowGreysWithStatusDisplay)
{
    isNtPlatform = 0;
    readmeAvailable = 1;
    ASSERT_NE(createMainWindow(), nullptr);
    const std::vector<MenuRow> nineX = readMenu(trayMenu);
    ASSERT_EQ(nineX.size(), 12u);
    EXPECT_TRUE(nineX[8].separator);
    EXPECT_EQ(nineX[9].id, 261u);
    DestroyWindow(mainWindow);
    DestroyMenu(trayMenu);

    isNtPlatform = 1;
    readmeAvailable = 0;
    settings.StatusDisplay = 0;
    ASSERT_NE(createMainWindow(), nullptr);
    const std::vector<MenuRow> nt = readMenu(trayMenu);
    ASSERT_EQ(nt.size(), 12u);
    EXPECT_EQ(nt[9].id, 260u);
    EXPECT_TRUE(nt[10].separator);
    EXPECT_EQ(nt[11].id, 262u);
    EXPECT_NE(GetMenuState(trayMenu, 267, MF_BYCOMMAND) & MF_GRAYED, 0u);
}

TEST_F(MainWindowInProcess, AnyEnableOtherThanOneMarksOff)
{
    settings.Enable = 5;
    ASSERT_NE(createMainWindow(), nullptr);
    EXPECT_TRUE(isChecked(trayMenu, 257));
    EXPECT_FALSE(isChecked(trayMenu, 256));
    EXPECT_EQ(GetMenuDefaultItem(trayMenu, FALSE, 0), 257u);
}

// ---- Tray set-up

TEST_F(MainWindowInProcess, CreationAddsTheIconOnce)
{
    ASSERT_NE(createMainWindow(), nullptr);
    EXPECT_EQ(tray_.codes(), std::vector<DWORD>({NIM_ADD}));
    EXPECT_EQ(trayIconRecord.hWnd, mainWindow);
    EXPECT_EQ(trayIconRecord.uID, 123u);
    EXPECT_EQ(trayIconRecord.uFlags, 7u);
    EXPECT_EQ(trayIconRecord.uCallbackMessage, 32868u);
}

TEST_F(MainWindowInProcess, TaskbarCreatedReplacesIconAndMenuWithCurrentState)
{
    ASSERT_NE(createMainWindow(), nullptr);
    HMENU oldMenu = trayMenu;
    HMENU oldSubmenu = forcedSuspendSubmenu;
    settings.Enable = 0;
    tray_.calls.clear();

    EXPECT_EQ(SendMessageA(mainWindow, RegisterWindowMessageA("TaskbarCreated"), 0, 0), 1);
    ASSERT_EQ(tray_.codes(), std::vector<DWORD>({NIM_DELETE, NIM_ADD}));
    const NOTIFYICONDATAA& added = tray_.calls[1].record;
    EXPECT_EQ(added.hWnd, mainWindow);
    EXPECT_EQ(added.uID, 123u);
    EXPECT_NE(added.hIcon, nullptr);
    char statusLine[128];
    buildStatusLine(statusLine, sizeof(statusLine));
    EXPECT_STREQ(added.szTip, statusLine);
    EXPECT_STREQ(added.szTip, "Somnivar - S:OFF O:CAN U:OFF");
    EXPECT_FALSE(IsMenu(oldMenu));
    EXPECT_FALSE(IsMenu(oldSubmenu));
    ASSERT_TRUE(IsMenu(trayMenu));
    EXPECT_TRUE(IsMenu(forcedSuspendSubmenu));
    EXPECT_TRUE(isChecked(trayMenu, 257));
    EXPECT_EQ(GetMenuDefaultItem(trayMenu, FALSE, 0), 257u);
    EXPECT_EQ(GetMenuItemCount(trayMenu), 14);
}

TEST_F(MainWindowInProcess, PopupMenuWakeUpIsNotMistakenForTaskbarCreated)
{
    // WM_NULL follows every popup menu; it must not rebuild the tray.
    ASSERT_NE(createMainWindow(), nullptr);
    tray_.calls.clear();
    SendMessageA(mainWindow, WM_NULL, 0, 0);
    EXPECT_TRUE(tray_.codes().empty());
}

TEST_F(MainWindowInProcess, RefusedIconIsNotRetriedNorReported)
{
    tray_.addError = ERROR_ACCESS_DENIED;
    ASSERT_NE(createMainWindow(), nullptr);
    EXPECT_EQ(tray_.codes(), std::vector<DWORD>({NIM_ADD}));
    EXPECT_NE(trayMenu, nullptr);
    EXPECT_FALSE(quitPosted());
}

TEST_F(MainWindowInProcess, BusyShellIsCheckedWithModifyAfterFiveSeconds)
{
    tray_.addTimeouts = 1;
    recordSleeps();
    ASSERT_NE(createMainWindow(), nullptr);
    EXPECT_EQ(sleeps, std::vector<DWORD>({5000}));
    EXPECT_EQ(tray_.codes(), std::vector<DWORD>({NIM_ADD, NIM_MODIFY}));
    EXPECT_TRUE(IsMenu(trayMenu));
    EXPECT_FALSE(quitPosted());
}

// Notes the texts of the message boxes of this thread and closes them.
std::vector<std::string> boxTexts;
BOOL CALLBACK closeBox(HWND window, LPARAM)
{
    char className[16] = {};
    GetClassNameA(window, className, sizeof(className));
    if (std::string(className) == "#32770" && IsWindowVisible(window)) {
        char text[256] = {};
        GetDlgItemTextA(window, 0xFFFF, text, sizeof(text));
        boxTexts.push_back(text);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}
void CALLBACK closeBoxes(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), closeBox, 0);
}

TEST_F(MainWindowInProcess, ShellBusyFiveTimesEndsTheProgram)
{
    tray_.addTimeouts = 5;
    tray_.modifyFails = true;
    recordSleeps();
    boxTexts.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, closeBoxes);
    ASSERT_NE(createMainWindow(), nullptr);
    KillTimer(nullptr, timer);

    std::vector<DWORD> expected;
    for (int i = 0; i < 5; ++i)
        expected.insert(expected.end(), {NIM_ADD, NIM_MODIFY, NIM_DELETE});
    EXPECT_EQ(tray_.codes(), expected);
    EXPECT_EQ(sleeps, std::vector<DWORD>(5, 5000));
    EXPECT_EQ(boxTexts, std::vector<std::string>({"タスクトレイにアイコンを登録できませんでした", "終了します。"}));
    EXPECT_TRUE(quitPosted());
}

// ---- Clicks on the icon

TEST_F(MainWindowInProcess, RightClickOpensTheMenuUnlessSettingsAboutOrProgramEditorIsOpen)
{
    ASSERT_NE(createMainWindow(), nullptr);
    EXPECT_TRUE(rightClickOpensMenu());

    // The title editor and the caution window never block the menu.
    titleEditor = createStandIn(10, 10);
    cautionWindow = createStandIn(20, 20);
    EXPECT_TRUE(rightClickOpensMenu());

    for (HWND* blocker : {&settingsDialog, &aboutBox, &programEditor}) {
        *blocker = createStandIn(30, 30);
        EXPECT_FALSE(rightClickOpensMenu());
        DestroyWindow(*blocker);
        *blocker = nullptr;
    }
}

TEST_F(MainWindowInProcess, RightClickWithSettingsOpenBringsDraggedDialogsBack)
{
    ASSERT_NE(createMainWindow(), nullptr);
    settingsDialog = createStandIn(100, 100);
    cautionWindow = createStandIn(110, 110);
    aboutBox = createStandIn(120, 120);
    GetWindowRect(settingsDialog, &settingsDialogRect);
    GetWindowRect(cautionWindow, &cautionWindowRect);
    GetWindowRect(aboutBox, &aboutBoxRect);
    // The user drags the settings dialog and the about box away; the caution window stays.
    MoveWindow(settingsDialog, 300, 40, 200, 120, TRUE);
    MoveWindow(aboutBox, 40, 300, 200, 120, TRUE);

    EXPECT_FALSE(rightClickOpensMenu());
    EXPECT_TRUE(samePoint(topLeft(settingsDialog), centred(settingsDialog)));
    EXPECT_TRUE(samePoint(topLeft(aboutBox), centred(aboutBox)));
    EXPECT_TRUE(samePoint(topLeft(cautionWindow), POINT{110, 110}));
}

TEST_F(MainWindowInProcess, OnlyTheFirstOpenOfEditorsAndSettingsIsBroughtBack)
{
    ASSERT_NE(createMainWindow(), nullptr);
    programEditor = createStandIn(100, 100);
    titleEditor = createStandIn(110, 110);
    settingsDialog = createStandIn(120, 120);
    GetWindowRect(programEditor, &programEditorOpeningRect);
    GetWindowRect(titleEditor, &titleEditorOpeningRect);
    GetWindowRect(settingsDialog, &settingsDialogRect);
    for (HWND window : {programEditor, titleEditor, settingsDialog})
        MoveWindow(window, 10, 10, 200, 120, TRUE);

    trayClick(WM_LBUTTONUP);
    EXPECT_TRUE(samePoint(topLeft(programEditor), centred(programEditor)));
    EXPECT_TRUE(samePoint(topLeft(titleEditor), POINT{10, 10}));
    EXPECT_TRUE(samePoint(topLeft(settingsDialog), POINT{10, 10}));

    DestroyWindow(programEditor);
    programEditor = nullptr;
    trayClick(WM_LBUTTONUP);
    EXPECT_TRUE(samePoint(topLeft(titleEditor), centred(titleEditor)));
    EXPECT_TRUE(samePoint(topLeft(settingsDialog), POINT{10, 10}));
}

TEST_F(MainWindowInProcess, LeftClickWithOnlyTitleEditorOpenBringsItBack)
{
    ASSERT_NE(createMainWindow(), nullptr);
    titleEditor = createStandIn(100, 100);
    GetWindowRect(titleEditor, &titleEditorOpeningRect);
    MoveWindow(titleEditor, 10, 10, 200, 120, TRUE);
    EXPECT_EQ(trayClick(WM_LBUTTONDOWN), 0);
    EXPECT_TRUE(samePoint(topLeft(titleEditor), POINT{10, 10}));
    EXPECT_EQ(trayClick(WM_LBUTTONUP), 0);
    EXPECT_TRUE(samePoint(topLeft(titleEditor), centred(titleEditor)));
}

TEST_F(MainWindowInProcess, DoubleClickTogglesUnlessLowResourceStopOrADialogIsOpen)
{
    settings.Enable = 1;
    ASSERT_NE(createMainWindow(), nullptr);
    trayClick(WM_LBUTTONDBLCLK);
    EXPECT_EQ(settings.Enable, 0);
    EXPECT_EQ(settings.OffCheck, 1);
    trayClick(WM_LBUTTONDBLCLK);
    EXPECT_EQ(settings.Enable, 1);
    EXPECT_EQ(settings.OffCheck, 0);

    resourceStopActive = 1;
    trayClick(WM_LBUTTONDBLCLK);
    EXPECT_EQ(settings.Enable, 1);
    resourceStopActive = 0;

    titleEditor = createStandIn(10, 10);
    trayClick(WM_LBUTTONDBLCLK);
    EXPECT_EQ(settings.Enable, 1);
    EXPECT_EQ(settings.OffCheck, 0);
}

// ---- Commands and messages

TEST_F(MainWindowInProcess, SwitchCommandsAreIgnoredDuringLowResourceStop)
{
    ASSERT_NE(createMainWindow(), nullptr);
    resourceStopActive = 1;
    settings.Enable = 0;
    tray_.calls.clear();
    SendMessageA(mainWindow, WM_COMMAND, IDM_FUNCTION_ON, 0);
    settings.Enable = 1;
    SendMessageA(mainWindow, WM_COMMAND, IDM_FUNCTION_OFF, 0);
    EXPECT_EQ(settings.OffCheck, 0);
    EXPECT_EQ(settings.Enable, 1);
    EXPECT_TRUE(tray_.calls.empty());
}

TEST_F(MainWindowInProcess, SuspendMenuItemsAndHotKeyPostCommandSeven)
{
    ASSERT_NE(createMainWindow(), nullptr);
    takePostedCommands(mainWindow);
    for (WPARAM item : {IDM_FORCED_SUSPEND, IDM_HIBERNATE, IDM_STANDBY})
        EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, item, 0), 1);
    using Posted = std::vector<std::pair<WPARAM, LPARAM>>;
    EXPECT_EQ(takePostedCommands(mainWindow), Posted({{7, 0}, {7, 263}, {7, 264}}));

    settings.HotKeyUse = 0;
    EXPECT_EQ(SendMessageA(mainWindow, WM_HOTKEY, 1, 0), 1);
    EXPECT_TRUE(takePostedCommands(mainWindow).empty());
    settings.HotKeyUse = 1;
    SendMessageA(mainWindow, WM_HOTKEY, 5, 0);   // the hot key id is not examined
    EXPECT_EQ(takePostedCommands(mainWindow), Posted({{7, 0}}));
}

TEST_F(MainWindowInProcess, ShortcutsReachTheActiveWindowExactlyForTheListedIds)
{
    ASSERT_NE(createMainWindow(), nullptr);
    HWND dialog = CreateWindowExA(0, "SomnivarRecording", "active", WS_POPUP | WS_VISIBLE | WS_CAPTION, 50, 50, 200,
                                  100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(dialog);
    SetActiveWindow(dialog);
    ASSERT_EQ(GetActiveWindow(), dialog);

    // Every id a command of its own does not take; those are tested by their own tests.
    for (UINT id = 1; id <= 1200; ++id) {
        if (id == 7 || (id >= 256 && id <= 267) || id == IDC_README_CLOSED)
            continue;
        EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, id, 0), 1) << id;
    }
    std::vector<WORD> expected = {1,    2,    1029, 1030, 1049, 1053, 1054, 1056, 1068, 1069, 1070,
                                  1100, 1101, 1103, 1104, 1105, 1109, 1110, 1111, 1112, 1113, 1114,
                                  1115, 1116, 1117, 1119, 1120, 1123, 1125, 1126, 1134};
    EXPECT_EQ(commandsReceived, expected);

    // The same through the program's accelerator table, from the keyboard.
    HACCEL table = LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(IDA_DIALOG_SHORTCUTS));
    ASSERT_NE(table, nullptr);
    SetFocus(dialog);
    commandsReceived.clear();
    // Presses Alt+key and routes the keyboard messages as the program's loop does.
    auto pressAlt = [&](WORD key) {
        INPUT keys[4] = {};
        const WORD sequence[2] = {VK_MENU, key};
        for (int i = 0; i < 2; ++i) {
            keys[i].type = INPUT_KEYBOARD;
            keys[i].ki.wVk = sequence[i];
            keys[3 - i].type = INPUT_KEYBOARD;
            keys[3 - i].ki.wVk = sequence[i];
            keys[3 - i].ki.dwFlags = KEYEVENTF_KEYUP;
        }
        SendInput(4, keys, sizeof(INPUT));
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 500) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (!TranslateAcceleratorA(mainWindow, table, &message)) {
                    TranslateMessage(&message);
                    DispatchMessageA(&message);
                }
            }
            Sleep(10);
        }
    };
    pressAlt('A');
    pressAlt('K');
    pressAlt('B');
    EXPECT_EQ(commandsReceived, std::vector<WORD>({1116, 1134}));
    DestroyAcceleratorTable(table);
    DestroyWindow(dialog);
}

TEST_F(MainWindowInProcess, ShortcutWhileTheMainWindowIsActiveIsDropped)
{
    // After the popup menu the hidden main window can be the active one; Enter must not make it
    // send the command to itself for ever.
    ASSERT_NE(createMainWindow(), nullptr);
    SetActiveWindow(mainWindow);
    if (GetActiveWindow() != mainWindow)
        GTEST_SKIP() << "this platform does not activate a hidden window";
    commandsToMainWindow = 0;
    EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, IDOK, 0), 1);
    EXPECT_EQ(commandsToMainWindow, 1);
}

TEST_F(MainWindowInProcess, ShowWatchStatusMakesTheNextScanReportAgainOnlyWithStatusDisplay)
{
    ASSERT_NE(createMainWindow(), nullptr);
    settings.ApplicationCheck = 1;
    settings.StatusDisplay = 1;
    // Whatever an earlier scan of this process remembered, the second scan finds it unchanged.
    runWatchScan();
    runWatchScan();
    auto balloonsShown = [&] {
        int count = 0;
        for (const NotifyCall& call : tray_.calls)
            count += call.code == NIM_MODIFY && (call.record.uFlags & NIF_INFO) != 0;
        tray_.calls.clear();
        return count;
    };
    balloonsShown();

    settings.StatusDisplay = 0;
    EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, IDM_SHOW_WATCH_STATUS, 0), 1);
    settings.StatusDisplay = 1;
    runWatchScan();
    EXPECT_EQ(balloonsShown(), 0);

    EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, IDM_SHOW_WATCH_STATUS, 0), 1);
    runWatchScan();
    EXPECT_EQ(balloonsShown(), 1);
    runWatchScan();
    EXPECT_EQ(balloonsShown(), 0);
}

// Notes whether the rich-edit library was still loaded when its control went away.
WNDPROC richEditProc;
bool libraryLoadedAtControlEnd;
LRESULT CALLBACK watchRichEditEnd(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCDESTROY)
        libraryLoadedAtControlEnd = GetModuleHandleA("RICHED32.DLL") != nullptr;
    return CallWindowProcA(richEditProc, window, message, wParam, lParam);
}

TEST_F(MainWindowInProcess, ReadmeClosedDestroysViewerAndFreesLibrary)
{
    ASSERT_NE(createMainWindow(), nullptr);
    char path[MAX_PATH];
    systemDirectoryPath("RICHED32.DLL", path, sizeof(path));
    readmeRichEditLibrary = LoadLibraryA(path);
    ASSERT_NE(readmeRichEditLibrary, nullptr);
    readmeViewer = createStandIn(10, 10);
    // The control of the library inside the viewer, as the real viewer has it.
    HWND edit = CreateWindowExA(0, "RICHEDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 50, readmeViewer, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    richEditProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watchRichEditEnd)));
    libraryLoadedAtControlEnd = false;
    HWND viewer = readmeViewer;

    EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, IDC_README_CLOSED, 0), 1);
    EXPECT_EQ(readmeViewer, nullptr);
    EXPECT_EQ(readmeRichEditLibrary, nullptr);
    EXPECT_FALSE(IsWindow(viewer));
    EXPECT_TRUE(libraryLoadedAtControlEnd);
    EXPECT_EQ(GetModuleHandleA("RICHED32.DLL"), nullptr);

    // A second notice finds nothing to do.
    EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, IDC_README_CLOSED, 0), 1);
}

TEST_F(MainWindowInProcess, EndingMessagesQueueQuitAndRestoreIsRefused)
{
    ASSERT_NE(createMainWindow(), nullptr);
    EXPECT_EQ(SendMessageA(mainWindow, WM_QUERYOPEN, 0, 0), 0);
    EXPECT_FALSE(quitPosted());
    for (UINT message : {WM_CLOSE, WM_QUERYENDSESSION}) {
        EXPECT_EQ(SendMessageA(mainWindow, message, 0, 0), 1);
        EXPECT_TRUE(quitPosted()) << message;
        EXPECT_TRUE(IsWindow(mainWindow));
    }
    EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, IDM_EXIT, 0), 1);
    EXPECT_TRUE(quitPosted());
    // Unknown commands do nothing and answer 1.
    EXPECT_EQ(SendMessageA(mainWindow, WM_COMMAND, 265, 0), 1);
    EXPECT_FALSE(quitPosted());
}

// ---- A running Somnivar, watched through the stand-in notification area.

class MainWindowSystem : public harness::SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        ASSERT_TRUE(tray_.start());
    }

    // Starts Somnivar on a complete settings key (no first-run dialog) and waits for its icon.
    void startWithIcon(const std::vector<std::pair<const char*, DWORD>>& overrides = {})
    {
        ASSERT_TRUE(harness::storeSettings(overrides));
        ASSERT_TRUE(harness::startSomnivar("", &instance_));
        ASSERT_TRUE(tray_.waitFor([&](const harness::TrayEvent& e) { return isOurs(e, NIM_ADD); }, 10000));
        // Answered only from the message loop, so start-up (hot key included) is complete.
        ASSERT_EQ(send(WM_NULL, 0, 0), 0);
    }

    bool isOurs(const harness::TrayEvent& event, DWORD message) const
    {
        return event.message == message && event.processId == instance_.process.id && event.id == 123;
    }

    // Sends a message to the instance and returns its answer (-1 when it did not answer).
    LONG_PTR send(UINT message, WPARAM wParam, LPARAM lParam)
    {
        DWORD_PTR result = 0;
        if (!harness::sendMessage(instance_.mainWindow, message, wParam, lParam, &result))
            return -1;
        return static_cast<LONG_PTR>(result);
    }

    // Waits for the icon to show resource 2 (on) or 3 (off).
    bool waitForIcon(int resource)
    {
        return tray_.waitFor(
            [&](const harness::TrayEvent& e) { return isOurs(e, NIM_MODIFY) && e.iconResource == resource; }, 5000);
    }

    DWORD stored(const char* name)
    {
        DWORD value = 0xDEAD;
        harness::readDword(HKEY_CURRENT_USER, kSettingsKey, name, &value);
        return value;
    }

    harness::FakeTray tray_;
    harness::Instance instance_;
};

TEST_F(MainWindowSystem, SwitchCommandsStoreTheStateAndSwitchTheIcon)
{
    startWithIcon();
    tray_.clear();
    EXPECT_EQ(send(WM_COMMAND, IDM_FUNCTION_OFF, 0), 1);
    EXPECT_TRUE(waitForIcon(3));
    EXPECT_EQ(stored("Enable"), 0u);
    EXPECT_EQ(stored("OffCheck"), 1u);

    tray_.clear();
    EXPECT_EQ(send(WM_COMMAND, IDM_FUNCTION_ON, 0), 1);
    EXPECT_TRUE(waitForIcon(2));
    EXPECT_EQ(stored("Enable"), 1u);
    EXPECT_EQ(stored("OffCheck"), 0u);
}

TEST_F(MainWindowSystem, DoubleClickOnTheIconToggles)
{
    startWithIcon();
    tray_.clear();
    ASSERT_TRUE(harness::postMessage(instance_.mainWindow, WM_TRAY_CALLBACK, 123, WM_LBUTTONDBLCLK));
    EXPECT_TRUE(waitForIcon(3));
    EXPECT_EQ(stored("Enable"), 0u);
    EXPECT_EQ(stored("OffCheck"), 1u);
    ASSERT_TRUE(harness::postMessage(instance_.mainWindow, WM_TRAY_CALLBACK, 123, WM_LBUTTONDBLCLK));
    EXPECT_TRUE(waitForIcon(2));
    EXPECT_EQ(stored("Enable"), 1u);
    EXPECT_EQ(stored("OffCheck"), 0u);
}

TEST_F(MainWindowSystem, TaskbarCreatedBringsAFreshIconWithTheCurrentState)
{
    startWithIcon();
    EXPECT_EQ(send(WM_COMMAND, IDM_FUNCTION_OFF, 0), 1);
    ASSERT_TRUE(waitForIcon(3));
    tray_.clear();

    EXPECT_EQ(send(RegisterWindowMessageA("TaskbarCreated"), 0, 0), 1);
    std::vector<harness::TrayEvent> events;
    ASSERT_TRUE(tray_.waitFor([&](const harness::TrayEvent& e) { return isOurs(e, NIM_ADD); }, 5000));
    for (const harness::TrayEvent& event : tray_.events()) {
        if (event.message != NIM_MODIFY)   // the once-a-second tip refresh may come in between
            events.push_back(event);
    }
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(isOurs(events[0], NIM_DELETE));
    const harness::TrayEvent& added = events[1];
    EXPECT_EQ(added.window, instance_.mainWindow);
    EXPECT_EQ(added.callbackMessage, 32868u);
    EXPECT_EQ(added.flags, 7u);
    EXPECT_EQ(added.iconResource, 3);
    EXPECT_EQ(added.tip, "Somnivar - S:OFF O:CAN U:OFF");
}

TEST_F(MainWindowSystem, QueryEndSessionEndsTheProgramThroughItsShutdown)
{
    startWithIcon();
    tray_.clear();
    EXPECT_EQ(send(WM_QUERYENDSESSION, 0, 0), 1);
    DWORD exitCode = 99;
    ASSERT_TRUE(harness::waitProcessExit(instance_.process, 10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(tray_.waitFor([&](const harness::TrayEvent& e) { return isOurs(e, NIM_DELETE); }, 0));
}

// The suspend is seen through its monitor broadcasts (before and after the power call), which
// reach every top-level window, the recorder's included.
TEST_F(MainWindowSystem, HotKeySuspendsOnlyWhenInUse)
{
    powertest::PowerStandIn power;
    ASSERT_TRUE(power.ok());
    powertest::MonitorRecorder monitor(power);
    ASSERT_TRUE(monitor.start());
    const DWORD hotKeyCode = (HOTKEYF_CONTROL | HOTKEYF_ALT) << 8 | VK_F10;
    auto press = [] {
        INPUT keys[6] = {};
        const WORD sequence[3] = {VK_CONTROL, VK_MENU, VK_F10};
        for (int i = 0; i < 3; ++i) {
            keys[i].type = INPUT_KEYBOARD;
            keys[i].ki.wVk = sequence[i];
            keys[5 - i].type = INPUT_KEYBOARD;
            keys[5 - i].ki.wVk = sequence[i];
            keys[5 - i].ki.dwFlags = KEYEVENTF_KEYUP;
        }
        SendInput(6, keys, sizeof(INPUT));
    };

    for (DWORD use : {0u, 1u}) {
        SCOPED_TRACE(use ? "HotKeyUse 1" : "HotKeyUse 0");
        startWithIcon({{"HotKeyUse", use}, {"HotKeyCode", hotKeyCode}});
        monitor.clear();
        press();
        if (use)
            EXPECT_TRUE(harness::waitUntil([&] { return monitor.events().size() == 2; }, 5000));
        else
            EXPECT_FALSE(harness::waitUntil([&] { return !monitor.events().empty(); }, 1500));
        EXPECT_TRUE(harness::stopSomnivar(instance_));
    }
}

// Process start to the first NIM_ADD under Wine, for the record; only an absurd time fails.
TEST_F(MainWindowSystem, IconAppearsQuickly)
{
    ASSERT_TRUE(harness::storeSettings());
    std::vector<DWORD> times;
    for (int run = 0; run < 10; ++run) {
        tray_.clear();
        harness::Process process;
        const DWORD started = GetTickCount();
        ASSERT_TRUE(harness::startProcess(harness::binPath("Somnivar.exe"), harness::StartOptions(), &process));
        ASSERT_TRUE(tray_.waitFor([&](const harness::TrayEvent& e) { return e.message == NIM_ADD; }, 10000));
        times.push_back(GetTickCount() - started);
        instance_.process = process;
        ASSERT_TRUE(harness::waitUntil([&] { return (instance_.mainWindow = harness::findSomnivarWindow()) != nullptr; },
                                       5000));
        harness::stopSomnivar(instance_);
    }
    std::sort(times.begin(), times.end());
    const DWORD median = (times[4] + times[5]) / 2;
    RecordProperty("firstIconMedianMs", static_cast<int>(median));
    std::printf("[ tray     ] first NIM_ADD after %lu ms (median of 10, %lu..%lu)\n",
                static_cast<unsigned long>(median), static_cast<unsigned long>(times.front()),
                static_cast<unsigned long>(times.back()));
    EXPECT_LT(median, 5000u);
}

} // namespace
