#include <gtest/gtest.h>

#include "info/readmescroll.h"

namespace {

constexpr int kNone = -2; // no target written

struct Case {
    const char* what;
    int key, top, page, last;
    int result, target;
};

const Case kCases[] = {
    {"page down in the middle", 0x22, 10, 30, 200, 1, 40},
    {"page down near the end stops at the last page", 0x22, 150, 30, 200, 1, 170},
    {"page down at the last page does nothing", 0x22, 170, 30, 200, 0, kNone},
    {"page up from 5 with a page of 30", 0x21, 5, 30, 200, 1, 0},
    {"page up at the top does nothing", 0x21, 0, 30, 200, 0, kNone},
    {"up at the top does nothing", 0x26, 0, 30, 200, 0, kNone},
    {"down at the last page does nothing", 0x28, 170, 30, 200, 0, kNone},
    {"down", 0x28, 7, 30, 200, 1, 8},
    {"end", 0x23, 3, 30, 200, 1, 170},
    {"left and right are taken and do nothing", 0x25, 9, 30, 200, 0, kNone},
    {"other keys go to the control", 0x41, 9, 30, 200, -1, kNone},
    {"short text: end stays at the first line", 0x23, 0, 30, 12, 1, 0},
    {"short text: page down stays at the first line", 0x22, 0, 30, 12, 1, 0},
    {"short text: down does nothing", 0x28, 0, 30, 12, 0, kNone},
};

} // namespace

TEST(ReadmeScroll, KeyTableSnappingAndUnits)
{
    for (const Case& c : kCases) {
        int target = kNone;
        EXPECT_EQ(readmeKeyTarget(c.key, c.top, c.page, c.last, &target), c.result) << c.what;
        EXPECT_EQ(target, c.target) << c.what;
    }
    // Scroll bar and wheel, unit 12, page 30, last line 200 (last page starts at line 170).
    EXPECT_EQ(readmeSnappedTop(12 * 40 + 7, 12, 30, 200, false), 40);
    EXPECT_EQ(readmeSnappedTop(12 * 185, 12, 30, 200, false), 170);
    EXPECT_EQ(readmeSnappedTop(12 * 185, 12, 30, 200, true), 169);
    EXPECT_EQ(readmeSnappedTop(50, 12, 30, 12, true), 0);
    // A font that reports an average width of 0 or 1 never divides by zero.
    EXPECT_EQ(readmeLineUnitFromWidth(0, true), 1);
    EXPECT_EQ(readmeLineUnitFromWidth(1, true), 1);
    EXPECT_EQ(readmeLineUnitFromWidth(8, true), 12);
    EXPECT_EQ(readmeLineUnitFromWidth(8, false), 8);
    EXPECT_EQ(wholeLinesPerPage(369, 0), 369);
    EXPECT_EQ(wholeLinesPerPage(369, 12), 30);
    EXPECT_EQ(readmeSnappedTop(100, 0, 30, 200, false), 100);
}
