// Throughput of the watch scan's platform-free work: matching and list compaction.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/wildcard.h"
#include "watchlists/watchlist.h"

namespace {

// One pattern against 500 titles; bytes processed are the titles' bytes.
void matchAgainstTitles(benchmark::State& state, const char* pattern)
{
    std::vector<std::string> titles;
    size_t bytes = 0;
    for (int i = 0; i < 500; ++i) {
        titles.push_back("Document " + std::to_string(i) + " - Editor");
        bytes += titles.back().size();
    }
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

}  // namespace
