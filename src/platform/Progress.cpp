// The process-wide progress sink and the loop reporter that keeps per-row
// reports down to one per percent, so that a watcher costs nothing per row.
#include "platform/Progress.h"

namespace qrw {

namespace {
ProgressSink* g_sink = nullptr;

// The row count at which the percent after the one of `done` is reached.
long NextPercentRow(long done, long total) {
  const long long percent = static_cast<long long>(done) * 100 / total + 1;
  return static_cast<long>((percent * total + 99) / 100);
}
}  // namespace

ProgressSink* CurrentProgressSink() { return g_sink; }
void SetProgressSink(ProgressSink* sink) { g_sink = sink; }

void ReportGroupStarted(int number, int count, const std::string& name) {
  if (g_sink) g_sink->GroupStarted(number, count, name);
}

void ReportGroupFinished(int number) {
  if (g_sink) g_sink->GroupFinished(number);
}

ProgressLoop::ProgressLoop(const std::string& name, long total)
    : sink_(g_sink), total_(total < 0 ? 0 : total) {
  if (!sink_) return;
  sink_->StepStarted(name, total_);
  if (total_ > 0) nextReport_ = NextPercentRow(0, total_);
}

void ProgressLoop::Advance() {
  ++done_;
  // Rows added while the loop runs may take it past the count it began with.
  if (!sink_ || done_ > total_ || done_ < nextReport_) return;
  sink_->StepAdvanced(done_, total_);
  nextReport_ = NextPercentRow(done_, total_);
}

void ProgressLoop::Finish() {
  if (!sink_ || finished_) return;
  finished_ = true;
  sink_->StepFinished();
}

}  // namespace qrw
