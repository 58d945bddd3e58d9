// Watch lists, the wildcard matcher, the scan's report and its tables.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/processnames.h"
#include "app/titletable.h"
#include "app/watchreport.h"
#include "app/wildcard.h"
#include "watchlists/watchlist.h"

namespace {

WatchList load(const std::string& file)  // as the loader hands the bytes over
{
    std::unique_ptr<char[]> buffer(new char[file.size() + kListSlack]());
    std::memcpy(buffer.get(), file.data(), file.size());
    WatchList list;
    adoptListText(list, std::move(buffer), file.size());
    return list;
}

} // namespace

TEST(WatchList, ControlRunsBecomeOneMarkAndEveryLineIsAnEntry)
{
    // "メモ帳" (trail bytes 0x81, 0x82, 0xa0), half-width "ﾒﾓ", and 0x80, 0xa0, 0xfd-0xff.
    const std::string memo = "\x83\x81\x83\x82\x92\xa0", odd = "\x80\xa0\xfd\xfe\xff";
    const struct {
        std::string file, text;
        std::vector<std::string> entries;
    } cases[] = {
        {"a.exe\r\nb.exe", "a.exe<b.exe<", {"a.exe", "b.exe"}},  // the last line needs no line end
        {"\r\n\r\na.exe\r\n", "<a.exe<", {"", "a.exe"}},
        {"a b\tc\n\n\x7f" "d\x01\x1f" "e\r", "a b<c<d<e<", {"a b", "c", "d", "e"}},
        {"a<b>c\r\n", "a<b>c<", {"a", "b", "c"}},  // a '>' reads as found until the scan says otherwise
        {memo + "\r\n\xd2\xd3\r\n" + odd + "\r\n", memo + "<\xd2\xd3<" + odd + "<", {memo, "\xd2\xd3", odd}},
    };
    for (const auto& c : cases) {
        WatchList list = load(c.file);
        EXPECT_EQ(std::string(list.text.get(), list.length - 1), c.text);
        std::vector<std::string> entries;
        for (uint32_t i = 0; i < list.entryCount; ++i)
            entries.emplace_back(listEntry(list, i));
        EXPECT_EQ(entries, c.entries);
        EXPECT_EQ(hasFoundMark(list), c.file == "a<b>c\r\n");
    }
}

TEST(MatchWildcard, ByteByByteWithoutBacktracking)
{
    const std::string memo = "\x83\x81\x83\x82\x92\xa0";
    const struct {
        std::string text, pattern;
        int match;
    } cases[] = {
        // The star ends at the first byte after it, and with more pattern after it takes a byte.
        {"note.exe", "*.exe", 1}, {"a.b.exe", "*.exe", 0}, {".exe", "*.exe", 0}, {"note.e.exe", "n*e.exe", 0},
        {"abcdef", "abc*", 1}, {"ab", "abc*", 0}, {"", "*", 1}, {"abc", "a?c", 1}, {"ac", "a?c", 0}, {"a", "a?", 0},
        {"note.exe", "NOTE.EXE", 0}, {"note.exe", "note.ex", 0}, {"note.ex", "note.exe", 0}, {"a", "", 0},
        // Bytewise: "?" is one byte, so a double-byte character needs two.
        {memo, memo, 1}, {memo + " - a.txt", memo + "*", 1}, {"\x83\x81\x83\x83\x92\xa0", memo, 0},
        {memo, "\x83\x81??\x92\xa0", 1}, {memo, "\x83\x81?\x92\xa0", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchWildcard(c.text, c.pattern), c.match) << c.text << " / " << c.pattern;
}

TEST(WatchReport, ProgramsThenTitlesAndTheBalloonCutAtAName)
{
    WatchReport report;
    appendReportEntry(report, ReportSection::programs, "notepad.exe");
    appendReportEntry(report, ReportSection::programs, "calc.exe");
    appendReportEntry(report, ReportSection::titles, "メモ");
    EXPECT_EQ(reportText(report), "・監視プログラム名\n    notepad.exe\n    calc.exe\n・監視タイトル名\n    メモ\n");
    // The balloon ends after the last whole name (never at a bare header), or between characters.
    const std::string one = "・監視プログラム名\n    a.exe";
    std::string many = "・監視プログラム名", kana = "・監視タイトル名\n    ";
    for (int i = 0; i < 30; ++i)
        many += "\n    program" + std::to_string(i) + ".exe";
    for (int i = 0; i < 200; ++i)
        kana += "\x82\xa0";
    EXPECT_EQ(balloonTextLength(one, 255), one.size());
    EXPECT_EQ(many.substr(0, balloonTextLength(many, 255)), many.substr(0, many.find("\n    program13")));
    EXPECT_EQ(balloonTextLength(one + "\n・監視タイトル名\n    " + std::string(300, 't'), 255), one.size());
    EXPECT_EQ(balloonTextLength(kana, 255), 255u);  // 21 bytes, then 117 whole characters
    EXPECT_EQ(balloonTextLength(kana, 254), 253u);
}

TEST(ScanTables, TitlesOnceInOrderAndProcessNamesFromPaths)
{
    auto titles = std::make_unique<TitleTable>();
    for (const char* title : {"zeta", "memo 1", "zeta", "", "alpha", "memo 2"})
        addTitle(*titles, title);
    const std::pair<const char*, int> finds[] = {{"memo*", 1}, {"*", 0}, {"?lpha", 2}, {"memo 2", 3}, {"", -1}};
    for (const auto& [pattern, slot] : finds)
        EXPECT_EQ(findMatchingTitle(*titles, pattern), slot) << pattern;

    // "表" is 0x95 0x5C: its trail byte is no separator.
    const std::pair<const char*, const char*> paths[] = {
        {"notepad.exe", "notepad.exe"}, {"C:\\WINDOWS\\NOTEPAD.EXE", "NOTEPAD.EXE"}, {"C:/tools/a.exe", "a.exe"},
        {"C:a.exe", "a.exe"}, {"dir\\", ""}, {"C:\\\x95\x5c\\\x95\x5c.exe", "\x95\x5c.exe"}};
    for (const auto& [path, name] : paths)
        EXPECT_EQ(processNameFromPath(path), name) << path;
}
