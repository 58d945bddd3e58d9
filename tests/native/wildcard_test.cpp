#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/wildcard.h"

TEST(MatchWildcard, StarEndsAtFirstByteAfterIt)
{
    EXPECT_EQ(matchWildcard("note.exe", "*.exe"), 1);
    EXPECT_EQ(matchWildcard("a.b.exe", "*.exe"), 0);  // no backtracking past the first "."
    EXPECT_EQ(matchWildcard(".exe", "*.exe"), 0);     // a star with more after it takes a byte
    EXPECT_EQ(matchWildcard("x.exe", "*.exe"), 1);
    EXPECT_EQ(matchWildcard("note.exe", "n*e.exe"), 1);
    EXPECT_EQ(matchWildcard("note.e.exe", "n*e.exe"), 0);  // the star stops at the first "e"
    EXPECT_EQ(matchWildcard("n.exe", "n*.exe"), 0);
}

TEST(MatchWildcard, TrailingStarMatchesAnyRestIncludingNone)
{
    EXPECT_EQ(matchWildcard("abc", "abc*"), 1);
    EXPECT_EQ(matchWildcard("abcdef", "abc*"), 1);
    EXPECT_EQ(matchWildcard("ab", "abc*"), 0);
    EXPECT_EQ(matchWildcard("anything at all", "*"), 1);
    EXPECT_EQ(matchWildcard("", "*"), 1);
}

TEST(MatchWildcard, QuestionMarkTakesExactlyOneByte)
{
    EXPECT_EQ(matchWildcard("abc", "a?c"), 1);
    EXPECT_EQ(matchWildcard("ac", "a?c"), 0);
    EXPECT_EQ(matchWildcard("abbc", "a?c"), 0);
    EXPECT_EQ(matchWildcard("ab", "a?"), 1);
    EXPECT_EQ(matchWildcard("a", "a?"), 0);
}

TEST(MatchWildcard, LiteralsAreExactAndCaseSensitive)
{
    EXPECT_EQ(matchWildcard("note.exe", "note.exe"), 1);
    EXPECT_EQ(matchWildcard("note.exe", "NOTE.EXE"), 0);
    EXPECT_EQ(matchWildcard("note.exe", "note.ex"), 0);
    EXPECT_EQ(matchWildcard("note.ex", "note.exe"), 0);
    EXPECT_EQ(matchWildcard("", ""), 1);
    EXPECT_EQ(matchWildcard("a", ""), 0);  // an empty entry never matches a name
    EXPECT_EQ(matchWildcard("", "a"), 0);
}

TEST(MatchWildcard, DoubleByteTextsCompareBytewise)
{
    // "メモ帳" and a title that only shares its lead bytes.
    const std::string memo = "\x83\x81\x83\x82\x92\xa0";
    EXPECT_EQ(matchWildcard(memo, memo), 1);
    EXPECT_EQ(matchWildcard(memo + " - a.txt", memo + "*"), 1);
    EXPECT_EQ(matchWildcard("\x83\x81\x83\x83\x92\xa0", memo), 0);
    // "?" is one byte, so a double-byte character needs two.
    EXPECT_EQ(matchWildcard(memo, "\x83\x81??\x92\xa0"), 1);
    EXPECT_EQ(matchWildcard(memo, "\x83\x81?\x92\xa0"), 0);
}

TEST(MatchWildcard, ViewEndActsAsTerminator)
{
    // The scan matches entries in place, where the byte after the view is a mark.
    const std::string text = "note.exe>";
    const std::string pattern = "*.exe<";
    EXPECT_EQ(matchWildcard(std::string_view(text).substr(0, 8), std::string_view(pattern).substr(0, 5)), 1);
}

namespace {

// The matching rules step by step on zero-terminated strings, one byte at a time, as a reference
// for the faster search the star uses.
int referenceMatch(const char* text, const char* pattern)
{
    const char* afterStar = "";
    bool flag = true;
    enum { literal, oneByte, star } mode = literal;
    for (;;) {
        if (*pattern == '\0')
            break;
        if (*pattern == '*') {
            mode = star;
            afterStar = pattern + 1;
        } else {
            mode = *pattern == '?' ? oneByte : literal;
        }
        if (*text == '\0')
            break;
        if (mode == literal) {
            flag = *text++ == *pattern++;
            if (!flag)
                break;
        } else if (mode == oneByte) {
            ++text;
            ++pattern;
            flag = true;
        } else {
            ++text;
            flag = true;
            if (*text == *afterStar)
                pattern = afterStar;
        }
    }
    if (mode == star)
        return *text == *afterStar;
    if (mode == oneByte)
        return *text == *pattern;
    return flag && *text == *pattern;
}

void allStrings(const std::string& alphabet, size_t maxLength, std::vector<std::string>& out, std::string prefix = "")
{
    out.push_back(prefix);
    if (prefix.size() == maxLength)
        return;
    for (char c : alphabet)
        allStrings(alphabet, maxLength, out, prefix + c);
}

}  // namespace

TEST(MatchWildcard, AgreesWithTheStepwiseRulesOnEveryShortInput)
{
    std::vector<std::string> patterns;
    std::vector<std::string> texts;
    allStrings("ab*?", 5, patterns);
    allStrings("ab*", 6, texts);
    for (const std::string& pattern : patterns) {
        for (const std::string& text : texts)
            ASSERT_EQ(matchWildcard(text, pattern), referenceMatch(text.c_str(), pattern.c_str()))
                << "text " << text << " pattern " << pattern;
    }
}
