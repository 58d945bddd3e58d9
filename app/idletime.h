// Arithmetic of the idle countdown and of the suspend's choices (platform-free).
#pragma once
#include <cstdint>

// Largest period a window timer accepts (USER_TIMER_MAXIMUM).
constexpr uint32_t kTimerMaximumMs = 0x7FFFFFFF;

// Period of the idle countdown for a Time setting in minutes. Time comes from the registry as
// any 32-bit value: 0 or less would suspend again right after every resume, so the countdown
// is never shorter than one minute; a Time whose milliseconds pass the timer maximum is capped
// there. The setting itself is left as it is.
uint32_t idlePeriodMs(int32_t minutes);

// Whether the system's last input (GetLastInputInfo) is input the hooks missed: newer than the
// start of the countdown and newer than the last event the hooks received, counted or not. All
// three are GetTickCount readings, compared across its wrap.
bool inputMissedByHooks(uint32_t lastInput, uint32_t countdownArmedAt, uint32_t lastHookEvent);

// SC_MONITORPOWER argument for the Monitor setting: 0 on (-1), 1 off (2), 2 low power (1).
// Any other value keeps the previous argument.
int32_t monitorPowerArgumentFor(int32_t monitor, int32_t previous);

// Command 7's lParam values that choose the kind themselves; anything else means SuspendType.
constexpr intptr_t kSuspendKindHibernate = 263;
constexpr intptr_t kSuspendKindStandby = 264;

// Hibernate flag of a commanded suspend on the NT family.
int32_t commandedHibernateFlag(intptr_t kind, int32_t suspendType);

// What a standby does on a machine of the NT family.
enum StandbyKind : int32_t {
    kStandbyCall = 0,       // S1 to S3: the system's standby call
    kStandbyDisplayOff = 1, // Modern Standby only: the system sleeps once the display goes off
    kStandbyNone = 2,       // neither: refused
};
constexpr StandbyKind standbyKindFor(bool sleepState, bool modernStandby)
{
    return sleepState ? kStandbyCall : modernStandby ? kStandbyDisplayOff : kStandbyNone;
}
