// Sorting the target list by the name column: 10,000 rows with Japanese names, each accepted
// click sorting in the other direction.
#include <benchmark/benchmark.h>

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
