#include "app/watchreport.h"

#include <cstring>

#include "app/bytes.h"
#include "app/texts.h"

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
    const std::string_view header = text(programs ? TextId::reportProgramHeader : TextId::reportTitleHeader);
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
    return characterFitLength(text, limit);
}
