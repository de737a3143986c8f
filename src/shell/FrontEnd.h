// What the start-up window's handlers need from the window system. The FLTK
// window, the terminal and the tests' controller each implement it, so the
// handlers run the same way on every one of them.
#pragma once

#include <string>

namespace qrw {

class modStru;

struct Rgb {
  unsigned char r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// How Label1 looks at a given moment.
struct LabelLook {
  std::string text;
  Rgb back;
  Rgb fore;
  std::string fontName;
  double fontPoints = 0;
  bool bold = false;
  bool italic = false;
  friend bool operator==(const LabelLook&, const LabelLook&) = default;
};

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  // Shows the window and handles its events until the program ends; returns
  // the program's exit status.
  virtual int Run(modStru& window) = 0;

  // Label1 has changed; show it as `look` says.
  virtual void ShowLabel(const LabelLook& look) = 0;

  // The hourglass (true) or the default pointer (false), for the whole
  // application.
  virtual void SetBusy(bool busy) = 0;

  // Handles the events that are waiting, so the window is repainted.
  virtual void DoEvents() = 0;

  // The database file (as the program names it) could not be opened; called
  // before the message box that says so.
  virtual void DatabaseNotOpened(const std::string& /*file*/) {}
};

}  // namespace qrw
