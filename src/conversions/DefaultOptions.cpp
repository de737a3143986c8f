// Default bindery options of the Defaults record by search name and back.
#include "conversions/DefaultOptions.h"

#include <iterator>

#include "engine/Engine.h"
#include "platform/MessageBox.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"

namespace qrw {

namespace {

struct SearchName {
  const char* search;  // compared exactly, case and all
  const char* field;   // field of Defaults holding the option name
  bool nullIsEmpty;    // a Null field reads as empty text instead of failing
  bool reverse;        // searched when an option name is looked up
};

// In the order both directions test them.
constexpr SearchName kSearchNames[] = {
    {"Cut", "CutStock", false, true},
    {"Cutting LF", "StdLFCutting", false, true},
    {"Fold", "Fold", false, true},
    {"Pad", "Pad", false, true},
    {"FinalTrim", "FinalTrim", false, true},
    {"Collate", "Collate", false, true},
    {"StartUpBindery", "DefaultBindery", true, false},
    {"Deliver", "Deliver", true, true},
};

// Closes the Defaults recordset however the lookup ends.
struct ClosingRecordset {
  Recordset rs;
  ~ClosingRecordset() { CloseRecordset(rs); }
};

}  // namespace

std::string NullToText(const Variant& value) {
  if (value.IsNull()) return std::string();
  return value.ToText();
}

std::string DefaultBinderyOption(const std::int16_t& mode, const std::string& name) {
  ClosingRecordset defaults;
  // Not tested: after Cancel the recordset is not set, and reading it fails.
  DataTableErrorTrap(defaults.rs, DataDb, "Select * From Defaults", "DefaultBinderyName");

  std::string result;
  if (mode == 1) {
    const SearchName* found = nullptr;
    for (const SearchName& s : kSearchNames) {
      if (name == s.search) {
        found = &s;
        break;
      }
    }
    if (!found) {
      MsgBox("\"" + DoubleQuotes(name) + "\" is not a valid DefaultBinderyOption search name.", Buttons::OK,
             Icon::Critical, Modality::System);
      result = "Fail";
    } else {
      const Variant value = defaults.rs->Get(found->field);
      // A Null option name among the first six is an error for the caller.
      result = found->nullIsEmpty ? NullToText(value) : value.ToText();
    }
  } else if (mode == 2) {
    for (const SearchName& s : kSearchNames) {
      if (!s.reverse) continue;
      const Variant value = defaults.rs->Get(s.field);
      if (!value.IsNull() && value.ToText() == name) {
        result = s.search;
        break;
      }
    }
  }
  return result;
}

}  // namespace qrw
