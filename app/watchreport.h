// The watch scan's status report: what it found, as the balloon and command 267 show it.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// ---- Status report: the programs' header line followed by "    name\n" per running program, then
// the same for titles under their header. It always ends in a zero byte inside its buffer.
constexpr size_t kReportSize = 10240;
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
