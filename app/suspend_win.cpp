// Suspend execution (idle and commanded) and the answers to the platform's power notifications.
#include "app/suspend_win.h"

#include <utility>

#include "app/bytes.h"
#include "app/idletime.h"
#include "app/powercaps_win.h"
#include "app/process_win.h"
#include "app/syslibs_win.h"
#include "app/timers_win.h"
#include "app/windows_win.h"
#include "hooklib/vantrel.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "status/detectors_win.h"
#include "status/tray_win.h"

int suspendInProgress;
int suspendErrorOpen;
int suspendUnderWay;
UINT_PTR resumeGrace;
// Monitor values outside 0..2 keep the previous argument; before any suspend that is "on".
int monitorPowerArgument = -1;
int displayOffStandby;

namespace {

constexpr const char* kErrorPrefix = "サスペンドできませんでした。\n理由：";
constexpr const char* kNoStandbyReason = "このコンピュータはスタンバイに対応していません。";
constexpr const char* kRequestCancelled = "サスペンド要求はキャンセルされました";
constexpr UINT kResumeGraceMs = 30000;
constexpr LPARAM kMonitorOn = -1;
constexpr LPARAM kMonitorOff = 2;
constexpr size_t kSystemMessageSize = 256;
// Per window of the monitor broadcast: a hung window of any program must not hold up the
// suspend, nor this thread, on which the low-level input hooks run.
constexpr UINT kMonitorBroadcastTimeoutMs = 200;

// WM_POWER answers (the 9x family's request protocol).
constexpr LRESULT kPowerOk = 1;
constexpr LRESULT kPowerFail = -1;
constexpr LRESULT kBroadcastQueryDeny = 0x424D5144;

// WM_POWER events.
constexpr WPARAM kPowerSuspendRequest = 1;
constexpr WPARAM kPowerSuspendResume = 2;

// When the display-off standby's first poll cleared the flag (GetTickCount).
DWORD displayOffSettledAt;

struct PowerCallResult {
    bool succeeded;
    DWORD error; // taken right after the call, only meaningful on failure
};

void sendMonitorPower(LPARAM argument)
{
    SendMessageTimeoutA(HWND_BROADCAST, WM_SYSCOMMAND, SC_MONITORPOWER, argument, SMTO_ABORTIFHUNG,
                        kMonitorBroadcastTimeoutMs, nullptr);
}

PowerCallResult callPowerFunction(int hibernate)
{
    BOOL succeeded;
    if (isNtPlatform && systemCalls.setSuspendState)
        succeeded = systemCalls.setSuspendState(hibernate ? TRUE : FALSE, FALSE, FALSE) != FALSE;
    else if (isNtPlatform)  // no power library: the kernel's call, whose flag means suspend
        succeeded = SetSystemPowerState(hibernate ? FALSE : TRUE, FALSE);
    else
        succeeded = SetSystemPowerState(FALSE, FALSE);
    const DWORD error = GetLastError();
    return {succeeded != FALSE, error};
}

// The call returns once the machine has resumed, or at once when it fails.
PowerCallResult suspendWithMonitor(int hibernate)
{
    sendMonitorPower(monitorPowerArgument);
    const PowerCallResult result = callPowerFunction(hibernate);
    sendMonitorPower(kMonitorOn);
    return result;
}

void reportSuspendFailure(const char* reason)
{
    char text[64 + kSystemMessageSize];
    const size_t prefixLength = copyBounded(text, sizeof(text), kErrorPrefix);
    copyBounded(text + prefixLength, sizeof(text) - prefixLength, reason);

    if (balloonErrorMode) {
        showTrayBalloon(mainWindow, text, kErrorCaption, kBalloonError);
        return;
    }
    // The box's modal loop keeps every timer running; see suspendErrorOpen.
    suspendErrorOpen = 1;
    MessageBoxA(nullptr, text, kErrorCaption, MB_ICONWARNING);
    suspendErrorOpen = 0;
}

void reportSuspendError(DWORD error)
{
    char systemText[kSystemMessageSize];
    // Inserts are ignored: without arguments a message with "%1" would read through a null pointer.
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), systemText, sizeof(systemText), nullptr))
        systemText[0] = '\0';
    systemText[sizeof(systemText) - 1] = '\0';
    reportSuspendFailure(systemText);
}

// Hibernation, and every suspend of the 9x family, is the power call wherever it is asked for.
StandbyKind standbyKindOf(int hibernate)
{
    return isNtPlatform && !hibernate ? static_cast<StandbyKind>(standbyKind) : kStandbyCall;
}

// A Modern Standby machine has no standby call (it falls into a state that only the power button
// ends, or fails): the system enters its low-power idle once the display is off. Nothing blocks
// until the user is back, so our suspend lasts until the resume notification or the first input.
void enterDisplayOffStandby()
{
    displayOffStandby = kDisplayOffSettling;
    sendMonitorPower(kMonitorOff);
}

// Our own suspend is over once the power call has returned: from here on a raised flag is the
// user's input, and a suspend request is another program's.
void endOwnSuspend()
{
    MessageSet(0);
    suspendInProgress = 0;
}

// Returns true when the request may go on.
bool decideSuspendRequest()
{
    // During the grace every request is refused, our own included.
    if (resumeGrace || (settings.SuspendOther == 0 && !suspendInProgress)) {
        showTrayBalloon(mainWindow, kRequestCancelled, kAppName, kBalloonInfo);
        return false;
    }
    closeProgramWindows();
    armIdleTimer(0);
    return true;
}

void handleResume(HWND window)
{
    // Back from the display-off: our suspend ends here, as when a standby call returns.
    if (std::exchange(displayOffStandby, 0))
        endOwnSuspend();
    resumeGrace = SetTimer(window, TIMER_RESUME_GRACE, kResumeGraceMs, nullptr);
    // The countdown starts again from the full period whatever Enable is; the expiry still
    // checks Enable.
    armIdleTimer(0);
    armIdleTimer(1);
    suspendInProgress = 0;
    // Windows may have dropped the low-level hooks while the machine slept.
    if (isNtPlatform) {
        reinstallInputHooks();
        readPowerCapabilities();
    }
}

// Another program vetoed a suspend that we allowed: the countdown we stopped for it must run
// again, or an unattended machine stays awake for good.
void handleSuspendVetoed()
{
    if (settings.Enable != 1)
        return;
    armIdleTimer(0);
    armIdleTimer(1);
}

} // namespace

void destroyModelessDialogs()
{
    destroyWhenOpen(cautionWindow);
    destroyWhenOpen(programEditor);
    destroyWhenOpen(titleEditor);
    destroyWhenOpen(aboutBox);
    destroyWhenOpen(settingsDialog);
}

void closeProgramWindows()
{
    destroyModelessDialogs();
    // A viewer that is still settling stays open: its handle is not known for sure yet.
    if (!readmeSettling && readmeViewer) {
        SendMessageA(readmeViewer, WM_CLOSE, 0, 0);
        readmeViewer = nullptr;
    }
}

void idleSuspend()
{
    // One failure box at a time; the countdown stays armed for the next try.
    if (suspendErrorOpen || suspendUnderWay)
        return;
    suspendUnderWay = 1;
    armIdleTimer(0);
    const int hibernate = isNtPlatform ? settings.SuspendType : 0;
    const StandbyKind standby = standbyKindOf(hibernate);
    if (standby == kStandbyNone) {
        reportSuspendFailure(kNoStandbyReason);
        armIdleTimer(1);
        suspendUnderWay = 0;
        return;
    }
    closeProgramWindows();
    MessageSet(1);
    suspendInProgress = 1;
    monitorPowerArgument = monitorPowerArgumentFor(settings.Monitor, monitorPowerArgument);
    const bool expand = settings.Expand == 1;
    if (expand)
        startWatchers();
    if (standby == kStandbyDisplayOff) {
        enterDisplayOffStandby();
        suspendUnderWay = 0;
        return;
    }

    const PowerCallResult result = suspendWithMonitor(hibernate);
    endOwnSuspend();

    if (!result.succeeded) {
        if (expand)
            closeApmWindow(mainWindow);
        reportSuspendError(result.error);
    }
    // The watchers outlive everything that ran during the call (armIdleTimer leaves them alone
    // while suspendInProgress is set); they must not answer a window once we have moved on.
    stopWatchers();
    MessageSet(0);
    // Re-armed whatever Enable is: a failed attempt is retried one full period later.
    armIdleTimer(1);
    suspendUnderWay = 0;
}

void commandedSuspend(LPARAM kind)
{
    if (suspendErrorOpen || suspendUnderWay)
        return;
    suspendUnderWay = 1;
    // A command means the user is back from any display-off standby; this suspend replaces it.
    displayOffStandby = 0;
    armIdleTimer(0);
    const int hibernate = isNtPlatform ? commandedHibernateFlag(kind, settings.SuspendType) : 0;
    const StandbyKind standby = standbyKindOf(hibernate);
    if (standby == kStandbyNone) {
        reportSuspendFailure(kNoStandbyReason);
        if (settings.Enable == 1)
            armIdleTimer(1);
        suspendUnderWay = 0;
        return;
    }
    MessageSet(1);
    suspendInProgress = 1;
    monitorPowerArgument = monitorPowerArgumentFor(settings.Monitor, monitorPowerArgument);
    if (standby == kStandbyDisplayOff) {
        enterDisplayOffStandby();
        suspendUnderWay = 0;
        return;
    }

    const PowerCallResult result = suspendWithMonitor(hibernate);
    endOwnSuspend();
    if (!result.succeeded)
        reportSuspendError(result.error);

    MessageSet(0);
    if (settings.Enable == 1)
        armIdleTimer(1);
    suspendUnderWay = 0;
}

bool pollDisplayOffStandby(HWND window)
{
    if (displayOffStandby == 0)
        return false;
    if (displayOffStandby == kDisplayOffSettling) {
        // Our own raised flag, and input that came with the display-off (the key that started
        // -S coming up, a mouse settling), are not the user coming back.
        MessageSet(0);
        displayOffStandby = kDisplayOffWaiting;
        displayOffSettledAt = GetTickCount();
        return true;
    }
    // The system's last-input time as well: hooks that Windows dropped meanwhile would
    // otherwise keep the countdown stopped for good.
    LastInputRecord info = {sizeof(info), 0};
    const bool systemSawInput = systemCalls.getLastInputInfo && systemCalls.getLastInputInfo(&info) &&
                                static_cast<LONG>(info.dwTime - displayOffSettledAt) > 0;
    if (MessageCheck() == 1 || systemSawInput)
        handleResume(window);
    return true;
}

LRESULT onPower(HWND window, WPARAM event)
{
    switch (event) {
    case kPowerSuspendRequest:
        return decideSuspendRequest() ? kPowerOk : kPowerFail;
    case kPowerSuspendResume:
        handleResume(window);
        return 0;
    default:
        return 0;
    }
}

LRESULT onPowerBroadcast(HWND window, WPARAM event)
{
    switch (event) {
    case PBT_APMQUERYSUSPEND:
    case PBT_APMQUERYSTANDBY:
    case PBT_APMSUSPEND:
    case PBT_APMSTANDBY:
        return decideSuspendRequest() ? TRUE : kBroadcastQueryDeny;
    case PBT_APMRESUMECRITICAL:
    case PBT_APMRESUMESUSPEND:
    case PBT_APMRESUMEAUTOMATIC:
        handleResume(window);
        return TRUE;
    case PBT_APMQUERYSUSPENDFAILED:
    case PBT_APMQUERYSTANDBYFAILED:
        handleSuspendVetoed();
        return TRUE;
    default:
        return TRUE;
    }
}
