// Message boxes and the start-up window on a terminal.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/Engine.h"
#include "platform/TerminalBoxes.h"
#include "shell/TerminalFrontEnd.h"
#include "shell/TerminalProgress.h"
#include "shell/modStru.h"

namespace qrw {
namespace {

Answer Ask(const std::string& input, Buttons buttons, std::string* shown,
           Icon icon = Icon::None) {
  std::istringstream in(input);
  std::ostringstream out;
  TerminalBoxes boxes(in, out);
  BoxRequest request;
  request.text = "first line\r\nsecond line";
  request.buttons = buttons;
  request.icon = icon;
  const Answer a = boxes.Show(request);
  if (shown) *shown = out.str();
  return a;
}

TEST(TerminalBoxesTest, ShowsTitleTextAndButtons) {
  std::string shown;
  EXPECT_EQ(Ask("OK\n", Buttons::OKCancel, &shown), Answer::OK);
  EXPECT_EQ(shown, "\nModQRW\nfirst line\nsecond line\n[OK] [Cancel] > ");
  Ask("ok\n", Buttons::OK, &shown, Icon::Critical);
  EXPECT_EQ(shown, "\nModQRW (stop)\nfirst line\nsecond line\n[OK] > ");
}

TEST(TerminalBoxesTest, AnswersAreCaptionsInAnyCase) {
  EXPECT_EQ(Ask("cancel\n", Buttons::OKCancel, nullptr), Answer::Cancel);
  EXPECT_EQ(Ask("  RETRY \r\n", Buttons::RetryCancel, nullptr), Answer::Retry);
  EXPECT_EQ(Ask("Cancel", Buttons::RetryCancel, nullptr), Answer::Cancel);
  // Only the buttons of this box count.
  std::string shown;
  EXPECT_EQ(Ask("retry\nyes\n\nok\n", Buttons::OKCancel, &shown), Answer::OK);
  EXPECT_EQ(shown.substr(shown.find('[')),
            "[OK] [Cancel] > [OK] [Cancel] > [OK] [Cancel] > [OK] [Cancel] > ");
}

TEST(TerminalBoxesTest, EndOfInputClosesTheBox) {
  EXPECT_EQ(Ask("", Buttons::OK, nullptr), Answer::Closed);
  EXPECT_EQ(Ask("maybe\n", Buttons::OKCancel, nullptr), Answer::Closed);
  EXPECT_EQ(Ask("", Buttons::RetryCancel, nullptr), Answer::Closed);
}

int RunTerminal(const std::string& input, std::string* output, int* runs) {
  std::istringstream in(input);
  std::ostringstream out;
  TerminalBoxes boxes(in, out);
  SetCurrentBoxes(&boxes);
  TerminalFrontEnd frontEnd(in, out);
  modStru window(
      frontEnd, [](auto&, auto&, auto&, auto& d) { return d; },
      [](const std::string&) { return Database(); }, [runs] { ++*runs; });
  const int status = frontEnd.Run(window);
  SetCurrentBoxes(nullptr);
  *output = out.str();
  return status;
}

TEST(TerminalFrontEndTest, ContinueRunsToTheCompletionNotice) {
  std::string out;
  int runs = 0;
  EXPECT_EQ(RunTerminal("what\nContinue\nOK\n", &out, &runs), kExitCompleted);
  EXPECT_EQ(runs, 1);
  const size_t caption = out.find("Modify QRW Table Structures\n=====");
  const size_t purpose = out.find(design::kPurposeText);
  const size_t ask = out.find("[CONTINUE] [CANCEL] > ");
  const size_t warning = out.find(design::kWarningText);
  const size_t completed = out.find("\nCOMPLETED\n");
  const size_t notice = out.find("Quarrow table modification complete.\n[OK]");
  EXPECT_EQ(caption, 0u);
  EXPECT_LT(caption, purpose);
  EXPECT_LT(purpose, ask);
  EXPECT_LT(ask, warning);
  EXPECT_LT(warning, completed);
  EXPECT_LT(completed, notice);
  EXPECT_NE(notice, std::string::npos);
}

TEST(TerminalFrontEndTest, CancelOrEndOfInputEndsWithoutRunning) {
  std::string out;
  int runs = 0;
  EXPECT_EQ(RunTerminal("cancel\n", &out, &runs), kExitEnded);
  EXPECT_EQ(RunTerminal("", &out, &runs), kExitEnded);
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(out.find(design::kWarningText), std::string::npos);
}

TEST(TerminalFrontEndTest, InUseMessageAndGivingUp) {
  // The opener always fails; "ok" retries, end of input gives up.
  std::istringstream in("CONTINUE\nok\n");
  std::ostringstream out;
  TerminalBoxes boxes(in, out);
  SetCurrentBoxes(&boxes);
  TerminalFrontEnd frontEnd(in, out);
  int opens = 0;
  modStru window(
      frontEnd, [](auto&, auto&, auto&, auto& d) { return d; },
      [&opens](const std::string&) -> Database {
        ++opens;
        throw Error(3024, "not found");
      });
  EXPECT_EQ(frontEnd.Run(window), kExitEnded);
  SetCurrentBoxes(nullptr);
  EXPECT_EQ(opens, 2);
  EXPECT_NE(out.str().find("** Error opening the QRW database. **\n"
                           "The database cannot be in use by any \n"),
            std::string::npos);
}

// Group lines stay; a loop's percentage is rewritten in place, padded over a
// longer line before it, and wiped when the loop ends or a box comes up.
TEST(TerminalProgressTest, GroupLinesStayAndPercentagesAreWiped) {
  std::ostringstream out;
  TerminalProgress progress(out);
  progress.GroupStarted(4, 16, "Re-order fields");
  progress.StepStarted("re-order notes", 1000);
  progress.StepAdvanced(10, 1000);
  progress.StepAdvanced(1000, 1000);
  progress.StepFinished();
  progress.StepStarted("few rows", TerminalProgress::kShownRows - 1);
  progress.StepAdvanced(1, TerminalProgress::kShownRows - 1);
  progress.StepFinished();
  progress.StepStarted("stock", 2000);
  progress.StepAdvanced(1800, 2000);
  progress.ClearLine();
  progress.GroupStarted(13, 16, "Stock details and vendors");
  const std::string a = "        re-order notes: 1%", b = "        re-order notes: 100%";
  const std::string c = "        stock: 90%";
  EXPECT_EQ(out.str(), "[ 4/16] Re-order fields\n"
                       "\r" + a + "\r" + b + "\r" + std::string(b.size(), ' ') + "\r" +
                       "\r" + c + "\r" + std::string(c.size(), ' ') + "\r" +
                       "[13/16] Stock details and vendors\n");
}

TEST(TerminalFrontEndTest, JetFileGetsTheConversionLineBesideTheSameMessage) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("qrw_jet_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string jet = (dir / "QRWdata.MDB").string();
  std::ofstream(jet, std::ios::binary) << std::string("\0\1\0\0Standard Jet DB\0", 20) << std::string(2028, '\0');
  std::istringstream in("CONTINUE\n");
  std::ostringstream out, err;
  TerminalBoxes boxes(in, out);
  SetCurrentBoxes(&boxes);
  TerminalFrontEnd frontEnd(in, out, err);
  modStru window(
      frontEnd, [&](auto&, auto&, auto&, auto&) { return dir.string(); },
      [](const std::string&) -> Database { throw Error(3343, "Unrecognized database format"); });
  EXPECT_EQ(frontEnd.Run(window), kExitEnded);
  SetCurrentBoxes(nullptr);
  fs::remove_all(dir);
  EXPECT_EQ(err.str(), "modqrw: " + jet + " is a Jet database; convert it with: qrw-import " + jet +
                           " NEWFOLDER/QRWdata.MDB (then set the data folder to NEWFOLDER)\n");
  EXPECT_NE(out.str().find(DatabaseInUseMessage().substr(0, 37)), std::string::npos);
}

}  // namespace
}  // namespace qrw
