#include "app/titletable.h"

#include <cstring>

#include "app/bytes.h"
#include "app/wildcard.h"

namespace {

uint32_t hashTitle(std::string_view title)
{
    uint32_t hash = 2166136261u;  // FNV-1a
    for (char byte : title) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 16777619u;
    }
    return hash;
}

}  // namespace

void clearTitleTable(TitleTable& table)
{
    for (int slot = 0; slot < table.count; ++slot) {
        std::memset(table.titles[slot], 0, table.lengths[slot]);
        table.lengths[slot] = 0;
        table.nextSameFirstByte[slot] = 0;
    }
    table.count = 0;
    std::memset(table.hashSet, 0, sizeof(table.hashSet));
    std::memset(table.firstByteHead, 0, sizeof(table.firstByteHead));
    std::memset(table.firstByteTail, 0, sizeof(table.firstByteTail));
}

int addTitle(TitleTable& table, std::string_view title)
{
    if (title.empty() || table.count >= kTitleSlots)
        return 0;
    if (title.size() > kTitleSize - 1)
        title = title.substr(0, characterFitLength(title, kTitleSize - 1));
    const uint32_t hash = hashTitle(title);
    uint32_t probe = hash % TitleTable::kHashSlots;
    while (table.hashSet[probe] != 0) {
        const int other = table.hashSet[probe] - 1;
        if (table.hashes[other] == hash && tableTitle(table, other) == title)
            return 0;
        probe = (probe + 1) % TitleTable::kHashSlots;
    }
    const int slot = table.count++;
    std::memcpy(table.titles[slot], title.data(), title.size());
    table.titles[slot][title.size()] = '\0';
    table.lengths[slot] = static_cast<uint16_t>(title.size());
    table.hashes[slot] = hash;
    table.hashSet[probe] = static_cast<uint16_t>(slot + 1);
    const unsigned char first = static_cast<unsigned char>(title[0]);
    table.nextSameFirstByte[slot] = 0;
    if (table.firstByteTail[first] == 0)
        table.firstByteHead[first] = static_cast<int16_t>(slot + 1);
    else
        table.nextSameFirstByte[table.firstByteTail[first] - 1] = static_cast<int16_t>(slot + 1);
    table.firstByteTail[first] = static_cast<int16_t>(slot + 1);
    return 1;
}

int findMatchingTitle(const TitleTable& table, std::string_view pattern)
{
    const unsigned char first = pattern.empty() ? 0 : static_cast<unsigned char>(pattern[0]);
    if (first == '*' || first == '?') {
        for (int slot = 0; slot < table.count; ++slot) {
            if (matchWildcard(tableTitle(table, slot), pattern))
                return slot;
        }
        return -1;
    }
    // A literal first byte (or an empty pattern, which only an empty title would match) fails on
    // every title that starts differently, so only the titles starting with it are tried.
    for (int link = table.firstByteHead[first]; link != 0; link = table.nextSameFirstByte[link - 1]) {
        if (matchWildcard(tableTitle(table, link - 1), pattern))
            return link - 1;
    }
    return -1;
}
