#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/watchreport.h"

namespace {

std::string text(const WatchReport& report)
{
    return std::string(reportText(report));
}

}  // namespace

TEST(WatchReport, ProgramsThenTitlesEachUnderOneHeader)
{
    WatchReport report;
    appendReportEntry(report, ReportSection::programs, "notepad.exe");
    appendReportEntry(report, ReportSection::programs, "calc.exe");
    appendReportEntry(report, ReportSection::titles, "メモ");
    EXPECT_EQ(text(report), "・監視プログラム名\n    notepad.exe\n    calc.exe\n"
                            "・監視タイトル名\n    メモ\n");
    clearReport(report);
    EXPECT_EQ(text(report), "");
    for (char byte : report.bytes)
        ASSERT_EQ(byte, '\0');
    appendReportEntry(report, ReportSection::titles, "x");
    EXPECT_EQ(text(report), "・監視タイトル名\n    x\n");
}

TEST(WatchReport, OverflowCutsAtALineBoundary)
{
    WatchReport report;
    const std::string name(1000, 'n');
    int lines = 0;
    for (int i = 0; i < 20; ++i) {
        appendReportEntry(report, ReportSection::programs, name);
        if (!report.full)
            ++lines;
    }
    // 19 header bytes, then 1005 bytes per line: ten lines fit in 10239 bytes, the eleventh not.
    EXPECT_EQ(lines, 10);
    EXPECT_EQ(report.length, std::string(kReportProgramHeader).size() + 10 * 1005);
    EXPECT_EQ(report.bytes[report.length - 1], '\n');
    EXPECT_EQ(report.bytes[kReportSize - 1], '\0');
    // Nothing is added after the cut, not even a shorter line or another section.
    appendReportEntry(report, ReportSection::titles, "t");
    EXPECT_EQ(report.length, std::string(kReportProgramHeader).size() + 10 * 1005);
}

TEST(WatchReport, ReportFilledToTheLastByteStillEndsInZero)
{
    WatchReport report;
    // Header, "    ", name and "\n" make exactly 10239 bytes.
    const size_t nameLength = kReportSize - 1 - std::string(kReportProgramHeader).size() - 5;
    appendReportEntry(report, ReportSection::programs, std::string(nameLength + 1, 'n'));
    EXPECT_TRUE(report.full);
    EXPECT_EQ(report.length, 0u);
    clearReport(report);
    appendReportEntry(report, ReportSection::programs, std::string(nameLength, 'n'));
    EXPECT_FALSE(report.full);
    EXPECT_EQ(report.length, kReportSize - 1);
    EXPECT_EQ(report.bytes[kReportSize - 1], '\0');
}

TEST(BalloonText, ShortTextIsShownWhole)
{
    const std::string shown = "・監視プログラム名\n    a.exe";
    EXPECT_EQ(balloonTextLength(shown, 255), shown.size());
    EXPECT_EQ(balloonTextLength(shown, shown.size()), shown.size());
}

TEST(BalloonText, LongTextEndsAfterTheLastWholeNameLine)
{
    std::string shown = "・監視プログラム名";
    for (int i = 0; i < 30; ++i)
        shown += "\n    program" + std::to_string(i) + ".exe";
    const size_t length = balloonTextLength(shown, 255);
    ASSERT_LE(length, 255u);
    const std::string cut = shown.substr(0, length);
    EXPECT_EQ(cut.back(), 'e');
    EXPECT_EQ(shown[length], '\n');
}

TEST(BalloonText, NeverEndsInABareHeader)
{
    std::string shown = "・監視プログラム名\n    a.exe\n・監視タイトル名\n    " + std::string(300, 't');
    EXPECT_EQ(shown.substr(0, balloonTextLength(shown, 255)), "・監視プログラム名\n    a.exe");
}

TEST(BalloonText, OneLongNameIsCutBetweenCharacters)
{
    // Header then a title of double-byte characters that alone passes the limit.
    std::string title;
    for (int i = 0; i < 200; ++i)
        title += "\x82\xa0";
    const std::string shown = "・監視タイトル名\n    " + title;
    const size_t length = balloonTextLength(shown, 255);
    // 17 + 4 = 21 bytes before the title, so 117 whole characters fit: 255 bytes.
    EXPECT_EQ(length, 255u);
    EXPECT_EQ(balloonTextLength(shown, 254), 253u);  // never half a character
}

TEST(TitleTable, KeepsEachTitleOnceInEnumerationOrder)
{
    auto table = std::make_unique<TitleTable>();
    EXPECT_EQ(addTitle(*table, "b"), 1);
    EXPECT_EQ(addTitle(*table, "a"), 1);
    EXPECT_EQ(addTitle(*table, "b"), 0);
    EXPECT_EQ(addTitle(*table, ""), 0);
    EXPECT_EQ(addTitle(*table, "ab"), 1);
    ASSERT_EQ(table->count, 3);
    EXPECT_EQ(tableTitle(*table, 0), "b");
    EXPECT_EQ(tableTitle(*table, 1), "a");
    EXPECT_EQ(tableTitle(*table, 2), "ab");
    EXPECT_STREQ(table->titles[2], "ab");
    clearTitleTable(*table);
    EXPECT_EQ(table->count, 0);
    EXPECT_EQ(table->titles[2][0], '\0');
    EXPECT_EQ(findMatchingTitle(*table, "*"), -1);
    EXPECT_EQ(addTitle(*table, "b"), 1);  // cleared titles are no duplicates any more
}

TEST(TitleTable, StopsCollectingWhenFull)
{
    auto table = std::make_unique<TitleTable>();
    for (int i = 0; i < kTitleSlots; ++i)
        ASSERT_EQ(addTitle(*table, "title " + std::to_string(i)), 1);
    EXPECT_EQ(addTitle(*table, "one more"), 0);
    EXPECT_EQ(table->count, kTitleSlots);
    EXPECT_EQ(findMatchingTitle(*table, "one more"), -1);
    EXPECT_EQ(findMatchingTitle(*table, "title 1023"), kTitleSlots - 1);
    // Duplicates are still recognised with every slot taken.
    EXPECT_EQ(addTitle(*table, "title 5"), 0);
}

TEST(TitleTable, FindsTheFirstMatchInTableOrder)
{
    auto table = std::make_unique<TitleTable>();
    addTitle(*table, "zeta");
    addTitle(*table, "memo 1");
    addTitle(*table, "alpha");
    addTitle(*table, "memo 2");
    EXPECT_EQ(findMatchingTitle(*table, "memo*"), 1);
    EXPECT_EQ(findMatchingTitle(*table, "*"), 0);
    EXPECT_EQ(findMatchingTitle(*table, "?lpha"), 2);
    EXPECT_EQ(findMatchingTitle(*table, "memo 2"), 3);
    EXPECT_EQ(findMatchingTitle(*table, "Memo*"), -1);
    EXPECT_EQ(findMatchingTitle(*table, ""), -1);
}

TEST(ProcessName, FileNamePartOfAPath)
{
    EXPECT_EQ(processNameFromPath("notepad.exe"), "notepad.exe");
    EXPECT_EQ(processNameFromPath("C:\\WINDOWS\\NOTEPAD.EXE"), "NOTEPAD.EXE");
    EXPECT_EQ(processNameFromPath("C:/tools/a.exe"), "a.exe");
    EXPECT_EQ(processNameFromPath("C:a.exe"), "a.exe");
    EXPECT_EQ(processNameFromPath("dir\\"), "");
    EXPECT_EQ(processNameFromPath(""), "");
    // "表" is 0x95 0x5C: its trail byte is no separator.
    EXPECT_EQ(processNameFromPath("C:\\\x95\x5c\\\x95\x5c.exe"), "\x95\x5c.exe");
    EXPECT_EQ(processNameFromPath("\x95\x5c.exe"), "\x95\x5c.exe");
}

TEST(ProcessNameTable, KeepsNamesInOrderUntilFull)
{
    auto table = std::make_unique<ProcessNameTable>();
    clearProcessNames(*table);
    addProcessName(*table, "a.exe");
    addProcessName(*table, "a.exe");
    addProcessName(*table, "");
    ASSERT_EQ(table->count, 3);
    EXPECT_EQ(tableProcessName(*table, 1), "a.exe");
    EXPECT_EQ(tableProcessName(*table, 2), "");
    EXPECT_TRUE(table->complete);
    // Out of bytes: the table says it is incomplete and takes nothing more, not even a short name.
    addProcessName(*table, std::string(kProcessNameBytes, 'n'));
    addProcessName(*table, "b.exe");
    EXPECT_FALSE(table->complete);
    EXPECT_EQ(table->count, 3);
    clearProcessNames(*table);
    EXPECT_TRUE(table->complete);
    // Out of slots.
    for (int i = 0; i <= kProcessNameSlots; ++i)
        addProcessName(*table, "p");
    EXPECT_EQ(table->count, kProcessNameSlots);
    EXPECT_FALSE(table->complete);
}
