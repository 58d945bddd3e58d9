// Platform-free pieces of the two list editors: the names a list file shows, the file they
// write, the order of a header click and the fixed column width.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// A list's single column is `wide` pixels while its rows fit without a scroll bar, and
// `narrow` (room for the bar) from 13 rows on.
struct ColumnWidths {
    int wide;
    int narrow;
};
constexpr int kRowsWithoutScrollBar = 12;
constexpr int columnWidthFor(const ColumnWidths& widths, int rowCount)
{
    return rowCount > kRowsWithoutScrollBar ? widths.narrow : widths.wide;
}

// The names of a list file as an editor shows them: every run of non-control bytes, cut like the
// scan cuts an entry; a name for which dropped() is true is left out. A last line without a line
// end is a name, as for the loader.
std::vector<std::string> namesInListFile(std::string_view bytes, bool (*dropped)(std::string_view));

// What an editor writes: every name followed by CR LF, in the given order.
std::string listFileContent(const std::vector<std::string>& names);

// Row order of a header click: bytes as unsigned values up to the first difference, no case
// folding and no locale. Negative when a comes first.
int compareRowTexts(std::string_view a, std::string_view b, bool descending);
