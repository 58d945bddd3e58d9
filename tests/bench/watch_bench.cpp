// Throughput of the watch scan's platform-free work: matching, list compaction, title table.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/watchreport.h"
#include "app/wildcard.h"
#include "watchlists/watchlist.h"

namespace {

std::vector<std::string> windowTitles(int count)
{
    std::vector<std::string> titles;
    for (int i = 0; i < count; ++i)
        titles.push_back("Document " + std::to_string(i) + " - Editor");
    return titles;
}

// One pattern against many titles; bytes processed are the titles' bytes.
void matchAgainstTitles(benchmark::State& state, const char* pattern)
{
    const std::vector<std::string> titles = windowTitles(500);
    size_t bytes = 0;
    for (const std::string& title : titles)
        bytes += title.size();
    for (auto _ : state) {
        int matches = 0;
        for (const std::string& title : titles)
            matches += matchWildcard(title, pattern);
        benchmark::DoNotOptimize(matches);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(titles.size()));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

void BM_MatchLiteralFirstByteDiffers(benchmark::State& state) { matchAgainstTitles(state, "notepad.exe"); }
void BM_MatchLiteralSharedPrefix(benchmark::State& state) { matchAgainstTitles(state, "Document 1 - Viewer"); }
void BM_MatchStarFirst(benchmark::State& state) { matchAgainstTitles(state, "*Viewer*"); }
void BM_MatchTrailingStar(benchmark::State& state) { matchAgainstTitles(state, "Document*"); }
BENCHMARK(BM_MatchLiteralFirstByteDiffers);
BENCHMARK(BM_MatchLiteralSharedPrefix);
BENCHMARK(BM_MatchStarFirst);
BENCHMARK(BM_MatchTrailingStar);

// A list file of state.range(0) bytes: names of 8 to 20 bytes, CR LF after each.
std::string listFile(size_t size)
{
    std::string file;
    for (int i = 0; file.size() < size; ++i)
        file += "program" + std::to_string(i * 7919) + ".exe\r\n";
    file.resize(size);
    return file;
}

void BM_CompactListText(benchmark::State& state)
{
    const std::string file = listFile(static_cast<size_t>(state.range(0)));
    std::vector<char> buffer(file.size() + kListSlack);
    for (auto _ : state) {
        std::memcpy(buffer.data(), file.data(), file.size());
        benchmark::DoNotOptimize(compactListText(buffer.data(), file.size()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_CompactListText)->Arg(16 << 10)->Arg(1 << 20);

// The whole load after the read: compaction plus the entry index.
void BM_AdoptListText(benchmark::State& state)
{
    const std::string file = listFile(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<char[]> buffer(new char[file.size() + kListSlack]());
        std::memcpy(buffer.get(), file.data(), file.size());
        WatchList list;
        benchmark::DoNotOptimize(adoptListText(list, std::move(buffer), file.size()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_AdoptListText)->Arg(16 << 10)->Arg(1 << 20);

// Filling the table with 500 distinct titles and 500 repeats, as one enumeration would.
void BM_FillTitleTable(benchmark::State& state)
{
    const std::vector<std::string> titles = windowTitles(500);
    auto table = std::make_unique<TitleTable>();
    for (auto _ : state) {
        clearTitleTable(*table);
        for (int round = 0; round < 2; ++round) {
            for (const std::string& title : titles)
                addTitle(*table, title);
        }
        benchmark::DoNotOptimize(table->count);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_FillTitleTable);

// 1000 title entries against 500 titles, none matching: the title watch of one steady tick.
void titleWatchTick(benchmark::State& state, bool starFirst)
{
    const std::vector<std::string> titles = windowTitles(500);
    auto table = std::make_unique<TitleTable>();
    for (const std::string& title : titles)
        addTitle(*table, title);
    std::vector<std::string> entries;
    static const char* words[] = {"Draft", "Editor", "Viewer", "Console", "Mail", "Player", "Browser"};
    for (int i = 0; i < 1000; ++i)
        entries.push_back(std::string(starFirst || i % 10 == 9 ? "*" : "") + words[i % 7] + " " + std::to_string(i) + "*");
    for (auto _ : state) {
        int found = 0;
        for (const std::string& entry : entries)
            found += findMatchingTitle(*table, entry) >= 0;
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 500);
}
void BM_TitleWatch1000x500(benchmark::State& state) { titleWatchTick(state, false); }
void BM_TitleWatch1000x500StarFirst(benchmark::State& state) { titleWatchTick(state, true); }
BENCHMARK(BM_TitleWatch1000x500);
BENCHMARK(BM_TitleWatch1000x500StarFirst);

}  // namespace
