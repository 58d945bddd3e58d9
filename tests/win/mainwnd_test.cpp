// The main window in-process, where menus can be read under Wine: the program's procedure under
// a class of its own, with the shell calls and Sleep recorded.
#include "harness/harness.h"
#include <commctrl.h>
#include <shellapi.h>

#include "app/mainwnd_win.h"
#include "app/startup_win.h"
#include "app/timers_win.h"
#include "info/dialogs_win.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "status/tray_win.h"
#include "watchlists/editors_win.h"

using namespace harness;

namespace {

std::vector<DWORD> codes, sleeps;  // shell calls and Sleep calls of this process
std::vector<NOTIFYICONDATAA> records;
int addTimeouts;  // NIM_ADD answers ERROR_TIMEOUT this often
bool modifyFails;  // the busy shell never added the icon after all
std::vector<WORD> forwarded;
int commandsToMain;

BOOL WINAPI recordNotifyIcon(DWORD code, PNOTIFYICONDATAA record)
{
    codes.push_back(code);
    records.push_back(*record);
    const bool busy = (code == NIM_ADD && addTimeouts-- > 0) || (code == NIM_MODIFY && modifyFails);
    SetLastError(busy ? ERROR_TIMEOUT : 0);
    return !busy;
}
void WINAPI recordSleep(DWORD ms) { sleeps.push_back(ms); }
HICON WINAPI iconById(HINSTANCE, const char* name) { return reinterpret_cast<HICON>(const_cast<char*>(name)); }

LRESULT CALLBACK testProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    commandsToMain += message == WM_COMMAND;
    return mainWindowProc(window, message, wParam, lParam);
}
LRESULT CALLBACK activeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        forwarded.push_back(LOWORD(wParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND standInHost;  // dialogs as children of a full-screen host: screen rectangles, no X windows
HWND standIn(int x, int y)
{
    return CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, x, y, 200, 120, standInHost, 0, 0, 0);
}
bool isAt(HWND window, int x, int y)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return rect.left == x && rect.top == y;
}
bool isCentred(HWND window)  // 200 x 120, as centerWindowOnScreen places it
{
    return isAt(window, ((GetSystemMetrics(SM_CXSCREEN) - 200) / 2 + 4) & ~7, (GetSystemMetrics(SM_CYSCREEN) - 120) / 2);
}

bool quitPosted()
{
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

std::vector<std::pair<WPARAM, LPARAM>> postedCommands()
{
    std::vector<std::pair<WPARAM, LPARAM>> posted;
    for (MSG message; PeekMessageA(&message, mainWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE);)
        posted.emplace_back(message.wParam, message.lParam);
    return posted;
}

// The rows as "text|id" ("-" a separator, ">" a submenu), marks, greying and default as " v",
// " g" and " d".
std::string rows(HMENU menu)
{
    std::string all;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[128] = "";
        MENUITEMINFOA info = {sizeof(info), MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_STATE};
        info.dwTypeData = text;
        info.cch = sizeof(text);
        GetMenuItemInfoA(menu, i, TRUE, &info);
        if (info.fType & MFT_SEPARATOR) {
            all += "-\n";
            continue;
        }
        all += text + (info.hSubMenu ? ">" + rows(info.hSubMenu) + "<" : "|" + std::to_string(info.wID));
        all += std::string(info.fState & MFS_CHECKED ? " v" : "") + (info.fState & MFS_GRAYED ? " g" : "") +
               (info.fState & MFS_DEFAULT ? " d" : "") + "\n";
    }
    return all;
}

std::vector<std::string> boxTexts;  // of this process's boxes, answered from a timer in their loop
void CALLBACK answerBoxes(HWND, UINT, UINT_PTR, DWORD)
{
    for (const Box& box : openDialogs(GetCurrentProcessId())) {
        boxTexts.push_back(box.text);
        pressButton(box, IDOK);
    }
}

bool popupSeen;
bool rightClickOpensMenu()
{
    popupSeen = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        popupSeen = popupSeen || IsWindowVisible(FindWindowA("#32768", nullptr));
        EndMenu();
    });
    SendMessageA(mainWindow, WM_TRAY_CALLBACK, TRAY_ICON_ID, WM_RBUTTONUP);
    KillTimer(nullptr, timer);
    return popupSeen;
}

} // namespace

class MainWindow : public SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        settings = kDefaultSettings;
        isNtPlatform = readmeAvailable = 1;
        appInstance = LoadLibraryExA(binPath("Somnivar.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        realNotify_ = hookImport("Shell_NotifyIconA", reinterpret_cast<void*>(recordNotifyIcon));
        realSleep_ = hookImport("Sleep", reinterpret_cast<void*>(recordSleep));
        realLoadIcon_ = hookImport("LoadIconA", reinterpret_cast<void*>(iconById));
        standInHost = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                      GetSystemMetrics(SM_CYSCREEN), 0, 0, 0, 0);
        for (auto [name, procedure] : {std::pair{"SomnivarInProcess", testProc}, std::pair{"Active", activeProc}}) {
            WNDCLASSA windowClass = {0, procedure, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, name};
            RegisterClassA(&windowClass);
        }
    }
    void TearDown() override
    {
        for (HWND* dialog : {&settingsDialog, &aboutBox, &programEditor, &titleEditor, &cautionWindow, &readmeViewer})
            *dialog = nullptr;
        destroy();
        armIdleTimer(0);
        DestroyWindow(standInHost);
        hookImport("Shell_NotifyIconA", realNotify_);
        hookImport("Sleep", realSleep_);
        hookImport("LoadIconA", realLoadIcon_);
        FreeLibrary(reinterpret_cast<HMODULE>(appInstance));
        settings = kDefaultSettings;
        resourceStopActive = 0;
        SomnivarTest::TearDown();
    }
    HWND create()
    {
        codes.clear();
        sleeps.clear();
        records.clear();
        return mainWindow = CreateWindowExA(0, "SomnivarInProcess", "", WS_POPUP, 0, 0, 0, 0, 0, 0, 0, 0);
    }
    void destroy()
    {
        DestroyWindow(mainWindow);
        mainWindow = nullptr;
        dropTrayMenu();
        quitPosted();
    }
    LRESULT click(UINT mouse) { return SendMessageA(mainWindow, WM_TRAY_CALLBACK, TRAY_ICON_ID, mouse); }
    LRESULT command(WPARAM id) { return SendMessageA(mainWindow, WM_COMMAND, id, 0); }
    HICON icon(int id) { return reinterpret_cast<HICON>(INT_PTR(id)); }  // as iconById returns it

    void* realNotify_ = nullptr;
    void* realSleep_ = nullptr;
    void* realLoadIcon_ = nullptr;
};

TEST_F(MainWindow, MenuRowsMarksAndGreyingFollowFamilyReadmeAndState)
{
    const std::string on = "機能をONにする (&E)|256", off = "機能をOFFにする (&O)|257";
    const std::string status = "現在の監視ステータスを表示(&Q)|267", tail = "設　定 (&S)|259\n-\nﾊﾞｰｼﾞｮﾝ情報 (&V)|260\n-\n";
    const std::string forced = "強制サスペンド (&U)>スタンバイ (&N)|264\n休止 (&M)|263\n<\n-\n" + tail;
    const std::string readme = "Readme.txt の表示 (&B)|261\n-\n", exit = "終　了 (&X)|262\n";
    const struct {
        int nt, readme, enable, statusDisplay;
        std::string rows;
    } cases[] = {
        {1, 1, 1, 1, on + " v d\n" + off + "\n-\n" + status + "\n-\n" + forced + readme + exit},
        {1, 0, 1, 0, on + " v d\n" + off + "\n-\n" + status + " g\n-\n" + forced + exit},
        {0, 1, 0, 1, on + "\n" + off + " v d\n-\n強制サスペンド (&U)|258\n-\n" + tail + readme + exit},
        {0, 0, 5, 0, on + "\n" + off + " v d\n-\n強制サスペンド (&U)|258\n-\n" + tail + exit},  // 5 is off
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nt * 100 + c.readme * 10 + c.enable);
        isNtPlatform = c.nt;
        readmeAvailable = c.readme;
        settings.Enable = c.enable;
        settings.StatusDisplay = c.statusDisplay;
        ASSERT_NE(create(), nullptr);
        EXPECT_EQ(rows(trayMenu), c.rows);
        destroy();
    }
}

// A busy shell is asked again on a timer, never by sleeping; after five attempts the program ends.
TEST_F(MainWindow, TraySetUpRetriesABusyShellFiveTimesThenEnds)
{
    for (int timeouts : {0, 1}) {
        addTimeouts = timeouts;
        ASSERT_NE(create(), nullptr);
        if (timeouts)
            SendMessageA(mainWindow, WM_TIMER, TIMER_TRAY_RETRY, 0);  // five seconds on
        EXPECT_EQ(codes, (timeouts ? std::vector<DWORD>{NIM_ADD, NIM_MODIFY} : std::vector<DWORD>{NIM_ADD}));
        EXPECT_EQ(records[0].cbSize, sizeof(void*) == 8 ? 504u : 488u);
        EXPECT_EQ(records[0].hWnd, mainWindow);
        EXPECT_EQ(records[0].uID, 123u);
        EXPECT_EQ(records[0].uFlags, 7u);
        EXPECT_EQ(records[0].uCallbackMessage, 32868u);
        EXPECT_EQ(records[0].hIcon, icon(2));
        EXPECT_FALSE(quitPosted());
        destroy();
    }
    addTimeouts = 5;
    modifyFails = true;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, answerBoxes);
    ASSERT_NE(create(), nullptr);
    for (int i = 0; i < 5; ++i)
        SendMessageA(mainWindow, WM_TIMER, TIMER_TRAY_RETRY, 0);
    KillTimer(nullptr, timer);
    std::vector<DWORD> expected;
    for (int i = 0; i < 5; ++i)
        expected.insert(expected.end(), {NIM_ADD, NIM_MODIFY, NIM_DELETE});
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(sleeps, std::vector<DWORD>{});
    EXPECT_EQ(boxTexts, std::vector<std::string>({"タスクトレイにアイコンを登録できませんでした", "終了します。"}));
    EXPECT_TRUE(quitPosted());
}

TEST_F(MainWindow, ClicksOpenTheMenuBringDialogsBackOrSwitch)
{
    ASSERT_TRUE(storeSettings());
    ASSERT_NE(create(), nullptr);
    EXPECT_TRUE(rightClickOpensMenu());
    titleEditor = standIn(10, 10);  // the title editor and the caution window never block it
    cautionWindow = standIn(20, 20);
    GetWindowRect(cautionWindow, &cautionWindowRect);
    EXPECT_TRUE(rightClickOpensMenu());
    for (HWND* blocker : {&aboutBox, &programEditor}) {
        *blocker = standIn(30, 30);
        EXPECT_FALSE(rightClickOpensMenu());
        DestroyWindow(*blocker);
        *blocker = nullptr;
    }
    // With the settings dialog open, the dialogs dragged away come back; the caution window stays.
    DestroyWindow(titleEditor);
    titleEditor = nullptr;
    settingsDialog = standIn(100, 100);
    aboutBox = standIn(120, 120);
    GetWindowRect(settingsDialog, &settingsDialogRect);
    GetWindowRect(aboutBox, &aboutBoxRect);
    MoveWindow(settingsDialog, 300, 40, 200, 120, TRUE);
    MoveWindow(aboutBox, 40, 300, 200, 120, TRUE);
    EXPECT_FALSE(rightClickOpensMenu());
    EXPECT_TRUE(isCentred(settingsDialog) && isCentred(aboutBox) && isAt(cautionWindow, 20, 20));

    // The left button's release brings back the first open of the editors and settings only.
    titleEditor = standIn(10, 10);
    EXPECT_EQ(click(WM_LBUTTONDOWN), 0);
    EXPECT_TRUE(isAt(titleEditor, 10, 10));
    programEditor = standIn(100, 100);
    GetWindowRect(programEditor, &programEditorOpeningRect);
    MoveWindow(programEditor, 10, 10, 200, 120, TRUE);
    MoveWindow(settingsDialog, 10, 10, 200, 120, TRUE);
    EXPECT_EQ(click(WM_LBUTTONUP), 0);
    EXPECT_TRUE(isCentred(programEditor) && isAt(titleEditor, 10, 10) && isAt(settingsDialog, 10, 10));

    // A double-click switches nothing while a dialog is open or the resource stop holds; then it
    // switches, and the icon, the tip, the marks and the stored values follow.
    click(WM_LBUTTONDBLCLK);
    EXPECT_EQ(settings.Enable, 1);
    for (HWND* dialog : {&settingsDialog, &aboutBox, &programEditor, &titleEditor, &cautionWindow}) {
        DestroyWindow(*dialog);
        *dialog = nullptr;
    }
    resourceStopActive = 1;
    click(WM_LBUTTONDBLCLK);
    command(IDM_FUNCTION_OFF);
    EXPECT_EQ(settings.Enable, 1);
    resourceStopActive = 0;
    const std::string onTip = "Somnivar - S:ON O:CAN/10Min U:OFF E:OFF M:ON H:OFF P:OFF T:OFF";
    const std::string offTip = "Somnivar - S:OFF O:CAN U:OFF";
    const struct {
        UINT mouse;
        WPARAM command;
        DWORD enable;
    } steps[] = {{WM_LBUTTONDBLCLK, 0, 0}, {0, IDM_FUNCTION_ON, 1}, {WM_LBUTTONDBLCLK, 0, 0},
                 {WM_LBUTTONDBLCLK, 0, 1}, {0, IDM_FUNCTION_OFF, 0}};
    for (const auto& step : steps) {
        SCOPED_TRACE(&step - steps);
        codes.clear();
        records.clear();
        EXPECT_EQ(step.mouse ? click(step.mouse) : command(step.command), step.mouse ? 0 : 1);
        EXPECT_EQ(settings.Enable, int(step.enable));
        EXPECT_EQ(storedSetting("Enable"), step.enable);
        EXPECT_EQ(storedSetting("OffCheck"), 1 - step.enable);
        ASSERT_EQ(codes, std::vector<DWORD>{NIM_MODIFY});
        EXPECT_EQ(records[0].hIcon, icon(step.enable ? 2 : 3));
        EXPECT_EQ(records[0].szTip, step.enable ? onTip : offTip);
        EXPECT_EQ(GetMenuDefaultItem(trayMenu, FALSE, 0), step.enable ? 256u : 257u);
        EXPECT_TRUE(GetMenuState(trayMenu, step.enable ? 256 : 257, 0) & MF_CHECKED);
    }

    // The taskbar restarted: a fresh icon and menu; the WM_NULL after every popup menu is not it.
    codes.clear();
    SendMessageA(mainWindow, WM_NULL, 0, 0);
    EXPECT_EQ(SendMessageA(mainWindow, RegisterWindowMessageA("TaskbarCreated"), 0, 0), 1);
    EXPECT_EQ(codes, (std::vector<DWORD>{NIM_DELETE, NIM_ADD}));
    EXPECT_EQ(GetMenuDefaultItem(trayMenu, FALSE, 0), 257u);
}

TEST_F(MainWindow, CommandsPostSuspendsQueueQuitAndForwardOnlyTheListedShortcuts)
{
    ASSERT_NE(create(), nullptr);
    for (WPARAM item : {IDM_FORCED_SUSPEND, IDM_HIBERNATE, IDM_STANDBY})
        EXPECT_EQ(command(item), 1);
    for (int use : {0, 1}) {  // the hot key suspends only when it is in use
        settings.HotKeyUse = use;
        EXPECT_EQ(SendMessageA(mainWindow, WM_HOTKEY, 1, 0), 1);
    }
    EXPECT_EQ(postedCommands(), (std::vector<std::pair<WPARAM, LPARAM>>{{7, 0}, {7, 263}, {7, 264}, {7, 0}}));
    EXPECT_EQ(SendMessageA(mainWindow, WM_QUERYOPEN, 0, 0), 0);
    for (UINT message : {WM_CLOSE, WM_QUERYENDSESSION, WM_COMMAND}) {
        EXPECT_EQ(SendMessageA(mainWindow, message, message == WM_COMMAND ? IDM_EXIT : 0, 0), 1);
        EXPECT_TRUE(quitPosted() && IsWindow(mainWindow)) << message;
    }

    HWND active = CreateWindowExA(0, "Active", "", WS_POPUP | WS_VISIBLE | WS_CAPTION, 50, 50, 200, 100, 0, 0, 0, 0);
    SetForegroundWindow(active);
    ASSERT_EQ(GetActiveWindow(), active);
    for (UINT id = 1; id <= 1200; ++id) {
        if (id != 7 && (id < 256 || id > 267) && id != IDC_README_CLOSED) {
            EXPECT_EQ(command(id), 1) << id;
        }
    }
    EXPECT_FALSE(quitPosted());
    EXPECT_EQ(forwarded, (std::vector<WORD>{1, 2, 1029, 1030, 1049, 1053, 1054, 1056, 1068, 1069, 1070, 1100, 1101,
                                            1103, 1104, 1105, 1109, 1110, 1111, 1112, 1113, 1114, 1115, 1116, 1117,
                                            1119, 1120, 1123, 1125, 1126, 1134}));
    // Through the accelerator table with Alt held: Alt+A and Alt+B go, Alt+K (1075) does not.
    forwarded.clear();
    HACCEL table = LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(IDA_DIALOG_SHORTCUTS));
    BYTE keys[256] = {};
    keys[VK_MENU] = 0x80;
    SetKeyboardState(keys);
    for (WPARAM key : {'A', 'K', 'B'}) {
        MSG press = {mainWindow, WM_SYSKEYDOWN, key, 1 << 29};
        TranslateAcceleratorA(mainWindow, table, &press);
    }
    keys[VK_MENU] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(forwarded, (std::vector<WORD>{1116, 1134}));
    DestroyWindow(active);
    // After the popup menu the hidden main window may be the active one: never to itself again.
    SetActiveWindow(mainWindow);
    commandsToMain = 0;
    command(IDOK);
    EXPECT_EQ(commandsToMain, 1);
}

WNDPROC richEditProc;
bool libraryLoadedAtControlEnd;

TEST_F(MainWindow, ReadmeClosedDestroysTheViewerBeforeFreeingItsLibrary)
{
    ASSERT_NE(create(), nullptr);
    char path[MAX_PATH];
    systemDirectoryPath("RICHED32.DLL", path, sizeof(path));
    ASSERT_NE(readmeRichEditLibrary = LoadLibraryA(path), nullptr);
    HWND viewer = readmeViewer = standIn(10, 10);
    HWND edit = CreateWindowExA(0, "RICHEDIT", "", WS_CHILD, 0, 0, 100, 50, viewer, 0, 0, 0);
    richEditProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(
        +[](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            libraryLoadedAtControlEnd |= message == WM_NCDESTROY && GetModuleHandleA("RICHED32.DLL");
            return CallWindowProcA(richEditProc, window, message, wParam, lParam);
        })));
    EXPECT_EQ(command(IDC_README_CLOSED), 1);
    EXPECT_TRUE(readmeViewer == nullptr && readmeRichEditLibrary == nullptr && !IsWindow(viewer));
    EXPECT_TRUE(libraryLoadedAtControlEnd);
    EXPECT_EQ(GetModuleHandleA("RICHED32.DLL"), nullptr);
    EXPECT_EQ(command(IDC_README_CLOSED), 1);  // a second notice finds nothing to do
}
