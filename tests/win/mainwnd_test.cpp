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
#include <tuple>
#include <vector>

#include "app/mainwnd_win.h"
#include "app/scan_win.h"
#include "app/startup_win.h"
#include "app/timers_win.h"
#include "harness/harness.h"
#include "info/dialogs_win.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "settings/settings_store_win.h"
#include "status/tray_win.h"
#include "tests/win/power_observer.h"
#include "watchlists/editors_win.h"

namespace {

constexpr const char* kTestWindowClass = "SomnivarInProcess";

// ---- Every Shell_NotifyIconA and Sleep call of the program's code in this process goes through
// this executable's import table. The tests put a recorder in the first, which can also refuse
// like a busy shell, and one in the second, so that the busy shell's waits take no time.
std::vector<DWORD> sleeps;
void WINAPI recordSleep(DWORD ms)
{
    sleeps.push_back(ms);
}

struct RecordingTray {
    std::vector<DWORD> codes;
    std::vector<NOTIFYICONDATAA> records;
    int addTimeouts = 0;          // NIM_ADD answers ERROR_TIMEOUT this many times
    DWORD addError = 0;           // when not 0, NIM_ADD fails with this error
    bool modifyFails = false;     // NIM_MODIFY fails: the shell never added the icon

    void clear() { codes.clear(), records.clear(); }
} tray;

BOOL WINAPI recordNotifyIcon(DWORD code, PNOTIFYICONDATAA record)
{
    tray.codes.push_back(code);
    tray.records.push_back(*record);
    DWORD error = 0;
    if (code == NIM_ADD && tray.addTimeouts > 0) {
        --tray.addTimeouts;
        error = ERROR_TIMEOUT;
    } else if (code == NIM_ADD) {
        error = tray.addError;
    } else if (code == NIM_MODIFY && tray.modifyFails) {
        error = ERROR_TIMEOUT;
    }
    SetLastError(error);
    return error == 0;
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

bool isAt(HWND window, int x, int y)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return rect.left == x && rect.top == y;
}

// Where centerWindowOnScreen puts a window of this size.
bool isCentred(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return isAt(window, ((GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2 + 4) & ~7,
                (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2);
}

// ---- Reading a menu back. One expected row: id 0 with no text is a separator; id 0 with a
// text is the submenu.
struct Row {
    UINT id;
    const char* text;
};

void expectRows(HMENU menu, const std::vector<Row>& expected)
{
    ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i + 1));
        char text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof(text);
        GetMenuItemInfoA(menu, i, TRUE, &info);
        EXPECT_EQ((info.fType & MFT_SEPARATOR) != 0, expected[i].text == nullptr);
        if (!expected[i].text)
            continue;
        EXPECT_EQ(std::string(text), expected[i].text);
        if (expected[i].id)
            EXPECT_EQ(info.wID, expected[i].id);
        else
            EXPECT_NE(info.hSubMenu, nullptr);
    }
}

bool isChecked(UINT id)
{
    return (GetMenuState(trayMenu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
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

// Presses the keys in order and releases them in reverse.
void pressChord(const std::vector<WORD>& keys)
{
    std::vector<INPUT> input(keys.size() * 2);
    for (size_t i = 0; i < keys.size(); ++i) {
        INPUT& down = input[i];
        INPUT& up = input[input.size() - 1 - i];
        down.type = up.type = INPUT_KEYBOARD;
        down.ki.wVk = up.ki.wVk = keys[i];
        up.ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
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

// Notes the texts of the message boxes of this process and closes them.
std::vector<std::string> boxTexts;
void CALLBACK closeBoxes(HWND, UINT, UINT_PTR, DWORD)
{
    for (const harness::Box& box : harness::openDialogs(GetCurrentProcessId())) {
        boxTexts.push_back(box.text);
        harness::pressButton(box, IDOK);
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

// The process state these tests change.
auto processState()
{
    return std::tie(settings, isNtPlatform, readmeAvailable, appInstance, resourceStopActive);
}

class MainWindowInProcess : public harness::SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        saved_ = processState();
        settings = kDefaultSettings;
        isNtPlatform = 1;
        readmeAvailable = 1;
        resourceStopActive = 0;
        // The program's resources (icons, accelerator table), from Somnivar.exe beside the tests.
        resources_ = LoadLibraryExA(harness::binPath("Somnivar.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(resources_, nullptr);
        appInstance = reinterpret_cast<HINSTANCE>(resources_);

        tray = RecordingTray();
        realNotifyIcon_ = powertest::hookImport("Shell_NotifyIconA", reinterpret_cast<void*>(recordNotifyIcon));
        ASSERT_NE(realNotifyIcon_, nullptr);
        sleeps.clear();
        standInHost = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                      GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, GetModuleHandleA(nullptr),
                                      nullptr);
        for (auto [name, procedure] : {std::pair{kTestWindowClass, countingMainWindowProc},
                                       std::pair{"SomnivarRecording", recordingProc}}) {
            WNDCLASSA windowClass = {};
            windowClass.lpfnWndProc = procedure;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = name;
            RegisterClassA(&windowClass);
        }
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
        destroyMainWindow();
        trayIconRecord = {};
        DestroyWindow(standInHost);
        standInHost = nullptr;
        if (realNotifyIcon_)
            powertest::hookImport("Shell_NotifyIconA", realNotifyIcon_);
        if (realSleep_)
            powertest::hookImport("Sleep", realSleep_);
        // The window's WM_DESTROY queued a quit; nothing of this test may reach the next.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        harness::deleteKeyTree(HKEY_CURRENT_USER, kMakerKey);
        processState() = saved_;
        if (resources_)
            FreeLibrary(resources_);
        SomnivarTest::TearDown();
    }

    HWND createMainWindow()
    {
        mainWindow = CreateWindowExA(WS_EX_TRANSPARENT, kTestWindowClass, kTestWindowClass, WS_POPUP, 0, 0, 0, 0,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        return mainWindow;
    }
    void destroyMainWindow()
    {
        if (mainWindow)
            DestroyWindow(mainWindow);
        mainWindow = nullptr;
        dropTrayMenu();
        quitPosted();  // the one WM_DESTROY queued
    }

    // The program's Sleep calls return at once and are recorded (the test's own calls too).
    void recordSleeps() { realSleep_ = powertest::hookImport("Sleep", reinterpret_cast<void*>(recordSleep)); }

    LRESULT trayClick(UINT mouseMessage) { return SendMessageA(mainWindow, WM_TRAY_CALLBACK, TRAY_ICON_ID, mouseMessage); }
    LRESULT command(WPARAM id) { return SendMessageA(mainWindow, WM_COMMAND, id, 0); }

    // Right-clicks the icon and reports whether the popup menu opened (and closes it).
    bool rightClickOpensMenu()
    {
        popupSeen = false;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, closePopupMenu);
        trayClick(WM_RBUTTONUP);
        KillTimer(nullptr, timer);
        return popupSeen;
    }

private:
    void* realNotifyIcon_ = nullptr;
    void* realSleep_ = nullptr;
    HMODULE resources_ = nullptr;
    std::tuple<Settings, int, int, HINSTANCE, int> saved_;
};

// ---- The popup menu

TEST_F(MainWindowInProcess, MenuRowsMarksAndGreyingFollowFamilyReadmeAndState)
{
    // The texts as bytes, so that the code page conversion of the program's sources is checked too.
    const Row on{256, "機能をONにする (&E)"}, off{257, "機能をOFFにする (&O)"}, line{0, nullptr};
    const Row status{267, "現在の監視ステータスを表示(&Q)"}, forcedNt{0, "強制サスペンド (&U)"};
    const Row forced9x{258, "強制サスペンド (&U)"}, setup{259, "\x90\xdd\x81\x40\x92\xe8 (&S)"};  // 設　定
    const Row about{260, "\xca\xde\xb0\xbc\xde\xae\xdd\x8f\xee\x95\xf1 (&V)"};                // ﾊﾞｰｼﾞｮﾝ情報
    const Row readme{261, "Readme.txt の表示 (&B)"}, exit{262, "\x8f\x49\x81\x40\x97\xb9 (&X)"};  // 終　了
    const struct {
        int nt, readme, enable, statusDisplay;
        std::vector<Row> rows;
    } cases[] = {
        {1, 1, 1, 1, {on, off, line, status, line, forcedNt, line, setup, line, about, line, readme, line, exit}},
        {1, 0, 1, 0, {on, off, line, status, line, forcedNt, line, setup, line, about, line, exit}},
        {0, 1, 0, 1, {on, off, line, forced9x, line, setup, line, about, line, readme, line, exit}},
        // Any Enable other than 1 marks off.
        {0, 0, 5, 0, {on, off, line, forced9x, line, setup, line, about, line, exit}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.nt) + std::to_string(c.readme) + std::to_string(c.enable));
        isNtPlatform = c.nt;
        readmeAvailable = c.readme;
        settings.Enable = c.enable;
        settings.StatusDisplay = c.statusDisplay;
        ASSERT_NE(createMainWindow(), nullptr);
        expectRows(trayMenu, c.rows);
        if (c.nt) {
            ASSERT_NE(forcedSuspendSubmenu, nullptr);
            EXPECT_EQ(GetSubMenu(trayMenu, 5), forcedSuspendSubmenu);
            expectRows(forcedSuspendSubmenu, {{264, "スタンバイ (&N)"}, {263, "休止 (&M)"}});
            EXPECT_EQ((GetMenuState(trayMenu, 267, MF_BYCOMMAND) & MF_GRAYED) != 0, c.statusDisplay == 0);
        } else {
            EXPECT_EQ(forcedSuspendSubmenu, nullptr);
        }
        EXPECT_EQ(isChecked(256), c.enable == 1);
        EXPECT_EQ(isChecked(257), c.enable != 1);
        EXPECT_EQ(GetMenuDefaultItem(trayMenu, FALSE, 0), c.enable == 1 ? 256u : 257u);
        destroyMainWindow();
    }
}

// ---- Tray set-up

TEST_F(MainWindowInProcess, TraySetUpAddsTheIconOnceUnlessTheShellIsBusy)
{
    recordSleeps();
    const struct {
        const char* shell;
        int addTimeouts;
        DWORD addError;
        std::vector<DWORD> codes;
        std::vector<DWORD> sleeps;
    } cases[] = {
        {"adds", 0, 0, {NIM_ADD}, {}},
        // Refused for another reason: not retried, nor reported.
        {"refuses", 0, ERROR_ACCESS_DENIED, {NIM_ADD}, {}},
        // A busy shell may have added the icon after all: checked with NIM_MODIFY after five seconds.
        {"is busy once", 1, 0, {NIM_ADD, NIM_MODIFY}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shell);
        tray.clear();
        tray.addTimeouts = c.addTimeouts;
        tray.addError = c.addError;
        sleeps.clear();
        ASSERT_NE(createMainWindow(), nullptr);
        if (c.addTimeouts) SendMessageA(mainWindow, WM_TIMER, TIMER_TRAY_RETRY, 0); // the five seconds are up
        EXPECT_EQ(tray.codes, c.codes);
        EXPECT_EQ(sleeps, c.sleeps);
        EXPECT_TRUE(IsMenu(trayMenu));
        EXPECT_FALSE(quitPosted());
        const NOTIFYICONDATAA& added = tray.records[0];
        EXPECT_EQ(added.cbSize, sizeof(void*) == 8 ? 504u : 488u);
        EXPECT_EQ(added.hWnd, mainWindow);
        EXPECT_EQ(added.uID, 123u);
        EXPECT_EQ(added.uFlags, 7u);
        EXPECT_EQ(added.uCallbackMessage, 32868u);
        destroyMainWindow();
    }
}

TEST_F(MainWindowInProcess, ShellBusyFiveTimesEndsTheProgram)
{
    tray.addTimeouts = 5;
    tray.modifyFails = true;
    recordSleeps();
    boxTexts.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, closeBoxes);
    ASSERT_NE(createMainWindow(), nullptr);
    for (int i = 0; i < 5; ++i) SendMessageA(mainWindow, WM_TIMER, TIMER_TRAY_RETRY, 0);
    KillTimer(nullptr, timer);

    std::vector<DWORD> expected;
    for (int i = 0; i < 5; ++i)
        expected.insert(expected.end(), {NIM_ADD, NIM_MODIFY, NIM_DELETE});
    EXPECT_EQ(tray.codes, expected);
    EXPECT_TRUE(sleeps.empty());
    EXPECT_EQ(boxTexts, std::vector<std::string>({"タスクトレイにアイコンを登録できませんでした", "終了します。"}));
    EXPECT_TRUE(quitPosted());
}

// The icon and tip of the fresh icon are checked against a running Somnivar; here, the menu.
TEST_F(MainWindowInProcess, TaskbarCreatedReplacesIconAndMenuWithCurrentState)
{
    ASSERT_NE(createMainWindow(), nullptr);
    HMENU oldMenu = trayMenu;
    HMENU oldSubmenu = forcedSuspendSubmenu;
    settings.Enable = 0;
    tray.clear();
    // WM_NULL follows every popup menu; it must not rebuild the tray.
    SendMessageA(mainWindow, WM_NULL, 0, 0);
    EXPECT_TRUE(tray.codes.empty());

    EXPECT_EQ(SendMessageA(mainWindow, RegisterWindowMessageA("TaskbarCreated"), 0, 0), 1);
    EXPECT_EQ(tray.codes, std::vector<DWORD>({NIM_DELETE, NIM_ADD}));
    EXPECT_FALSE(IsMenu(oldMenu));
    EXPECT_FALSE(IsMenu(oldSubmenu));
    ASSERT_TRUE(IsMenu(trayMenu));
    EXPECT_TRUE(IsMenu(forcedSuspendSubmenu));
    EXPECT_TRUE(isChecked(257));
    EXPECT_EQ(GetMenuDefaultItem(trayMenu, FALSE, 0), 257u);
    EXPECT_EQ(GetMenuItemCount(trayMenu), 14);
}

// ---- Clicks on the icon

TEST_F(MainWindowInProcess, RightClickOpensTheMenuUnlessSettingsAboutOrProgramEditorIsOpen)
{
    ASSERT_NE(createMainWindow(), nullptr);
    EXPECT_TRUE(rightClickOpensMenu());

    // The title editor and the caution window never block the menu.
    titleEditor = createStandIn(10, 10);
    cautionWindow = createStandIn(20, 20);
    GetWindowRect(cautionWindow, &cautionWindowRect);
    EXPECT_TRUE(rightClickOpensMenu());
    for (HWND* blocker : {&aboutBox, &programEditor}) {
        *blocker = createStandIn(30, 30);
        EXPECT_FALSE(rightClickOpensMenu());
        DestroyWindow(*blocker);
        *blocker = nullptr;
    }

    // With the settings dialog open, the dragged-away dialogs come back; the caution window stays.
    DestroyWindow(titleEditor);
    titleEditor = nullptr;
    settingsDialog = createStandIn(100, 100);
    aboutBox = createStandIn(120, 120);
    GetWindowRect(settingsDialog, &settingsDialogRect);
    GetWindowRect(aboutBox, &aboutBoxRect);
    MoveWindow(settingsDialog, 300, 40, 200, 120, TRUE);
    MoveWindow(aboutBox, 40, 300, 200, 120, TRUE);
    EXPECT_FALSE(rightClickOpensMenu());
    EXPECT_TRUE(isCentred(settingsDialog));
    EXPECT_TRUE(isCentred(aboutBox));
    EXPECT_TRUE(isAt(cautionWindow, 20, 20));
}

TEST_F(MainWindowInProcess, LeftClickBringsBackOnlyTheFirstOpenOfEditorsAndSettings)
{
    ASSERT_NE(createMainWindow(), nullptr);
    // The title editor alone is enough, and only the button's release counts.
    titleEditor = createStandIn(110, 110);
    GetWindowRect(titleEditor, &titleEditorOpeningRect);
    MoveWindow(titleEditor, 10, 10, 200, 120, TRUE);
    EXPECT_EQ(trayClick(WM_LBUTTONDOWN), 0);
    EXPECT_TRUE(isAt(titleEditor, 10, 10));
    EXPECT_EQ(trayClick(WM_LBUTTONUP), 0);
    EXPECT_TRUE(isCentred(titleEditor));

    programEditor = createStandIn(100, 100);
    settingsDialog = createStandIn(120, 120);
    GetWindowRect(programEditor, &programEditorOpeningRect);
    GetWindowRect(settingsDialog, &settingsDialogRect);
    for (HWND window : {programEditor, titleEditor, settingsDialog})
        MoveWindow(window, 10, 10, 200, 120, TRUE);
    trayClick(WM_LBUTTONUP);
    EXPECT_TRUE(isCentred(programEditor));
    EXPECT_TRUE(isAt(titleEditor, 10, 10));
    EXPECT_TRUE(isAt(settingsDialog, 10, 10));

    DestroyWindow(programEditor);
    programEditor = nullptr;
    trayClick(WM_LBUTTONUP);
    EXPECT_TRUE(isCentred(titleEditor));
    EXPECT_TRUE(isAt(settingsDialog, 10, 10));
}

TEST_F(MainWindowInProcess, SwitchesToggleUnlessLowResourceStopOrADialogIsOpen)
{
    settings.Enable = 1;
    ASSERT_NE(createMainWindow(), nullptr);
    for (int enable : {0, 1}) {
        trayClick(WM_LBUTTONDBLCLK);
        EXPECT_EQ(settings.Enable, enable);
        EXPECT_EQ(settings.OffCheck, 1 - enable);
        EXPECT_EQ(isChecked(256), enable == 1);
        EXPECT_EQ(isChecked(257), enable == 0);
        EXPECT_EQ(GetMenuDefaultItem(trayMenu, FALSE, 0), enable ? 256u : 257u);
    }

    // The low-resource stop holds the function: the double-click and both commands do nothing.
    resourceStopActive = 1;
    tray.clear();
    trayClick(WM_LBUTTONDBLCLK);
    EXPECT_EQ(settings.Enable, 1);
    EXPECT_EQ(command(IDM_FUNCTION_OFF), 1);
    EXPECT_EQ(settings.Enable, 1);
    settings.Enable = 0;
    EXPECT_EQ(command(IDM_FUNCTION_ON), 1);
    EXPECT_EQ(settings.Enable, 0);
    EXPECT_EQ(settings.OffCheck, 0);
    EXPECT_TRUE(tray.codes.empty());
    resourceStopActive = 0;
    settings.Enable = 1;

    titleEditor = createStandIn(10, 10);
    trayClick(WM_LBUTTONDBLCLK);
    EXPECT_EQ(settings.Enable, 1);
    EXPECT_EQ(settings.OffCheck, 0);
}

// ---- Commands and messages

TEST_F(MainWindowInProcess, CommandsPostSuspendsQueueQuitAndDoNothingElse)
{
    ASSERT_NE(createMainWindow(), nullptr);
    takePostedCommands(mainWindow);
    for (WPARAM item : {IDM_FORCED_SUSPEND, IDM_HIBERNATE, IDM_STANDBY})
        EXPECT_EQ(command(item), 1);
    using Posted = std::vector<std::pair<WPARAM, LPARAM>>;
    EXPECT_EQ(takePostedCommands(mainWindow), Posted({{7, 0}, {7, 263}, {7, 264}}));

    EXPECT_EQ(SendMessageA(mainWindow, WM_QUERYOPEN, 0, 0), 0);
    EXPECT_FALSE(quitPosted());
    for (UINT message : {WM_CLOSE, WM_QUERYENDSESSION}) {
        EXPECT_EQ(SendMessageA(mainWindow, message, 0, 0), 1);
        EXPECT_TRUE(quitPosted()) << message;
        EXPECT_TRUE(IsWindow(mainWindow));
    }
    EXPECT_EQ(command(IDM_EXIT), 1);
    EXPECT_TRUE(quitPosted());
    // Unknown commands do nothing and answer 1.
    EXPECT_EQ(command(265), 1);
    EXPECT_FALSE(quitPosted());
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
        EXPECT_EQ(command(id), 1) << id;
    }
    std::vector<WORD> expected = {1,    2,    1029, 1030, 1049, 1053, 1054, 1056, 1068, 1069, 1070,
                                  1100, 1101, 1103, 1104, 1105, 1109, 1110, 1111, 1112, 1113, 1114,
                                  1115, 1116, 1117, 1119, 1120, 1123, 1125, 1126, 1134};
    EXPECT_EQ(commandsReceived, expected);

    // The same through the program's accelerator table, from the keyboard: Alt+K (1075) is
    // not forwarded, Alt+A (1116) and Alt+B (1134) are.
    HACCEL table = LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(IDA_DIALOG_SHORTCUTS));
    ASSERT_NE(table, nullptr);
    SetFocus(dialog);
    commandsReceived.clear();
    for (WORD key : {'A', 'K', 'B'}) {
        pressChord({VK_MENU, key});
        // Routes the keyboard messages as the program's loop does.
        for (const DWORD start = GetTickCount(); GetTickCount() - start < 500; Sleep(10)) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (!TranslateAcceleratorA(mainWindow, table, &message)) {
                    TranslateMessage(&message);
                    DispatchMessageA(&message);
                }
            }
        }
    }
    EXPECT_EQ(commandsReceived, std::vector<WORD>({1116, 1134}));
    DestroyAcceleratorTable(table);
    DestroyWindow(dialog);

    // After the popup menu the hidden main window can be the active one; a shortcut must not make
    // it send the command to itself for ever.
    SetActiveWindow(mainWindow);
    if (GetActiveWindow() == mainWindow) {
        commandsToMainWindow = 0;
        EXPECT_EQ(command(IDOK), 1);
        EXPECT_EQ(commandsToMainWindow, 1);
    }
}

TEST_F(MainWindowInProcess, ShowWatchStatusMakesTheNextScanReportAgainOnlyWithStatusDisplay)
{
    ASSERT_NE(createMainWindow(), nullptr);
    settings.ApplicationCheck = 1;
    settings.StatusDisplay = 1;
    auto balloonsAfterScan = [&] {
        tray.clear();
        runWatchScan();
        int balloons = 0;
        for (size_t i = 0; i < tray.codes.size(); ++i)
            balloons += tray.codes[i] == NIM_MODIFY && (tray.records[i].uFlags & NIF_INFO) != 0;
        return balloons;
    };
    // Whatever an earlier scan of this process remembered, the second scan finds it unchanged.
    balloonsAfterScan();
    balloonsAfterScan();

    settings.StatusDisplay = 0;
    EXPECT_EQ(command(IDM_SHOW_WATCH_STATUS), 1);
    settings.StatusDisplay = 1;
    EXPECT_EQ(balloonsAfterScan(), 0);

    EXPECT_EQ(command(IDM_SHOW_WATCH_STATUS), 1);
    EXPECT_EQ(balloonsAfterScan(), 1);
    EXPECT_EQ(balloonsAfterScan(), 0);
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
    HWND viewer = readmeViewer = createStandIn(10, 10);
    // The control of the library inside the viewer, as the real viewer has it.
    HWND edit = CreateWindowExA(0, "RICHEDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 50, readmeViewer, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    richEditProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watchRichEditEnd)));
    libraryLoadedAtControlEnd = false;

    EXPECT_EQ(command(IDC_README_CLOSED), 1);
    EXPECT_EQ(readmeViewer, nullptr);
    EXPECT_EQ(readmeRichEditLibrary, nullptr);
    EXPECT_FALSE(IsWindow(viewer));
    EXPECT_TRUE(libraryLoadedAtControlEnd);
    EXPECT_EQ(GetModuleHandleA("RICHED32.DLL"), nullptr);
    // A second notice finds nothing to do.
    EXPECT_EQ(command(IDC_README_CLOSED), 1);
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
        ASSERT_TRUE(waitFor(NIM_ADD, 0, 10000));
        // Answered only from the message loop, so start-up (hot key included) is complete.
        ASSERT_EQ(send(WM_NULL, 0), 0);
    }

    bool isOurs(const harness::TrayEvent& event, DWORD message) const
    {
        return event.message == message && event.processId == instance_.process.id && event.id == 123;
    }
    // Waits for an icon call of the instance; with icon, one showing resource 2 (on) or 3 (off).
    bool waitFor(DWORD message, int icon, DWORD ms = 5000)
    {
        return tray_.waitFor(
            [&](const harness::TrayEvent& e) { return isOurs(e, message) && (!icon || e.iconResource == icon); }, ms);
    }

    // Sends a message to the instance and returns its answer (-1 when it did not answer).
    LONG_PTR send(UINT message, WPARAM wParam, LPARAM lParam = 0)
    {
        DWORD_PTR result = 0;
        if (!harness::sendMessage(instance_.mainWindow, message, wParam, lParam, &result))
            return -1;
        return static_cast<LONG_PTR>(result);
    }

    harness::FakeTray tray_;
    harness::Instance instance_;
};

TEST_F(MainWindowSystem, SwitchesStoreTheStateAndSwitchTheIconAlsoAfterTheTaskbarRestarts)
{
    startWithIcon();
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LONG_PTR answer;
        DWORD enable;
    } steps[] = {
        {WM_COMMAND, IDM_FUNCTION_OFF, 0, 1, 0},
        {WM_COMMAND, IDM_FUNCTION_ON, 0, 1, 1},
        {WM_TRAY_CALLBACK, 123, WM_LBUTTONDBLCLK, 0, 0},
        {WM_TRAY_CALLBACK, 123, WM_LBUTTONDBLCLK, 0, 1},
        {WM_COMMAND, IDM_FUNCTION_OFF, 0, 1, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.message == WM_COMMAND ? "command" : "double-click");
        tray_.clear();
        EXPECT_EQ(send(step.message, step.wParam, step.lParam), step.answer);
        EXPECT_TRUE(waitFor(NIM_MODIFY, step.enable ? 2 : 3));
        for (auto [name, value] : {std::pair{"Enable", step.enable}, std::pair{"OffCheck", 1 - step.enable}}) {
            DWORD stored = 0xDEAD;
            harness::readDword(HKEY_CURRENT_USER, kSettingsKey, name, &stored);
            EXPECT_EQ(stored, value) << name;
        }
    }

    // The taskbar restarted: the icon is added afresh, with the current state.
    tray_.clear();
    EXPECT_EQ(send(RegisterWindowMessageA("TaskbarCreated"), 0), 1);
    ASSERT_TRUE(waitFor(NIM_ADD, 0));
    std::vector<harness::TrayEvent> events = tray_.events();
    // The once-a-second tip refresh may come in between.
    events.erase(std::remove_if(events.begin(), events.end(), [](const auto& e) { return e.message == NIM_MODIFY; }),
                 events.end());
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
    EXPECT_EQ(send(WM_QUERYENDSESSION, 0), 1);
    DWORD exitCode = 99;
    ASSERT_TRUE(harness::waitProcessExit(instance_.process, 10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(waitFor(NIM_DELETE, 0, 0));
}

// The suspend is seen through its monitor broadcasts (before and after the power call), which
// reach every top-level window, the recorder's included.
TEST_F(MainWindowSystem, HotKeySuspendsOnlyWhenInUse)
{
    powertest::PowerStandIn power;
    ASSERT_TRUE(power.ok());
    powertest::MonitorRecorder monitor(power);
    ASSERT_TRUE(monitor.start());
    for (DWORD use : {0u, 1u}) {
        SCOPED_TRACE(use ? "HotKeyUse 1" : "HotKeyUse 0");
        startWithIcon({{"HotKeyUse", use}, {"HotKeyCode", (HOTKEYF_CONTROL | HOTKEYF_ALT) << 8 | VK_F10}});
        monitor.clear();
        pressChord({VK_CONTROL, VK_MENU, VK_F10});
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
        const DWORD started = GetTickCount();
        ASSERT_TRUE(harness::startProcess(harness::binPath("Somnivar.exe"), harness::StartOptions(), &instance_.process));
        ASSERT_TRUE(tray_.waitFor([&](const harness::TrayEvent& e) { return e.message == NIM_ADD; }, 10000));
        times.push_back(GetTickCount() - started);
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
