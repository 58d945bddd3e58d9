#include "watchlists/watchlist.h"

#include <array>
#include <cstring>
#include <new>

#include "app/bytes.h"

namespace {

constexpr std::array<std::string_view, 3> kReservedProcessNames = {"System", "[System Process]", "Somnivar.exe"};
constexpr std::array<std::string_view, 3> kOwnWindowTitles = {"監視タイトルの追加・削除", "Somnivar の設定", "Somnivar"};

// Records where every mark byte of text[0, size) is. Without memory for the index the list has no
// entries, which the scan treats like an empty file.
void indexEntries(WatchList& list, size_t size)
{
    list.markPositions.reset();
    list.entryCount = 0;
    uint32_t marks = 0;
    for (size_t i = 0; i < size; ++i) {
        if (list.text[i] == kMarkNotFound || list.text[i] == kMarkFound)
            ++marks;
    }
    if (marks == 0)
        return;
    list.markPositions.reset(new (std::nothrow) uint32_t[marks]);
    if (!list.markPositions)
        return;
    for (size_t i = 0; i < size; ++i) {
        if (list.text[i] == kMarkNotFound || list.text[i] == kMarkFound)
            list.markPositions[list.entryCount++] = static_cast<uint32_t>(i);
    }
}

}  // namespace

size_t compactListText(char* bytes, size_t size)
{
    size_t out = 0;
    bool previousWasControl = false;
    for (size_t in = 0; in < size; ++in) {
        if (isListControlByte(static_cast<unsigned char>(bytes[in]))) {
            if (!previousWasControl)
                bytes[out++] = kMarkNotFound;
            previousWasControl = true;
        } else {
            bytes[out++] = bytes[in];
            previousWasControl = false;
        }
    }
    std::memset(bytes + out, 0, size - out);
    return out;
}

uint32_t adoptListText(WatchList& list, std::unique_ptr<char[]> buffer, size_t fileSize)
{
    list.text = std::move(buffer);
    size_t compacted = compactListText(list.text.get(), fileSize);
    // Notepad often ends a file without a line end; its last line is still an entry. The mark fits
    // where the compaction freed a byte, or else in the slack.
    if (compacted > 0 && list.text[compacted - 1] != kMarkNotFound && list.text[compacted - 1] != kMarkFound)
        list.text[compacted++] = kMarkNotFound;
    indexEntries(list, compacted);
    list.length = static_cast<uint32_t>(compacted + 1);
    return list.length;
}

size_t dropPartialLastLine(char* bytes, size_t size)
{
    size_t whole = size;
    while (whole > 0 && !isListControlByte(static_cast<unsigned char>(bytes[whole - 1])))
        --whole;
    std::memset(bytes + whole, 0, size - whole);
    return whole;
}

void releaseListText(WatchList& list)
{
    list.text.reset();
    list.markPositions.reset();
    list.entryCount = 0;
    list.length = 0;
}

std::string_view listEntry(const WatchList& list, uint32_t index)
{
    const uint32_t end = list.markPositions[index];
    const uint32_t start = index == 0 ? 0 : list.markPositions[index - 1] + 1;
    return std::string_view(list.text.get() + start, end - start);
}

bool hasFoundMark(const WatchList& list)
{
    for (uint32_t i = 0; i < list.entryCount; ++i) {
        if (listMark(list, i) == kMarkFound)
            return true;
    }
    return false;
}

uint32_t countFoundMarks(const WatchList& list)
{
    uint32_t found = 0;
    for (uint32_t i = 0; i < list.entryCount; ++i) {
        if (listMark(list, i) == kMarkFound)
            ++found;
    }
    return found;
}

std::string_view boundedListEntry(std::string_view entry)
{
    if (entry.size() <= kListEntryMaxLength)
        return entry;
    return entry.substr(0, cp932FitLength(entry, kListEntryMaxLength));
}

bool isReservedProcessName(std::string_view name)
{
    for (std::string_view reserved : kReservedProcessNames) {
        if (name == reserved)
            return true;
    }
    return false;
}

bool isOwnWindowTitle(std::string_view title)
{
    for (std::string_view own : kOwnWindowTitles) {
        if (title == own)
            return true;
    }
    return false;
}
