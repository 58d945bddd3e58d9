// The tray tooltip's status line: a compact code of the main settings, composed from plain
// values so that it can be tested without the platform.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

struct StatusLineInputs {
    int32_t Enable;
    int32_t resourceStopActive;
    int32_t SuspendOther;
    int32_t Time;
    int32_t isNt;
    int32_t StatusDisplay;
    int32_t Expand;
    int32_t ExpType;
    int32_t Monitor;
    int32_t HotKeyUse;
    int32_t ApplicationCheck;
    int32_t TitleCheck;
    int32_t meterAvailable;       // the 9x resource meter was loaded at start
    int32_t freeResourcePercent;
    int32_t Resource;
    int32_t Value;
    int32_t Stop;
    int32_t StopValue;
    int32_t shellMajorVersion;
};

// Room for every field at its longest (each number as "-2147483648") plus the line break of
// the fitting step, so registry values outside their ranges never cut the composition short.
constexpr size_t kStatusLineSize = 256;
using StatusLineBuffer = std::array<char, kStatusLineSize>;

// What the shell shows of a tooltip: 63 characters before shell version 5, 127 from 5 on.
constexpr size_t kOldShellTipLength = 63;
constexpr size_t kTipLength = 127;

// Appends the fields for the given state; returns the text's length (terminated).
size_t composeStatusLine(const StatusLineInputs& inputs, StatusLineBuffer& line);

// Fits a composed line to the tooltip of the given shell version: before 5 a long line is cut
// to 59 characters and "..."; from 5 on the first blank from position 44 becomes a line break
// and an indent. A line that would still not fit ends in "..." at the last character the tip
// holds. Returns the new length; the result never exceeds the tip's length.
size_t fitStatusLine(StatusLineBuffer& line, size_t length, int32_t shellMajorVersion);

// Both steps.
size_t buildStatusLineText(const StatusLineInputs& inputs, StatusLineBuffer& line);
