#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "info/versiontext.h"

namespace {

// A version block reduced to its string tables; it records every path the search asks for.
struct FakeBlock {
    std::vector<std::pair<std::string, std::string>> strings;
    std::vector<std::string> asked = {};
};

int lookUpFake(const void* context, const char* path, std::string_view* value)
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

// Searches as for a block whose own translation is 0409/1252.
std::string find(FakeBlock& block, const char* key, int* found)
{
    std::string_view value = "stale";
    *found = findVersionString(0x0409, 1252, key, lookUpFake, &block, &value);
    return std::string(value);
}

} // namespace

TEST(StringPath, KeyThatDoesNotFitGivesNothingAndNeverOverruns)
{
    // 16 + 8 + 1 bytes of path before the key, one for the terminator.
    char buffer[40];
    std::memset(buffer, 'G', sizeof(buffer));
    ASSERT_EQ(formatStringPath(buffer, 28, 0x0411, 932, "ab"), 1);
    EXPECT_STREQ(buffer, "\\StringFileInfo\\041103a4\\ab");
    EXPECT_EQ(buffer[28], 'G');
    std::memset(buffer, 'G', sizeof(buffer));
    EXPECT_EQ(formatStringPath(buffer, 28, 0x0411, 932, "abc"), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'G');
    EXPECT_EQ(formatStringPath(buffer, 0, 0x0411, 932, "abc"), 0);
    EXPECT_EQ(buffer[0], '\0');
}

TEST(FindVersionString, OwnTranslationTakesOneLookUp)
{
    FakeBlock block{{{"\\StringFileInfo\\040904e4\\FileVersion", "own"},
                     {"\\StringFileInfo\\041103a4\\FileVersion", "fallback"}}};
    int found = 0;
    EXPECT_EQ(find(block, "FileVersion", &found), "own");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(block.asked.size(), 1u);
}

TEST(FindVersionString, FallbackFindsJapaneseShiftJisTableWithCodePagesOuter)
{
    // With languages outer, 0401/1200 would come first.
    FakeBlock block{{{"\\StringFileInfo\\040104b0\\FileVersion", "wrong order"},
                     {"\\StringFileInfo\\041103a4\\FileVersion", "fallback"}}};
    int found = 0;
    EXPECT_EQ(find(block, "FileVersion", &found), "fallback");
    EXPECT_EQ(found, 1);
    // One own look-up, all 45 languages with code page 0, then sixteen before 0x0411.
    ASSERT_EQ(block.asked.size(), 1u + 45u + 17u);
    EXPECT_EQ(block.asked[0], "\\StringFileInfo\\040904e4\\FileVersion");
    EXPECT_EQ(block.asked[1], "\\StringFileInfo\\04010000\\FileVersion");
    EXPECT_EQ(block.asked[45], "\\StringFileInfo\\100c0000\\FileVersion");
    EXPECT_EQ(block.asked[46], "\\StringFileInfo\\040103a4\\FileVersion");
}

TEST(FindVersionString, PairOutsideTheListsGivesEmptyAfterEveryLookUp)
{
    FakeBlock block{{{"\\StringFileInfo\\0c0403b6\\FileVersion", "elsewhere"}}};
    int found = 1;
    EXPECT_EQ(find(block, "FileVersion", &found), "");
    EXPECT_EQ(found, 0);
    EXPECT_EQ(block.asked.size(), 1u + 12u * 45u);
    EXPECT_EQ(block.asked.back(), "\\StringFileInfo\\100c04e8\\FileVersion");
}

TEST(FindVersionString, KeyTooLongForAPathIsNotFound)
{
    // A cut path must not be looked up: it could name another key.
    const std::string key(kStringPathSize, 'K');
    FakeBlock block{{{"\\StringFileInfo\\040904e4\\" + key, "unreachable"}}};
    int found = 1;
    EXPECT_EQ(find(block, key.c_str(), &found), "");
    EXPECT_EQ(found, 0);
    EXPECT_TRUE(block.asked.empty());
}

TEST(LeadingInteger, SignsAndBlanks)
{
    const struct {
        const char* text;
        int value;
    } cases[] = {{"6.00.2900", 6}, {"\t 7 8", 7}, {"+12", 12}, {"-3x", -3}, {"- 3", 0}, {"  ", 0}};
    for (const auto& each : cases)
        EXPECT_EQ(leadingInteger(each.text), each.value) << each.text;
}
