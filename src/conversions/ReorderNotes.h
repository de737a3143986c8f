// Older releases recorded a re-order only as a note in the order comments:
// a "Re-Order From" line in the work-order comment and a "Reordered as"
// line in the invoice comment. SplitReorderNotes moves the work-order note
// into ReOrderedFrom, ReOrderedBy and ReOrderedDate of OrderHeader and
// removes the note lines from both comments. Works on DataDb.
#pragma once

namespace qrw {

// A record that fails is left with what was saved of it before the
// failure; the pass goes on with the next record and reports nothing.
void SplitReorderNotes();

}  // namespace qrw
