// Bounded byte-string helpers for texts in the system's ANSI code page (platform-free).
#pragma once
#include <array>
#include <cstddef>
#include <string_view>

// True for a lead byte of a double-byte character in code page 932.
constexpr bool isCp932LeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The lead bytes of the system's code page: those of 932 until start-up sets the system's own
// (none at all for a single-byte code page such as 1252). Setting returns the table replaced.
using LeadByteTable = std::array<bool, 256>;
LeadByteTable setLeadBytes(const LeadByteTable& leads);
bool isLeadByte(unsigned char byte);

// Length of the longest prefix of text that fits in limit bytes without splitting a
// double-byte character.
size_t characterFitLength(std::string_view text, size_t limit);

// Copies text into destination (size bytes, terminator included), cut at a character boundary
// when it does not fit. Returns the number of bytes copied, without the terminator.
size_t copyBounded(char* destination, size_t size, std::string_view text);
