// Loading and saving parameter files of growing size, each beside the plain file operation
// it has to keep up with: a load beside one read of the file, a save beside a durable copy.
#include "BenchFiles.h"
#include "ParamStore.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

// Makes the file of state's size the parameter file; false (and the run skipped) when it cannot.
bool UseParamFile(benchmark::State &state, std::string &path)
{
    const std::string folder = ParamFolder(static_cast<long>(state.range(0)));
    if (folder.empty()) {
        state.SkipWithError("cannot make the parameter file");
        return false;
    }
    QuietWindow().folder = folder;
    path = folder + "/VOBERA.INI";
    return true;
}

void CountBytes(benchmark::State &state, const std::string &path)
{
    std::string content;
    if (ReadPlain(path, content))
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                                static_cast<std::int64_t>(content.size()));
}

void BM_LoadParams(benchmark::State &state)
{
    std::string path;
    if (!UseParamFile(state, path))
        return;
    for ([[maybe_unused]] auto _ : state) {
        LogonParams values;
        LoadParams(values.database, values.user, values.password);
        benchmark::DoNotOptimize(values);
    }
    CountBytes(state, path);
}

void BM_ReadFile(benchmark::State &state)
{
    std::string path;
    if (!UseParamFile(state, path))
        return;
    for ([[maybe_unused]] auto _ : state) {
        std::string content;
        if (!ReadPlain(path, content)) {
            state.SkipWithError("cannot read the file");
            break;
        }
        benchmark::DoNotOptimize(content);
    }
    CountBytes(state, path);
}

// Every save rewrites the same file with values of the same lengths, so its size stays put.
void BM_SaveParams(benchmark::State &state)
{
    std::string path;
    if (!UseParamFile(state, path))
        return;
    for ([[maybe_unused]] auto _ : state)
        SaveParams("ORCL", "scott", "tiger");
    CountBytes(state, path);
}

void BM_CopyFile(benchmark::State &state)
{
    std::string path;
    if (!UseParamFile(state, path))
        return;
    const std::string copy = path.substr(0, path.rfind('/')) + "/VOBERA.CPY";
    for ([[maybe_unused]] auto _ : state) {
        if (!CopyDurably(path, copy)) {
            state.SkipWithError("cannot copy the file");
            break;
        }
    }
    CountBytes(state, path);
}

void FileSizes(benchmark::internal::Benchmark *bench)
{
    bench->Arg(100)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_LoadParams)->Apply(FileSizes);
BENCHMARK(BM_ReadFile)->Apply(FileSizes);
BENCHMARK(BM_SaveParams)->Apply(FileSizes);
BENCHMARK(BM_CopyFile)->Apply(FileSizes);

} // namespace
