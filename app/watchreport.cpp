#include "app/watchreport.h"

#include <cstring>

#include "app/bytes.h"
#include "app/wildcard.h"

namespace {

// Appends bytes when they fit before the terminating zero; otherwise the report is full from here.
bool appendBytes(WatchReport& report, std::string_view bytes)
{
    if (report.full || bytes.size() > kReportSize - 1 - report.length) {
        report.full = true;
        return false;
    }
    std::memcpy(report.bytes.data() + report.length, bytes.data(), bytes.size());
    report.length += bytes.size();
    return true;
}

bool isNameLine(std::string_view line)
{
    return line.substr(0, std::strlen(kReportIndent)) == kReportIndent;
}

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

void clearReport(WatchReport& report)
{
    std::memset(report.bytes.data(), 0, report.length);
    report.length = 0;
    report.programHeaderWritten = false;
    report.titleHeaderWritten = false;
    report.full = false;
}

void appendReportEntry(WatchReport& report, ReportSection section, std::string_view name)
{
    const bool programs = section == ReportSection::programs;
    bool& headerWritten = programs ? report.programHeaderWritten : report.titleHeaderWritten;
    const std::string_view header = programs ? kReportProgramHeader : kReportTitleHeader;
    const std::string_view indent = kReportIndent;
    // The header goes in only together with its first line, so a cut report never ends in one.
    const size_t needed = (headerWritten ? 0 : header.size()) + indent.size() + name.size() + 1;
    if (report.full || needed > kReportSize - 1 - report.length) {
        report.full = true;
        return;
    }
    if (!headerWritten) {
        appendBytes(report, header);
        headerWritten = true;
    }
    appendBytes(report, indent);
    appendBytes(report, name);
    appendBytes(report, "\n");
}

size_t balloonTextLength(std::string_view text, size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    // Every line boundary at or before the limit, latest first: the first one that closes a name
    // line is the cut.
    size_t end = text.rfind('\n', limit);
    while (end != std::string_view::npos && end > 0) {
        const size_t previous = text.rfind('\n', end - 1);
        const size_t start = previous == std::string_view::npos ? 0 : previous + 1;
        if (isNameLine(text.substr(start, end - start)))
            return end;
        if (previous == std::string_view::npos)
            break;
        end = previous;
    }
    return cp932FitLength(text, limit);
}

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
        title = title.substr(0, cp932FitLength(title, kTitleSize - 1));
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

void clearProcessNames(ProcessNameTable& table)
{
    table.count = 0;
    table.used = 0;
    table.complete = true;
}

void addProcessName(ProcessNameTable& table, std::string_view name)
{
    if (!table.complete || table.count >= kProcessNameSlots || name.size() > kProcessNameBytes - table.used) {
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
        if (isCp932LeadByte(byte) && position + 1 < path.size()) {
            position += 2;
            continue;
        }
        ++position;
        if (byte == '\\' || byte == '/')
            start = position;
    }
    return path.substr(start);
}
