// The re-order note split: reading the "Re-Order From" note out of an
// order's work-order comment and dropping the note lines from both comments.
// Each record is its own unit of work, so one bad record never costs the
// others their split.
#include "conversions/ReorderNotes.h"

#include <string>
#include <string_view>

#include "engine/Engine.h"
#include "platform/Error.h"
#include "platform/Progress.h"
#include "platform/Variant.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"

namespace qrw {
namespace {

constexpr std::string_view kCrLf = "\r\n";

bool IsLineBreak(std::string_view s, std::size_t at) { return s[at] == '\r' || s[at] == '\n'; }

std::string DropLastLineBreak(std::string s) {
  if (!s.empty() && IsLineBreak(s, s.size() - 1)) s.pop_back();
  return s;
}

std::string DropFirstLineBreak(std::string s) {
  if (!s.empty() && IsLineBreak(s, 0)) s.erase(0, 1);
  return s;
}

// Drops everything up to and including the CR of the first CR LF; the
// whole text when there is no line break.
std::string DropFirstLine(const std::string& s) {
  long crlf = text::InStr(s, kCrLf);
  if (crlf == 0) return std::string();
  return text::Mid(s, crlf + 1);
}

std::string TextOf(const Variant& v) { return v.IsNull() || v.IsEmpty() ? std::string() : v.ToText(); }

struct ReorderNote {
  std::string from;  // control number of the order repeated
  std::string by;
  std::string date;
};

// The note line, or false when the record is to be left unchanged. A note
// in a comment of several lines must end with its line break and be at
// least 31 characters long with it.
bool FindNoteLine(const std::string& comment, long p, std::string& line) {
  if (text::InStr(comment, kCrLf) == 0) {
    line = comment;
    return true;
  }
  long end = text::InStr(p, comment, kCrLf);
  if (end == 0) return false;
  line = text::Mid(comment, p, end - p + 2);
  if (static_cast<long>(text::Len(line)) < 31) return false;
  line = DropLastLineBreak(DropLastLineBreak(line));
  return true;
}

// Two forms are understood: "Re-Order From <control> By <name> <date>" and
// "Re-Order From <control>, <date> By <name>". The control number is the
// eight characters after "From ".
ReorderNote ParseNoteLine(std::string line) {
  line += "$$$";
  ReorderNote note;
  long f = text::InStr(line, "From");
  note.from = text::Mid(line, f + 5, 8);
  std::string rest = text::Trim(text::Mid(line, f + 13));

  long comma = text::InStr(rest, ",");
  if (comma == 0) {
    if (text::InStr(rest, "By") > 0) {
      rest = text::Mid(rest, 4);
      // The name is one word; without a blank after it Left raises and the
      // record stays as it is.
      note.by = text::Trim(text::Left(rest, text::InStr(rest, " ") - 1));
      rest = text::Mid(rest, static_cast<long>(text::Len(note.by)) + 1);
    }
    note.date = text::Trim(text::Left(rest, text::InStr(rest, "$$$") - 1));
  } else {
    long by = text::InStr(rest, "By");
    if (by > 0) {
      note.date = text::Trim(text::Mid(rest, comma + 1, by - comma - 1));
      note.by = text::Trim(text::Mid(rest, by + 2, text::InStr(rest, "$$$") - by - 2));
    }
  }
  return note;
}

// Removes every line up to and including the last one that mentions
// "e-Order", with the line break that ends it.
std::string RemoveWorkOrderNotes(std::string comment) {
  while (text::InStr(comment, "e-Order") > 0) comment = DropFirstLineBreak(DropFirstLine(comment));
  return comment;
}

// Removes each "Reordered as" line, keeping the text around it.
std::string RemoveInvoiceNotes(std::string comment) {
  std::string kept;
  while (text::InStr(comment, "Reordered as") > 0) {
    long r = text::InStr(comment, "Reorder");
    kept += text::Left(comment, r - 1);
    comment = text::Mid(comment, r);
    comment = DropFirstLineBreak(DropFirstLine(comment));
  }
  return kept + comment;
}

// Drops an edit a failure left pending; never raises.
void CancelPendingEdit(Recordset& rs) {
  try {
    if (rs->GetEditMode() != dbEditNone) rs->CancelUpdate();
  } catch (const Error&) {
  }
}

void SetNoteFields(Recordset& rs, const ReorderNote& note) {
  rs->Set("ReOrderedFrom", note.from);
  rs->Set("ReOrderedBy", note.by);
  rs->Set("ReOrderedDate", text::Left(note.date, 10));
}

// The record's three saves (the note's fields, the work-order comment, the
// invoice comment) made as one: each save leaves the comments the next one
// reads as they were, so the row ends the same, and on a big file a save
// costs a rewrite of the whole order. False, with nothing written, when
// the save fails; the saves one by one then keep what they would have kept.
bool SaveAllAtOnce(Recordset& rs, const ReorderNote& note, const std::string& woComment,
                   const std::string& invComment) {
  try {
    rs->Edit();
    SetNoteFields(rs, note);
    rs->Set("WOComment", RemoveWorkOrderNotes(woComment));
    rs->Set("InvComment", RemoveInvoiceNotes(invComment));
    rs->Update();
    return true;
  } catch (const Error&) {
    CancelPendingEdit(rs);
    return false;
  }
}

void SplitRecord(Recordset& rs) {
  Variant wo = rs->Get("WOComment");
  long p = wo.IsNull() ? 0 : text::InStr(TextOf(wo), "Re-Order From");
  if (p > 0) {
    const std::string comment = TextOf(wo);
    std::string line;
    if (!FindNoteLine(comment, p, line)) return;
    ReorderNote note = ParseNoteLine(std::move(line));
    if (SaveAllAtOnce(rs, note, comment, TextOf(rs->Get("InvComment")))) return;

    rs->Edit();
    SetNoteFields(rs, note);
    rs->Update();

    rs->Edit();
    rs->Set("WOComment", RemoveWorkOrderNotes(TextOf(rs->Get("WOComment"))));
    rs->Update();
  }

  rs->Edit();
  rs->Set("InvComment", RemoveInvoiceNotes(TextOf(rs->Get("InvComment"))));
  rs->Update();
}

}  // namespace

void SplitReorderNotes() {
  Recordset rs = DataDb->OpenRecordset(
      "Select * From orderheader Where len(trim(wocomment))>0 or len(trim(invcomment))>0 Order By Control");
  ProgressLoop progress("re-order notes", rs->RecordCount());
  while (!rs->Eof()) {
    try {
      SplitRecord(rs);
    } catch (const Error&) {
      // Abandon this record: what it had saved stays, the pending edit goes.
      CancelPendingEdit(rs);
    }
    rs->MoveNext();
    progress.Advance();
  }
  progress.Finish();
  CloseRecordset(rs);
}

}  // namespace qrw
