#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "app/idletime.h"

TEST(IdlePeriod, MinutesWithinRangeAreExact)
{
    EXPECT_EQ(idlePeriodMs(1), 60000u);
    EXPECT_EQ(idlePeriodMs(10), 600000u);
    EXPECT_EQ(idlePeriodMs(60), 3600000u);
}

TEST(IdlePeriod, ZeroOrNegativeTimeWaitsOneMinute)
{
    EXPECT_EQ(idlePeriodMs(0), 60000u);
    EXPECT_EQ(idlePeriodMs(-1), 60000u);
    EXPECT_EQ(idlePeriodMs(std::numeric_limits<int32_t>::min()), 60000u);
}

TEST(IdlePeriod, HugeTimeIsCappedAtTheTimerMaximum)
{
    // 35791 minutes is the last whole minute below 2^31 - 1 ms.
    EXPECT_EQ(idlePeriodMs(35791), 35791u * 60000u);
    EXPECT_EQ(idlePeriodMs(35792), kTimerMaximumMs);
    // 71583 x 60000 wraps a 32-bit product to a small value; it must not.
    EXPECT_EQ(idlePeriodMs(71583), kTimerMaximumMs);
    EXPECT_EQ(idlePeriodMs(std::numeric_limits<int32_t>::max()), kTimerMaximumMs);
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
