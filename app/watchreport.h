// The watch scan's platform-free pieces: the status report, the window-title table and process
// names taken from snapshot paths.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// ---- Status report: "・監視プログラム名\n" followed by "    name\n" per running program, then the
// same for titles under "・監視タイトル名\n". It always ends in a zero byte inside its buffer.
constexpr size_t kReportSize = 10240;
constexpr const char* kReportProgramHeader = "・監視プログラム名\n";
constexpr const char* kReportTitleHeader = "・監視タイトル名\n";
constexpr const char* kReportIndent = "    ";

enum class ReportSection { programs, titles };

struct WatchReport {
    std::array<char, kReportSize> bytes{};  // zero past length
    size_t length = 0;
    bool programHeaderWritten = false;
    bool titleHeaderWritten = false;
    // A line did not fit; the report ends at the last line that did, and nothing more is added.
    bool full = false;
};

void clearReport(WatchReport& report);
// Appends the section's header when the section has none yet, then the name's line.
void appendReportEntry(WatchReport& report, ReportSection section, std::string_view name);
inline std::string_view reportText(const WatchReport& report)
{
    return std::string_view(report.bytes.data(), report.length);
}

// How many bytes of a report (without its last "\n") a balloon of limit bytes shows: whole lines
// up to the last name line that fits, so that a cut list never ends in half a name or a bare
// header; only when not even the first name line fits, as much as fits, cut at a character
// boundary.
size_t balloonTextLength(std::string_view text, size_t limit);

// ---- Window-title table: the distinct titles of the top-level windows, in enumeration order.
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

// ---- Process names
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
