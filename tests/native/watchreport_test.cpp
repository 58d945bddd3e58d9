#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "app/watchreport.h"

TEST(WatchReport, ProgramsThenTitlesEachUnderOneHeader)
{
    WatchReport report;
    appendReportEntry(report, ReportSection::programs, "notepad.exe");
    appendReportEntry(report, ReportSection::programs, "calc.exe");
    appendReportEntry(report, ReportSection::titles, "メモ");
    EXPECT_EQ(reportText(report), "・監視プログラム名\n    notepad.exe\n    calc.exe\n・監視タイトル名\n    メモ\n");
    clearReport(report);
    EXPECT_EQ(reportText(report), "");
    for (char byte : report.bytes)
        ASSERT_EQ(byte, '\0');
    appendReportEntry(report, ReportSection::titles, "x");
    EXPECT_EQ(reportText(report), "・監視タイトル名\n    x\n");
}

TEST(WatchReport, OverflowCutsAtALineBoundary)
{
    WatchReport report;
    const size_t header = std::string(kReportProgramHeader).size();
    for (int i = 0; i < 20; ++i)
        appendReportEntry(report, ReportSection::programs, std::string(1000, 'n'));
    // 1005 bytes per line: ten lines fit in 10239 bytes, the eleventh not, and nothing is added
    // after the cut, not even a shorter line or another section.
    appendReportEntry(report, ReportSection::titles, "t");
    EXPECT_TRUE(report.full);
    EXPECT_EQ(report.length, header + 10 * 1005);
    EXPECT_EQ(report.bytes[report.length - 1], '\n');
    EXPECT_EQ(report.bytes[kReportSize - 1], '\0');

    // Header, "    ", name and "\n" filling exactly 10239 bytes still leave the closing zero.
    const size_t nameLength = kReportSize - 1 - header - 5;
    clearReport(report);
    appendReportEntry(report, ReportSection::programs, std::string(nameLength + 1, 'n'));
    EXPECT_TRUE(report.full);
    EXPECT_EQ(report.length, 0u);
    clearReport(report);
    appendReportEntry(report, ReportSection::programs, std::string(nameLength, 'n'));
    EXPECT_FALSE(report.full);
    EXPECT_EQ(report.length, kReportSize - 1);
    EXPECT_EQ(report.bytes[kReportSize - 1], '\0');
}

TEST(BalloonText, CutAfterTheLastWholeNameLine)
{
    const std::string shortText = "・監視プログラム名\n    a.exe";
    EXPECT_EQ(balloonTextLength(shortText, 255), shortText.size());
    EXPECT_EQ(balloonTextLength(shortText, shortText.size()), shortText.size());

    std::string programs = "・監視プログラム名";
    for (int i = 0; i < 30; ++i)
        programs += "\n    program" + std::to_string(i) + ".exe";
    const size_t length = balloonTextLength(programs, 255);
    ASSERT_LE(length, 255u);
    EXPECT_EQ(programs[length - 1], 'e');
    EXPECT_EQ(programs[length], '\n');
    EXPECT_GT(programs.find('\n', length + 1), 255u);  // the next line would not have fitted

    // Never a bare header at the end.
    const std::string bare = shortText + "\n・監視タイトル名\n    " + std::string(300, 't');
    EXPECT_EQ(bare.substr(0, balloonTextLength(bare, 255)), shortText);
}

TEST(BalloonText, OneLongNameIsCutBetweenCharacters)
{
    std::string shown = "・監視タイトル名\n    ";
    for (int i = 0; i < 200; ++i)
        shown += "\x82\xa0";
    // 17 + 4 = 21 bytes before the title, so 117 whole characters fit: 255 bytes.
    EXPECT_EQ(balloonTextLength(shown, 255), 255u);
    EXPECT_EQ(balloonTextLength(shown, 254), 253u);  // never half a character
}

TEST(TitleTable, KeepsEachTitleOnceInEnumerationOrder)
{
    auto table = std::make_unique<TitleTable>();
    for (const char* title : {"b", "a", "b", "", "ab"})
        addTitle(*table, title);
    ASSERT_EQ(table->count, 3);
    EXPECT_EQ(tableTitle(*table, 0), "b");
    EXPECT_EQ(tableTitle(*table, 1), "a");
    EXPECT_STREQ(table->titles[2], "ab");
    clearTitleTable(*table);
    EXPECT_EQ(table->count, 0);
    EXPECT_EQ(table->titles[2][0], '\0');
    EXPECT_EQ(findMatchingTitle(*table, "*"), -1);
    EXPECT_EQ(addTitle(*table, "b"), 1);  // cleared titles are no duplicates any more

    // Full: further titles are not collected, duplicates still recognised.
    for (int i = 1; i < kTitleSlots; ++i)
        ASSERT_EQ(addTitle(*table, "title " + std::to_string(i)), 1);
    EXPECT_EQ(addTitle(*table, "one more"), 0);
    EXPECT_EQ(addTitle(*table, "title 5"), 0);
    EXPECT_EQ(table->count, kTitleSlots);
    EXPECT_EQ(findMatchingTitle(*table, "one more"), -1);
    EXPECT_EQ(findMatchingTitle(*table, "title 1023"), kTitleSlots - 1);
}

TEST(TitleTable, FindsTheFirstMatchInTableOrder)
{
    auto table = std::make_unique<TitleTable>();
    for (const char* title : {"zeta", "memo 1", "alpha", "memo 2"})
        addTitle(*table, title);
    const struct {
        const char* pattern;
        int slot;
    } cases[] = {{"memo*", 1}, {"*", 0}, {"?lpha", 2}, {"memo 2", 3}, {"Memo*", -1}, {"", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(findMatchingTitle(*table, c.pattern), c.slot) << c.pattern;
}

TEST(ProcessName, FileNamePartOfAPath)
{
    // "表" is 0x95 0x5C: its trail byte is no separator.
    const std::pair<const char*, const char*> cases[] = {
        {"notepad.exe", "notepad.exe"}, {"C:\\WINDOWS\\NOTEPAD.EXE", "NOTEPAD.EXE"}, {"C:/tools/a.exe", "a.exe"},
        {"C:a.exe", "a.exe"}, {"dir\\", ""}, {"", ""}, {"C:\\\x95\x5c\\\x95\x5c.exe", "\x95\x5c.exe"},
        {"\x95\x5c.exe", "\x95\x5c.exe"},
    };
    for (const auto& [path, name] : cases)
        EXPECT_EQ(processNameFromPath(path), name) << path;
}

TEST(ProcessNameTable, KeepsNamesInOrderUntilFull)
{
    auto table = std::make_unique<ProcessNameTable>();
    clearProcessNames(*table);
    for (const char* name : {"a.exe", "a.exe", ""})
        addProcessName(*table, name);
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
    for (int i = 0; i <= kProcessNameSlots; ++i)
        addProcessName(*table, "p");
    EXPECT_EQ(table->count, kProcessNameSlots);
    EXPECT_FALSE(table->complete);
}
