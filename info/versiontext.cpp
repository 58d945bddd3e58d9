#include "info/versiontext.h"

#include <cstring>

int leadingInteger(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0x7FFFFFFF) { // a version never gets here; saturate rather than overflow
            value = 0x7FFFFFFF;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

int formatStringPath(char* path, std::size_t size, std::uint16_t language, std::uint16_t codePage,
                     std::string_view key)
{
    constexpr std::string_view prefix = "\\StringFileInfo\\";
    constexpr char digits[] = "0123456789abcdef";
    const std::size_t length = prefix.size() + 8 + 1 + key.size();
    if (size == 0)
        return 0;
    if (length >= size) {
        path[0] = '\0';
        return 0;
    }
    char* out = path;
    std::memcpy(out, prefix.data(), prefix.size());
    out += prefix.size();
    const std::uint32_t pair = (std::uint32_t{language} << 16) | codePage;
    for (int shift = 28; shift >= 0; shift -= 4)
        *out++ = digits[(pair >> shift) & 0xF];
    *out++ = '\\';
    std::memcpy(out, key.data(), key.size());
    out[key.size()] = '\0';
    return 1;
}

namespace {

int lookUpPair(std::uint16_t language, std::uint16_t codePage, std::string_view key, StringLookup lookup,
               const void* context, std::string_view* value)
{
    char path[kStringPathSize];
    return formatStringPath(path, sizeof(path), language, codePage, key) && lookup(context, path, value);
}

} // namespace

int findVersionString(std::uint16_t language, std::uint16_t codePage, std::string_view key,
                      StringLookup lookup, const void* context, std::string_view* value)
{
    *value = {};
    if (lookUpPair(language, codePage, key, lookup, context, value))
        return 1;
    // Many files carry a translation value that names no table of their own; these are the
    // pairs such files use in practice.
    for (const std::uint16_t fallbackCodePage : kFallbackCodePages) {
        for (const std::uint16_t fallbackLanguage : kFallbackLanguages) {
            if (lookUpPair(fallbackLanguage, fallbackCodePage, key, lookup, context, value))
                return 1;
        }
    }
    *value = {};
    return 0;
}
