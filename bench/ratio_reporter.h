// A console reporter that states every benchmark's time as a multiple of the
// baseline's: as an "x_baseline" column in the table and in a summary after
// the run, with the targets some groups of benchmarks must meet.
#ifndef TARNEL_BENCH_RATIO_REPORTER_H
#define TARNEL_BENCH_RATIO_REPORTER_H

#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

namespace tarnel_bench {

// Benchmarks whose names begin with `prefix` must take at most `limit` times
// the baseline.
struct RatioTarget {
    std::string prefix;
    double limit;
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter(std::string baselineName, std::vector<RatioTarget> targets);

    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

    // False when a benchmark that ran missed its target, or the baseline did
    // not run while targets were to be checked.
    bool TargetsMet() const;
    // False when a benchmark stopped with an error (its input was not what
    // it must measure, or the module failed).
    bool AllRan() const { return errors_ == 0; }

private:
    struct Best {
        std::string name;
        double seconds;  // the lowest CPU time per iteration over all repetitions
    };

    const RatioTarget* TargetOf(const std::string& name) const;
    double BaselineSeconds() const;

    std::string baselineName_;
    std::vector<RatioTarget> targets_;
    std::vector<Best> best_;  // in the order the benchmarks ran
    bool targetsMet_ = true;
    int errors_ = 0;
};

}  // namespace tarnel_bench

#endif  // TARNEL_BENCH_RATIO_REPORTER_H
