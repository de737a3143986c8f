// Progress of the upgrade, for whoever wants to watch a long run: the
// terminal front end shows it, benchmarks time it. The script reports the
// start and end of each group and of each long record loop; nothing is
// reported anywhere until a sink is installed, and the script behaves the
// same with or without one.
#pragma once

#include <string>

namespace qrw {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;

  // Group `number` (1-based) of `count` starts or has ended normally. A
  // group that fails is never reported as ended.
  virtual void GroupStarted(int number, int count, const std::string& name) {
    (void)number, (void)count, (void)name;
  }
  virtual void GroupFinished(int number) { (void)number; }

  // A record loop within the current group, over `total` rows (0 when the
  // loop is empty). StepAdvanced comes at most once per whole percent, with
  // done <= total; StepFinished only when the loop ran to its end.
  virtual void StepStarted(const std::string& name, long total) {
    (void)name, (void)total;
  }
  virtual void StepAdvanced(long done, long total) { (void)done, (void)total; }
  virtual void StepFinished() {}
};

// The sink for the whole process (nullptr: none, the default).
ProgressSink* CurrentProgressSink();
void SetProgressSink(ProgressSink* sink);

void ReportGroupStarted(int number, int count, const std::string& name);
void ReportGroupFinished(int number);

// Reports one record loop: made before the loop with its row count, told of
// each row done, and finished after the loop.
//
//   ProgressLoop progress("vendor copy", rs->RecordCount());
//   while (!rs->Eof()) { ...; rs->MoveNext(); progress.Advance(); }
//   progress.Finish();
class ProgressLoop {
 public:
  ProgressLoop(const std::string& name, long total);
  ProgressLoop(const ProgressLoop&) = delete;
  ProgressLoop& operator=(const ProgressLoop&) = delete;

  void Advance();
  void Finish();

 private:
  ProgressSink* sink_;
  long total_;
  long done_ = 0;
  long nextReport_ = 0;  // the row count at which the next percent is due
  bool finished_ = false;
};

}  // namespace qrw
