#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/wildcard.h"

TEST(MatchWildcard, ByteByByteWithoutBacktracking)
{
    const std::string memo = "\x83\x81\x83\x82\x92\xa0";
    const struct {
        std::string text;
        std::string pattern;
        int match;
    } cases[] = {
        // The star ends at the first byte after it, and with more pattern after it takes a byte.
        {"note.exe", "*.exe", 1}, {"a.b.exe", "*.exe", 0}, {".exe", "*.exe", 0},
        {"note.exe", "n*e.exe", 1}, {"note.e.exe", "n*e.exe", 0},
        // A trailing star matches any rest, none included.
        {"abc", "abc*", 1}, {"abcdef", "abc*", 1}, {"ab", "abc*", 0}, {"", "*", 1},
        {"abc", "a?c", 1}, {"ac", "a?c", 0}, {"abbc", "a?c", 0}, {"a", "a?", 0},
        // Literals are exact and case-sensitive; an empty entry never matches a name.
        {"note.exe", "note.exe", 1}, {"note.exe", "NOTE.EXE", 0}, {"note.exe", "note.ex", 0},
        {"note.ex", "note.exe", 0}, {"", "", 1}, {"a", "", 0},
        // "メモ帳" compares bytewise: a title sharing only its lead bytes differs, and "?" is one
        // byte, so a double-byte character needs two.
        {memo, memo, 1}, {memo + " - a.txt", memo + "*", 1}, {"\x83\x81\x83\x83\x92\xa0", memo, 0},
        {memo, "\x83\x81??\x92\xa0", 1}, {memo, "\x83\x81?\x92\xa0", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchWildcard(c.text, c.pattern), c.match) << "text " << c.text << " pattern " << c.pattern;
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
