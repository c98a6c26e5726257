// Writes and reads back tables of 10,000 and 100,000 two-field records in each file kind, and,
// as a baseline, splits the same TXT file into lines and fields with std::getline only.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "table/mlb2.h"

namespace {

std::string Dir() {
    static std::string dir = [] {
        std::string t = (std::filesystem::temp_directory_path() / "pingrove-bench-XXXXXX").string();
        return std::string(mkdtemp(t.data()));
    }();
    return dir;
}

TMlb2 MakeTable(int records) {
    TMlb2 t;
    t.AddField("IP");
    t.AddField("Name");
    for (int n = 0; n < records; ++n) {
        t.Append();
        t.Next();
        t.SetValue("IP",
                   "192.168." + std::to_string(n / 256 % 256) + "." + std::to_string(n % 256));
        t.SetValue("Name", "偵察先の名前 " + std::to_string(n));
    }
    return t;
}

void Save(benchmark::State& state, const char* ext) {
    TMlb2 t = MakeTable(static_cast<int>(state.range(0)));
    std::string path = Dir() + "/save." + ext;
    for (auto _ : state) benchmark::DoNotOptimize(t.SaveToFile(path));
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
}

void Load(benchmark::State& state, const char* ext) {
    std::string path = Dir() + "/load." + ext;
    MakeTable(static_cast<int>(state.range(0))).SaveToFile(path);
    for (auto _ : state) {
        TMlb2 t;
        benchmark::DoNotOptimize(t.LoadFromFile(path));
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
}

void BaselineGetline(benchmark::State& state) {
    std::string path = Dir() + "/baseline.txt";
    MakeTable(static_cast<int>(state.range(0))).SaveToFile(path);
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        std::string line, field;
        size_t fields = 0;
        while (std::getline(in, line)) {
            std::istringstream ls(line);
            while (std::getline(ls, field, ';')) ++fields;
        }
        benchmark::DoNotOptimize(fields);
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
}

}  // namespace

BENCHMARK_CAPTURE(Save, txt, "txt")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, txt, "txt")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, csv, "csv")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, csv, "csv")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, mlb, "mlb")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, mlb, "mlb")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineGetline)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
