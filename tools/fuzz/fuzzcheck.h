// Shared by the fuzz targets: a failed expectation prints where it failed and aborts, which
// libFuzzer and the corpus replay both report as a finding, with the input that caused it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: expectation failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)

// Reads the fuzzer's bytes front to back; past the end every read gives zero bytes.
struct FuzzInput {
    const uint8_t* data;
    size_t size;

    uint32_t u32()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<uint32_t>(byte()) << (8 * i);
        return value;
    }
    uint8_t byte()
    {
        if (size == 0)
            return 0;
        --size;
        return *data++;
    }
    // The bytes up to the next zero byte (which is consumed), or the rest.
    std::string_view untilZero()
    {
        size_t length = 0;
        while (length < size && data[length] != 0)
            ++length;
        const std::string_view part(reinterpret_cast<const char*>(data), length);
        const size_t consumed = length < size ? length + 1 : length;
        data += consumed;
        size -= consumed;
        return part;
    }
    std::string_view rest()
    {
        const std::string_view part(reinterpret_cast<const char*>(data), size);
        data += size;
        size = 0;
        return part;
    }
};

// Whether position is a character boundary of text when its double-byte characters are stepped
// over from the start, a lead byte taking the byte after it whatever that is.
bool isCharBoundary(std::string_view text, size_t position);
