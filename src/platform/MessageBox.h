// Every message box of the program goes through this one interface. Three
// implementations exist: the window system's (FLTK), the terminal's, and a
// scripted one for tests that records each box and replays given answers.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace qrw {

enum class Buttons { OK, OKCancel, RetryCancel };
enum class Icon { None, Critical };
enum class Modality { Application, System };
enum class Answer { OK, Cancel, Retry, Closed };

inline constexpr const char* kAppTitle = "ModQRW";
inline constexpr const char* kCrLf = "\r\n";

struct BoxRequest {
  std::string text;
  Buttons buttons = Buttons::OK;
  Icon icon = Icon::None;
  Modality modality = Modality::Application;
  std::string title = kAppTitle;
};

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual Answer Show(const BoxRequest& request) = 0;
};

// The implementation in use for the whole process (set by main or a test).
MessageBoxes& CurrentBoxes();
void SetCurrentBoxes(MessageBoxes* boxes);  // nullptr restores the default

// Shorthand used throughout the program.
Answer MsgBox(const std::string& text, Buttons buttons = Buttons::OK,
              Icon icon = Icon::None, Modality modality = Modality::Application);

// Scripted boxes for tests: records every box, answers from a queue (the
// first button's natural answer, OK or Retry, when the queue is empty
// unless a default answer is set).
class ScriptedBoxes : public MessageBoxes {
 public:
  Answer Show(const BoxRequest& request) override;
  void Queue(Answer a) { answers_.push_back(a); }
  void SetDefault(Answer a) { default_ = a; hasDefault_ = true; }
  const std::vector<BoxRequest>& Shown() const { return shown_; }
  void ClearShown() { shown_.clear(); }

 private:
  std::deque<Answer> answers_;
  std::vector<BoxRequest> shown_;
  Answer default_ = Answer::OK;
  bool hasDefault_ = false;
};

// Installs scripted boxes for the lifetime of the object.
class ScopedScriptedBoxes : public ScriptedBoxes {
 public:
  ScopedScriptedBoxes() { SetCurrentBoxes(this); }
  ~ScopedScriptedBoxes() override { SetCurrentBoxes(nullptr); }
};

}  // namespace qrw
