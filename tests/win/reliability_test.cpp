// A machine in use is never suspended, an idle one never stays awake, boxes never pile up.
#include <functional>

#include "app/scan_win.h"
#include "tests/win/power_system.h"
#include "tests/win/program_state.h"
#include "watchlists/listfiles_win.h"

namespace {

DWORD inputTime;
int setHooks, idleArms, failIdleTimer;
void* realSetTimer;
std::function<void()> inBox; // what the box's modal loop does while it is open, once
std::vector<std::string> boxTexts;

int WINAPI fakeBox(HWND, const char* text, const char*, UINT)
{
    boxTexts.push_back(text);
    if (inBox)
        std::exchange(inBox, nullptr)();
    return IDOK;
}
BOOL WINAPI fakeLastInput(LASTINPUTINFO* info)
{
    return info->dwTime = inputTime, TRUE;
}
BOOL WINAPI notAllAssigned(HANDLE, BOOL, TOKEN_PRIVILEGES*, DWORD, TOKEN_PRIVILEGES*, DWORD*)
{
    return SetLastError(ERROR_NOT_ALL_ASSIGNED), TRUE;
}
HANDLE WINAPI failSnapshot(DWORD, DWORD)
{
    return INVALID_HANDLE_VALUE;
}
UINT_PTR WINAPI countSetTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC procedure)
{
    if (id == TIMER_IDLE_EXPIRY && (++idleArms, failIdleTimer))
        return 0;
    return reinterpret_cast<decltype(&SetTimer)>(realSetTimer)(window, id, ms, procedure);
}
struct Hooked {
    const char* name;
    void* previous;
    template <typename F>
    Hooked(const char* n, F f) : name(n), previous(powertest::hookImport(n, reinterpret_cast<void*>(f))) {}
    ~Hooked() { powertest::hookImport(name, previous); }
};

struct Reliability : programstate::ProgramStateTest {
    Hooked timer{"SetTimer", countSetTimer}, box{"MessageBoxA", fakeBox};
    Reliability() { realSetTimer = timer.previous, boxTexts.clear(), idleArms = 0; }
};

TEST_F(Reliability, FailedSuspendShowsOneBoxOnceItsSuspendHasEnded)
{
    standIn_.state().failWithError = ERROR_ACCESS_DENIED;
    balloonErrorMode = settings.SuspendOther = 0;
    std::vector<LRESULT> seen;
    inBox = [&] {
        seen = {suspendInProgress, MessageCheck(), onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND)};
        onMainWindowTimer(mainWindow, TIMER_IDLE_EXPIRY), commandedSuspend(0);
    };
    idleSuspend();
    EXPECT_EQ(seen, (std::vector<LRESULT>{0, 0, 0x424D5144}));
    EXPECT_EQ(std::pair(boxTexts.size(), standIn_.calls()), std::pair(size_t{1}, LONG{1}));
}

TEST_F(Reliability, TimerFailureShowsOneFatalPairThenTheQuit)
{
    failIdleTimer = 1;
    inBox = [] { MessageSet(1), onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL); };
    armIdleTimer(1);
    failIdleTimer = 0;
    EXPECT_EQ(boxTexts, (std::vector<std::string>{"タイマーが確保できません。", "終了します。"}));
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    Hooked adjust("AdjustTokenPrivileges", notAllAssigned);
    EXPECT_EQ(setShutdownPrivilege(1), 0); // the privilege is missing: not a success
}

// A veto of a suspend we allowed, switching on while a resume left the countdown running, and
// input the hooks missed all start it afresh; a resume and missed input bring the hooks back.
TEST_F(Reliability, CountdownStartsAfreshAndLostHooksComeBack)
{
    Hooked input("GetLastInputInfo", fakeLastInput);
    Hooked set("SetHook", +[] { return ++setHooks; }), free("FreeHook", +[] {});
    settings.SuspendOther = inputHooksInstalled = 1;
    for (WPARAM vetoed : {PBT_APMQUERYSUSPENDFAILED, PBT_APMQUERYSTANDBYFAILED}) {
        onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND), idleArms = 0;
        EXPECT_EQ(std::pair(onPowerBroadcast(mainWindow, vetoed), idleArms), std::pair(LRESULT{TRUE}, 1));
    }
    settings.Enable = 0;
    onPowerBroadcast(mainWindow, PBT_APMRESUMEAUTOMATIC), idleArms = 0;
    setEnableState(1);
    EXPECT_EQ(std::pair(idleArms, setHooks), std::pair(1, 1));
    // Last-input time and flag at a poll; then countdown restarts and hook installs so far.
    const struct { DWORD time; int flag, arms, hooks; } ticks[] = {{7, 0, 0, 1}, {8, 1, 1, 1}, {9, 0, 1, 2}, {9, 0, 0, 2}};
    for (const auto& tick : ticks) {
        inputTime = tick.time, idleArms = 0, MessageSet(tick.flag);
        onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL);
        EXPECT_EQ(std::pair(idleArms, setHooks), std::pair(tick.arms, tick.hooks)) << tick.time;
    }
    inputHooksInstalled = 0;
}

using ReliabilityScan = harness::SomnivarTest;
TEST_F(ReliabilityScan, FailedSnapshotKeepsWhatTheLastGoodOneFound)
{
    const Settings saved = settings;
    settings.ApplicationCheck = 1, settings.StatusDisplay = 0;
    writeFile(kProgramListFile, "win_tests.exe\r\n");
    programListPresent = processWatchAvailable = 1;
    loadProgramList();
    EXPECT_EQ(runWatchScan(), 1);
    {
        Hooked snapshot("CreateToolhelp32Snapshot", failSnapshot);
        EXPECT_EQ(runWatchScan(), 1);
        EXPECT_EQ(lastWatchReport(), "・監視プログラム名\n    win_tests.exe\n");
    }
    freeWatchLists();
    programListPresent = processWatchAvailable = 0;
    settings = saved;
}

// The tray menu's modal loop is open when the launch's suspend command comes.
using ReliabilitySystem = powersystem::PowerSystemTest;
TEST_F(ReliabilitySystem, LaunchEndsAfterItsSuspendWhicheverLoopHandledIt)
{
    harness::StartOptions options;
    options.arguments = "-S";
    harness::Process launch;
    ASSERT_TRUE(harness::startProcess(harness::binPath("Somnivar.exe"), options, &launch));
    HWND window = nullptr;
    ASSERT_TRUE(harness::waitUntil([&] { return window = harness::findProcessWindow(launch.id, "Somnivar", "Somnivar"); }, 15000));
    harness::postMessage(window, WM_NULL, 0, 0);
    harness::postMessage(window, WM_TRAY_CALLBACK, TRAY_ICON_ID, WM_RBUTTONUP);
    ASSERT_TRUE(waitCalls(1));
    harness::postMessage(window, WM_CANCELMODE, 0, 0); // the user closes the menu
    EXPECT_TRUE(harness::waitProcessExit(launch, 10000, nullptr));
}

} // namespace
