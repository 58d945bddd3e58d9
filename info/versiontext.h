// Platform-free parts of the version-information reader: the string-table search order, the
// sub-block paths, and the reading of a leading version number.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Leading decimal integer: blanks skipped, optional sign, digits up to the first other
// character; 0 when there is no digit. "6.00.2900" gives 6.
int leadingInteger(std::string_view text);

// Pairs tried, code pages outer and languages inner, when a block's own translation has no
// table holding a key: the language and character-set identifiers that the published
// definition of the version resource lists.
constexpr std::array<std::uint16_t, 12> kFallbackCodePages = {
    0, 932, 949, 950, 1200, 1250, 1251, 1252, 1253, 1254, 1255, 1256,
};
constexpr std::array<std::uint16_t, 45> kFallbackLanguages = {
    0x0401, 0x0402, 0x0403, 0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0409, 0x040A, 0x040B,
    0x040C, 0x040D, 0x040E, 0x040F, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416,
    0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421,
    0x0804, 0x0807, 0x0809, 0x080A, 0x080C, 0x0810, 0x0813, 0x0814, 0x0816, 0x081A, 0x0C0C,
    0x100C,
};

// Room for "\StringFileInfo\llllcccc\" and a key of any length the program asks for.
constexpr std::size_t kStringPathSize = 256;

// Writes "\StringFileInfo\llllcccc\key" (lower-case hexadecimal, four digits each) into path.
// Returns 0, with path empty, when it does not fit in size bytes.
int formatStringPath(char* path, std::size_t size, std::uint16_t language, std::uint16_t codePage,
                     std::string_view key);

// Looks one sub-block path up. Returns 1 and the string when the block holds it, else 0.
typedef int (*StringLookup)(const void* context, const char* path, std::string_view* value);

// Finds key as the reader does: the block's own translation first, with one look-up; then the
// fallback pairs in order. Returns 1 and the first string found, else 0 and an empty value.
int findVersionString(std::uint16_t language, std::uint16_t codePage, std::string_view key,
                      StringLookup lookup, const void* context, std::string_view* value);
