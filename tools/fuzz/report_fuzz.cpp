// The watch report and its balloon cut: the report never leaves its buffer and is always the
// lines that fitted, whole; the cut never passes its limit, never splits a character, and ends
// after a name line whenever one fits.
#include <cstring>
#include <string>

#include "app/bytes.h"
#include "app/watchreport.h"
#include "tools/fuzz/fuzzcheck.h"

namespace {

WatchReport report;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input{data, size};
    const size_t limit = input.byte() | (static_cast<size_t>(input.byte() & 0x3F) << 8);
    const int repeat = 1 + input.byte() % 64;
    clearReport(report);
    std::string expected;
    bool programHeader = false, titleHeader = false, full = false;
    while (input.size > 0) {
        const bool programs = input.byte() % 2 == 0;
        // Names as the scan passes them: a process name or a window title, one line each, whole
        // characters.
        std::string_view name = input.untilZero();
        name = name.substr(0, name.find('\n'));
        name = name.substr(0, characterFitLength(name, 1023));
        if (!name.empty() && isCharBoundary(name, name.size() - 1) &&
            isCp932LeadByte(static_cast<unsigned char>(name.back())))
            name.remove_suffix(1);  // a lone lead byte at the end would take the line break
        for (int copy = 0; copy < repeat; ++copy) {
            appendReportEntry(report, programs ? ReportSection::programs : ReportSection::titles, name);
            bool& header = programs ? programHeader : titleHeader;
            // The headers of the Japanese interface, the one a process has until it chooses.
            const char* sectionHeader = programs ? "・監視プログラム名\n" : "・監視タイトル名\n";
            std::string line = (header ? std::string() : std::string(sectionHeader)) + "    " + std::string(name) + "\n";
            if (!full && expected.size() + line.size() < kReportSize) {
                expected += line;
                header = true;
            } else {
                full = true;
            }
        }
    }
    const std::string_view text = reportText(report);
    FUZZ_CHECK(text == expected);
    FUZZ_CHECK(report.length < kReportSize && report.bytes[report.length] == 0);
    for (size_t i = report.length; i < kReportSize; ++i)
        FUZZ_CHECK(report.bytes[i] == 0);
    if (text.empty())
        return 0;

    const std::string_view shown = text.substr(0, text.size() - 1);
    for (const size_t cutLimit : {limit, size_t{255}}) {
        const size_t cut = balloonTextLength(shown, cutLimit);
        FUZZ_CHECK(cut <= cutLimit && cut <= shown.size());
        FUZZ_CHECK(isCharBoundary(shown, cut));
        if (cut == shown.size())
            continue;
        const size_t firstLineEnd = shown.find('\n', shown.find('\n') + 1);
        const bool nameLineFits = firstLineEnd != std::string_view::npos && firstLineEnd <= cutLimit;
        if (nameLineFits) {
            // Whole lines, the last one a name line.
            FUZZ_CHECK(shown[cut] == '\n');
            const size_t lineStart = shown.rfind('\n', cut - 1) + 1;
            FUZZ_CHECK(shown.substr(lineStart, 4) == "    ");
        }
    }
    return 0;
}
