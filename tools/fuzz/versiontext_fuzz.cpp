// The version reader's platform-free steps: the leading number of a version string, the
// sub-block path (against the printf format it stands for) and the string-table search order.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "info/versiontext.h"
#include "tools/fuzz/fuzzcheck.h"

namespace {

struct Block {
    std::vector<std::string> paths;  // the sub-blocks the made-up version block holds
    int lookups;
};

int lookUp(const void* context, const char* path, std::string_view* value)
{
    Block& block = *static_cast<Block*>(const_cast<void*>(context));
    ++block.lookups;
    for (const std::string& held : block.paths) {
        if (held == path) {
            *value = held;
            return 1;
        }
    }
    return 0;
}

int referenceLeadingInteger(std::string_view text)
{
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string_view::npos)
        return 0;
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+')
        ++i;
    long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value <= 0x7FFFFFFF)
        value = value * 10 + (text[i++] - '0');
    if (value > 0x7FFFFFFF)
        value = 0x7FFFFFFF;
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input{data, size};
    const uint16_t language = static_cast<uint16_t>(input.u32());
    const uint16_t codePage = static_cast<uint16_t>(input.u32());
    const size_t pathSize = input.byte() * 2u;
    const std::string key(input.untilZero());
    const std::string version(input.untilZero());

    FUZZ_CHECK(leadingInteger(version) == referenceLeadingInteger(version));

    std::unique_ptr<char[]> path(new char[pathSize + 1]);
    path[pathSize] = 'G';
    char expected[1024];
    const int expectedLength = std::snprintf(expected, sizeof(expected), "\\StringFileInfo\\%04x%04x\\%s", language,
                                             codePage, key.c_str());
    const int formatted = formatStringPath(path.get(), pathSize, language, codePage, key);
    FUZZ_CHECK(path[pathSize] == 'G');
    FUZZ_CHECK(formatted == (static_cast<size_t>(expectedLength) < pathSize ? 1 : 0));
    if (formatted)
        FUZZ_CHECK(std::string(path.get()) == expected);
    else if (pathSize > 0)
        FUZZ_CHECK(path[0] == '\0');

    // A block holding the key under some of the pairs named by the rest of the input.
    Block block{{}, 0};
    while (input.size > 0) {
        char held[kStringPathSize];
        const uint16_t heldLanguage = input.byte() % 2 ? kFallbackLanguages[input.byte() % 45] : language;
        const uint16_t heldCodePage = input.byte() % 2 ? kFallbackCodePages[input.byte() % 12] : codePage;
        if (formatStringPath(held, sizeof(held), heldLanguage, heldCodePage, key))
            block.paths.emplace_back(held);
    }
    // Found exactly when the block holds the key under its own pair or a fallback pair; a pair
    // made of one of each is not searched.
    bool searched = false;
    for (const std::string& held : block.paths) {
        for (uint32_t pair = 0; pair <= 12 * 45 && !searched; ++pair) {
            const uint16_t pairLanguage = pair == 12 * 45 ? language : kFallbackLanguages[pair % 45];
            const uint16_t pairCodePage = pair == 12 * 45 ? codePage : kFallbackCodePages[pair / 45];
            char pairPath[kStringPathSize];
            searched = formatStringPath(pairPath, sizeof(pairPath), pairLanguage, pairCodePage, key) && held == pairPath;
        }
    }
    std::string_view value = "unset";
    const int found = findVersionString(language, codePage, key, lookUp, &block, &value);
    FUZZ_CHECK(found == (searched ? 1 : 0));
    FUZZ_CHECK(found ? !value.empty() : value.empty());
    FUZZ_CHECK(block.lookups <= 1 + 12 * 45);
    // The block's own pair is asked first, and alone when it holds the key.
    char own[kStringPathSize];
    if (found && formatStringPath(own, sizeof(own), language, codePage, key) && value == own)
        FUZZ_CHECK(block.lookups == 1);
    return 0;
}
