// In-memory form of a watch-list file (platform-free): every entry ends with a mark byte,
// '<' not found or '>' found.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

constexpr char kMarkNotFound = '<';
constexpr char kMarkFound = '>';

// The loader allocates the file size plus this many bytes, zero-filled, so that the compacted
// text is always followed by zero bytes.
constexpr size_t kListSlack = 10;

// Largest list file that is read whole: 32 KiB, some 1,500 program names or 700 titles. The scan
// matches every entry against every running program and open title once a second, on the thread
// that also carries the input hooks, so its cost must stay bounded (at this size a few ms a tick
// for ordinary names, tens of ms for thousands of one-byte or star entries). The scan watches the
// whole lines within the limit of a larger file; the editors refuse it, so that they never save a
// part over the whole.
constexpr size_t kListFileMaxSize = 32 * 1024;

// The editors hold an entry in a 1024-byte buffer. A longer entry is cut to this many bytes, at a
// character boundary, by the scan and the editors alike (boundedListEntry), so that what the
// editors show and save is exactly what the scan matches. Window titles are read into the same
// size, so a cut title entry still matches the window whose title it was taken from.
constexpr size_t kListEntryMaxLength = 1023;

struct WatchList {
    std::unique_ptr<char[]> text;   // compacted content, zero-filled to its end; null until loaded
    uint32_t length = 0;            // compacted bytes + 1
    uint64_t lastWriteTime = 0;     // file time when the list was last loaded
    // Position of every entry's mark byte in text, in list order. Marks never move between loads,
    // so the scan finds its entries here instead of searching the text every second.
    std::unique_ptr<uint32_t[]> markPositions;
    uint32_t entryCount = 0;
};

// A control byte separates entries: 0x00-0x1F and 0x7F. Tested on the unsigned byte, so lead and
// trail bytes of double-byte characters and half-width katakana never count.
constexpr bool isListControlByte(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F;
}

// Replaces every run of control bytes in bytes[0, size) by one kMarkNotFound, in place, and zeroes
// the bytes freed at the end. Returns the number of compacted bytes.
size_t compactListText(char* bytes, size_t size);

// Makes buffer (fileSize + kListSlack bytes holding the file's bytes, zero past them) the list's
// text: compacts it, indexes its entries, sets its length. A last line without a line end is an
// entry like the others. Returns the new length.
uint32_t adoptListText(WatchList& list, std::unique_ptr<char[]> buffer, size_t fileSize);
// Of the first bytes of a longer file: zeroes the line that the cut left partial and returns the
// size of the whole lines before it.
size_t dropPartialLastLine(char* bytes, size_t size);
// Frees the text and its index.
void releaseListText(WatchList& list);

// Entry index (< entryCount) as it stands in the text, and its mark byte.
std::string_view listEntry(const WatchList& list, uint32_t index);
inline char& listMark(WatchList& list, uint32_t index)
{
    return list.text[list.markPositions[index]];
}
inline char listMark(const WatchList& list, uint32_t index)
{
    return list.text[list.markPositions[index]];
}
bool hasFoundMark(const WatchList& list);
uint32_t countFoundMarks(const WatchList& list);

// The part of an entry that is used: at most kListEntryMaxLength bytes, cut at a character
// boundary.
std::string_view boundedListEntry(std::string_view entry);

// "System", "[System Process]" and "Somnivar.exe": never watched, as processes or as entries.
bool isReservedProcessName(std::string_view name);
// Titles of the program's own windows (title-list editor, settings dialog, main window): never
// collected by the title watch, and dropped by the title-list editor when it reads its file.
bool isOwnWindowTitle(std::string_view title);
