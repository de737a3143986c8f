// The start-up window: its design, the handlers of its two buttons and
// setPath. The handlers are written against the FrontEnd interface, so the
// same code runs in the window, on a terminal and under the tests.
#include "shell/modStru.h"

#include <exception>
#include <new>

#include "engine/Engine.h"
#include "platform/Error.h"
#include "platform/MessageBox.h"
#include "platform/Settings.h"
#include "schema/Shared.h"
#include "upgrade/aaaDoIt.h"

namespace qrw {

namespace design {

LabelLook PurposeLook() {
  LabelLook look;
  look.text = kPurposeText;
  look.back = kLabel1.back;
  look.fore = kLabelFore;
  look.fontName = "MS Sans Serif";
  look.fontPoints = 9.75;
  look.bold = true;
  look.italic = true;
  return look;
}

LabelLook WarningLook() {
  LabelLook look = PurposeLook();
  look.text = kWarningText;
  look.back = kWarningBack;
  look.fore = kWarningFore;
  return look;
}

LabelLook CompletedLook() {
  LabelLook look = WarningLook();
  look.text = kCompletedText;
  look.fontPoints = 30;
  look.back = kCompletedBack;
  look.fontName = "Times New Roman";
  return look;
}

}  // namespace design

std::string DatabaseInUseMessage() {
  return std::string("** Error opening the QRW database. **") + kCrLf +
         "The database cannot be in use by any " + kCrLf +
         "other person or process at this time." + kCrLf +
         "You may need to shutdown the other " + kCrLf +
         "computers on the network to release" + kCrLf + "the QRW database";
}

std::string RuntimeErrorReport(long number, const std::string& description) {
  return "Run-time error '" + std::to_string(number) + "':" + kCrLf + kCrLf +
         description;
}

modStru::modStru(FrontEnd& frontEnd, SettingsReader settings,
                 DatabaseOpener open, UpgradeScript script)
    : frontEnd_(frontEnd),
      settings_(settings ? std::move(settings) : SettingsReader(&GetSetting)),
      open_(open ? std::move(open)
                 : DatabaseOpener([](const std::string& path) {
                     return Engine::Instance().OpenDatabase(path);
                   })),
      script_(script ? std::move(script) : UpgradeScript(&doit)),
      label1_(design::PurposeLook()) {}

void modStru::SetLabel(const LabelLook& look) {
  label1_ = look;
  frontEnd_.ShowLabel(label1_);
}

void modStru::Unload(int status) { throw ProgramEnd(status); }

void modStru::setPath() {
  // Read once, before the retry loop: every retry opens the same folder.
  const std::string path =
      settings_("Quarrow", "Data", "Path", kDefaultDataPath);
  for (;;) {
    try {
      Database db = open_(path + "\\QRWdata.MDB");
      DataDb = db;
      DataPath = path;
      return;
    } catch (const Error&) {
      // Whatever the reason, the user is told the same thing.
    } catch (const std::exception&) {
    }
    frontEnd_.DatabaseNotOpened(path + "\\QRWdata.MDB");
    if (MsgBox(DatabaseInUseMessage(), Buttons::OKCancel) != Answer::OK)
      throw ProgramEnd(kExitEnded);  // nothing opened, nothing written
  }
}

namespace {

// Releases DataDb however the handler is left, so the database is closed
// before a run-time error is reported and never during program exit.
class DataDbRelease {
 public:
  DataDbRelease() = default;
  DataDbRelease(const DataDbRelease&) = delete;
  DataDbRelease& operator=(const DataDbRelease&) = delete;
  ~DataDbRelease() { DataDb.Clear(); }
};

}  // namespace

void modStru::btnContinue_Click() {
  DataDbRelease release;
  setPath();
  frontEnd_.DoEvents();
  SetLabel(design::WarningLook());
  frontEnd_.SetBusy(true);
  frontEnd_.DoEvents();

  script_();

  // Whatever the script left pending is written now; a write that fails
  // here ends the run with the error instead of the completion notice.
  if (DataDb) DataDb->Close();
  DataDb.Clear();
  frontEnd_.SetBusy(false);
  SetLabel(design::CompletedLook());
  MsgBox(kCompletionMessage, Buttons::OK, Icon::None, Modality::System);
  Unload(kExitCompleted);
}

void modStru::btnCancel_Click() { Unload(kExitEnded); }

void modStru::Form_Unload() { Unload(kExitEnded); }

std::optional<int> RunHandler(const std::function<void()>& handler) {
  long number = 0;
  std::string description;
  try {
    handler();
    return std::nullopt;
  } catch (const ProgramEnd& end) {
    return end.ExitStatus();
  } catch (const Error& e) {
    number = e.Number();
    description = e.Description();
  } catch (const std::bad_alloc&) {
    number = 7;
    description = "Out of memory";
  } catch (const std::exception& e) {
    // A fault of the program itself rather than of the data: reported the
    // way the platform reports its own internal errors.
    number = 51;
    description = *e.what() ? e.what() : "Internal error";
  } catch (...) {
    number = 51;
    description = "Internal error";
  }
  MsgBox(RuntimeErrorReport(number, description), Buttons::OK, Icon::Critical);
  return kExitRuntimeError;
}

}  // namespace qrw
