// The idle arithmetic.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "app/idletime.h"

TEST(IdleArithmetic, PeriodAndMonitorArgument)
{
    // 35791 minutes is the last whole minute below 2^31 - 1 ms; 71583 x 60000 wraps 32 bits.
    const std::pair<int32_t, uint32_t> periods[] = {{1, 60000}, {60, 3600000}, {0, 60000}, {-1, 60000},
                                                    {INT_MIN, 60000}, {35791, 2147460000}, {35792, 0x7FFFFFFF},
                                                    {71583, 0x7FFFFFFF}, {INT_MAX, 0x7FFFFFFF}};
    for (const auto& [minutes, ms] : periods)
        EXPECT_EQ(idlePeriodMs(minutes), ms) << minutes;
    // Monitor 0 on, 1 off, 2 standby; anything else keeps the previous argument.
    EXPECT_EQ(std::vector<int32_t>({monitorPowerArgumentFor(0, 2), monitorPowerArgumentFor(1, -1),
                                    monitorPowerArgumentFor(2, -1), monitorPowerArgumentFor(3, 2),
                                    monitorPowerArgumentFor(-1, 1)}), std::vector<int32_t>({-1, 2, 1, 2, 1}));
}
