// A machine in use is never suspended, an idle one never stays awake, boxes never pile up.
#include "tests/win/power_fixture.h"
#include "status/tray_win.h"
namespace {
DWORD inputTime;
int boxes, hookInstalls;
void (*inBox)(); // what the box's modal loop runs, once
std::vector<LRESULT> seen;
int WINAPI fakeBox(HWND, const char*, const char*, UINT)
{
    if (++boxes, inBox)
        std::exchange(inBox, nullptr)();
    return IDOK;
}
BOOL WINAPI fakeLastInput(LASTINPUTINFO* info) { return info->dwTime = inputTime, TRUE; }
struct Hooked { // an import of this executable, replaced while in scope
    const char* name;
    void* previous;
    template <typename F> Hooked(const char* n, F f) : name(n), previous(harness::hookImport(n, (void*)f)) {}
    ~Hooked() { harness::hookImport(name, previous); }
};
using Reliability = PowerInProcess;

// In a failed suspend's box the suspend is over and none starts; a timer failure (no such
// window) that the poll in its box meets again shows no second fatal pair.
TEST_F(Reliability, BoxesNeverPileUp)
{
    Hooked box("MessageBoxA", fakeBox);
    harness::standIns().failWithError = ERROR_ACCESS_DENIED;
    balloonErrorMode = settings.SuspendOther = 0;
    inBox = [] {
        seen = {suspendInProgress, MessageCheck(), onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND)};
        onMainWindowTimer(mainWindow, TIMER_IDLE_EXPIRY), commandedSuspend(0);
    };
    idleSuspend(), armIdleTimer(0);
    const HWND window = std::exchange(mainWindow, reinterpret_cast<HWND>(0x7FFE));
    inBox = [] { MessageSet(1), onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL); };
    armIdleTimer(1);
    mainWindow = window;
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(seen, (std::vector<LRESULT>{0, 0, 0x424D5144}));
    EXPECT_EQ(std::pair(boxes, harness::standIns().callCount), std::pair(3, LONG{1}));
}

// A veto of a suspend we allowed, switching on, and input the hooks missed start the countdown
// afresh (timer 3); a resume and missed input install the hooks again.
TEST_F(Reliability, CountdownStartsAfreshAndLostHooksComeBack)
{
    Hooked last("GetLastInputInfo", fakeLastInput), set("SetHook", +[] { return ++hookInstalls; }), free("FreeHook", +[] {});
    settings.SuspendOther = inputHooksInstalled = 1;
    onPowerBroadcast(mainWindow, PBT_APMQUERYSUSPEND), onPowerBroadcast(mainWindow, PBT_APMQUERYSTANDBYFAILED);
    EXPECT_EQ(idleTimerArmed, 3u);
    onPowerBroadcast(mainWindow, PBT_APMRESUMEAUTOMATIC), idleTimerArmed = 99, setEnableState(1);
    EXPECT_EQ(std::pair(idleTimerArmed, hookInstalls), std::pair(UINT_PTR{3}, 1));
    // Last-input time and flag at a poll; then the countdown's timer, and the installs so far.
    const struct { DWORD time; int flag, timer, installs; } ticks[] = {{7, 0, 0, 1}, {8, 1, 3, 1}, {9, 0, 3, 2}};
    for (const auto& tick : ticks) {
        armIdleTimer(0), inputTime = tick.time, MessageSet(tick.flag);
        onMainWindowTimer(mainWindow, TIMER_ACTIVITY_POLL);
        EXPECT_EQ(std::pair(int(idleTimerArmed), hookInstalls), std::pair(tick.timer, tick.installs));
    }
    inputHooksInstalled = 0;
}
} // namespace
