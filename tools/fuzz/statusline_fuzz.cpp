// The status line from any 32-bit settings: composed as the field table says (checked against a
// printf transcription of it), fitted to the tooltip without passing its 127 bytes.
#include <cstdio>
#include <cstring>
#include <string>

#include "status/statusline.h"
#include "tools/fuzz/fuzzcheck.h"

namespace {

std::string printfLine(const StatusLineInputs& in)
{
    const auto onOff = [](int32_t flag) { return flag == 1 ? "ON" : "OFF"; };
    const auto susCan = [](int32_t flag) { return flag == 1 ? "SUS" : "CAN"; };
    const bool active = in.Enable == 1 || in.resourceStopActive == 1;
    char text[512];
    int n = std::snprintf(text, sizeof(text), "Somnivar - S:%s O:%s", onOff(in.Enable), susCan(in.SuspendOther));
    const auto add = [&](const char* format, auto value) {
        n += std::snprintf(text + n, sizeof(text) - static_cast<size_t>(n), format, value);
    };
    if (active)
        add("/%dMin", in.Time);
    if (in.isNt)
        add(" U:%s", onOff(in.StatusDisplay));
    if (active) {
        add(" E:%s", onOff(in.Expand));
        if (in.Expand == 1)
            add("/%s", susCan(in.ExpType));
        if (in.Monitor >= 0 && in.Monitor <= 2)
            add(" M:%s", in.Monitor == 0 ? "ON" : in.Monitor == 1 ? "OFF" : "STB");
        add(" H:%s", onOff(in.HotKeyUse));
        add(" P:%s", onOff(in.ApplicationCheck));
        add(" T:%s", onOff(in.TitleCheck));
    }
    if (in.meterAvailable) {
        add(" R:%d%%", in.freeResourcePercent);
        add("/%s", onOff(in.Resource));
        if (in.Resource != 0)
            add("/%d%%", in.Value);
        if (active) {
            add(" A:%s", onOff(in.Stop));
            if (in.Stop != 0)
                add("/%d%%", in.StopValue);
        }
    }
    return std::string(text, static_cast<size_t>(n));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input{data, size};
    StatusLineInputs in;
    int32_t* const fields[] = {&in.Enable, &in.resourceStopActive, &in.SuspendOther, &in.Time, &in.isNt,
                               &in.StatusDisplay, &in.Expand, &in.ExpType, &in.Monitor, &in.HotKeyUse,
                               &in.ApplicationCheck, &in.TitleCheck, &in.meterAvailable, &in.freeResourcePercent,
                               &in.Resource, &in.Value, &in.Stop, &in.StopValue, &in.shellMajorVersion};
    // One byte per field picks a common value or, for 0xFF, the next four bytes: most inputs then
    // hold flags of 0 and 1 and in-range numbers, the rest anything at all.
    static const int32_t common[] = {0, 1, 2, 3, 5, 10, 60, 100, -1, INT32_MIN, INT32_MAX};
    for (int32_t* field : fields) {
        const uint8_t choice = input.byte();
        *field = choice == 0xFF ? static_cast<int32_t>(input.u32()) : common[choice % (sizeof(common) / sizeof(*common))];
    }
    StatusLineBuffer line;
    line.fill('\x7F');
    const size_t composedLength = composeStatusLine(in, line);
    const std::string composed(line.data(), composedLength);
    FUZZ_CHECK(line[composedLength] == '\0');
    FUZZ_CHECK(composed == printfLine(in));

    const size_t length = fitStatusLine(line, composedLength, in.shellMajorVersion);
    FUZZ_CHECK(length <= 127 && length == std::strlen(line.data()));
    const std::string fitted(line.data(), length);
    if (composedLength <= 63) {
        FUZZ_CHECK(fitted == composed);
    } else if (in.shellMajorVersion < 5) {
        FUZZ_CHECK(fitted == composed.substr(0, 59) + "...");
    } else {
        const size_t blank = composed.find(' ', 44);
        std::string expected = composed;
        if (blank != std::string::npos)
            expected.replace(blank, 1, "\n                        ");
        if (expected.size() > 127)
            expected = expected.substr(0, 124) + "...";
        FUZZ_CHECK(fitted == expected);
    }
    return 0;
}
