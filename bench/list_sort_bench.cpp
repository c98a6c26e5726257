// Sorting the target list by the name column: 10,000 rows with Japanese names, each accepted
// click sorting in the other direction.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <fstream>

#include "app/target_list_view.h"

namespace {

void SortByName(benchmark::State& state) {
    TargetListView view;
    const QString kana =
        QStringLiteral("アイウエオカキクケコサシスセソタチツテトナニヌネノ偵察先名前");
    for (int i = 0; i < state.range(0); ++i) {
        QString name;
        unsigned x = static_cast<unsigned>(i) * 2654435761u;
        for (int k = 0; k < 8; ++k, x /= 7) name += kana[static_cast<int>(x % kana.size())];
        view.appendRow(
            {QStringLiteral("10.%1.%2.%3").arg(i / 65536).arg(i / 256 % 256).arg(i % 256),
             name,
             {},
             {}});
    }
    bool descending = false;
    for (auto _ : state) {
        view.sortRows(2, descending);
        descending = !descending;
    }
}

}  // namespace

BENCHMARK(SortByName)->Arg(10000)->Unit(benchmark::kMillisecond);

namespace {

long ResidentKb() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// What the facts of a run cost: 10,000 rows, each with 100 results (the most kept), the memory
// they add beside the rows and the time to record them (items: one result each).
void FactsOfTenThousandTargets(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        TargetListView view;
        for (int i = 0; i < 10000; ++i)
            view.appendRow({QStringLiteral("10.0.%1.%2").arg(i / 256).arg(i % 256),
                            QStringLiteral("偵察先"),
                            {},
                            {}});
        const long before = ResidentKb();
        state.ResumeTiming();
        for (int k = 0; k < 100; ++k)
            for (int i = 0; i < 10000; ++i)
                TargetListView::recordResult(view.row(i), k % 3 != 0, k % 50 * 1000, 64,
                                             1'800'000'000'000 + k * 60'000);
        state.PauseTiming();
        state.counters["extra_MB"] = static_cast<double>(ResidentKb() - before) / 1024.0;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 1'000'000);
}

}  // namespace

BENCHMARK(FactsOfTenThousandTargets)->Iterations(1)->Unit(benchmark::kMillisecond);
