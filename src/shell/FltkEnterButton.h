// A push button that Enter presses as well as Space while it has the focus
// (FLTK's own buttons take Space only). The window's command buttons and the
// message boxes' buttons both behave this way.
#pragma once

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Button.H>

namespace qrw {

class FltkEnterButton : public Fl_Button {
 public:
  using Fl_Button::Fl_Button;
  int handle(int event) override {
    if (event == FL_KEYBOARD && Fl::focus() == this &&
        (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
      do_callback();
      return 1;
    }
    return Fl_Button::handle(event);
  }
};

}  // namespace qrw
