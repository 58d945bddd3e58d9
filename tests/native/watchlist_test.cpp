#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "watchlists/watchlist.h"

namespace {

// Loads file bytes the way the loader hands them over.
WatchList load(const std::string& file)
{
    std::unique_ptr<char[]> buffer(new char[file.size() + kListSlack]());
    std::memcpy(buffer.get(), file.data(), file.size());
    WatchList list;
    adoptListText(list, std::move(buffer), file.size());
    return list;
}

std::string textOf(const WatchList& list)
{
    return std::string(list.text.get(), list.length - 1);
}

std::vector<std::string> entriesOf(const WatchList& list)
{
    std::vector<std::string> entries;
    for (uint32_t i = 0; i < list.entryCount; ++i)
        entries.emplace_back(listEntry(list, i));
    return entries;
}

}  // namespace

TEST(WatchListLoad, CompactsControlRunsIntoMarks)
{
    // "メモ帳" (trail bytes 0x81, 0x82, 0xa0), half-width "ﾒﾓ", and the unassigned 0x80, 0xa0, 0xfd-0xff.
    const std::string memo = "\x83\x81\x83\x82\x92\xa0";
    const std::string odd = "\x80\xa0\xfd\xfe\xff";
    const struct {
        std::string file;
        std::string text;
        std::vector<std::string> entries;
    } cases[] = {
        {"a.exe\r\nb.exe\r\n", "a.exe<b.exe<", {"a.exe", "b.exe"}},
        {"a.exe\r\nb.exe", "a.exe<b.exe", {"a.exe"}},  // a last line without a break is no entry
        {"\r\n\r\na.exe\r\n", "<a.exe<", {"", "a.exe"}},
        {"a b\tc\n\n\x7f" "d\x01\x1f" "e\r", "a b<c<d<e<", {"a b", "c", "d", "e"}},
        {"a<b>c\r\n", "a<b>c<", {"a", "b", "c"}},  // mark bytes in a line split it
        {"", "", {}},
        {memo + "\r\n\xd2\xd3\r\n" + odd + "\r\n", memo + "<\xd2\xd3<" + odd + "<", {memo, "\xd2\xd3", odd}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        WatchList list = load(c.file);
        EXPECT_EQ(textOf(list), c.text);
        EXPECT_EQ(list.length, c.text.size() + 1);
        EXPECT_EQ(list.cursor, 0u);
        EXPECT_EQ(entriesOf(list), c.entries);
        for (size_t i = list.length - 1; i < c.file.size() + kListSlack; ++i)
            ASSERT_EQ(list.text[i], '\0') << i;
    }
    EXPECT_EQ(load("a.exe\r\nb.exe\r\n").length, 13u);
    // A '>' in the file reads as an entry already found; the scan confirms or drops it.
    EXPECT_TRUE(hasFoundMark(load("a<b>c\r\n")));
    for (int byte = 0; byte < 256; ++byte)
        EXPECT_EQ(isListControlByte(static_cast<unsigned char>(byte)), byte < 0x20 || byte == 0x7f) << byte;
}

TEST(WatchListLoad, FailedReadLeavesAnAllZeroList)
{
    WatchList list = load("a.exe\r\n");
    std::unique_ptr<char[]> buffer(new char[20]);
    std::memset(buffer.get(), 'x', 20);
    adoptEmptyListText(list, std::move(buffer), 20, 0);
    EXPECT_EQ(list.entryCount, 0u);
    EXPECT_EQ(list.length, 0u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(list.text[i], '\0');
    EXPECT_FALSE(hasFoundMark(list));
}

TEST(WatchListEntries, LongEntriesAreCutAtACharacterBoundary)
{
    const std::string exact(kListEntryMaxLength, 'a');
    EXPECT_EQ(boundedListEntry(exact), exact);
    EXPECT_EQ(boundedListEntry(exact + "b"), exact);
    // A double-byte character across the limit is left out whole.
    const std::string straddling = std::string(kListEntryMaxLength - 1, 'a') + "\x82\xa0";
    EXPECT_EQ(boundedListEntry(straddling), std::string(kListEntryMaxLength - 1, 'a'));
}

TEST(WatchListEntries, ReservedNamesAreExact)
{
    for (const char* name : {"System", "[System Process]", "Somnivar.exe"})
        EXPECT_TRUE(isReservedProcessName(name)) << name;
    for (const char* name : {"system", "SOMNIVAR.EXE", "Somnivar.exe "})
        EXPECT_FALSE(isReservedProcessName(name)) << name;
    for (const char* title : {"監視タイトルの追加・削除", "Somnivar の設定", "Somnivar"})
        EXPECT_TRUE(isOwnWindowTitle(title)) << title;
    for (const char* title : {"Somnivar - Readme.txt", "Somnivar の設定 ", "somnivar"})
        EXPECT_FALSE(isOwnWindowTitle(title)) << title;
}
