// A progress sink for tests: installed for as long as it lives, it keeps
// every report as one line of text.
#pragma once

#include <string>
#include <vector>

#include "platform/Progress.h"

namespace qrw::testing {

class RecordingProgress : public ProgressSink {
 public:
  RecordingProgress() { SetProgressSink(this); }
  ~RecordingProgress() override { SetProgressSink(nullptr); }

  void GroupStarted(int number, int count, const std::string& name) override {
    lines.push_back("group " + std::to_string(number) + "/" + std::to_string(count) + " " + name);
  }
  void GroupFinished(int number) override { lines.push_back("end " + std::to_string(number)); }
  void StepStarted(const std::string& name, long total) override {
    lines.push_back("step " + name + " " + std::to_string(total));
  }
  void StepAdvanced(long done, long total) override {
    lines.push_back(std::to_string(done) + "/" + std::to_string(total));
  }
  void StepFinished() override { lines.push_back("step end"); }

  std::vector<std::string> lines;
};

}  // namespace qrw::testing
