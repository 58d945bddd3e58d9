#include "app/wildcard.h"

#include <cstddef>
#include <cstring>

namespace {

// The byte at position, or 0 past the end, as in a zero-terminated string.
inline unsigned char byteAt(std::string_view view, size_t position)
{
    return position < view.size() ? static_cast<unsigned char>(view[position]) : 0;
}

enum class Mode { literal, oneByte, star };

}  // namespace

int matchWildcard(std::string_view text, std::string_view pattern)
{
    size_t t = 0;
    size_t p = 0;
    size_t afterStar = pattern.size();  // no star seen yet: reads as the terminator
    bool flag = true;
    Mode mode = Mode::literal;
    for (;;) {
        const unsigned char patternByte = byteAt(pattern, p);
        if (patternByte == 0)
            break;
        if (patternByte == '*') {
            mode = Mode::star;
            afterStar = p + 1;
        } else if (patternByte == '?') {
            mode = Mode::oneByte;
        } else {
            mode = Mode::literal;
        }
        if (byteAt(text, t) == 0)
            break;
        if (mode == Mode::literal) {
            flag = byteAt(text, t) == patternByte;
            ++t;
            ++p;
            if (!flag)
                break;
        } else if (mode == Mode::oneByte) {
            ++t;
            ++p;
            flag = true;
        } else {
            // The star takes one byte, then ends as soon as the text reaches the byte that follows
            // it; without that byte further on it takes the whole rest of the text.
            ++t;
            flag = true;
            const unsigned char next = byteAt(pattern, afterStar);
            const void* found = next != 0 && t < text.size() ? std::memchr(text.data() + t, next, text.size() - t) : nullptr;
            if (found) {
                t = static_cast<size_t>(static_cast<const char*>(found) - text.data());
                p = afterStar;
            } else {
                t = text.size();
                if (next == 0)
                    p = afterStar;
            }
        }
    }
    switch (mode) {
    case Mode::star:
        return byteAt(text, t) == byteAt(pattern, afterStar);
    case Mode::oneByte:
        return byteAt(text, t) == byteAt(pattern, p);
    case Mode::literal:
    default:
        return flag && byteAt(text, t) == byteAt(pattern, p);
    }
}
