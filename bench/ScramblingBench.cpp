// Scrambling a value and getting it back, for values of typical lengths.
#include "ParamStore.h"

#include <benchmark/benchmark.h>

namespace {

std::string PlainValue(long length)
{
    std::string value;
    for (long i = 0; i < length; ++i)
        value.push_back(static_cast<char>('a' + i % 26));
    return value;
}

void BM_EncodeValue(benchmark::State &state)
{
    const std::string plain = PlainValue(state.range(0));
    for ([[maybe_unused]] auto _ : state)
        benchmark::DoNotOptimize(EncodeValue(plain, ScrambleKey));
}
BENCHMARK(BM_EncodeValue)->Arg(10)->Arg(20)->Arg(30);

void BM_DecodeValue(benchmark::State &state)
{
    const std::string stored = EncodeValue(PlainValue(state.range(0)), ScrambleKey);
    for ([[maybe_unused]] auto _ : state)
        benchmark::DoNotOptimize(DecodeValue(stored, ScrambleKey));
}
BENCHMARK(BM_DecodeValue)->Arg(10)->Arg(20)->Arg(30);

} // namespace
