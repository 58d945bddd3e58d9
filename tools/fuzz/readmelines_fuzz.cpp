// The readme stream's line breaking, fed in pieces and into buffers of any size as the rich-edit
// control asks for them: no line longer than the limit, nothing lost or split, nothing written
// past the buffer.
#include <memory>
#include <string>
#include <vector>

#include "app/bytes.h"
#include "info/readmelines.h"
#include "tools/fuzz/fuzzcheck.h"

namespace {

// The characters of text, stepped from its start, without the line-break bytes standing alone.
std::vector<std::string> charactersWithoutBreaks(std::string_view text)
{
    std::vector<std::string> characters;
    for (size_t at = 0; at < text.size();) {
        const size_t width = isCp932LeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
        if (width == 2 || (text[at] != '\r' && text[at] != '\n'))
            characters.emplace_back(text.substr(at, width));
        at += width;
    }
    return characters;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input{data, size};
    const size_t pieceSize = 1 + input.byte() % 64;
    const size_t bufferSize = input.byte() % 72;
    const std::string_view text = input.rest();

    ReadmeLineState state;
    std::string shown, pending;
    size_t next = 0;
    for (int calls = 0; calls < 100000; ++calls) {
        const size_t take = std::min(pieceSize, text.size() - next);
        pending.append(text.substr(next, take));
        next += take;
        const bool last = next == text.size();
        std::unique_ptr<char[]> out(new char[bufferSize + 1]);
        out[bufferSize] = 'G';
        size_t used = 0;
        const size_t written = copyBreakingLongLines(state, pending, last, out.get(), bufferSize, &used);
        FUZZ_CHECK(out[bufferSize] == 'G' && written <= bufferSize && used <= pending.size());
        shown.append(out.get(), written);
        pending.erase(0, used);
        if (last && written == 0)
            break;
    }
    // A buffer too small for a break and a character ends the stream early; what came is right.
    const std::vector<std::string> expected = charactersWithoutBreaks(text);
    std::vector<std::string> got = charactersWithoutBreaks(shown);
    FUZZ_CHECK(got.size() <= expected.size());
    FUZZ_CHECK(std::equal(got.begin(), got.end(), expected.begin()));
    if (bufferSize >= 4)
        FUZZ_CHECK(got.size() == expected.size());
    size_t line = 0;
    for (const char byte : shown) {
        line = byte == '\r' || byte == '\n' ? 0 : line + 1;
        FUZZ_CHECK(line <= kReadmeLineLimit);
    }
    return 0;
}
