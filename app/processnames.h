// Process names of a snapshot, as the watch scan and the program-list editor see them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

// The watchable process names of one snapshot, kept so that confirming found entries needs no
// further walk of the snapshot (on Wine every step of a walk maps and unmaps the snapshot).
constexpr size_t kProcessNameBytes = 64 * 1024;
constexpr int kProcessNameSlots = 4096;

struct ProcessNameTable {
    char bytes[kProcessNameBytes];
    uint32_t starts[kProcessNameSlots];
    uint16_t lengths[kProcessNameSlots];
    int count;
    size_t used;
    bool complete;  // false once a name did not fit: the table then holds only the first ones
};

void clearProcessNames(ProcessNameTable& table);
void addProcessName(ProcessNameTable& table, std::string_view name);
inline std::string_view tableProcessName(const ProcessNameTable& table, int slot)
{
    return std::string_view(table.bytes + table.starts[slot], table.lengths[slot]);
}

// The file-name part of an executable path: after the last "\" or "/", or after a leading drive
// letter and ":". Double-byte characters are stepped over whole, so a trail byte 0x5C is not taken
// for a separator. A bare name comes back unchanged.
std::string_view processNameFromPath(std::string_view path);
