// Wildcard matching of watch-list entries against process names and window titles
// (platform-free).
#pragma once
#include <string_view>

// Returns 1 when text matches pattern, else 0. Byte by byte and case-sensitive; "*" stands for
// any run of bytes and "?" for one byte. There is no backtracking: a star ends at the first byte
// equal to the pattern byte after it, so "*.exe" does not match "a.b.exe", and a star followed by
// more pattern takes at least one byte, so "*.exe" does not match ".exe". The end of either view
// acts as the terminating zero byte of a C string.
int matchWildcard(std::string_view text, std::string_view pattern);
