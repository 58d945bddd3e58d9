// Bounded copies, the version text search and the idle arithmetic.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "app/bytes.h"
#include "app/idletime.h"
#include "info/versiontext.h"

TEST(CopyBounded, CutsAtACharacterBoundaryAndNeverOverruns)
{
    const struct {
        const char* text;
        size_t size, length;
    } cases[] = {{"ab\x82\xa0\x82\xa2", 6, 4}, {"abc", 6, 3}, {"abc", 1, 0}, {"\xca\xde\xb0", 3, 2}};  // kana: one byte
    for (const auto& c : cases) {
        char buffer[8];
        std::memset(buffer, 'G', sizeof(buffer));
        EXPECT_EQ(copyBounded(buffer, c.size, c.text), c.length) << c.text;
        EXPECT_EQ(std::string(buffer), std::string(c.text, c.length));
        EXPECT_EQ(buffer[c.size], 'G');
    }
    char untouched = 'G';
    EXPECT_EQ(copyBounded(&untouched, 0, "abc"), 0u);
    EXPECT_EQ(untouched, 'G');
}

TEST(LeadingInteger, SignsBlanksAndOverflow)
{
    const std::pair<const char*, int> cases[] = {{"6.00.2900.5512", 6}, {"\t 7 8", 7}, {"+12", 12}, {"-3x", -3},
                                                 {"- 3", 0}, {"v6", 0}, {"", 0}, {"99999999999999", INT_MAX}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(leadingInteger(text), value) << text;
}

TEST(IdleArithmetic, PeriodMonitorArgumentAndCommandedKind)
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
    for (intptr_t kind : {0, -1, 258, 263, 264}) {
        EXPECT_EQ(commandedHibernateFlag(kind, 0), kind == 263) << kind;
        EXPECT_EQ(commandedHibernateFlag(kind, 1), kind != 264) << kind;
    }
}

namespace {

// A version block reduced to its string tables; it records every path the search asks for.
struct FakeBlock {
    std::vector<std::pair<std::string, std::string>> strings;
    std::vector<std::string> asked = {};
};

int lookUp(const void* context, const char* path, std::string_view* value)
{
    auto* block = const_cast<FakeBlock*>(static_cast<const FakeBlock*>(context));
    block->asked.push_back(path);
    for (const auto& entry : block->strings) {
        if (entry.first == path) {
            *value = entry.second;
            return 1;
        }
    }
    return 0;
}

} // namespace

TEST(FindVersionString, OwnTableThenCodePagesOuterAndLanguagesInner)
{
    const std::string own = "\\StringFileInfo\\040904e4\\FileVersion", japanese = "\\StringFileInfo\\041103a4\\FileVersion";
    const struct {
        std::vector<std::pair<std::string, std::string>> strings;
        std::string key, value;
        int found;
        size_t asked;
    } cases[] = {
        {{{own, "own"}, {japanese, "fallback"}}, "FileVersion", "own", 1, 1},
        // One own look-up, 45 languages with code page 0, then sixteen before 0x0411 with 932.
        {{{"\\StringFileInfo\\040104b0\\FileVersion", "wrong order"}, {japanese, "fallback"}}, "FileVersion", "fallback", 1, 63},
        {{{"\\StringFileInfo\\0c0403b6\\FileVersion", "elsewhere"}}, "FileVersion", "", 0, 1 + 12 * 45},
        {{}, std::string(kStringPathSize, 'K'), "", 0, 0},  // a cut path could name another key
    };
    for (const auto& c : cases) {
        FakeBlock block{c.strings};
        std::string_view value = "stale";
        EXPECT_EQ(findVersionString(0x0409, 1252, c.key, lookUp, &block, &value), c.found);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(block.asked.size(), c.asked) << c.value;
        if (c.asked == 63) {
            EXPECT_EQ(block.asked[1], "\\StringFileInfo\\04010000\\FileVersion");
        }
    }
    char path[40];
    std::memset(path, 'G', sizeof(path));
    ASSERT_EQ(formatStringPath(path, 28, 0x0411, 932, "ab"), 1);  // 16 + 8 + 1 + key + terminator
    EXPECT_EQ(std::string(path, 29), std::string("\\StringFileInfo\\041103a4\\ab\0G", 29));
    EXPECT_EQ(formatStringPath(path, 28, 0x0411, 932, "abc"), 0);
    EXPECT_EQ(std::string(path, 2), std::string("\0S", 2));
}
