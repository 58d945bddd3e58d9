#include <gtest/gtest.h>

#include "settings/numberfield.h"

TEST(NumberField, OnlyPlainDigitsWithinTheRange)
{
    const struct {
        const char* text;
        int low, high;
        int accepted;  // the value, or -1 when refused
    } cases[] = {
        {"007", 1, 60, 7},   {"1", 1, 60, 1},       {"60", 1, 60, 60},     {"0", 1, 60, -1},
        {"61", 1, 60, -1},   {"", 1, 60, -1},       {" 5", 1, 60, -1},     {"5 ", 1, 60, -1},
        {"+5", 1, 60, -1},   {"-5", 1, 60, -1},     {"5分", 1, 60, -1},    {"５", 1, 60, -1},
        {"1e1", 1, 60, -1},  {"100", 1, 100, 100},  {"101", 1, 100, -1},   {"150", 1, 100, -1},
        {"000000000000000000000030", 1, 100, 30},   {"99999999999999999999", 1, 100, -1},
        {"4294967297", 1, 100, -1},
    };
    for (const auto& each : cases) {
        int value = -7;
        EXPECT_EQ(parseNumberField(each.text, each.low, each.high, &value), each.accepted >= 0 ? 1 : 0) << each.text;
        EXPECT_EQ(value, each.accepted >= 0 ? each.accepted : -7) << each.text;
    }
}
