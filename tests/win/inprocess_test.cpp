// The program's main window procedure and its idle and suspend code, in this process under a
// window class of its own: menus can be read under Wine, and the shell, power, message box, input
// and icon calls are replaced through the import table and recorded.
#include "harness/harness.h"
#include <shellapi.h>

#include "app/mainwnd_win.h"
#include "app/powercaps_win.h"
#include "app/process_win.h"
#include "app/startup_win.h"
#include "app/suspend_win.h"
#include "app/syslibs_win.h"
#include "app/timers_win.h"
#include "hooklib/vantrel.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "status/detectors_win.h"
#include "status/tray_win.h"

using namespace harness;

namespace {

constexpr LRESULT kDeny = 0x424D5144;  // BROADCAST_QUERY_DENY

std::vector<DWORD> codes;  // shell calls of this process
std::vector<NOTIFYICONDATAA> records;
bool busyShell;  // NIM_ADD and NIM_MODIFY time out
std::vector<std::pair<LONG, LPARAM>> monitor;  // SC_MONITORPOWER broadcasts: sequence shared with the power calls
std::vector<std::string> boxTexts;
void (*inBox)();  // what a box's modal loop runs, once
LRESULT ownSuspendAnswer;  // the program's answer to its own suspend's notification
bool notifyOwnSuspend;
std::vector<WORD> forwarded;
int commandsToMain;
DWORD inputTime;
int hookInstalls;
bool handOffInBroadcast;  // a launcher's suspend command arrives during the monitor broadcast
int watcherPauses;

BOOL WINAPI recordNotifyIcon(DWORD code, PNOTIFYICONDATAA record)
{
    codes.push_back(code);
    records.push_back(*record);
    const bool busy = busyShell && code != NIM_DELETE;
    SetLastError(busy ? ERROR_TIMEOUT : 0);
    return !busy;
}
HICON WINAPI iconById(HINSTANCE, const char* name) { return HICON(name); }  // icon 2 is HICON(2)
int WINAPI fakeBox(HWND, const char* text, const char* caption, UINT)
{
    boxTexts.push_back(std::string(caption) + "|" + text);
    if (inBox)
        std::exchange(inBox, nullptr)();
    return IDOK;
}
BOOLEAN WINAPI hookedSetSuspendState(BOOLEAN hibernate, BOOLEAN force, BOOLEAN disableWake)
{
    if (notifyOwnSuspend)
        ownSuspendAnswer = onPowerBroadcast(mainWindow, PBT_APMSUSPEND);
    standin::logPowerCall(hibernate, force, disableWake);
    return standIns().failWithError == 0;
}
BOOL WINAPI hookedSetSystemPowerState(BOOL suspend, BOOL force)
{
    standin::logPowerCall(suspend, force, 9);
    return TRUE;
}
BOOL WINAPI fakeLastInput(LastInputRecord* info)
{
    info->dwTime = inputTime;
    return TRUE;
}
// What Windows answers an account without the privilege: success, and this error.
BOOL WINAPI notAllAssigned(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD)
{ SetLastError(ERROR_NOT_ALL_ASSIGNED); return TRUE; }
BOOL WINAPI assigned(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD) { SetLastError(0); return TRUE; }
void WINAPI countedSleep(DWORD ms)
{
    const DWORD thread = GetCurrentThreadId();
    watcherPauses += thread == sharingWatch.threadId || thread == dialUpWatch.threadId;
    SleepEx(ms, FALSE);
}
int fakeSetHook() { return ++hookInstalls; }  // from -1: fails once
HANDLE WINAPI failedSnapshot(DWORD, DWORD) { return INVALID_HANDLE_VALUE; }
void fakeFreeHook() {}

#define HOOK(name, replacement) {name, reinterpret_cast<void*>(replacement)}
const std::pair<const char*, void*> kHooks[] = {
    HOOK("Shell_NotifyIconA", recordNotifyIcon), HOOK("LoadIconA", iconById), HOOK("MessageBoxA", fakeBox),
    HOOK("SetSystemPowerState", hookedSetSystemPowerState), HOOK("SetHook", fakeSetHook), HOOK("FreeHook", fakeFreeHook),
    HOOK("AdjustTokenPrivileges", notAllAssigned), HOOK("Sleep", countedSleep)};
#undef HOOK

// The broadcast reaches the main window too, as a top-level window of this thread.
LRESULT CALLBACK testProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    commandsToMain += message == WM_COMMAND;
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MONITORPOWER) {
        monitor.push_back({InterlockedIncrement(&standIns().sequence), lParam});
        if (std::exchange(handOffInBroadcast, false))
            mainWindowProc(window, WM_COMMAND, IDC_SUSPEND_NOW, SUSPEND_KIND_STANDBY);
        return 0;
    }
    return mainWindowProc(window, message, wParam, lParam);
}

LRESULT CALLBACK activeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        forwarded.push_back(LOWORD(wParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

bool quitPosted()
{
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

// The rows as "text|id" ("-" separator, ">" submenu), marks, greying and default as " v", " g", " d".
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

class MainWindow : public SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        settings = kDefaultSettings;
        isNtPlatform = readmeAvailable = balloonErrorMode = 1;
        MessageSet(0);
        fatalErrorShown = 0;
        boxTexts.clear();
        forwarded.clear();
        busyShell = false;
        appInstance = LoadLibraryExA(binPath("Somnivar.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        for (size_t i = 0; i < std::size(kHooks); ++i)
            previous_[i] = hookImport(kHooks[i].first, kHooks[i].second);
        lookUpSystemCalls();
        systemCalls_ = systemCalls;
        systemCalls.setSuspendState = hookedSetSuspendState;
        systemCalls.getLastInputInfo = fakeLastInput;
        systemCalls.getPwrCapabilities = standin::fillCapabilities;
        for (auto [name, procedure] : {std::pair{"SomnivarInProcess", testProc}, std::pair{"Active", activeProc}}) {
            WNDCLASSA windowClass = {0, procedure, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, name};
            RegisterClassA(&windowClass);
        }
        ASSERT_NE(create(), nullptr);
    }
    void TearDown() override
    {
        closeProgramWindows();
        destroy();
        armIdleTimer(0);
        for (size_t i = 0; i < std::size(kHooks); ++i)
            hookImport(kHooks[i].first, previous_[i]);
        systemCalls = systemCalls_;
        FreeLibrary(reinterpret_cast<HMODULE>(appInstance));
        settings = kDefaultSettings;
        suspendInProgress = resourceStopActive = isNtPlatform = balloonErrorMode = inputHooksInstalled = 0;
        standbyKind = displayOffStandby = 0;
        resumeGrace = 0;
        SomnivarTest::TearDown();
    }
    HWND create()
    {
        clearRecords();
        return mainWindow = CreateWindowExA(0, "SomnivarInProcess", "", WS_POPUP, 0, 0, 0, 0, 0, 0, 0, 0);
    }
    void destroy()
    {
        KillTimer(mainWindow, TIMER_RESUME_GRACE);
        DestroyWindow(mainWindow);
        mainWindow = nullptr;
        dropTrayMenu();
        quitPosted();
    }
    void clearRecords()
    {
        codes.clear();
        records.clear();
        monitor.clear();
    }
    LRESULT command(WPARAM id) { return SendMessageA(mainWindow, WM_COMMAND, id, 0); }
    LRESULT tick(UINT_PTR timer) { return onMainWindowTimer(mainWindow, timer); }
    void* previous_[std::size(kHooks)] = {};
    SystemCalls systemCalls_ = {};
};

using PowerInProcess = MainWindow;

TEST_F(MainWindow, MenuRowsMarksAndGreyingFollowFamilyReadmeAndState)
{
    const std::string on = "機能をONにする (&E)|256";
    const std::string off = "機能をOFFにする (&O)|257";
    const std::string tail = "設　定 (&S)|259\n-\nﾊﾞｰｼﾞｮﾝ情報 (&V)|260\n-\n";
    const std::string readme = "Readme.txt の表示 (&B)|261\n-\n";
    const std::string exit = "終　了 (&X)|262\n";
    const struct {
        int nt, readme, enable, statusDisplay;
        std::string rows;
    } cases[] = {
        {1, 1, 1, 0, on + " v d\n" + off + "\n-\n現在の監視ステータスを表示(&Q)|267 g\n-\n"
                         "強制サスペンド (&U)>スタンバイ (&N)|264\n休止 (&M)|263\n<\n-\n" + tail + readme + exit},
        {0, 0, 5, 1, on + "\n" + off + " v d\n-\n強制サスペンド (&U)|258\n-\n" + tail + exit},  // 5 is off
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nt);
        destroy();
        isNtPlatform = c.nt;
        readmeAvailable = c.readme;
        settings.Enable = c.enable;
        settings.StatusDisplay = c.statusDisplay;
        ASSERT_NE(create(), nullptr);
        EXPECT_EQ(rows(trayMenu), c.rows);
    }
}

// A busy shell is asked again on a timer; after five attempts the program ends.
TEST_F(MainWindow, TraySetUpRetriesABusyShellFiveTimesThenEnds)
{
    destroy();
    busyShell = true;
    ASSERT_NE(create(), nullptr);
    const NOTIFYICONDATAA& added = records[0];
    EXPECT_TRUE(added.cbSize == (sizeof(void*) == 8 ? 504u : 488u) && added.hWnd == mainWindow && added.uID == 123);
    EXPECT_TRUE(added.uFlags == 7 && added.uCallbackMessage == 32868 && added.hIcon == HICON(2));
    std::vector<DWORD> expected;
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(quitPosted());
        SendMessageA(mainWindow, WM_TIMER, TIMER_TRAY_RETRY, 0);  // five seconds on
        expected.insert(expected.end(), {NIM_ADD, NIM_MODIFY, NIM_DELETE});
    }
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(boxTexts, std::vector<std::string>({"Somnivar|タスクトレイにアイコンを登録できませんでした", "Somnivar|終了します。"}));
    EXPECT_TRUE(quitPosted());
}

// Start-up reports word for word: the failed hooks, whose start leaves its window for the next to
// find; then, with the hooks in place, a taken hot key, no process snapshot and the balloon that
// says where errors will show, before a queued quit ends the run.
TEST_F(MainWindow, StartUpMessagesWordForWord)
{
    destroy();
    ASSERT_TRUE(storeSettings({{"HotKeyCode", 0x653}}) && RegisterHotKey(nullptr, 0x5A5A, MOD_CONTROL | MOD_ALT, 'S'));
    hookImport("AdjustTokenPrivileges", reinterpret_cast<void*>(assigned));
    void* snapshot = hookImport("CreateToolhelp32Snapshot", reinterpret_cast<void*>(failedSnapshot));
    const int arguments = std::exchange(__argc, 1);  // none
    hookInstalls = -1;
    for (int start = 0; start < 3; ++start) {
        EXPECT_EQ(somnivarMain(appInstance, 0), 0);
        if (start == 1 && DestroyWindow(mainWindow))
            PostQuitMessage(0);
    }
    __argc = arguments;
    hookImport("CreateToolhelp32Snapshot", snapshot);
    UnregisterHotKey(nullptr, 0x5A5A);
    EXPECT_EQ(boxTexts, std::vector<std::string>({"Somnivar|マウス・キーボードをフックできませんでした。", "Somnivar|終了します。",
                                                  "Somnivar|Somnivar は既に起動されています。",
                                                  "Somnivar - Error|ホットキーの設定ができませんでした",
                                                  "Somnivar - Error|現在、プログラム監視ができない状態です。"}));
    EXPECT_TRUE(std::any_of(records.begin(), records.end(), [](const NOTIFYICONDATAA& r) {
        return std::string(r.szInfo) == "サスペンドエラーメッセージは、ここに表示されます";
    }));
}

TEST_F(MainWindow, CommandsForwardOnlyTheListedShortcutsAndNeverToItself)
{
    HWND active = CreateWindowExA(0, "Active", "", WS_POPUP | WS_VISIBLE | WS_CAPTION, 50, 50, 200, 100, 0, 0, 0, 0);
    SetForegroundWindow(active);
    ASSERT_EQ(GetActiveWindow(), active);
    for (UINT id = 1; id <= 1200; ++id)  // all but the suspend, the menu's and the readme's
        command(id == 7 || (id >= 256 && id <= 267) || id == IDC_README_CLOSED ? 0 : id);
    EXPECT_FALSE(quitPosted());
    EXPECT_EQ(forwarded, (std::vector<WORD>{1, 2, 1029, 1030, 1049, 1053, 1054, 1056, 1068, 1069, 1070, 1100, 1101,
                                            1103, 1104, 1105, 1109, 1110, 1111, 1112, 1113, 1114, 1115, 1116, 1117,
                                            1119, 1120, 1123, 1125, 1126, 1134}));
    DestroyWindow(active);
    // After the popup menu the hidden main window may be the active one: never to itself again.
    SetActiveWindow(mainWindow);
    commandsToMain = 0;
    command(IDOK);
    EXPECT_EQ(commandsToMain, 1);
    EXPECT_EQ(setShutdownPrivilege(1), 0);  // a privilege the account lacks is no success
}

// The call's kind by family, command and SuspendType, each between the monitor broadcasts (off
// before, on after).
TEST_F(PowerInProcess, SuspendKindFamilyOrderAndTheCountdownAfterwards)
{
    constexpr int idle = 1;
    settings.Monitor = 1;
    const struct {
        int nt, kind, suspendType;  // nt 2: without a power library, the kernel's call (suspend flag)
        std::vector<LONG> call;  // hibernate, force, disableWakeEvent
    } cases[] = {{1, idle, 1, {1, 0, 0}}, {1, idle, 0, {0, 0, 0}}, {1, 263, 0, {1, 0, 0}}, {1, 264, 1, {0, 0, 0}},
                 {1, 258, 1, {1, 0, 0}}, {1, 0, 0, {0, 0, 0}}, {0, 263, 1, {0, 0, 9}}, {2, idle, 0, {1, 0, 9}},
                 {2, 263, 0, {0, 0, 9}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.nt << " " << c.kind << " " << c.suspendType);
        isNtPlatform = c.nt != 0;
        systemCalls.setSuspendState = c.nt == 2 ? nullptr : hookedSetSuspendState;
        settings.SuspendType = c.suspendType;
        clearRecords();
        c.kind == idle ? idleSuspend() : commandedSuspend(c.kind);
        const standin::PowerCall& call = standIns().calls[standIns().callCount - 1];
        EXPECT_EQ(std::vector<LONG>({call.hibernate, call.forceCritical, call.disableWakeEvent}), c.call);
        ASSERT_EQ(monitor.size(), 2u);  // off (2) before the call, on (-1) after it
        EXPECT_TRUE(monitor[0].second == 2 && monitor[0].first < call.sequence);
        EXPECT_TRUE(monitor[1].second == -1 && monitor[1].first > call.sequence);
        EXPECT_TRUE(suspendInProgress == 0 && idleTimerArmed != 0 && MessageCheck() == 0);
    }
    // Through a long call the watchers pause between their searches instead of spinning.
    watcherPauses = 0;
    startWatchers();
    WaitForSingleObject(sharingWatch.thread, 300);
    stopWatchers();
    EXPECT_GT(watcherPauses, 1);
}

// Standby by machine kind (S3; Modern Standby only; neither), read after a resume, and by way of
// asking: the call, the display switched off and left off, or a refusal; hibernation is the call.
// The countdown starts afresh at once, or once the user is back (input, resume, input the system saw).
TEST_F(PowerInProcess, StandbyFollowsTheMachineKindAndTheCountdownStartsAfresh)
{
    const std::string refused = "サスペンドできませんでした。\n理由：このコンピュータはスタンバイに対応していません。";
    const struct { LONG withoutS3, modern; std::string outcome; } machines[] = {
        {0, 0, "standby -1 -1 "}, {0, 1, "standby -1 -1 "}, {1, 1, "2 "}, {1, 0, refused}};
    enum { idle, menu, option, hibernate };
    inputTime = GetTickCount();
    for (const auto& machine : machines) {
        for (int way : {idle, menu, option, hibernate}) {
            SCOPED_TRACE(testing::Message() << machine.withoutS3 << machine.modern << way);
            standIns().withoutS3 = machine.withoutS3;
            standIns().modernStandby = machine.modern;
            onPowerBroadcast(mainWindow, PBT_APMRESUMEAUTOMATIC);
            tick(TIMER_RESUME_GRACE);
            clearRecords();
            const LONG calls = standIns().callCount;
            idleTimerArmed = 99;
            way == idle ? idleSuspend() : way == menu ? (void)command(IDM_STANDBY) : commandedSuspend(way == option ? 264 : 263);
            pumpMessages(0);
            std::string outcome = standIns().callCount == calls ? "" : standIns().calls[calls].hibernate ? "hibernate " : "standby ";
            for (const auto& broadcast : monitor)
                outcome += std::to_string(broadcast.second) + " ";
            outcome += records.empty() ? "" : records.back().szInfo;
            EXPECT_EQ(outcome, way == hibernate ? "hibernate -1 -1 " : machine.outcome);
            if (displayOffStandby) {
                for (int poll = 0; poll < 2; ++poll) {
                    tick(TIMER_ACTIVITY_POLL);
                    EXPECT_TRUE(idleTimerArmed == 0 && suspendInProgress == 1 && resumeGrace == 0 && monitor.size() == 1);
                }
                if (way == menu)
                    onPowerBroadcast(mainWindow, PBT_APMRESUMESUSPEND);
                way == idle ? (void)MessageSet(1) : (void)(inputTime = GetTickCount() + (way == option ? 5 : 0));
                tick(TIMER_ACTIVITY_POLL);
                EXPECT_NE(resumeGrace, 0u);
            }
            EXPECT_TRUE(idleTimerArmed == 3 && suspendInProgress == 0 && MessageCheck() == 0 && displayOffStandby == 0);
        }
    }
}

TEST_F(PowerInProcess, RequestsAndResumesAnswerWithTheExactValuesAndRefusalsShowABalloon)
{
    // A broadcast's event, or 100 + a WM_POWER argument.
    auto answer = [](WPARAM event) {
        return event >= 100 ? onPower(mainWindow, event - 100) : onPowerBroadcast(mainWindow, event);
    };
    for (WPARAM event : {PBT_APMQUERYSUSPEND, PBT_APMQUERYSTANDBY, PBT_APMSUSPEND, PBT_APMSTANDBY, 101}) {
        clearRecords();
        EXPECT_EQ(answer(event), event == 101 ? -1 : kDeny) << event;
        const NOTIFYICONDATAA r = records.empty() ? NOTIFYICONDATAA{} : records.back();  // for ten seconds
        EXPECT_TRUE(r.uFlags == NIF_INFO && r.dwInfoFlags == 1 && r.uTimeout == 10000) << event;
        EXPECT_STREQ(r.szInfoTitle, "Somnivar");
        EXPECT_STREQ(r.szInfo, "サスペンド要求はキャンセルされました");
    }
    settings.SuspendOther = 1;  // allowed, and the windows close
    armIdleTimer(1);
    aboutBox = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 9, 9, 0, 0, 0, 0);
    clearRecords();
    EXPECT_EQ(answer(PBT_APMQUERYSUSPEND), TRUE);
    EXPECT_TRUE(aboutBox == nullptr && idleTimerArmed == 0 && records.empty());
    EXPECT_EQ(answer(101), 1);
    settings.SuspendOther = 0;  // the program's own suspend goes through
    notifyOwnSuspend = true;
    idleSuspend();
    notifyOwnSuspend = false;
    EXPECT_EQ(ownSuspendAnswer, TRUE);
    EXPECT_EQ(answer(PBT_APMPOWERSTATUSCHANGE), TRUE);
    EXPECT_EQ(answer(103), 0);
    for (WPARAM event : {PBT_APMRESUMECRITICAL, PBT_APMRESUMESUSPEND, PBT_APMRESUMEAUTOMATIC, 102}) {
        settings.Enable = 0;
        suspendInProgress = 1;
        resumeGrace = 0;
        armIdleTimer(0);
        EXPECT_EQ(answer(event), event == 102 ? 0 : TRUE);
        EXPECT_TRUE(resumeGrace != 0 && idleTimerArmed != 0 && suspendInProgress == 0) << event;
    }
    settings.SuspendOther = 1;  // in the grace everyone is refused
    suspendInProgress = 1;
    EXPECT_TRUE(answer(PBT_APMQUERYSUSPEND) == kDeny && answer(101) == -1);
    tick(TIMER_RESUME_GRACE);
    EXPECT_TRUE(resumeGrace == 0 && answer(PBT_APMQUERYSUSPEND) == TRUE);
}

std::vector<LRESULT> seen;

// In a failed suspend's box the suspend is over and none starts, nor does one during its monitor
// broadcast; a timer failure (no such window) that the poll in its box meets again, or the
// watchers meet, shows no second fatal pair.
TEST_F(PowerInProcess, BoxesNeverPileUp)
{
    standIns().failWithError = ERROR_ACCESS_DENIED;
    balloonErrorMode = 0;
    handOffInBroadcast = true;
    inBox = [] {
        seen = {suspendInProgress, MessageCheck(), onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND)};
        onMainWindowTimer(mainWindow, TIMER_IDLE_EXPIRY);
        commandedSuspend(0);
    };
    idleSuspend();
    armIdleTimer(0);
    const HWND window = std::exchange(mainWindow, reinterpret_cast<HWND>(0x7FFE));
    inBox = [] {
        MessageSet(1);
        onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL);
    };
    armIdleTimer(1);
    startWatchers();
    mainWindow = window;
    EXPECT_TRUE(quitPosted());
    EXPECT_EQ(seen, (std::vector<LRESULT>{0, 0, kDeny}));
    EXPECT_EQ(boxTexts.size(), 3u);
    EXPECT_EQ(standIns().callCount, 1);
}

// Switching on starts the countdown afresh (timer 3), and so does input the hooks saw, only while
// enabled. A resume installs the hooks again, and so does an
// expiry that finds input within the period (Time 10) which the hooks missed: it counts as input.
TEST_F(PowerInProcess, CountdownStartsAfreshAndLostHooksComeBack)
{
    inputHooksInstalled = 1;
    hookInstalls = 0;
    onPowerBroadcast(mainWindow, PBT_APMRESUMEAUTOMATIC);
    idleTimerArmed = 99;
    setEnableState(1);
    EXPECT_EQ(idleTimerArmed, 3u);
    EXPECT_EQ(hookInstalls, 1);
    // Enable and flag at a poll; then the countdown's timer and the flag (neither read nor cleared).
    const struct { int enable, flag, timer, flagAfter; } polls[] = {{0, 1, 0, 1}, {1, 0, 0, 0}, {1, 1, 3, 0}};
    for (const auto& poll : polls) {
        armIdleTimer(0);
        settings.Enable = poll.enable;
        MessageSet(poll.flag);
        tick(TIMER_ACTIVITY_POLL);
        EXPECT_EQ(int(idleTimerArmed), poll.timer) << poll.enable << poll.flag;
        EXPECT_EQ(MessageCheck(), poll.flagAfter) << poll.enable << poll.flag;
    }
    resumeGrace = 0;  // the resume's grace is over
    // At the expiry, input the system saw after the arming and the hooks' last event was missed by
    // them: it counts, and they come back; input from before lets the suspend go on, as does any
    // input where the system keeps no last-input time (before Windows 2000). Input the poll saw and
    // both vetoes of a request restart the countdown: input before them was seen.
    armIdleTimer(0);
    armIdleTimer(1);
    const struct { LONG after; int installs; LONG calls; bool systemKnows; void (*restart)(); } expiries[] = {
        {1500, 2, 0, true, [] {}}, {-1000, 2, 1, true, [] {}}, {1500, 2, 2, false, [] {}},
        {0, 2, 3, true, [] { MessageSet(1); onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL); }},
        {0, 2, 4, true, [] { onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPENDFAILED); }},
        {0, 2, 5, true, [] { onPowerBroadcast(mainWindow, PBT_APMQUERYSTANDBYFAILED); }}};
    for (const auto& expiry : expiries) {
        Sleep(20);  // the countdown was armed before this input
        systemCalls.getLastInputInfo = expiry.systemKnows ? fakeLastInput : nullptr;
        inputTime = GetTickCount() + expiry.after;
        expiry.restart();
        tick(TIMER_IDLE_EXPIRY);
        EXPECT_EQ(hookInstalls, expiry.installs) << &expiry - expiries;
        EXPECT_EQ(standIns().callCount, expiry.calls) << &expiry - expiries;
        EXPECT_NE(idleTimerArmed, 0u);
    }
}

} // namespace
