#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "app/idletime.h"

TEST(IdlePeriod, AtLeastOneMinuteAndNeverPastTheTimerMaximum)
{
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    // 35791 minutes is the last whole minute below 2^31 - 1 ms; 71583 x 60000 wraps a 32-bit
    // product to a small value.
    const struct {
        int32_t minutes;
        uint32_t ms;
    } cases[] = {{1, 60000},
                 {60, 3600000},
                 {0, 60000},
                 {-1, 60000},
                 {kMin, 60000},
                 {35791, 35791u * 60000u},
                 {35792, kTimerMaximumMs},
                 {71583, kTimerMaximumMs},
                 {kMax, kTimerMaximumMs}};
    for (const auto& each : cases)
        EXPECT_EQ(idlePeriodMs(each.minutes), each.ms) << each.minutes;
}

TEST(MonitorArgument, MapsTheThreeSettingsAndKeepsThePreviousOtherwise)
{
    EXPECT_EQ(monitorPowerArgumentFor(0, 2), -1);
    EXPECT_EQ(monitorPowerArgumentFor(1, -1), 2);
    EXPECT_EQ(monitorPowerArgumentFor(2, -1), 1);
    EXPECT_EQ(monitorPowerArgumentFor(3, 2), 2);
    EXPECT_EQ(monitorPowerArgumentFor(-1, 1), 1);
}

TEST(CommandedKind, OnlyTheTwoExplicitKindsOverrideSuspendType)
{
    EXPECT_EQ(commandedHibernateFlag(263, 0), 1);
    EXPECT_EQ(commandedHibernateFlag(264, 1), 0);
    for (intptr_t kind : {intptr_t{0}, intptr_t{-1}, intptr_t{258}}) {
        EXPECT_EQ(commandedHibernateFlag(kind, 0), 0) << kind;
        EXPECT_EQ(commandedHibernateFlag(kind, 1), 1) << kind;
    }
}
