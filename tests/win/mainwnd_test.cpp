// The main window: in-process, where menus can be read under Wine, with the program's procedure
// under a class of its own and the shell calls recorded; then one running Somnivar.
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

// The rows as "text|id" ("-" a separator, ">" a submenu), marks and greying as " v" and " g".
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
    for (const Box& box : openDialogs(GetCurrentProcessId()))
        boxTexts.push_back(box.text), pressButton(box, IDOK);
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
        codes.clear(), sleeps.clear(), records.clear(), forwarded.clear();
        addTimeouts = 0;
        modifyFails = false;
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
        FreeLibrary(reinterpret_cast<HMODULE>(appInstance));
        settings = kDefaultSettings;
        resourceStopActive = 0;
        SomnivarTest::TearDown();
    }
    HWND create()
    {
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

    void* realNotify_ = nullptr;
    void* realSleep_ = nullptr;
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
        isNtPlatform = c.nt, readmeAvailable = c.readme, settings.Enable = c.enable;
        settings.StatusDisplay = c.statusDisplay;
        ASSERT_NE(create(), nullptr);
        EXPECT_EQ(rows(trayMenu), c.rows);
        destroy();
    }
}

TEST_F(MainWindow, TraySetUpRetriesABusyShellFiveTimesThenEnds)
{
    const struct {
        int timeouts;
        std::vector<DWORD> codes, sleeps;
    } cases[] = {{0, {NIM_ADD}, {}}, {1, {NIM_ADD, NIM_MODIFY}, {}}};
    for (const auto& c : cases) {
        codes.clear(), sleeps.clear(), records.clear();
        addTimeouts = c.timeouts;
        ASSERT_NE(create(), nullptr);
        if (c.timeouts) SendMessageA(mainWindow, WM_TIMER, TIMER_TRAY_RETRY, 0);  // five seconds on
        EXPECT_EQ(codes, c.codes);
        EXPECT_EQ(sleeps, c.sleeps);
        EXPECT_EQ(records[0].cbSize, sizeof(void*) == 8 ? 504u : 488u);
        EXPECT_EQ(records[0].hWnd, mainWindow);
        EXPECT_EQ(records[0].uID, 123u);
        EXPECT_EQ(records[0].uFlags, 7u);
        EXPECT_EQ(records[0].uCallbackMessage, 32868u);
        EXPECT_FALSE(quitPosted());
        destroy();
    }
    codes.clear(), sleeps.clear();
    addTimeouts = 5;
    modifyFails = true;
    boxTexts.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, answerBoxes);
    ASSERT_NE(create(), nullptr);
    for (int i = 0; i < 5; ++i) SendMessageA(mainWindow, WM_TIMER, TIMER_TRAY_RETRY, 0);
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

    // A double-click switches nothing while a dialog is open or the resource stop holds.
    click(WM_LBUTTONDBLCLK);
    EXPECT_EQ(settings.Enable, 1);
    for (HWND* dialog : {&settingsDialog, &aboutBox, &programEditor, &titleEditor, &cautionWindow})
        DestroyWindow(*dialog), *dialog = nullptr;
    resourceStopActive = 1;
    click(WM_LBUTTONDBLCLK);
    command(IDM_FUNCTION_OFF);
    EXPECT_EQ(settings.Enable, 1);
    resourceStopActive = 0;
    click(WM_LBUTTONDBLCLK);
    EXPECT_EQ(settings.Enable, 0);
    EXPECT_EQ(settings.OffCheck, 1);
    EXPECT_TRUE(GetMenuDefaultItem(trayMenu, FALSE, 0) == 257 && GetMenuState(trayMenu, 257, 0) & MF_CHECKED);

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
    std::vector<std::pair<WPARAM, LPARAM>> posted;
    for (MSG message; PeekMessageA(&message, mainWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE);)
        posted.emplace_back(message.wParam, message.lParam);
    EXPECT_EQ(posted, (std::vector<std::pair<WPARAM, LPARAM>>{{7, 0}, {7, 263}, {7, 264}}));
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
    // Through the accelerator table from the keyboard: Alt+A and Alt+B go, Alt+K (1075) does not.
    forwarded.clear();
    HACCEL table = LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(IDA_DIALOG_SHORTCUTS));
    for (WORD key : {'A', 'K', 'B'}) {
        pressChord({VK_MENU, key});
        for (DWORD start = GetTickCount(); GetTickCount() - start < 500; MsgWaitForMultipleObjects(0, 0, 0, 10, QS_ALLINPUT)) {
            for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) {
                if (!TranslateAcceleratorA(mainWindow, table, &message))
                    TranslateMessage(&message), DispatchMessageA(&message);
            }
        }
    }
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

using MainWindowSystem = SomnivarTest;

// One running Somnivar: the tooltip and icon of each state, the hot key, the switches, a
// restarted taskbar and the end of the session.
TEST_F(MainWindowSystem, HotKeySwitchesTaskbarRestartAndSessionEnd)
{
    FakeTray tray;
    MonitorRecorder monitor;
    ASSERT_TRUE(tray.start() && monitor.start());
    ASSERT_TRUE(storeSettings({{"Time", 25}, {"SuspendOther", 1}, {"Expand", 1}, {"ExpType", 0}, {"Monitor", 1},
                               {"HotKeyUse", 1}, {"HotKeyCode", (HOTKEYF_CONTROL | HOTKEYF_ALT) << 8 | VK_F10}}));
    Instance program;
    ASSERT_TRUE(startSomnivar("", &program));
    const std::string onTip = "Somnivar - S:ON O:SUS/25Min U:OFF E:ON/CAN M:OFF\n                        H:ON P:OFF T:OFF";
    const std::string offTip = "Somnivar - S:OFF O:SUS U:OFF";
    auto icon = [&](DWORD message, int resource, const std::string& tip) {
        return tray.waitFor([&](const TrayEvent& e) {
            return e.message == message && e.processId == program.process.id && e.id == 123 &&
                   e.iconResource == resource && e.tip == tip;
        }, 5000);
    };
    EXPECT_TRUE(icon(NIM_ADD, 2, onTip));
    DWORD_PTR answer = 0;
    ASSERT_TRUE(sendMessage(program.mainWindow, WM_NULL, 0, 0));  // start-up is complete
    EXPECT_TRUE(waitUntil([] {  // pressed again only if the press was lost before it reached the program
        if (standIns().callCount == 0)
            pressChord({VK_CONTROL, VK_MENU, VK_F10}), pumpMessages(1000);
        return standIns().callCount == 1;
    }, 6000));
    EXPECT_TRUE(waitUntil([&] { return monitor.events().size() == 2; }, 5000));
    EXPECT_EQ(checkSuspendOrder(monitor.events(), standIns().calls[0].sequence, 2), "");

    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        DWORD_PTR answer;
        DWORD enable;
    } steps[] = {{WM_COMMAND, IDM_FUNCTION_OFF, 0, 1, 0}, {WM_TRAY_CALLBACK, 123, WM_LBUTTONDBLCLK, 0, 1},
                 {WM_TRAY_CALLBACK, 123, WM_LBUTTONDBLCLK, 0, 0}, {WM_COMMAND, IDM_FUNCTION_ON, 0, 1, 1},
                 {WM_COMMAND, IDM_FUNCTION_OFF, 0, 1, 0}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.lParam);
        tray.clear();
        ASSERT_TRUE(sendMessage(program.mainWindow, step.message, step.wParam, step.lParam, &answer));
        EXPECT_EQ(answer, step.answer);
        EXPECT_TRUE(icon(NIM_MODIFY, step.enable ? 2 : 3, step.enable ? onTip : offTip));
        EXPECT_EQ(storedSetting("Enable"), step.enable);
        EXPECT_EQ(storedSetting("OffCheck"), 1 - step.enable);
    }

    tray.clear();
    ASSERT_TRUE(sendMessage(program.mainWindow, RegisterWindowMessageA("TaskbarCreated"), 0, 0, &answer));
    EXPECT_EQ(answer, 1u);
    TrayEvent added;
    ASSERT_TRUE(tray.waitFor([](const TrayEvent& e) { return e.message == NIM_ADD; }, 5000, &added));
    std::vector<DWORD> order;
    for (const TrayEvent& e : tray.events())
        if (e.message != NIM_MODIFY)  // the one-second refresh may come in between
            order.push_back(e.message);
    EXPECT_EQ(order, (std::vector<DWORD>{NIM_DELETE, NIM_ADD}));
    EXPECT_TRUE(added.window == program.mainWindow && added.callbackMessage == 32868 && added.flags == 7);
    EXPECT_TRUE(icon(NIM_ADD, 3, offTip));

    tray.clear();
    ASSERT_TRUE(sendMessage(program.mainWindow, WM_QUERYENDSESSION, 0, 0, &answer));
    EXPECT_EQ(answer, 1u);
    DWORD exitCode = 99;
    ASSERT_TRUE(waitProcessExit(program.process, 10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(tray.waitFor([](const TrayEvent& e) { return e.message == NIM_DELETE && e.id == 123; }, 0));
}
