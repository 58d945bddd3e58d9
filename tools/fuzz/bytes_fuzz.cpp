// The bounded code page 932 copies: never past the destination, never half a character, and
// never shorter than needed.
#include <memory>
#include <string>

#include "app/bytes.h"
#include "tools/fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input{data, size};
    const size_t limit = input.byte() | (static_cast<size_t>(input.byte() & 0x0F) << 8);
    const std::string_view text = input.rest();

    const size_t fit = characterFitLength(text, limit);
    FUZZ_CHECK(fit <= limit && fit <= text.size());
    FUZZ_CHECK(isCharBoundary(text, fit));
    // The next character would not have fitted.
    if (fit < text.size()) {
        const size_t width = isCp932LeadByte(static_cast<unsigned char>(text[fit])) && fit + 1 < text.size() ? 2 : 1;
        FUZZ_CHECK(fit + width > limit);
    }

    // A destination of exactly the given size on the heap, so that one byte too many is caught.
    const size_t destinationSize = limit;
    std::unique_ptr<char[]> destination(new char[destinationSize + 1]);
    char* const start = destination.get() + 1;  // the byte before is a guard of its own
    destination[0] = 'G';
    const size_t copied = copyBounded(start, destinationSize, text);
    FUZZ_CHECK(destination[0] == 'G');
    if (destinationSize == 0) {
        FUZZ_CHECK(copied == 0);
        return 0;
    }
    FUZZ_CHECK(copied == characterFitLength(text, destinationSize - 1));
    FUZZ_CHECK(start[copied] == '\0' && std::string_view(start, copied) == text.substr(0, copied));
    return 0;
}
