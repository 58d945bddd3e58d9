#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "info/versiontext.h"

namespace {

// A version block reduced to its string tables: the sub-block paths it holds, and every path
// that the search asked for, in order.
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

std::string find(FakeBlock& block, std::uint16_t language, std::uint16_t codePage, const char* key, int* found)
{
    std::string_view value = "stale";
    *found = findVersionString(language, codePage, key, lookUpFake, &block, &value);
    return std::string(value);
}

} // namespace

TEST(StringPath, LowerCaseHexLanguageThenCodePage)
{
    char path[kStringPathSize];
    ASSERT_EQ(formatStringPath(path, sizeof(path), 0x0411, 0x04B0, "FileVersion"), 1);
    EXPECT_STREQ(path, "\\StringFileInfo\\041104b0\\FileVersion");
    ASSERT_EQ(formatStringPath(path, sizeof(path), 0xC0A, 0x3A4, "X"), 1);
    EXPECT_STREQ(path, "\\StringFileInfo\\0c0a03a4\\X");
    ASSERT_EQ(formatStringPath(path, sizeof(path), 0, 0, ""), 1);
    EXPECT_STREQ(path, "\\StringFileInfo\\00000000\\");
}

TEST(StringPath, KeyThatDoesNotFitGivesNothingAndNeverOverruns)
{
    // 16 + 8 + 1 bytes of path before the key, one for the terminator.
    char buffer[40];
    std::memset(buffer, 'G', sizeof(buffer));
    ASSERT_EQ(formatStringPath(buffer, 28, 0x0411, 932, "ab"), 1);  // exactly fits
    EXPECT_EQ(std::strlen(buffer), 27u);
    EXPECT_EQ(buffer[28], 'G');
    std::memset(buffer, 'G', sizeof(buffer));
    EXPECT_EQ(formatStringPath(buffer, 28, 0x0411, 932, "abc"), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'G');
    EXPECT_EQ(formatStringPath(buffer, 0, 0x0411, 932, "abc"), 0);
    EXPECT_EQ(buffer[0], '\0');
}

TEST(FallbackLists, HoldTheDocumentedPairsInOrder)
{
    EXPECT_EQ(kFallbackCodePages.front(), 0);
    EXPECT_EQ(kFallbackCodePages[1], 932);
    EXPECT_EQ(kFallbackCodePages.back(), 1256);
    // 0x0401 to 0x0421 without a gap, then the twelve sub-language identifiers.
    for (std::size_t i = 0; i < 33; ++i)
        EXPECT_EQ(kFallbackLanguages[i], 0x0401 + i);
    EXPECT_EQ(kFallbackLanguages[16], 0x0411);
    EXPECT_EQ(kFallbackLanguages[33], 0x0804);
    EXPECT_EQ(kFallbackLanguages.back(), 0x100C);
}

TEST(FindVersionString, OwnTranslationTakesOneLookUp)
{
    FakeBlock block{{{"\\StringFileInfo\\040904e4\\FileVersion", "own"},
                     {"\\StringFileInfo\\041103a4\\FileVersion", "fallback"}}};
    int found = 0;
    EXPECT_EQ(find(block, 0x0409, 1252, "FileVersion", &found), "own");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(block.asked.size(), 1u);
}

TEST(FindVersionString, FallbackFindsJapaneseShiftJisTableWithCodePagesOuter)
{
    // 0401/1200 comes first if languages were the outer loop; 0411/932 wins because code page
    // 932 is tried for every language before code page 1200 is.
    FakeBlock block{{{"\\StringFileInfo\\040104b0\\FileVersion", "wrong order"},
                     {"\\StringFileInfo\\041103a4\\FileVersion", "fallback"}}};
    int found = 0;
    EXPECT_EQ(find(block, 0x0409, 1252, "FileVersion", &found), "fallback");
    EXPECT_EQ(found, 1);
    // One own look-up, all 45 languages with code page 0, then sixteen before 0x0411.
    ASSERT_EQ(block.asked.size(), 1u + 45u + 17u);
    EXPECT_EQ(block.asked[0], "\\StringFileInfo\\040904e4\\FileVersion");
    EXPECT_EQ(block.asked[1], "\\StringFileInfo\\04010000\\FileVersion");
    EXPECT_EQ(block.asked[45], "\\StringFileInfo\\100c0000\\FileVersion");
    EXPECT_EQ(block.asked[46], "\\StringFileInfo\\040103a4\\FileVersion");
}

TEST(FindVersionString, EachKeyIsSearchedOnItsOwn)
{
    FakeBlock block{{{"\\StringFileInfo\\041103a4\\FileVersion", "1.0"},
                     {"\\StringFileInfo\\040104b0\\Comments", "later table"}}};
    int found = 0;
    EXPECT_EQ(find(block, 0x0409, 1252, "Comments", &found), "later table");
    EXPECT_EQ(found, 1);
}

TEST(FindVersionString, PairOutsideTheListsGivesEmptyAfterEveryLookUp)
{
    FakeBlock block{{{"\\StringFileInfo\\0c0403b6\\FileVersion", "elsewhere"}}};
    int found = 1;
    EXPECT_EQ(find(block, 0x0409, 1252, "FileVersion", &found), "");
    EXPECT_EQ(found, 0);
    EXPECT_EQ(block.asked.size(), 1u + 12u * 45u);
    EXPECT_EQ(block.asked.back(), "\\StringFileInfo\\100c04e8\\FileVersion");
}

TEST(FindVersionString, KeyTooLongForAPathIsNotFound)
{
    const std::string key(kStringPathSize, 'K');
    FakeBlock block{{{"\\StringFileInfo\\040904e4\\" + key, "unreachable"}}};
    int found = 1;
    EXPECT_EQ(find(block, 0x0409, 1252, key.c_str(), &found), "");
    EXPECT_EQ(found, 0);
    EXPECT_TRUE(block.asked.empty());
}

TEST(LeadingInteger, SignsAndBlanks)
{
    EXPECT_EQ(leadingInteger("\t 7 8"), 7);
    EXPECT_EQ(leadingInteger("+12"), 12);
    EXPECT_EQ(leadingInteger("- 3"), 0);
    EXPECT_EQ(leadingInteger("  "), 0);
}
