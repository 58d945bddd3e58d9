// The settings dialog's number fields (time, warning level, switch-off level), platform-free.
#pragma once

// Reads the text of a number field. It is accepted only when it is not empty, every byte is an
// ASCII digit 0-9 and its value lies in [low, high]; then *value is set and 1 returned. Any
// other text (a sign, a space, a full-width digit, a unit) returns 0 and leaves *value alone.
// A long run of digits never overflows: it is refused as out of range.
int parseNumberField(const char* text, int low, int high, int* value);
