#include "RatioTable.h"

#include <cmath>
#include <cstdio>

#include <unistd.h>

namespace {

constexpr long Sizes[] = {100, 10000, 1000000};
constexpr long Largest = 1000000;
constexpr long Middle = 10000;

std::string Key(const std::string &name, long arg)
{
    return name + "/" + std::to_string(arg);
}

// a / b, or a negative number when either is missing.
double Ratio(double a, double b)
{
    return a > 0 && b > 0 ? a / b : -1;
}

// How much the time grows for each tenfold of lines between Middle and Largest lines.
double GrowthPerTenfold(const TCollectingReporter &reporter, const std::string &name)
{
    const double ratio = Ratio(reporter.Seconds(name, Largest), reporter.Seconds(name, Middle));
    const double tenfolds = std::log10(static_cast<double>(Largest) / static_cast<double>(Middle));
    return ratio > 0 ? std::pow(ratio, 1.0 / tenfolds) : -1;
}

// What snprintf left in text, given the length it returned; text that did not fit ends in
// "[cut]" rather than passing for whole.
template <std::size_t N> std::string Printed(const char (&text)[N], int length)
{
    if (length < 0)
        return "[cannot format]";
    return static_cast<std::size_t>(length) < N ? std::string(text) : std::string(text) + "[cut]";
}

std::string Format(const char *format, double value)
{
    if (value < 0)
        return "n/a";
    char text[32];
    return Printed(text, std::snprintf(text, sizeof text, format, value));
}

const char *Verdict(double value, double limit)
{
    if (value < 0)
        return "not run";
    return value <= limit ? "PASS" : "MISS";
}

void PrintTarget(std::ostream &out, const char *what, double value, double limit)
{
    char line[160];
    out << Printed(line, std::snprintf(line, sizeof line, "  %-52s %8s  (at most %.1fx)  %s", what,
                                       Format("%.2fx", value).c_str(), limit, Verdict(value, limit)))
        << '\n';
}

} // namespace

TCollectingReporter::TCollectingReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

void TCollectingReporter::ReportRuns(const std::vector<Run> &reports)
{
    ConsoleReporter::ReportRuns(reports);
    for (const Run &run : reports) {
        if (run.error_occurred || run.iterations <= 0)
            continue;
        const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
        const std::string key = run.run_name.function_name + "/" + run.run_name.args;
        if (run.run_type == Run::RT_Iteration) {
            totals_[key].seconds += seconds;
            ++totals_[key].runs;
        } else if (run.aggregate_name == "mean") {
            means_[key] = seconds;
        }
    }
}

double TCollectingReporter::Seconds(const std::string &name, long arg) const
{
    const std::string key = Key(name, arg);
    if (const auto mean = means_.find(key); mean != means_.end())
        return mean->second;
    const auto found = totals_.find(key);
    return found == totals_.end() ? -1 : found->second.seconds / found->second.runs;
}

void PrintRatioTable(const TCollectingReporter &reporter, std::ostream &out)
{
    auto ms = [&](const char *name, long lines) { return Format("%.3f", reporter.Seconds(name, lines) * 1e3); };
    char line[200];
    out << "\nReal time per operation, milliseconds\n";
    out << Printed(line, std::snprintf(line, sizeof line, "  %9s %10s %10s %9s %10s %10s %9s", "lines", "save", "copy",
                                       "save/copy", "load", "read", "load/read"))
        << '\n';
    for (const long lines : Sizes) {
        const double save = reporter.Seconds("BM_SaveParams", lines);
        const double load = reporter.Seconds("BM_LoadParams", lines);
        out << Printed(line,
                       std::snprintf(line, sizeof line, "  %9ld %10s %10s %9s %10s %10s %9s", lines,
                                     ms("BM_SaveParams", lines).c_str(), ms("BM_CopyFile", lines).c_str(),
                                     Format("%.2fx", Ratio(save, reporter.Seconds("BM_CopyFile", lines))).c_str(),
                                     ms("BM_LoadParams", lines).c_str(), ms("BM_ReadFile", lines).c_str(),
                                     Format("%.2fx", Ratio(load, reporter.Seconds("BM_ReadFile", lines))).c_str()))
            << '\n';
    }
    out << "\nTargets\n";
    PrintTarget(out, "save / copy at 10^6 lines",
                Ratio(reporter.Seconds("BM_SaveParams", Largest), reporter.Seconds("BM_CopyFile", Largest)), 2.0);
    PrintTarget(out, "load / read at 10^6 lines",
                Ratio(reporter.Seconds("BM_LoadParams", Largest), reporter.Seconds("BM_ReadFile", Largest)), 1.5);
    PrintTarget(out, "save time per 10x lines, 10^4 -> 10^6", GrowthPerTenfold(reporter, "BM_SaveParams"), 11.0);
    PrintTarget(out, "load time per 10x lines, 10^4 -> 10^6", GrowthPerTenfold(reporter, "BM_LoadParams"), 11.0);
    out << "\nFor reference\n";
    out << Printed(line, std::snprintf(line, sizeof line, "  %-52s %8s", "copy time per 10x lines, 10^4 -> 10^6",
                                       Format("%.2fx", GrowthPerTenfold(reporter, "BM_CopyFile")).c_str()))
        << '\n';
    out << Printed(line, std::snprintf(line, sizeof line, "  %-52s %8s", "read time per 10x lines, 10^4 -> 10^6",
                                       Format("%.2fx", GrowthPerTenfold(reporter, "BM_ReadFile")).c_str()))
        << '\n';
}
