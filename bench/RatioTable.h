// Collects the time of every benchmark run and, at the end, sets the store's operations
// against the plain ones and against their own growth.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <ostream>
#include <string>

// Reports to the console like the default reporter and keeps each run's real time.
class TCollectingReporter : public benchmark::ConsoleReporter {
public:
    // Colours the table only when it goes to a terminal.
    TCollectingReporter();

    void ReportRuns(const std::vector<Run> &reports) override;

    // Seconds of real time per iteration of name (e.g. "BM_SaveParams") at arg: the mean over
    // repetitions where one was reported, else the average of the runs seen; negative when
    // it did not run.
    double Seconds(const std::string &name, long arg) const;

private:
    struct TTotal {
        double seconds = 0;
        int runs = 0;
    };
    std::map<std::string, TTotal> totals_;
    std::map<std::string, double> means_;
};

// Prints the ratios and whether each target is met.
void PrintRatioTable(const TCollectingReporter &reporter, std::ostream &out);
