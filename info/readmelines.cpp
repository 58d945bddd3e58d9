#include "info/readmelines.h"

#include "app/bytes.h"

size_t copyBreakingLongLines(ReadmeLineState& state, std::string_view text, bool last, char* out, size_t outSize,
                             size_t* used)
{
    size_t in = 0;
    size_t written = 0;
    while (in < text.size()) {
        const unsigned char byte = static_cast<unsigned char>(text[in]);
        size_t width = 1;
        if (isCp932LeadByte(byte)) {
            if (in + 1 < text.size())
                width = 2;
            else if (!last)
                break;  // its trail byte comes with the next piece
        }
        const bool lineEnd = byte == '\r' || byte == '\n';
        const bool breakFirst = !lineEnd && state.lineBytes + width > kReadmeLineLimit;
        if (written + width + (breakFirst ? 2 : 0) > outSize)
            break;
        if (breakFirst) {
            out[written++] = '\r';
            out[written++] = '\n';
            state.lineBytes = 0;
        }
        for (size_t i = 0; i < width; ++i)
            out[written++] = text[in++];
        state.lineBytes = lineEnd ? 0 : state.lineBytes + width;
    }
    *used = in;
    return written;
}
