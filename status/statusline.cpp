#include "status/statusline.h"

#include <charconv>
#include <cstring>

#include "app/bytes.h"

namespace {

// The longest line the fields can make: every word at its longest and every number as
// "-2147483648" (Time, the free resources, Value, StopValue), before the line break.
constexpr size_t kLongestNumber = 11;
constexpr size_t kLongestComposedLine = 16 + 6 + (1 + kLongestNumber + 3) + 6 + 6 + 4 + 6 + 6 + 6 + 6
                                      + (3 + kLongestNumber + 2 + 3) + (1 + kLongestNumber + 1) + 6
                                      + (1 + kLongestNumber + 1);

// The second line of a broken tooltip starts under the first field after "Somnivar - ".
constexpr std::string_view kLineBreak = "\n                        ";
constexpr size_t kBreakSearchStart = 44;
constexpr std::string_view kEllipsis = "...";
constexpr size_t kOldShellCutLength = 59;

static_assert(kLongestComposedLine + kLineBreak.size() - 1 < kStatusLineSize,
              "the status buffer must hold the longest line and its break");

struct LineWriter {
    StatusLineBuffer& line;
    size_t length;
};

// Bounded by the buffer even though kLongestComposedLine says it never needs to be.
void append(LineWriter& writer, std::string_view text)
{
    const size_t room = kStatusLineSize - 1 - writer.length;
    const size_t count = text.size() < room ? text.size() : room;
    std::memcpy(writer.line.data() + writer.length, text.data(), count);
    writer.length += count;
    writer.line[writer.length] = '\0';
}

void appendNumber(LineWriter& writer, int32_t value)
{
    char digits[kLongestNumber + 1];
    const std::to_chars_result result = std::to_chars(digits, digits + sizeof(digits), value);
    append(writer, std::string_view(digits, static_cast<size_t>(result.ptr - digits)));
}

std::string_view onOff(int32_t flag) { return flag == 1 ? "ON" : "OFF"; }
std::string_view suspendOrCancel(int32_t flag) { return flag == 1 ? "SUS" : "CAN"; }

// Monitor 0, 1 and 2 have a word; anything else leaves the field out.
std::string_view monitorWord(int32_t monitor)
{
    switch (monitor) {
    case 0: return "ON";
    case 1: return "OFF";
    case 2: return "STB";
    default: return {};
    }
}

size_t cutWithEllipsis(StatusLineBuffer& line, size_t length, size_t keep)
{
    size_t kept = characterFitLength(std::string_view(line.data(), length), keep);
    std::memcpy(line.data() + kept, kEllipsis.data(), kEllipsis.size());
    kept += kEllipsis.size();
    line[kept] = '\0';
    return kept;
}

} // namespace

size_t composeStatusLine(const StatusLineInputs& in, StatusLineBuffer& line)
{
    // Off only because of low resources still counts as active: the settings still apply.
    const bool active = in.Enable == 1 || in.resourceStopActive == 1;
    LineWriter writer{line, 0};
    line[0] = '\0';

    append(writer, "Somnivar - S:");
    append(writer, onOff(in.Enable));
    append(writer, " O:");
    append(writer, suspendOrCancel(in.SuspendOther));
    if (active) {
        append(writer, "/");
        appendNumber(writer, in.Time);
        append(writer, "Min");
    }
    if (in.isNt) {
        append(writer, " U:");
        append(writer, onOff(in.StatusDisplay));
    }
    if (active) {
        append(writer, " E:");
        append(writer, onOff(in.Expand));
        if (in.Expand == 1) {
            append(writer, "/");
            append(writer, suspendOrCancel(in.ExpType));
        }
        const std::string_view monitor = monitorWord(in.Monitor);
        if (!monitor.empty()) {
            append(writer, " M:");
            append(writer, monitor);
        }
        append(writer, " H:");
        append(writer, onOff(in.HotKeyUse));
        append(writer, " P:");
        append(writer, onOff(in.ApplicationCheck));
        append(writer, " T:");
        append(writer, onOff(in.TitleCheck));
    }
    if (in.meterAvailable) {
        append(writer, " R:");
        appendNumber(writer, in.freeResourcePercent);
        append(writer, "%/");
        append(writer, onOff(in.Resource));
        if (in.Resource != 0) {
            append(writer, "/");
            appendNumber(writer, in.Value);
            append(writer, "%");
        }
        if (active) {
            append(writer, " A:");
            append(writer, onOff(in.Stop));
            if (in.Stop != 0) {
                append(writer, "/");
                appendNumber(writer, in.StopValue);
                append(writer, "%");
            }
        }
    }
    return writer.length;
}

size_t fitStatusLine(StatusLineBuffer& line, size_t length, int32_t shellMajorVersion)
{
    if (length > kStatusLineSize - 1)
        length = kStatusLineSize - 1;
    line[length] = '\0';
    if (length <= kOldShellTipLength)
        return length;
    if (shellMajorVersion < 5)
        return cutWithEllipsis(line, length, kOldShellCutLength);

    const std::string_view text(line.data(), length);
    const size_t blank = text.find(' ', kBreakSearchStart);
    if (blank != std::string_view::npos && length + kLineBreak.size() - 1 <= kStatusLineSize - 1) {
        const size_t tail = length - blank - 1;
        std::memmove(line.data() + blank + kLineBreak.size(), line.data() + blank + 1, tail);
        std::memcpy(line.data() + blank, kLineBreak.data(), kLineBreak.size());
        length += kLineBreak.size() - 1;
        line[length] = '\0';
    }
    // Only values outside their ranges get here: keep what fits and show that there is more.
    if (length > kTipLength)
        return cutWithEllipsis(line, length, kTipLength - kEllipsis.size());
    return length;
}

size_t buildStatusLineText(const StatusLineInputs& inputs, StatusLineBuffer& line)
{
    return fitStatusLine(line, composeStatusLine(inputs, line), inputs.shellMajorVersion);
}
