#include "conversions/SavedTemplateUpdates.h"

#include "upgrade/UpgradeTestDb.h"

namespace qrw::testing {
namespace {

using Strings = std::vector<std::string>;

// Every table that carries an order's Control, with one Tag column that
// says which order and item a row was made for.
constexpr const char* kItemTables[] = {"itemInks",       "ItemPrePress",    "ItemBindery",
                                       "SpecialOptions", "ItemBookPages",   "QuoteQuantities",
                                       "ItemLargeFormat", "ItemSheetsColorBW", "ItemOptions",
                                       "ItemPostage"};

const std::string kOrderDdl = R"(
ALTER TABLE ItemDetails ADD COLUMN STTab VARCHAR(50) COLLATE NOCASE;
ALTER TABLE ItemBookPages ADD COLUMN STTab VARCHAR(50) COLLATE NOCASE;
ALTER TABLE ItemBookPages ADD COLUMN Tag VARCHAR(20) COLLATE NOCASE;
ALTER TABLE itemInks ADD COLUMN Tag VARCHAR(20) COLLATE NOCASE;
)" + std::string(kTemplateOrderFieldsDdl) + R"(
ALTER TABLE OrderHeader ADD COLUMN SortKey INTEGER;
CREATE TABLE ItemPrePress (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER, Tag VARCHAR(20) COLLATE NOCASE);
CREATE TABLE ItemBindery (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER, Tag VARCHAR(20) COLLATE NOCASE);
CREATE TABLE SpecialOptions (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER, Tag VARCHAR(20) COLLATE NOCASE);
CREATE TABLE QuoteQuantities (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER, Tag VARCHAR(20) COLLATE NOCASE);
CREATE TABLE ItemLargeFormat (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER, Tag VARCHAR(20) COLLATE NOCASE);
CREATE TABLE ItemSheetsColorBW (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER, Tag VARCHAR(20) COLLATE NOCASE);
CREATE TABLE ItemOptions (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER, Tag VARCHAR(20) COLLATE NOCASE);
CREATE TABLE ItemPostage (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER, Tag VARCHAR(20) COLLATE NOCASE);
CREATE TABLE Ship2Addresses (Control VARCHAR(6) COLLATE NOCASE, Tag VARCHAR(20) COLLATE NOCASE);
)";

constexpr std::initializer_list<const char*> kAllItemTables = {
    "ItemDetails",   "itemInks",        "ItemPrePress",      "ItemBindery", "SpecialOptions", "ItemBookPages",
    "QuoteQuantities", "ItemLargeFormat", "ItemSheetsColorBW", "ItemOptions", "ItemPostage"};

class ReKeyTest : public UpgradeTest {
 protected:
  void SetUp() override {
    UpgradeTest::SetUp();
    Build(kOrderDdl + "CREATE UNIQUE INDEX OrderHeader_PrimaryKey ON OrderHeader (Control);"
                      "INSERT INTO System (Program) VALUES ('Quarrow');");
  }

  static std::string Q(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
  }

  void Order(const std::string& control, const std::string& description = "") {
    db_->Execute("INSERT INTO OrderHeader (Control, OrderDescription) VALUES (" + Q(control) + ", " +
                 Q(description) + ")");
    db_->Execute("INSERT INTO Ship2Addresses (Control, Tag) VALUES (" + Q(control) + ", " + Q(control) + ")");
  }

  // One item with a row in every item table, each tagged "<tag>".
  void Item(const std::string& control, long item, const std::string& tag, const char* tab = nullptr) {
    const std::string num = std::to_string(item);
    db_->Execute("INSERT INTO ItemDetails (Control, Item, ItemType, STTab) VALUES (" + Q(control) + ", " + num +
                 ", " + Q(tag) + ", " + (tab ? Q(tab) : std::string("Null")) + ")");
    for (const char* t : kItemTables)
      db_->Execute(std::string("INSERT INTO ") + t + " (Control, Item, Tag) VALUES (" + Q(control) + ", " + num +
                   ", " + Q(tag) + ")");
  }

  // "Control/Item/Tag" of a table's rows, by tag.
  Strings Where(const std::string& table) {
    const std::string tag = table == "ItemDetails" ? "ItemType" : "Tag";
    Strings out;
    for (const std::string& r : Rows("Select Control, Item, " + tag + " From " + table + " Order By " + tag +
                                     ", Control, Item"))
      out.push_back(r);
    return out;
  }

  // Checks that in every item table the rows stand as `expected` says.
  void ExpectItems(const Strings& expected, std::initializer_list<const char*> tables) {
    for (const char* t : tables) EXPECT_EQ(Where(t), expected) << t;
  }
};

TEST_F(ReKeyTest, ChangeOrderControlMovesTheWholeOrderOnly) {
  Order("A1");
  Order("B1");
  Item("A1", 1, "a1");
  Item("A1", 2, "a2");
  Item("B1", 1, "b1");
  ChangeOrderControl("C1", "A1");

  EXPECT_EQ(Rows("Select Control From OrderHeader Order By Control"), (Strings{"B1", "C1"}));
  EXPECT_EQ(Rows("Select Control, Tag From Ship2Addresses Order By Tag"), (Strings{"C1|A1", "B1|B1"}));
  // Quantities and colour sheets move too: left behind, they would join
  // the next order to take the number.
  ExpectItems({"C1|1|a1", "C1|2|a2", "B1|1|b1"}, kAllItemTables);

  // An order number that does not exist changes nothing and raises nothing.
  const std::string before = Snapshot();
  ChangeOrderControl("Z9", "NONE");
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(ReKeyTest, QuoteCharactersInOrderNumbersAndTabNamesStayPartOfTheValue) {
  Order("O'1");
  Order("Q\"1");
  Item("O'1", 1, "o1", "Kid's");
  Item("Q\"1", 1, "q1");
  ChangeOrderControl("N\"1", "O'1");
  ChangeOrderControl("M'1", "Q\"1");
  EXPECT_EQ(Rows("Select Control From OrderHeader Order By Control"), (Strings{"M'1", "N\"1"}));
  ExpectItems({"N\"1|1|o1", "M'1|1|q1"}, {"ItemDetails", "ItemPostage"});

  Order("T'2");
  MoveTemplateTabItems("T'2", "N\"1", "Kid's");
  ExpectItems({"T'2|1|o1", "M'1|1|q1"}, {"ItemDetails", "itemInks", "ItemPostage"});
  RenumberOrderItems("T'2");
  ExpectItems({"T'2|1|o1", "M'1|1|q1"}, {"ItemDetails", "ItemPostage"});
}

TEST_F(ReKeyTest, RenumberingClosesGapsInEveryItemTableAndLeavesOtherOrders) {
  Order("A1");
  Order("B1");
  Item("A1", 9, "a9");
  Item("A1", 2, "a2");
  Item("A1", 5, "a5");
  Item("B1", 7, "b7");
  RenumberOrderItems("A1");
  ExpectItems({"A1|1|a2", "A1|2|a5", "A1|3|a9", "B1|7|b7"}, kAllItemTables);

  // Already numbered from 1: a second pass changes nothing.
  const std::string before = Snapshot();
  RenumberOrderItems("A1");
  RenumberOrderItems("NONE");
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(ReKeyTest, CompanionEditionRenumbersOnlyItsThreeItemTables) {
  db_->Execute("UPDATE System SET Program = 'VDL'");
  Order("A1");
  Item("A1", 3, "a3");
  Item("A1", 6, "a6");
  RenumberOrderItems("A1");
  ExpectItems({"A1|1|a3", "A1|2|a6"}, {"ItemDetails", "ItemOptions", "ItemPostage"});
  ExpectItems({"A1|3|a3", "A1|6|a6"}, {"itemInks", "ItemBookPages", "QuoteQuantities", "ItemSheetsColorBW"});
}

TEST_F(ReKeyTest, ZeroNegativeSharedAndMissingItemNumbersKeepItemsApart) {
  Order("A1");
  Item("A1", 0, "a0");
  Item("A1", -4, "a-4");
  Item("A1", 1, "a1");
  Item("A1", 2, "a2");
  RenumberOrderItems("A1");
  // Without moving the items aside first, 0 would land on item 1's rows.
  ExpectItems({"A1|1|a-4", "A1|2|a0", "A1|3|a1", "A1|4|a2"}, kAllItemTables);

  // All numbers below 1: the items must not be moved aside onto 0 and 1,
  // where the second pass would put the first item onto the second.
  Order("C1");
  Item("C1", -3, "c-3");
  Item("C1", -1, "c-1");
  RenumberOrderItems("C1");
  EXPECT_EQ(Rows("Select Item, Tag From ItemPostage Where Control = 'C1' Order By Tag"),
            (Strings{"2|c-1", "1|c-3"}));
  EXPECT_EQ(Rows("Select Item, ItemType From ItemDetails Where Control = 'C1' Order By ItemType"),
            (Strings{"2|c-1", "1|c-3"}));

  Order("B1");
  Item("B1", 4, "b4x");
  Item("B1", 4, "b4y");
  Item("B1", 8, "b8");
  db_->Execute("INSERT INTO ItemDetails (Control, Item, ItemType) VALUES ('B1', Null, 'bnull')");
  RenumberOrderItems("B1");
  EXPECT_EQ(Rows("Select Item, ItemType From ItemDetails Where Control = 'B1' Order By ItemType"),
            (Strings{"1|b4x", "1|b4y", "2|b8", "<Null>|bnull"}));
  EXPECT_EQ(Rows("Select Item, Tag From ItemPostage Where Control = 'B1' Order By Tag"),
            (Strings{"1|b4x", "1|b4y", "2|b8"}));
}

TEST_F(ReKeyTest, MoveTemplateTabItemsTakesOneTabWithItsRows) {
  Order("ST0001");
  Order("ST0002");
  Item("ST0001", 1, "sheet", "Sheets");
  Item("ST0001", 3, "book3", "Booklets");
  Item("ST0001", 4, "card", "Business Cards");
  Item("ST0001", 7, "book7", "Booklets");
  MoveTemplateTabItems("ST0002", "ST0001", "Booklets");
  ExpectItems({"ST0002|3|book3", "ST0002|7|book7", "ST0001|4|card", "ST0001|1|sheet"}, kAllItemTables);
  EXPECT_EQ(Rows("Select Control, Tag From Ship2Addresses Order By Tag"),
            (Strings{"ST0001|ST0001", "ST0002|ST0002"}));

  // A tab that no item carries moves nothing.
  Order("ST0003");
  MoveTemplateTabItems("ST0003", "ST0001", "Envelopes");
  EXPECT_TRUE(Rows("Select Item From ItemDetails Where Control = 'ST0003'").empty());
}

// ------------------------------------------------------ saved templates

class SavedTemplatesTest : public ReKeyTest {
 protected:
  Strings Orders() { return Rows("Select Control, OrderDescription From OrderHeader Order By Control"); }
};

TEST_F(SavedTemplatesTest, ConvertedDatabaseIsLeftAlone) {
  Order("ST0001", "Sheets");
  Order("ST0002", "Old");
  Order("ST0090", "Other");
  Item("ST0001", 4, "x", "Booklets");
  const std::string before = Snapshot();
  UpdateSavedTemplates();
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(SavedTemplatesTest, OlderTemplatesMoveAsideAndEachTabGetsItsOwnOrder) {
  Order("100001", "Customer order");
  Order("ST0001", "Saved Templates");
  Order("ST0003", "Old 3");
  Order("ST0002", "Old 2");
  Order("ST0004", "Old 4");
  Item("100001", 1, "cust");
  Item("ST0002", 2, "old2");
  Item("ST0003", 1, "old3");
  Item("ST0004", 5, "old4", "Sheets");
  Item("ST0001", 2, "sheet2", "Sheets");
  Item("ST0001", 3, "book3", "Booklets");
  Item("ST0001", 5, "pads", "Other");
  Item("ST0001", 6, "book6", "Booklets");
  Item("ST0001", 8, "labels", "Labels");
  Item("ST0001", 9, "null", nullptr);
  Item("ST0001", 11, "copies", "Other");
  Item("ST0001", 12, "digital", "Digital");
  Item("ST0001", 13, "lower", "sheets");

  UpdateSavedTemplates();
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_EQ(Orders(), (Strings{"100001|Customer order", "ST0001|Sheets", "ST0002|Booklets",
                               "ST0003|Business Cards", "ST0004|Envelopes", "ST0005|Digital",
                               "ST0006|LargeFormat", "ST0007|General", "ST0008|Mail", "ST0009|Post/PrePress",
                               "ST0090|Other", "ST0101|Old 2", "ST0102|Old 3", "ST0103|Old 4"}));
  // Old templates keep their items (renumbered from 1 only when they were
  // moved into a tab order, which these were not); each tab order has its
  // items from 1; ST0001 keeps Sheets, unknown tabs and items without one.
  const Strings expected = {"ST0002|1|book3",  "ST0002|2|book6",  "100001|1|cust", "ST0005|1|digital",
                            "ST0001|2|labels", "ST0001|4|lower",  "ST0001|3|null",  "ST0101|2|old2",
                            "ST0102|1|old3",   "ST0103|5|old4",   "ST0090|1|pads",  "ST0001|1|sheet2",
                            "ST0090|2|copies"};
  Strings sorted = expected;
  std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
    return a.substr(a.rfind('|') + 1) < b.substr(b.rfind('|') + 1);
  });
  // Every row of an item, quote quantities and colour sheets included,
  // ends under the item's new order and number.
  ExpectItems(sorted, kAllItemTables);

  const std::string after = Snapshot();
  UpdateSavedTemplates();
  EXPECT_EQ(Snapshot(), after);
}

TEST_F(SavedTemplatesTest, WithoutTheOldTemplateAllTenAreCreatedEmpty) {
  Order("100001");
  Item("100001", 3, "cust");
  UpdateSavedTemplates();
  EXPECT_EQ(Rows("Select Control, StatType, Printed, custcode, DueTime, OrderDescription, SALESMAN, Discount, "
                 "TaxRate, FedRate, Contact, Phone, PO, DueDate, fixedDueDate From OrderHeader Where Control = "
                 "'ST0001'"),
            (Strings{"ST0001|S|T|NOCUSTOMER                    NOCUST|5:00|Sheets|HOUSE|0|0|0|Single|||<Null>|"
                     "False"}));
  EXPECT_EQ(Rows("Select Count(*) From OrderHeader Where Control Like 'ST00*' And OrderDate = Date() And "
                 "DecisionDate = Date()"),
            (Strings{"10"}));
  EXPECT_EQ(Rows("Select Control From OrderHeader Where Control Like 'ST*' Order By Control").size(), 10u);
  EXPECT_EQ(Where("ItemDetails"), (Strings{"100001|3|cust"}));
}

TEST_F(SavedTemplatesTest, OldTemplatesAreRenamedInNumberOrderOntoFreeNumbers) {
  // Stored out of order and without an index on Control; ST0103 is taken.
  RawExec("DROP INDEX OrderHeader_PrimaryKey;");
  Order("ST0001");
  Order("ST0005", "Old 5");
  Order("ST0103", "Already there");
  Order("ST0002", "Old 2");
  Order("ST0003", "Old 3");
  Item("ST0005", 1, "old5");
  Item("ST0103", 1, "there");
  Item("ST0002", 1, "old2");
  UpdateSavedTemplates();
  EXPECT_EQ(Rows("Select Control, OrderDescription From OrderHeader Where Control > 'ST0090' Order By Control"),
            (Strings{"ST0101|Old 2", "ST0102|Old 3", "ST0104|Old 5", "ST0105|Already there"}));
  EXPECT_EQ(Rows("Select Control, ItemType From ItemDetails Order By ItemType"),
            (Strings{"ST0101|old2", "ST0104|old5", "ST0105|there"}));
}

TEST_F(SavedTemplatesTest, RenumberedOrdersAlreadyThereEndThePass) {
  Order("ST0001");
  Order("ST0002", "Old 2");
  Order("ST0101", "Moved before");
  Order("ST0105", "Moved before too");
  UpdateSavedTemplates();
  EXPECT_EQ(Rows("Select Control, OrderDescription From OrderHeader Where Control > 'ST0090' Order By Control"),
            (Strings{"ST0101|Moved before", "ST0102|Old 2", "ST0105|Moved before too"}));

  // Starting at ST0101 itself, the pass keeps its number and closes up the
  // numbers after it.
  Build(kOrderDdl + "INSERT INTO System (Program) VALUES ('Quarrow');");
  Order("ST0001");
  Order("ST0101", "First");
  Order("ST0105", "Second");
  UpdateSavedTemplates();
  EXPECT_EQ(Rows("Select Control, OrderDescription From OrderHeader Where Control > 'ST0090' Order By Control"),
            (Strings{"ST0101|First", "ST0102|Second"}));
}

}  // namespace
}  // namespace qrw::testing
