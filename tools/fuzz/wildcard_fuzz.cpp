// The wildcard matcher against a direct transcription of its rules on zero-terminated strings.
#include <string>

#include "app/wildcard.h"
#include "tools/fuzz/fuzzcheck.h"

namespace {

int matchOnCStrings(const char* text, const char* pattern)
{
    enum { literal, oneByte, star } mode = literal;
    const char* afterStar = "";
    bool flag = true;
    for (;;) {
        if (*pattern == 0)
            break;
        mode = *pattern == '*' ? star : *pattern == '?' ? oneByte : literal;
        if (mode == star)
            afterStar = pattern + 1;
        if (*text == 0)
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input{data, size};
    const std::string text(input.untilZero());
    const std::string pattern(input.untilZero());
    const int result = matchWildcard(text, pattern);
    FUZZ_CHECK(result == 0 || result == 1);
    FUZZ_CHECK(result == matchOnCStrings(text.c_str(), pattern.c_str()));
    // An entry always matches the text it was copied from when it holds no wildcard.
    if (pattern.find_first_of("*?") == std::string::npos)
        FUZZ_CHECK(matchWildcard(pattern, pattern) == 1);
    return 0;
}
