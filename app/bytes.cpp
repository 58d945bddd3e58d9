#include "app/bytes.h"

#include <cstring>

size_t cp932FitLength(std::string_view text, size_t limit)
{
    size_t position = 0;
    while (position < text.size()) {
        const size_t width =
            isCp932LeadByte(static_cast<unsigned char>(text[position])) && position + 1 < text.size() ? 2 : 1;
        if (position + width > limit)
            break;
        position += width;
    }
    return position;
}

size_t copyBounded(char* destination, size_t size, std::string_view text)
{
    if (size == 0)
        return 0;
    const size_t length = cp932FitLength(text, size - 1);
    std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
    return length;
}
