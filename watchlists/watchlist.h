// In-memory form of a watch-list file (platform-free): every entry ends with a mark byte,
// '<' not found or '>' found.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

constexpr char kMarkNotFound = '<';
constexpr char kMarkFound = '>';

struct WatchList {
    std::unique_ptr<char[]> text;   // compacted content, zero-filled to its end; null until loaded
    uint32_t length = 0;            // compacted bytes + 1
    size_t cursor = 0;              // scan position
    uint64_t lastWriteTime = 0;     // file time when the list was last loaded
};
