#include "upgrade/Groups.h"

#include "UpgradeTestDb.h"
#include "support/ErrorOf.h"

namespace qrw::testing {
namespace {

using Strings = std::vector<std::string>;

// The order fields a new template order is written with, and the item
// tables that orders and items are re-keyed in.
const std::string kTemplateDdl = std::string(kTemplateOrderFieldsDdl) + R"(
CREATE UNIQUE INDEX OrderHeader_PrimaryKey ON OrderHeader (Control);
CREATE TABLE ItemPrePress (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER);
CREATE TABLE ItemBindery (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER);
CREATE TABLE SpecialOptions (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER);
CREATE TABLE QuoteQuantities (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER);
CREATE TABLE ItemLargeFormat (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER);
CREATE TABLE ItemOptions (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER);
CREATE TABLE ItemPostage (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER);
CREATE TABLE Ship2Addresses (Control VARCHAR(6) COLLATE NOCASE);
INSERT INTO System (Program) VALUES ('Quarrow');
INSERT INTO OrderHeader (Control) VALUES ('ST0001');
INSERT INTO OrderHeader (Control) VALUES ('ST0002');
INSERT INTO OrderHeader (Control) VALUES ('100001');
INSERT INTO itemInks (Control, Item, Ink) VALUES ('ST0001', 3, 'pads ink');
INSERT INTO ItemDetails (Control, Item, ItemType) VALUES
  ('ST0001', 3, 'Pads'), ('ST0001', 4, 'LargeFormat'), ('ST0001', 6, Null), ('ST0001', 7, 'newprinters'),
  ('ST0001', 8, 'BinderyPreP'), ('ST0001', 9, 'Sheets'), ('ST0002', 1, 'Pads'), ('100001', 1, 'Pads');
)";

class Group15Test : public UpgradeTest {
 protected:
  Strings Items() { return Rows("Select Control, Item, ItemType, STTab From ItemDetails Order By Control, Item"); }
};

TEST_F(Group15Test, OlderDatabaseGetsTheTableTotalsTabsAndOneTemplateOrderPerTab) {
  Build(kTemplateDdl);
  RunTwice(UpgradeColorBWSheetsAndTemplates);
  EXPECT_TRUE(boxes_.Shown().empty());

  EXPECT_EQ(Layout("ItemSheetsColorBW"), (Strings{"Control:10/6", "Item:4/4", "Price:7/8", "Piece:4/4",
                                                  "fColor:1/1", "fBW:1/1", "bColor:1/1", "bBW:1/1"}));
  const Strings header = Layout("OrderHeader");
  EXPECT_EQ(Strings(header.end() - 3, header.end()),
            (Strings{"taxedItemsTot:7/8", "ntItemsTot:7/8", "OldBal:7/8"}));
  EXPECT_EQ(Layout("ItemBookPages").back(), "STTab:10/50");

  // Renamed types take their tab and move to its template order; the
  // others keep their type, and a Null or differently-cased type stays
  // with ST0001, whose items are numbered from 1 again.
  EXPECT_EQ(Items(), (Strings{"100001|1|Pads|<Null>", "ST0001|1|<Null>|<Null>", "ST0001|2|newprinters|newprinters",
                              "ST0001|3|Sheets|Sheets", "ST0006|1|LargeFormat|LargeFormat",
                              "ST0009|1|BinderyPreP|Post/PrePress", "ST0090|1|Pads|Other",
                              "ST0101|1|Pads|<Null>"}));
  EXPECT_EQ(Rows("Select Control, Item, Ink From itemInks"), (Strings{"ST0090|1|pads ink"}));
  EXPECT_EQ(Rows("Select Count(*) From OrderHeader Where Control Like 'ST00*'"), (Strings{"10"}));
}

TEST_F(Group15Test, ExistingTabFieldAndSheetTableAreLeftAsTheyAre) {
  Build(kTemplateDdl +
        "ALTER TABLE ItemDetails ADD COLUMN STTab VARCHAR(50) COLLATE NOCASE;"
        "CREATE TABLE ItemSheetsColorBW (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER, Ink VARCHAR(30));"
        "CREATE TABLE ST0107 (x INTEGER);");
  RunTwice(UpgradeColorBWSheetsAndTemplates);
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_EQ(Layout("ItemSheetsColorBW"), (Strings{"Control:10/6", "Item:4/4", "Ink:10/30"}));
  // No tab filling, even though ItemBookPages has no tab field; and with a
  // table named ST0107 the templates stay as they were.
  EXPECT_EQ(Layout("ItemBookPages"), (Strings{"Control:10/6", "Item:4/4"}));
  EXPECT_EQ(Rows("Select Count(*) From ItemDetails Where STTab Is Not Null"), (Strings{"0"}));
  EXPECT_EQ(Rows("Select Control From OrderHeader Order By Control"), (Strings{"100001", "ST0001", "ST0002"}));
}

TEST_F(Group15Test, TemplatesAreConvertedOnAnyRunThatFindsThemUnconverted) {
  Build(kTemplateDdl + "ALTER TABLE ItemDetails ADD COLUMN STTab VARCHAR(50) COLLATE NOCASE;"
                       "ALTER TABLE ItemBookPages ADD COLUMN STTab VARCHAR(50) COLLATE NOCASE;"
                       "UPDATE ItemDetails SET STTab = 'Other' WHERE Control = 'ST0001' AND Item = 9;");
  UpgradeColorBWSheetsAndTemplates();
  Reopen();
  EXPECT_EQ(Rows("Select Control, Item, ItemType From ItemDetails Where STTab = 'Other'"),
            (Strings{"ST0090|1|Sheets"}));
  EXPECT_EQ(Rows("Select Control From OrderHeader Where Control = 'ST0102'"), Strings{});
}

TEST_F(Group15Test, ConversionThatFailsLeavesNoMarkerAndTheNextRunCompletesIt) {
  Build(kTemplateDdl + "DROP TABLE ItemPostage;");
  EXPECT_NE(ErrorOf([] { UpgradeColorBWSheetsAndTemplates(); }), 0);
  Reopen();
  // The table and the tabs are in; the template conversion is undone whole.
  EXPECT_TRUE(HasTable("ItemSheetsColorBW"));
  EXPECT_EQ(Rows("Select Control From OrderHeader Order By Control"), (Strings{"100001", "ST0001", "ST0002"}));
  EXPECT_EQ(Rows("Select Item, STTab From ItemDetails Where Control = 'ST0001' And Item = 3"),
            (Strings{"3|Other"}));

  RawExec("CREATE TABLE ItemPostage (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER);");
  UpgradeColorBWSheetsAndTemplates();
  Reopen();
  EXPECT_EQ(Rows("Select Control, Item From ItemDetails Where STTab = 'Other'"), (Strings{"ST0090|1"}));
  EXPECT_EQ(Rows("Select Control From OrderHeader Where Control = 'ST0101'"), (Strings{"ST0101"}));
}

}  // namespace
}  // namespace qrw::testing
