#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "watchlists/editorlists.h"
#include "watchlists/watchlist.h"

using Names = std::vector<std::string>;

TEST(EditorLists, FileNamesAreTheLoadersEntriesWithoutBlanksAndDroppedNames)
{
    const std::string longName = std::string(1022, 'a') + "\x83\x81";  // a double-byte character across 1023
    const struct {
        std::string file;
        Names names;
    } cases[] = {
        {"\r\n\r\na.exe\r\nSystem\tb.exe\nSomnivar.exe\r\n", {"a.exe", "b.exe"}},
        {"a.exe\r\nno break.exe", {"a.exe"}},
        {"", {}},
        {longName + "\r\n", {std::string(1022, 'a')}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(namesInListFile(c.file, isReservedProcessName), c.names) << c.file.substr(0, 40);
    EXPECT_EQ(listFileContent({"z.exe", "メモ帳"}), "z.exe\r\nメモ帳\r\n");
}

TEST(EditorLists, OrderIsByUnsignedBytesAndWidthNarrowsFrom13Rows)
{
    EXPECT_LT(compareRowTexts("B", "a", false), 0);          // no case folding
    EXPECT_LT(compareRowTexts("z", "\x83\x81", false), 0);   // 0x83 above 0x7A
    EXPECT_GT(compareRowTexts("ab", "abc", true), 0);
    EXPECT_EQ(compareRowTexts("x", "x", true), 0);
    EXPECT_EQ(columnWidthFor({136, 119}, 12), 136);
    EXPECT_EQ(columnWidthFor({136, 119}, 13), 119);
}
