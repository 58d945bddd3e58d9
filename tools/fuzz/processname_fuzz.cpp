// The file-name part of a snapshot's executable path, and the table of names a scan keeps.
#include <string>

#include "app/processnames.h"
#include "tools/fuzz/fuzzcheck.h"

namespace {

ProcessNameTable table;

bool isSeparator(char byte) { return byte == '\\' || byte == '/'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input{data, size};
    clearProcessNames(table);
    std::string kept;
    size_t names = 0;
    bool complete = true;
    while (input.size > 0) {
        const std::string_view path = input.untilZero();
        const std::string_view name = processNameFromPath(path);
        // A suffix of the path ...
        FUZZ_CHECK(name.data() + name.size() == path.data() + path.size());
        const size_t start = path.size() - name.size();
        // ... that starts a character, right after the last separator or the drive ...
        FUZZ_CHECK(isCharBoundary(path, start));
        FUZZ_CHECK(start == 0 || isSeparator(path[start - 1]) || (start == 2 && path[1] == ':'));
        // ... and holds no separator that is a character of its own.
        for (size_t at = start; at < path.size(); ++at)
            FUZZ_CHECK(!isSeparator(path[at]) || !isCharBoundary(path, at));

        addProcessName(table, name);
        if (complete && names < kProcessNameSlots && kept.size() + name.size() <= kProcessNameBytes &&
            name.size() <= 0xFFFF) {
            kept += name;
            ++names;
        } else {
            complete = false;
        }
    }
    FUZZ_CHECK(table.complete == complete && table.count == static_cast<int>(names) && table.used == kept.size());
    std::string stored;
    for (int slot = 0; slot < table.count; ++slot)
        stored += tableProcessName(table, slot);
    FUZZ_CHECK(stored == kept);
    return 0;
}
