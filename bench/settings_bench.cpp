// Reading the settings out of a large INI file (other programs' sections of 60 MB before ours):
// the time grows with the file's size, not with its size times the number of keys.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <QString>
#include <fstream>
#include <string>

#include "settings/settings_file.h"

namespace {

void LoadSettingsFromALargeIni(benchmark::State& state) {
    char folder[] = "/tmp/pingrove-ini-bench-XXXXXX";
    if (!::mkdtemp(folder)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string exe = std::string(folder) + "/pingrove";
    {
        std::ofstream ini(exe + ".INI", std::ios::binary);
        const std::string line = "SomeoneElsesKey=a value of some length\r\n";
        const int64_t lines = state.range(0) * (1 << 20) / static_cast<int64_t>(line.size());
        ini << "[Other]\r\n";
        for (int64_t i = 0; i < lines; ++i) ini << line;
        ini << "[Form]\r\nLeft=7\r\nDF=chimes.wav\r\n";
    }
    for (auto _ : state) {
        SettingsFile file(QString::fromStdString(exe));
        benchmark::DoNotOptimize(file.load());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * (1 << 20));
    ::unlink((exe + ".INI").c_str());
    ::rmdir(folder);
}

}  // namespace

BENCHMARK(LoadSettingsFromALargeIni)->Arg(1)->Arg(60)->Unit(benchmark::kMillisecond);
