#include "bench/ratio_reporter.h"

#include <cstdio>
#include <ostream>

namespace tarnel_bench {
namespace {

constexpr const char* RATIO_COUNTER = "x_baseline";

double CpuSecondsPerIteration(const benchmark::BenchmarkReporter::Run& run) {
    return run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
}

// Rows whose time is a spread rather than a time get no ratio.
bool IsTimeRow(const benchmark::BenchmarkReporter::Run& run) {
    if (run.error_occurred) return false;
    if (run.run_type == benchmark::BenchmarkReporter::Run::RT_Iteration) return true;
    return run.aggregate_unit == benchmark::kTime && run.aggregate_name != "stddev";
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

RatioReporter::RatioReporter(std::string baselineName, std::vector<RatioTarget> targets)
    : benchmark::ConsoleReporter(OO_Tabular),
      baselineName_(std::move(baselineName)),
      targets_(std::move(targets)) {}

const RatioTarget* RatioReporter::TargetOf(const std::string& name) const {
    for (const RatioTarget& target : targets_) {
        if (name.compare(0, target.prefix.size(), target.prefix) == 0) return &target;
    }
    return nullptr;
}

double RatioReporter::BaselineSeconds() const {
    for (const Best& best : best_) {
        if (best.name == baselineName_) return best.seconds;
    }
    return 0;
}

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    // The best time of each benchmark: the lowest of its repetitions, or of
    // its aggregates when only those are shown.
    for (const Run& run : runs) {
        if (run.error_occurred) errors_ += 1;
        if (!IsTimeRow(run)) continue;
        const std::string& name = run.run_name.function_name;
        const double seconds = CpuSecondsPerIteration(run);
        bool known = false;
        for (Best& best : best_) {
            if (best.name == name) {
                if (seconds < best.seconds) best.seconds = seconds;
                known = true;
            }
        }
        if (!known) best_.push_back(Best{name, seconds});
    }

    const double baseline = BaselineSeconds();
    std::vector<Run> shown = runs;
    if (baseline > 0) {
        for (Run& run : shown) {
            if (IsTimeRow(run)) {
                run.counters[RATIO_COUNTER] =
                    benchmark::Counter(CpuSecondsPerIteration(run) / baseline);
            }
        }
    }
    benchmark::ConsoleReporter::ReportRuns(shown);
}

void RatioReporter::Finalize() {
    std::ostream& out = GetOutputStream();
    if (errors_ > 0) out << "\n" << errors_ << " benchmark(s) stopped with an error.\n";
    const double baseline = BaselineSeconds();
    if (baseline <= 0) {
        if (!targets_.empty() && !best_.empty()) {
            out << "\nThe baseline " << baselineName_ << " did not run: no ratios.\n";
            targetsMet_ = false;
        }
        return;
    }

    size_t width = 0;
    for (const Best& best : best_) width = best.name.size() > width ? best.name.size() : width;

    out << "\nEach benchmark as a multiple of the baseline " << baselineName_ << " ("
        << Format("%.2f", baseline * 1e6) << " us), from the lowest CPU time per iteration\n"
        << "over the repetitions:\n";
    std::vector<std::string> missed;
    for (const Best& best : best_) {
        const double ratio = best.seconds / baseline;
        out << "  " << best.name << std::string(width - best.name.size(), ' ')
            << Format("%10.2f us", best.seconds * 1e6) << Format("%8.2f x", ratio);
        if (const RatioTarget* target = TargetOf(best.name)) {
            const bool met = ratio <= target->limit;
            out << "   target " << Format("%.0f x", target->limit) << (met ? ": met" : ": MISSED");
            if (!met) missed.push_back(best.name);
        }
        out << '\n';
    }
    if (!targets_.empty()) {
        if (missed.empty()) {
            out << "Targets: all met.\n";
        } else {
            targetsMet_ = false;
            out << "Targets missed by " << missed.size() << " benchmark(s).\n";
        }
    }
}

bool RatioReporter::TargetsMet() const {
    return targetsMet_;
}

}  // namespace tarnel_bench
