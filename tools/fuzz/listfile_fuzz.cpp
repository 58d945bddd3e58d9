// A list file's bytes through the loader's in-memory form and through the editors' reading and
// writing: the entries the scan sees are the rows the editors show, and writing the rows back and
// reading them again changes nothing.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/fuzz/fuzzcheck.h"
#include "watchlists/editorlists.h"
#include "watchlists/watchlist.h"

namespace {

bool keepAll(std::string_view) { return false; }

bool isMark(char byte) { return byte == kMarkNotFound || byte == kMarkFound; }

std::string withoutBytes(std::string_view text, bool (*drop)(unsigned char))
{
    std::string kept;
    for (const char byte : text)
        if (!drop(static_cast<unsigned char>(byte)))
            kept += byte;
    return kept;
}

// Loads bytes as the loader does and checks the in-memory form. Returns the non-empty entries.
std::vector<std::string> loadedEntries(std::string_view bytes)
{
    WatchList list;
    std::unique_ptr<char[]> buffer(new char[bytes.size() + kListSlack]());
    if (!bytes.empty())
        std::memcpy(buffer.get(), bytes.data(), bytes.size());
    const uint32_t length = adoptListText(list, std::move(buffer), bytes.size());
    FUZZ_CHECK(length == list.length && length >= 1);
    const std::string_view text(list.text.get(), length - 1);
    FUZZ_CHECK(length - 1 == std::strlen(list.text.get()));
    for (size_t i = length - 1; i < bytes.size() + kListSlack; ++i)
        FUZZ_CHECK(list.text[i] == 0);
    uint32_t marks = 0;
    for (const char byte : text) {
        FUZZ_CHECK(!isListControlByte(static_cast<unsigned char>(byte)));
        marks += isMark(byte);
    }
    FUZZ_CHECK(marks == list.entryCount);
    // Only control runs become marks: everything else of the file is kept, in order.
    const auto dropsInFile = [](unsigned char byte) { return isListControlByte(byte) || isMark(byte); };
    const auto dropsInText = [](unsigned char byte) { return isMark(byte); };
    FUZZ_CHECK(withoutBytes(text, dropsInText) == withoutBytes(bytes, dropsInFile));

    std::vector<std::string> entries;
    size_t start = 0;
    for (uint32_t i = 0; i < list.entryCount; ++i) {
        const std::string_view entry = listEntry(list, i);
        FUZZ_CHECK(entry.data() == list.text.get() + start);
        FUZZ_CHECK(isMark(list.text[start + entry.size()]));
        start += entry.size() + 1;
        const std::string_view bounded = boundedListEntry(entry);
        FUZZ_CHECK(bounded.size() <= 1023 && isCharBoundary(entry, bounded.size()));
        if (!bounded.empty())
            entries.emplace_back(bounded);
    }
    return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The first bytes of a file over the limit: only its whole lines are kept.
    std::string cut(bytes);
    const size_t whole = dropPartialLastLine(cut.data(), cut.size());
    FUZZ_CHECK(whole <= bytes.size() && cut.substr(0, whole) == bytes.substr(0, whole));
    FUZZ_CHECK(whole == 0 || isListControlByte(static_cast<unsigned char>(bytes[whole - 1])));
    for (size_t i = whole; i < bytes.size(); ++i)
        FUZZ_CHECK(cut[i] == 0 && !isListControlByte(static_cast<unsigned char>(bytes[i])));

    const std::vector<std::string> entries = loadedEntries(bytes);
    const std::vector<std::string> rows = namesInListFile(bytes, keepAll);
    // A '<' or '>' inside a line splits it for the scan only.
    if (bytes.find_first_of("<>") == std::string_view::npos)
        FUZZ_CHECK(rows == entries);

    for (bool (*dropped)(std::string_view) : {isReservedProcessName, isOwnWindowTitle}) {
        const std::vector<std::string> names = namesInListFile(bytes, dropped);
        const std::string written = listFileContent(names);
        FUZZ_CHECK(namesInListFile(written, dropped) == names);
        if (written.find_first_of("<>") == std::string::npos)
            FUZZ_CHECK(loadedEntries(written) == names);
    }
    return 0;
}
