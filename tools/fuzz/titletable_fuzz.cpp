// The window-title table against a plain list of the distinct titles: the same slots in the same
// order, and every pattern finds the slot that a linear scan with the matcher finds.
#include <set>
#include <string>
#include <vector>

#include "app/bytes.h"
#include "app/titletable.h"
#include "app/wildcard.h"
#include "tools/fuzz/fuzzcheck.h"

namespace {

TitleTable table;  // about 1 MB: one for the whole run, emptied for every input

int linearFind(const std::vector<std::string>& titles, std::string_view pattern)
{
    for (size_t slot = 0; slot < titles.size(); ++slot)
        if (matchWildcard(titles[slot], pattern))
            return static_cast<int>(slot);
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input{data, size};
    // The first byte repeats every title that many times, so that long inputs fill the table.
    const int copies = 1 + input.byte() % 4;
    std::vector<std::string_view> patterns;
    std::vector<std::string_view> offered;
    while (input.size > 0) {
        const std::string_view part = input.untilZero();
        // A title starting with '\x01' is also looked for, as a pattern, without that byte.
        if (!part.empty() && part[0] == '\x01')
            patterns.push_back(part.substr(1));
        offered.push_back(part);
    }
    clearTitleTable(table);
    std::vector<std::string> expected;
    std::set<std::string> known;
    for (int copy = 0; copy < copies; ++copy) {
        for (std::string_view title : offered) {
            const std::string kept(title.substr(0, characterFitLength(title, 1023)));
            const bool isNew = !kept.empty() && expected.size() < 1024 && known.insert(kept).second;
            if (isNew)
                expected.push_back(kept);
            FUZZ_CHECK(addTitle(table, title) == (isNew ? 1 : 0));
        }
    }
    FUZZ_CHECK(table.count == static_cast<int>(expected.size()));
    for (int slot = 0; slot < table.count; ++slot) {
        FUZZ_CHECK(tableTitle(table, slot) == expected[static_cast<size_t>(slot)]);
        FUZZ_CHECK(table.titles[slot][table.lengths[slot]] == 0);
    }
    for (const std::string& title : expected)
        patterns.push_back(title);
    patterns.push_back("*");
    for (std::string_view pattern : patterns)
        FUZZ_CHECK(findMatchingTitle(table, pattern) == linearFind(expected, pattern));
    return 0;
}
