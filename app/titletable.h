// The watch scan's window-title table: the distinct titles of the top-level windows, in
// enumeration order. The title-list editor fills it too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr int kTitleSlots = 1024;
constexpr size_t kTitleSize = 1024;   // a title holds at most kTitleSize - 1 bytes

struct TitleTable {
    char titles[kTitleSlots][kTitleSize];
    uint16_t lengths[kTitleSlots];
    int count;
    // De-duplication: an open-addressing hash set of slot numbers + 1 (0 free), so that filling
    // the table costs one hash per title instead of a comparison with every title stored.
    static constexpr uint32_t kHashSlots = 2 * kTitleSlots;
    uint32_t hashes[kTitleSlots];
    uint16_t hashSet[kHashSlots];
    // Slots chained by their first byte, in table order, each link a slot number + 1 (0 ends a
    // chain): a pattern whose first byte is literal can only match titles that start with that
    // byte. All-zero is an empty table, so a zero-initialised table needs no set-up.
    int16_t firstByteHead[256];
    int16_t firstByteTail[256];
    int16_t nextSameFirstByte[kTitleSlots];
};

// Empties the table: every used slot zeroed, count 0.
void clearTitleTable(TitleTable& table);
// Stores a title in the next slot. Returns 1 when stored, 0 when it is empty, already in the table
// or the table is full (further titles are not collected).
int addTitle(TitleTable& table, std::string_view title);
inline std::string_view tableTitle(const TitleTable& table, int slot)
{
    return std::string_view(table.titles[slot], table.lengths[slot]);
}
// Slot of the first title, in table order, that matchWildcard accepts for pattern; -1 when none.
int findMatchingTitle(const TitleTable& table, std::string_view pattern);
