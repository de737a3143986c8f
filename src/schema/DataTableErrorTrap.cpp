// Opening the recordsets of the data conversions. The product database
// usually sits on a file server, where opening a table can fail for a
// moment; the first failures are retried silently, and only a persistent
// failure bothers the user, who may retry or give up.
#include <string>
#include <vector>

#include "engine/ErrorCodes.h"
#include "platform/MessageBox.h"
#include "schema/Primitives.h"

namespace qrw {

namespace {

// The 20th failure in a row shows the retry box; the 19 before it are
// retried at once.
constexpr long kRetryThreshold = 20;

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) out += kCrLf;
    out += lines[i];
  }
  return out;
}

std::string TrapMessage(const Error& e, const std::string& source, const std::string& caller) {
  return JoinLines({
      "*** REPORT THIS MESSAGE TO Kestaro 555-014-2290 ***",
      "",
      "***** THIS IS AN ERROR TRAP FOR A DATA TABLE *****",
      "",
      "The following error has been trapped",
      "",
      "Error Number:       " + std::to_string(e.Number()),
      "Error Description:  " + e.Description(),
      "",
      "Failure opening the following query or table.",
      "'" + source + "'",
      "Called from '" + caller + "'",
      "",
      "This is possibly due to a faulty network connection or Syntax error. ",
      "",
      "Press Retry to try again.  Press Cancel to quit.",
      "If you press Cancel the program will most likly",
      "terminate and you will have to start over.",
  });
}

std::string NetworkMessage() {
  return JoinLines({
      "******** FOLLOW THE DIRECTIONS EXACTLY ********",
      "Try to open another copy of Quarrow.",
      "If you cannot open another copy, you have an",
      "open network connection.  If you can open",
      "another copy, close it and THEN click OK here.",
  });
}

// Errors that mean the connection to the file server broke: input not
// found, disk or network error, locked, object no longer valid.
bool LooksLikeBrokenConnection(long number) {
  return number == engine::kErrInputNotFound || number == engine::kErrDiskOrNetwork ||
         number == engine::kErrLocked || number == engine::kErrObjectInvalid;
}

}  // namespace

bool DataTableErrorTrap(Recordset& rs, Database& db, const std::string& source, const std::string& caller) {
  long counter = 0;
  for (;;) {
    try {
      // Assigned only once the open succeeded: on Cancel the caller's
      // variable still holds whatever it held before.
      rs = db->OpenRecordset(source);
      return true;
    } catch (const Error& e) {
      ++counter;
      if (counter < kRetryThreshold) continue;

      Answer answer = MsgBox(TrapMessage(e, source, caller), Buttons::RetryCancel, Icon::Critical, Modality::System);
      if (answer != Answer::Retry) return false;  // Cancel, or the box was closed

      if (LooksLikeBrokenConnection(e.Number())) {
        MsgBox(NetworkMessage(), Buttons::OK, Icon::Critical, Modality::System);
      }
      counter = 0;
    }
  }
}

}  // namespace qrw
