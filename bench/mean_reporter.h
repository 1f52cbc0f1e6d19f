// mean_reporter.h - the console report of a benchmark run that also keeps each case's mean over
// its repetitions, by case name without the "/repeats:N" part, for benchmarks that print their
// results against a target when the run ends (override Finalize and read means()).
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class MeanReporter : public benchmark::ConsoleReporter {
 public:
  // CPU time suits single-threaded work; real time includes what other threads do for it.
  enum class Clock { kCpu, kReal };
  explicit MeanReporter(Clock clock = Clock::kCpu) : clock_(clock) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.aggregate_name != "mean") continue;
      std::string name = run.run_name.str();
      name = name.substr(0, name.find("/repeats"));
      means_[name] = clock_ == Clock::kCpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
    }
  }

 protected:
  const std::map<std::string, double>& means() const { return means_; }
  // The mean of one case; 0 when it did not run.
  double Mean(const std::string& name) const {
    const auto it = means_.find(name);
    return it != means_.end() ? it->second : 0.0;
  }

 private:
  Clock clock_;
  std::map<std::string, double> means_;
};
