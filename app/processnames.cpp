#include "app/processnames.h"

#include <cstring>

#include "app/bytes.h"

void clearProcessNames(ProcessNameTable& table)
{
    table.count = 0;
    table.used = 0;
    table.complete = true;
}

void addProcessName(ProcessNameTable& table, std::string_view name)
{
    // A name longer than its length field holds counts as not fitting, like a full table.
    if (!table.complete || table.count >= kProcessNameSlots || name.size() > kProcessNameBytes - table.used ||
        name.size() > UINT16_MAX) {
        table.complete = false;
        return;
    }
    std::memcpy(table.bytes + table.used, name.data(), name.size());
    table.starts[table.count] = static_cast<uint32_t>(table.used);
    table.lengths[table.count] = static_cast<uint16_t>(name.size());
    table.used += name.size();
    ++table.count;
}

std::string_view processNameFromPath(std::string_view path)
{
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        start = 2;
    size_t position = 0;
    while (position < path.size()) {
        const unsigned char byte = static_cast<unsigned char>(path[position]);
        if (isLeadByte(byte) && position + 1 < path.size()) {
            position += 2;
            continue;
        }
        ++position;
        if (byte == '\\' || byte == '/')
            start = position;
    }
    return path.substr(start);
}
