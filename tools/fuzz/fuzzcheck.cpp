#include "tools/fuzz/fuzzcheck.h"

#include "app/bytes.h"

bool isCharBoundary(std::string_view text, size_t position)
{
    size_t at = 0;
    while (at < position)
        at += isCp932LeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
    return at == position;
}
