// Idle supervision: the one-second poll, the idle countdown and their small companions.
#include "app/timers_win.h"

#include "app/idletime.h"
#include "app/mainwnd_win.h"
#include "app/process_win.h"
#include "app/scan_win.h"
#include "app/suspend_win.h"
#include "app/syslibs_win.h"
#include "app/windows_win.h"
#include "hooklib/vantrel.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "status/caution_win.h"
#include "status/detectors_win.h"
#include "status/tray_win.h"

UINT_PTR idleTimerArmed;
UINT_PTR cautionFlashArmed;
int resourceStopActive;
int enableBeforeResourceStop;
int cautionShown;
// Set at start with no budget: the poll keeps looking until a viewer appears.
int readmeSettling = 1;

namespace {

// Ticks left for the readme settling look-up; 0: no budget, only a found window ends it.
int readmeSettlingBudget;

constexpr const char* kDialogClass = "#32770";
constexpr const char* kReadmeViewerTitle = "Somnivar - Readme.txt";

// When timer 3 was last armed (GetTickCount).
DWORD idleArmedAt;

// Windows removes a low-level hook that keeps timing out, without a word; from then on the
// flag stays clear while the user works and the countdown runs out under their hands. The
// system's own last-input time still moves. Input the hooks saw restarts the countdown or was a
// move to the same point, which is no activity (a device that reports such moves must not keep
// the machine awake); input the system saw after both the arming and the hooks' last event was
// missed: the hooks are installed afresh and the input counts. Asked at the expiry rather than at
// every poll, this costs an idle machine nothing (under Wine every call is a round trip to the
// server).
bool hooksMissedInput()
{
    // Before Windows 2000 the system keeps no last-input time: the hooks are all there is.
    if (!isNtPlatform || !inputHooksInstalled || !systemCalls.getLastInputInfo)
        return false;
    LastInputRecord info = {};
    info.cbSize = sizeof(info);
    if (!systemCalls.getLastInputInfo(&info) || !inputMissedByHooks(info.dwTime, idleArmedAt, LastEventTime()))
        return false;
    reinstallInputHooks();
    return true;
}

// The readme viewer of this process, or null. Another process's window with the same title
// (a readme-only start of ours, say) must never become our handle: we would close it.
HWND findOwnReadmeViewer()
{
    const DWORD self = GetCurrentProcessId();
    HWND candidate = nullptr;
    while ((candidate = FindWindowExA(nullptr, candidate, kDialogClass, kReadmeViewerTitle)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(candidate, &owner);
        if (owner == self)
            return candidate;
    }
    return nullptr;
}

void settleReadmeViewer()
{
    if (!readmeSettling)
        return;
    // Every opener of our viewer keeps its handle, so without one there is nothing to find: the
    // look-up, a round trip through the window manager, is saved on every tick of a run in which
    // no viewer is open (the start-up settling, which has no budget, lasts all that time).
    readmeViewer = readmeViewer ? findOwnReadmeViewer() : nullptr;
    if (readmeViewer) {
        readmeSettling = 0;
        return;
    }
    // A budget of 0 means none: the start-up look-up ends only when a viewer is found.
    if (readmeSettlingBudget > 0 && --readmeSettlingBudget == 0)
        readmeSettling = 0;
}

void openCautionWindow()
{
    if (cautionWindow)
        return;
    cautionWindow = CreateDialogParamA(appInstance, "IDD_CAUTION", mainWindow, cautionDialogProc,
                                       reinterpret_cast<LPARAM>(mainWindow));
}

void watchResources(int percent)
{
    if (settings.Resource == 1) {
        if (percent <= settings.Value && !cautionShown) {
            cautionShown = 1;
            openCautionWindow();
        } else if (percent > settings.Value && cautionShown) {
            cautionShown = 0;
            destroyWhenOpen(cautionWindow);
        }
    }
    if (settings.Stop == 1) {
        if (percent <= settings.StopValue && !resourceStopActive) {
            enableBeforeResourceStop = settings.Enable;
            resourceStopActive = 1;
            setEnableState(0);
        } else if (percent > settings.StopValue && resourceStopActive) {
            resourceStopActive = 0;
            settings.Enable = enableBeforeResourceStop;
            setEnableState(enableBeforeResourceStop);
        }
    }
}

} // namespace

void armIdleTimer(int mode)
{
    if (mode == 1) {
        if (!idleTimerArmed) {
            idleTimerArmed = SetTimer(mainWindow, TIMER_IDLE_EXPIRY, idlePeriodMs(settings.Time), nullptr);
            idleArmedAt = GetTickCount();
            if (!idleTimerArmed)
                reportTimerFailure();
        }
    } else {
        killTimerWhenArmed(mainWindow, idleTimerArmed, TIMER_IDLE_EXPIRY);
    }
    MessageSet(0);
    // Our own suspend query and the resume notification arrive during our own power call, and
    // both come here: the watchers started for that call must go on until it returns.
    if (!suspendInProgress)
        stopWatchers();
}

void reportTimerFailure()
{
    showFatalError(mainWindow, kNoTimerText);
}

void reinstallInputHooks()
{
    if (!inputHooksInstalled)
        return;
    FreeHook();
    SetHook(); // a failure is tried again when the last-input time next moves
}

void startReadmeSettling(int budget)
{
    readmeSettling = 1;
    readmeSettlingBudget = budget;
}

namespace {

void activityPollTick(HWND window)
{
    if (!pollDisplayOffStandby(window) && settings.Enable == 1 && MessageCheck() == 1) {
        // Restart from the full period: the countdown runs from this poll.
        armIdleTimer(0);
        armIdleTimer(1);
        MessageSet(0);
    }
    settleReadmeViewer();
    // The meter counts only when both the library and its export were found at start.
    const bool meterAvailable = resourceMeterLibrary && freeResourcesProc;
    if (meterAvailable)
        freeResourcePercent = freeResourcesProc(0);
    refreshTrayTip();
    if (meterAvailable)
        watchResources(freeResourcePercent);
}

void idleExpiryTick()
{
    // Vetoed expiries leave timer 3 armed: the next try is one full period later.
    if (resourceStopActive || settings.Enable == 0 || resumeGrace)
        return;
    if (hooksMissedInput()) {
        armIdleTimer(0);
        armIdleTimer(1);
        return;
    }
    idleSuspend();
}

void watchScanTick()
{
    const int found = runWatchScan();
    if (found < 0)
        return; // a list file could not be opened: no decision on a partial scan
    if (found > 0 && settings.Enable == 1)
        setEnableState(0);
    // Undoes any switch-off the user did not make, whatever the checks say.
    if (found == 0 && settings.Enable == 0 && settings.OffCheck == 0)
        setEnableState(1);
}

void resumeGraceTick(HWND window)
{
    KillTimer(window, TIMER_RESUME_GRACE);
    resumeGrace = 0;
}

} // namespace

LRESULT onMainWindowTimer(HWND window, WPARAM timerId)
{
    switch (timerId) {
    case TIMER_ACTIVITY_POLL:
        activityPollTick(window);
        break;
    case TIMER_IDLE_EXPIRY:
        idleExpiryTick();
        break;
    case TIMER_SHARING_WATCHDOG:
        onWatchdogExpired(sharingWatch, TIMER_SHARING_WATCHDOG);
        break;
    case TIMER_DIALUP_WATCHDOG:
        onWatchdogExpired(dialUpWatch, TIMER_DIALUP_WATCHDOG);
        break;
    case TIMER_CAUTION_FLASH:
        cautionBlinkStep();
        break;
    case TIMER_WATCH_SCAN:
        watchScanTick();
        break;
    case TIMER_RESUME_GRACE:
        resumeGraceTick(window);
        break;
    case TIMER_TRAY_RETRY:
        trayRetryTick(window);
        break;
    case TIMER_LAUNCH_SUSPEND:
        KillTimer(window, TIMER_LAUNCH_SUSPEND);
        PostMessageA(window, WM_COMMAND, IDC_SUSPEND_NOW, SUSPEND_KIND_LAUNCH);
        break;
    default:
        break;
    }
    return 0;
}
