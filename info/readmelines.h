// The readme viewer's guard against very long lines (platform-free). The rich-edit control lays
// out a line of hundreds of kilobytes for many seconds on the thread that also runs the input
// hooks, so the stream starts a new line before any character that would make one longer than
// kReadmeLineLimit bytes. Help texts never come near it.
#pragma once
#include <cstddef>
#include <string_view>

constexpr size_t kReadmeLineLimit = 1024;

// Bytes since the last line break (CR or LF), carried from one piece of the stream to the next.
struct ReadmeLineState {
    size_t lineBytes = 0;
};

// Copies whole characters of text into out (at most outSize bytes), with CR LF inserted where a
// line would grow past the limit; a double-byte character is never split, by the break or by the
// end of out. Returns the bytes written and sets *used to the bytes of text taken. A lead byte
// that ends text is taken only when last is true (nothing follows it in the file).
size_t copyBreakingLongLines(ReadmeLineState& state, std::string_view text, bool last, char* out, size_t outSize,
                             size_t* used);
