#include "conversions/ReorderNotes.h"

#include <functional>

#include "upgrade/UpgradeTestDb.h"

namespace qrw::testing {
namespace {

using Strings = std::vector<std::string>;

class ReorderNotesTest : public UpgradeTest {
 protected:
  // One order per comment pair, controls in the order given; each row:
  // ReOrderedFrom|ReOrderedBy|ReOrderedDate|WOComment|InvComment.
  Strings Split(const std::vector<std::pair<const char*, const char*>>& comments,
                const std::function<void()>& beforeSplit = {}) {
    Build(
        "ALTER TABLE OrderHeader ADD COLUMN ReOrderedFrom VARCHAR(8) COLLATE NOCASE;"
        "ALTER TABLE OrderHeader ADD COLUMN ReOrderedBy VARCHAR(50) COLLATE NOCASE;"
        "ALTER TABLE OrderHeader ADD COLUMN ReOrderedDate VARCHAR(10) COLLATE NOCASE;");
    Recordset rs = db_->OpenRecordset("OrderHeader");
    int control = 0;
    for (const auto& [wo, inv] : comments) {
      rs->AddNew();
      rs->Set("Control", std::to_string(++control));
      rs->Set("WOComment", wo ? Variant(wo) : Variant::Null());
      rs->Set("InvComment", inv ? Variant(inv) : Variant::Null());
      rs->Set("ReOrderedFrom", "old");
      rs->Update();
    }
    rs->Close();
    if (beforeSplit) beforeSplit();
    SplitReorderNotes();
    Reopen();
    return Rows("Select ReOrderedFrom, ReOrderedBy, ReOrderedDate, WOComment, InvComment From OrderHeader");
  }
};

TEST_F(ReorderNotesTest, BothNoteFormsAreParsedAndTheirLinesRemoved) {
  EXPECT_EQ(Split({
                {"Re-Order From A0012345 By Joe 01/02/2003\r\nPlease rush", nullptr},
                {"Re-Order From A0012345, 01/02/2003 By Jane Doe\r\nMore", "x"},
                {"Re-Order From A0012345 By Joe 01/02/2003", ""},
                {"First line\r\nRe-Order From A0012345 By Joe 01/02/2003\r\nKeep\r\nthis", nullptr},
                {"Re-Order From A0012345, 01/02/2003\r\nend", nullptr},
                {"Re-Order From 1234 By Joe 01/02/2003", nullptr},
            }),
            (Strings{
                "A0012345|Joe|01/02/2003|Please rush|",
                "A0012345|Jane Doe|01/02/2003|More|x",
                "A0012345|Joe|01/02/2003||",
                "A0012345|Joe|01/02/2003|Keep\r\nthis|",
                "A0012345|||end|",
                // A short control number takes what follows it.
                "1234 By ||Joe 01/02/||",
            }));
}

TEST_F(ReorderNotesTest, InvoiceNotesAreCutOutAndOtherRecordsKeepTheirFields) {
  EXPECT_EQ(Split({
                {nullptr, "Paid in full\r\nReordered as A00009\r\nThanks"},
                {"re-order from A0012345 By Joe 01/02/2003\r\nlower case", nullptr},
                {"Re-Order From A1\r\nshort line", "Reordered as A2"},
                {"Re-Order From A0012345 By Joe 01/02/2003\r\nmiddle line\r\nRe-Order From B0012345 xx", nullptr},
            }),
            (Strings{
                "old|<Null>|<Null>|<Null>|Paid in full\r\nThanks",
                "old|<Null>|<Null>|re-order from A0012345 By Joe 01/02/2003\r\nlower case|",
                "old|<Null>|<Null>|Re-Order From A1\r\nshort line|Reordered as A2",
                "A0012345|Joe|01/02/2003||",
            }));
}

TEST_F(ReorderNotesTest, NoteLineOf31CharactersIsTheShortestReadAndEveryInvoiceNoteGoes) {
  EXPECT_EQ(Split({
                // 31 characters with the line break: read.
                {"Re-Order From A0012345 By J 1\r\nrest", "A\r\nReordered as X\r\nB\r\nReordered as Y\r\nC"},
                // 30 characters: the record stays as it is.
                {"Re-Order From A0012345 By J1\r\nrest", "Reordered as Z\r\nD"},
            }),
            (Strings{
                "A0012345|J|1|rest|A\r\nB\r\nC",
                "old|<Null>|<Null>|Re-Order From A0012345 By J1\r\nrest|Reordered as Z\r\nD",
            }));
}

TEST_F(ReorderNotesTest, FailingRecordKeepsWhatItSavedAndThePassGoesOn) {
  const std::string longName = "Re-Order From A0012345 By " + std::string(60, 'n') + " 01/02/2003";
  EXPECT_EQ(Split({
                {"Re-Order From A0012345 By Joe", "Reordered as A2"},  // name without a blank after it
                {longName.c_str(), "Reordered as A3"},                 // name too long for its field
                {"Re-Order From A0012345 By Ann 03/04/2005", "Reordered as A4"},
            }),
            (Strings{
                "old|<Null>|<Null>|Re-Order From A0012345 By Joe|Reordered as A2",
                "old|<Null>|<Null>|" + longName + "|Reordered as A3",
                "A0012345|Ann|03/04/2005||",
            }));
}

// The invoice comment is saved last: when it cannot be, the note's fields
// and the work-order comment saved before it stay.
TEST_F(ReorderNotesTest, RecordWhoseInvoiceCommentCannotBeSavedKeepsItsNote) {
  auto refuseEmpty = [this] {
    db_->GetTableDefs()("OrderHeader")->GetFields().Item("InvComment")->SetAllowZeroLength(false);
  };
  EXPECT_EQ(Split({
                    {"Re-Order From A0012345 By Joe 01/02/2003\r\nPlease rush", nullptr},
                    {"Re-Order From A0012345 By Ann 03/04/2005", "Reordered as A4\r\nPaid"},
                },
                refuseEmpty),
            (Strings{
                "A0012345|Joe|01/02/2003|Please rush|<Null>",
                "A0012345|Ann|03/04/2005||Paid",
            }));
}

}  // namespace
}  // namespace qrw::testing
