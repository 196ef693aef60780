// How long the announcement parse takes on a page of n record pairs whose paragraphs are never
// closed (32 bytes a pair, so 100 000 pairs are 3.2 MB), on an honest page of n records, and how
// long the first-written parse took on the unclosed pages (it grew with the square of n).
#include <benchmark/benchmark.h>

#include <string>

#include "announce/announcement_page.h"
#include "tests/announce/announcement_page_reference.h"

namespace {

std::string UnclosedPairs(benchmark::IterationCount pairs) {
    std::string page;
    for (benchmark::IterationCount k = 0; k < pairs; ++k) {
        page += "<P>velkorntitle:x<P>velkornurl:y";
    }
    return page;
}

std::string HonestRecords(benchmark::IterationCount records) {
    std::string page = "<html><body>";
    for (benchmark::IterationCount k = 0; k < records; ++k) {
        page += "<P>velkorntitle:News " + std::to_string(k) + "</P>\n<p>text</p>\n";
        page += "<P>velkornurl:http://blog.example.com/post/" + std::to_string(k) + "</P>\n";
    }
    return page + "</body></html>";
}

void SetBytes(benchmark::State& state, const std::string& page) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(page.size()));
    state.counters["page_MB"] = static_cast<double>(page.size()) / 1e6;
}

void BM_ParseUnclosedPairs(benchmark::State& state) {
    const std::string page = UnclosedPairs(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParseAnnouncementPage(page));
    }
    SetBytes(state, page);
}
BENCHMARK(BM_ParseUnclosedPairs)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ParseHonestRecords(benchmark::State& state) {
    const std::string page = HonestRecords(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParseAnnouncementPage(page));
    }
    SetBytes(state, page);
}
BENCHMARK(BM_ParseHonestRecords)->Arg(13)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_FirstWrittenParseUnclosedPairs(benchmark::State& state) {
    const std::string page = UnclosedPairs(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(reference::ParseAnnouncementPage(page));
    }
    SetBytes(state, page);
}
BENCHMARK(BM_FirstWrittenParseUnclosedPairs)
    ->Arg(5000)
    ->Arg(10000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
