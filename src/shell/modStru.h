// The start-up window: its design, the handlers of its two buttons, and
// setPath, which finds and opens the product database.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "shell/FrontEnd.h"

namespace qrw {

// Exit status of the program.
inline constexpr int kExitCompleted = 0;     // after the completion notice
inline constexpr int kExitRuntimeError = 1;  // after a run-time error report
inline constexpr int kExitEnded = 2;         // CANCEL, or gave up opening

// Thrown to end the program from inside a handler; caught where the handler
// was called (RunHandler). Deliberately not a std::exception, so nothing that
// traps ordinary errors can swallow it.
class ProgramEnd {
 public:
  explicit ProgramEnd(int status) : status_(status) {}
  int ExitStatus() const { return status_; }

 private:
  int status_;
};

// The window as designed. Positions and sizes are in twips; the window
// system shows 15 twips to a pixel.
namespace design {

inline constexpr int kTwipsPerPixel = 15;
constexpr int Pixels(int twips) { return twips / kTwipsPerPixel; }
// Font points to pixels at the same 96 pixels to the inch.
constexpr int FontPixels(double points) {
  return static_cast<int>(points * 96.0 / 72.0 + 0.5);
}

struct Control {
  const char* name;
  const char* text;
  int left, top, width, height;  // twips
  Rgb back;
};

inline constexpr const char* kCaption = "Modify QRW Table Structures";
inline constexpr int kClientWidth = 4680;
inline constexpr int kClientHeight = 2025;
inline constexpr Rgb kWindowBack{255, 255, 128};

inline constexpr const char* kPurposeText =
    "The purpose of this program is to modify the Quarrow data table "
    "structures.  Please report any error messages to Kestaro  (555) "
    "014-2290";
inline constexpr const char* kWarningText =
    "If this routine fails, run the RepairQRWdata tool, which should be in "
    "the folder your QRWdata is in, then try again.  If it fails again, call "
    "support, 555-014-2290.";
inline constexpr const char* kCompletedText = "COMPLETED";

inline constexpr Control kLabel1{"Label1", kPurposeText, 120, 120, 4395, 1275,
                                 Rgb{192, 255, 192}};
inline constexpr Control kContinue{"btnContinue", "CONTINUE", 360, 1560, 1635,
                                   330, Rgb{0, 255, 0}};
inline constexpr Control kCancel{"btnCancel", "CANCEL", 2655, 1560, 1635, 330,
                                 Rgb{255, 192, 192}};

inline constexpr Rgb kLabelFore{0, 128, 0};
inline constexpr Rgb kWarningBack{255, 192, 192};
inline constexpr Rgb kWarningFore{0, 0, 0};
inline constexpr Rgb kCompletedBack{255, 255, 255};

// Label1 as designed, while the script runs, and after it.
LabelLook PurposeLook();
LabelLook WarningLook();
LabelLook CompletedLook();

}  // namespace design

// The settings store, as the window reads it: application, section, key,
// default. Tests put their own in its place.
using SettingsReader = std::function<std::string(
    const std::string&, const std::string&, const std::string&,
    const std::string&)>;

// Opens the database file named by a path text (the engine's OpenDatabase).
class DatabaseObject;
template <class T>
class Ref;
using DatabaseOpener = std::function<Ref<DatabaseObject>(const std::string&)>;

// The upgrade script (doit).
using UpgradeScript = std::function<void()>;

inline constexpr const char* kDefaultDataPath = "C:\\Program Files\\Quarrow";

// The six-line message shown while the database cannot be opened.
std::string DatabaseInUseMessage();
inline constexpr const char* kCompletionMessage =
    "Quarrow table modification complete.";

// The platform's report of an error that nothing trapped.
std::string RuntimeErrorReport(long number, const std::string& description);

class modStru {
 public:
  // Empty functions mean the real settings store, engine and script.
  explicit modStru(FrontEnd& frontEnd, SettingsReader settings = {},
                   DatabaseOpener open = {}, UpgradeScript script = {});

  const LabelLook& Label1() const { return label1_; }

  // Reads the data folder and opens the database into DataDb; ends the
  // program (ProgramEnd) when the user gives up.
  void setPath();

  void btnContinue_Click();
  void btnCancel_Click();

  // Closing the window from its title bar: the same as CANCEL.
  void Form_Unload();

 private:
  void SetLabel(const LabelLook& look);
  void Unload(int status);

  FrontEnd& frontEnd_;
  SettingsReader settings_;
  DatabaseOpener open_;
  UpgradeScript script_;
  LabelLook label1_;
};

// Runs one event handler as the window system does: returns the exit status
// when the program ends in it, nothing when the window simply waits for the
// next event. An error that no one trapped is reported here
// (RuntimeErrorReport, OK only) and ends the program with kExitRuntimeError.
std::optional<int> RunHandler(const std::function<void()>& handler);

}  // namespace qrw
