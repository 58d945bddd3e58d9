#include "watchlists/editorlists.h"

#include "watchlists/watchlist.h"

std::vector<std::string> namesInListFile(std::string_view bytes, bool (*dropped)(std::string_view))
{
    std::vector<std::string> names;
    size_t start = 0;
    // The end of the bytes ends a name too: a last line without a line end is one.
    for (size_t i = 0; i <= bytes.size(); ++i) {
        if (i < bytes.size() && !isListControlByte(static_cast<unsigned char>(bytes[i])))
            continue;
        const std::string_view name = boundedListEntry(bytes.substr(start, i - start));
        if (!name.empty() && !dropped(name))
            names.emplace_back(name);
        start = i + 1;
    }
    return names;
}

std::string listFileContent(const std::vector<std::string>& names)
{
    std::string content;
    for (const std::string& name : names) {
        content += name;
        content += "\r\n";
    }
    return content;
}

int compareRowTexts(std::string_view a, std::string_view b, bool descending)
{
    // string_view compares through char_traits<char>, which compares bytes as unsigned char.
    const int order = a.compare(b);
    const int sign = order < 0 ? -1 : order > 0 ? 1 : 0;
    return descending ? -sign : sign;
}
