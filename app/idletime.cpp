#include "app/idletime.h"

uint32_t idlePeriodMs(int32_t minutes)
{
    constexpr int64_t kMinuteMs = 60000;
    const int64_t clamped = minutes < 1 ? 1 : minutes;
    const int64_t period = clamped * kMinuteMs; // at most 2^31 x 60000, far inside 64 bits
    return period > kTimerMaximumMs ? kTimerMaximumMs : static_cast<uint32_t>(period);
}

bool inputMissedByHooks(uint32_t lastInput, uint32_t countdownArmedAt, uint32_t lastHookEvent)
{
    // The hooks read the clock a little after the system stamped the same event (seen: 1 ms under
    // Wine), so input up to a second after their last event is taken as that event. Input the
    // hooks really miss is a user at work for the rest of the period, far beyond that second.
    constexpr int32_t kSameEventSlackMs = 1000;
    const auto after = [](uint32_t later, uint32_t earlier) { return static_cast<int32_t>(later - earlier); };
    return after(lastInput, countdownArmedAt) > 0 && after(lastInput, lastHookEvent) > kSameEventSlackMs;
}

int32_t monitorPowerArgumentFor(int32_t monitor, int32_t previous)
{
    switch (monitor) {
    case 0:
        return -1;
    case 1:
        return 2;
    case 2:
        return 1;
    default:
        return previous;
    }
}

int32_t commandedHibernateFlag(intptr_t kind, int32_t suspendType)
{
    if (kind == kSuspendKindHibernate)
        return 1;
    if (kind == kSuspendKindStandby)
        return 0;
    return suspendType;
}
