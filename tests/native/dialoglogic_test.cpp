// The platform-free logic of the dialogs: number fields, the editors' lists, the readme's scroll
// and its long lines.
#include <gtest/gtest.h>

#include "info/readmelines.h"
#include "info/readmescroll.h"
#include "settings/numberfield.h"
#include "watchlists/editorlists.h"

TEST(NumberField, OnlyPlainDigitsWithinTheRange)
{
    const struct {
        const char* text;
        int high, accepted;  // from 1 to high; the value, or -1 when refused
    } cases[] = {
        {"007", 60, 7},   {"1", 60, 1},    {"60", 60, 60},   {"0", 60, -1},    {"61", 60, -1},   {"", 60, -1},
        {" 5", 60, -1},   {"+5", 60, -1},  {"-5", 60, -1},   {"5分", 60, -1},  {"５", 60, -1},   {"150", 100, -1},
        {"000000000000000000000030", 100, 30}, {"99999999999999999999", 100, -1}, {"4294967297", 100, -1},
    };
    for (const auto& each : cases) {
        int value = -7;
        EXPECT_EQ(parseNumberField(each.text, 1, each.high, &value), each.accepted >= 0 ? 1 : 0) << each.text;
        EXPECT_EQ(value, each.accepted >= 0 ? each.accepted : -7) << each.text;
    }
}

TEST(EditorLists, OrderIsByUnsignedBytesAndTheColumnNarrowsFrom13Rows)
{
    EXPECT_LT(compareRowTexts("B", "a", false), 0);          // no case folding
    EXPECT_LT(compareRowTexts("z", "\x83\x81", false), 0);   // a lead byte sorts above ASCII
    EXPECT_GT(compareRowTexts("ab", "abc", true), 0);
    EXPECT_EQ(columnWidthFor({136, 119}, 12), 136);
    EXPECT_EQ(columnWidthFor({136, 119}, 13), 119);
}

TEST(ReadmeScroll, KeyTableSnappingAndUnits)
{
    constexpr int kNone = -2;  // no target written
    const struct {
        const char* what;
        int key, top, page, last;
        int result, target;
    } cases[] = {
        {"page down in the middle", 0x22, 10, 30, 200, 1, 40},
        {"page down near the end stops at the last page", 0x22, 150, 30, 200, 1, 170},
        {"page down at the last page does nothing", 0x22, 170, 30, 200, 0, kNone},
        {"page up from 5 with a page of 30", 0x21, 5, 30, 200, 1, 0},
        {"home", 0x24, 50, 30, 200, 1, 0},
        {"up at the first line does nothing", 0x26, 0, 30, 200, 0, kNone},
        {"down on the last page does nothing", 0x28, 170, 30, 200, 0, kNone},
        {"end", 0x23, 3, 30, 200, 1, 170},
        {"left and right are taken and do nothing", 0x25, 9, 30, 200, 0, kNone},
        {"other keys go to the control", 0x41, 9, 30, 200, -1, kNone},
        {"short text: end stays at the first line", 0x23, 0, 30, 12, 1, 0},
    };
    for (const auto& c : cases) {
        int target = kNone;
        EXPECT_EQ(readmeKeyTarget(c.key, c.top, c.page, c.last, &target), c.result) << c.what;
        EXPECT_EQ(target, c.target) << c.what;
    }
    // Scroll bar and wheel, unit 12, page 30, last line 200 (last page starts at line 170).
    EXPECT_EQ(readmeSnappedTop(12 * 40 + 7, 12, 30, 200, false), 40);
    EXPECT_EQ(readmeSnappedTop(12 * 185, 12, 30, 200, false), 170);
    EXPECT_EQ(readmeSnappedTop(12 * 185, 12, 30, 200, true), 169);
    // A font that reports an average width of 0 or 1 never divides by zero.
    EXPECT_EQ(readmeLineUnitFromWidth(0, true), 1);
    EXPECT_EQ(readmeLineUnitFromWidth(8, true), 12);
    EXPECT_EQ(wholeLinesPerPage(369, 0), 369);
    EXPECT_EQ(wholeLinesPerPage(369, 12), 30);
    EXPECT_EQ(readmeSnappedTop(100, 0, 30, 200, false), 100);
}

// A line over 1024 bytes goes on in a new line, never inside a double-byte character, also when a
// piece of the stream ends between lead and trail byte or the buffer is full.
TEST(ReadmeLines, LongLinesBreakBeforeTheCharacterThatWouldPassTheLimit)
{
    const std::string a1023(1023, 'a'), a1024(1024, 'a');
    const struct { std::string in; bool last; size_t outSize; std::string out; size_t used; } cases[] = {
        {a1024 + "\r\n" + a1024, true, 4096, a1024 + "\r\n" + a1024, 2050},
        {a1024 + "b", true, 4096, a1024 + "\r\nb", 1025},
        {a1023 + "\x82\xa0", true, 4096, a1023 + "\r\n\x82\xa0", 1025},
        {"ab\x82", false, 16, "ab", 2},
        {"ab\x82", true, 16, "ab\x82", 3},
        {"ab\x82\xa0", true, 3, "ab", 2},
    };
    for (const auto& c : cases) {
        ReadmeLineState state;
        std::string out(c.outSize, '\0');
        size_t used = 0;
        out.resize(copyBreakingLongLines(state, c.in, c.last, &out[0], out.size(), &used));
        EXPECT_EQ(out, c.out) << c.in.size();
        EXPECT_EQ(used, c.used) << c.in.size();
    }
    ReadmeLineState state;  // the count goes on from one piece to the next
    std::string first(2048, '\0');
    char out[8];
    size_t used = 0;
    copyBreakingLongLines(state, a1023 + "a", false, &first[0], first.size(), &used);
    EXPECT_EQ(std::string(out, copyBreakingLongLines(state, "bc", true, out, sizeof(out), &used)), "\r\nbc");
}
