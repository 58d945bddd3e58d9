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

TEST(WatchListLoad, CompactsLineBreaksIntoMarks)
{
    WatchList list = load("a.exe\r\nb.exe\r\n");
    EXPECT_EQ(textOf(list), "a.exe<b.exe<");
    EXPECT_EQ(list.length, 13u);
    EXPECT_EQ(list.cursor, 0u);
    EXPECT_EQ(entriesOf(list), (std::vector<std::string>{"a.exe", "b.exe"}));
    // Zero bytes follow the compacted text to the end of the buffer.
    for (size_t i = list.length - 1; i < 14 + kListSlack; ++i)
        EXPECT_EQ(list.text[i], '\0') << i;
}

TEST(WatchListLoad, LastLineWithoutBreakIsNoEntry)
{
    WatchList list = load("a.exe\r\nb.exe");
    EXPECT_EQ(textOf(list), "a.exe<b.exe");
    EXPECT_EQ(entriesOf(list), std::vector<std::string>{"a.exe"});
}

TEST(WatchListLoad, LeadingBlankLinesGiveOneEmptyEntry)
{
    WatchList list = load("\r\n\r\na.exe\r\n");
    EXPECT_EQ(textOf(list), "<a.exe<");
    EXPECT_EQ(list.length, 8u);
    EXPECT_EQ(entriesOf(list), (std::vector<std::string>{"", "a.exe"}));
}

TEST(WatchListLoad, AnyControlRunSeparatesAndBlanksBelongToTheEntry)
{
    WatchList list = load("a b\tc\n\n\x7f" "d\x01\x1f" "e\r");
    EXPECT_EQ(entriesOf(list), (std::vector<std::string>{"a b", "c", "d", "e"}));
    EXPECT_EQ(textOf(list), "a b<c<d<e<");
}

TEST(WatchListLoad, DoubleByteAndKanaBytesAreNeverControlBytes)
{
    // "メモ帳" (trail bytes 0x81, 0x82, 0xa0), half-width "ﾒﾓ", and the unassigned 0x80, 0xa0, 0xfd-0xff.
    const std::string memo = "\x83\x81\x83\x82\x92\xa0";
    const std::string odd = "\x80\xa0\xfd\xfe\xff";
    WatchList list = load(memo + "\r\n\xd2\xd3\r\n" + odd + "\r\n");
    EXPECT_EQ(entriesOf(list), (std::vector<std::string>{memo, "\xd2\xd3", odd}));
    for (int byte = 0; byte < 256; ++byte)
        EXPECT_EQ(isListControlByte(static_cast<unsigned char>(byte)), byte < 0x20 || byte == 0x7f) << byte;
}

TEST(WatchListLoad, MarkBytesInsideALineSplitIt)
{
    WatchList list = load("a<b>c\r\n");
    EXPECT_EQ(entriesOf(list), (std::vector<std::string>{"a", "b", "c"}));
    // A '>' in the file reads as an entry already found; the scan confirms or drops it.
    EXPECT_TRUE(hasFoundMark(list));
}

TEST(WatchListLoad, EmptyFileIsAnEmptyList)
{
    WatchList list = load("");
    EXPECT_EQ(list.length, 1u);
    EXPECT_EQ(list.entryCount, 0u);
    EXPECT_EQ(list.text[0], '\0');
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
    EXPECT_EQ(countFoundMarks(list), 0u);
}

TEST(WatchListMarks, CountAndSwitch)
{
    WatchList list = load("a\r\nb\r\nc\r\n");
    EXPECT_FALSE(hasFoundMark(list));
    listMark(list, 0) = kMarkFound;
    listMark(list, 2) = kMarkFound;
    EXPECT_EQ(countFoundMarks(list), 2u);
    EXPECT_EQ(textOf(list), "a>b<c>");
    // Entries end at either mark.
    EXPECT_EQ(entriesOf(list), (std::vector<std::string>{"a", "b", "c"}));
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
    EXPECT_TRUE(isReservedProcessName("System"));
    EXPECT_TRUE(isReservedProcessName("[System Process]"));
    EXPECT_TRUE(isReservedProcessName("Somnivar.exe"));
    EXPECT_FALSE(isReservedProcessName("system"));
    EXPECT_FALSE(isReservedProcessName("SOMNIVAR.EXE"));
    EXPECT_FALSE(isReservedProcessName("Somnivar.exe "));
    EXPECT_TRUE(isOwnWindowTitle("監視タイトルの追加・削除"));
    EXPECT_TRUE(isOwnWindowTitle("Somnivar の設定"));
    EXPECT_TRUE(isOwnWindowTitle("Somnivar"));
    EXPECT_FALSE(isOwnWindowTitle("Somnivar - Readme.txt"));
}
