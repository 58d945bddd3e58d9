#include <gtest/gtest.h>

#include <cstring>

#include "app/bytes.h"
#include "info/versiontext.h"

TEST(CopyBounded, CutsAtCharacterBoundaryAndNeverOverruns)
{
    char buffer[6];
    std::memset(buffer, 'x', sizeof(buffer));
    // "ab" then two double-byte characters: the second does not fit in 5 bytes.
    EXPECT_EQ(copyBounded(buffer, sizeof(buffer), "ab\x82\xa0\x82\xa2"), 4u);
    EXPECT_STREQ(buffer, "ab\x82\xa0");
    EXPECT_EQ(copyBounded(buffer, sizeof(buffer), "abc"), 3u);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(copyBounded(buffer, 1, "abc"), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(copyBounded(buffer, 0, "abc"), 0u);
}

TEST(CopyBounded, KeepsHalfWidthKatakanaWhole)
{
    char buffer[3];
    EXPECT_EQ(copyBounded(buffer, sizeof(buffer), "\xca\xde\xb0"), 2u); // single-byte kana
    EXPECT_STREQ(buffer, "\xca\xde");
}

TEST(LeadingInteger, ParsesVersionStrings)
{
    EXPECT_EQ(leadingInteger("6.00.2900.5512"), 6);
    EXPECT_EQ(leadingInteger("  5.0"), 5);
    EXPECT_EQ(leadingInteger("-3x"), -3);
    EXPECT_EQ(leadingInteger("v6"), 0);
    EXPECT_EQ(leadingInteger(""), 0);
    EXPECT_EQ(leadingInteger("99999999999999"), 0x7FFFFFFF);
}
