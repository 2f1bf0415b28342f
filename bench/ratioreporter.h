#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The console report, followed by the ratios of named pairs of runs
// (for example "BM_SaveHis/100000" against "BM_PlainWrite/100000").
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    explicit RatioReporter(std::vector<std::pair<std::string, std::string>> pairs) : FPairs(std::move(pairs)) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const auto &r : runs)
            if (!r.error_occurred)
                FTimes[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nratios (real time):\n");
        for (const auto &[a, b] : FPairs) {
            if (FTimes.count(a) && FTimes.count(b) && FTimes[b] > 0)
                std::printf("  %-40s / %-40s = %6.2f\n", a.c_str(), b.c_str(), FTimes[a] / FTimes[b]);
        }
    }

private:
    std::vector<std::pair<std::string, std::string>> FPairs;
    std::map<std::string, double> FTimes;
};
