// Platform-free helpers for version strings.
#pragma once
#include <string_view>

// Leading decimal integer: blanks skipped, optional sign, digits up to the first other
// character; 0 when there is no digit. "6.00.2900" gives 6.
int leadingInteger(std::string_view text);
