#include "app/bytes.h"

#include <cstring>

namespace {

constexpr LeadByteTable cp932LeadBytes()
{
    LeadByteTable leads{};
    for (size_t byte = 0; byte < leads.size(); ++byte)
        leads[byte] = isCp932LeadByte(static_cast<unsigned char>(byte));
    return leads;
}

LeadByteTable leadBytes = cp932LeadBytes();

} // namespace

LeadByteTable setLeadBytes(const LeadByteTable& leads)
{
    const LeadByteTable previous = leadBytes;
    leadBytes = leads;
    return previous;
}

bool isLeadByte(unsigned char byte)
{
    return leadBytes[byte];
}

size_t characterFitLength(std::string_view text, size_t limit)
{
    size_t position = 0;
    while (position < text.size()) {
        const size_t width =
            isLeadByte(static_cast<unsigned char>(text[position])) && position + 1 < text.size() ? 2 : 1;
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
    const size_t length = characterFitLength(text, size - 1);
    std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
    return length;
}
