// Runs the benchmarks with the quiet window installed, then prints how the store's file
// operations compare with the plain ones. Misses are reported, never turned into a failure.
#include "BenchFiles.h"
#include "ParamWindow.h"
#include "RatioTable.h"

#include <benchmark/benchmark.h>

#include <iostream>

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SetParamWindow(&QuietWindow());
    TCollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    SetParamWindow(nullptr);
    RemoveParamFolders();
    PrintRatioTable(reporter, std::cout);
    return 0;
}
