#include "UpgradeTestDb.h"
#include "upgrade/Groups.h"

namespace qrw::testing {
namespace {

using Strings = std::vector<std::string>;

TEST_F(UpgradeTest, ImportMapsAndShipToAreCreatedWithExactlyTheirFields) {
  Build();
  UpgradeLargeFormatItems();  // the large-format item table comes first
  RunTwice([] { UpgradeImportMapsAndShipTo(); });
  Strings maps = Layout("ImportStockCostsMaps");
  ASSERT_EQ(maps.size(), 25u);
  EXPECT_EQ((Strings{maps[0], maps[1], maps[2], maps[10], maps[24]}),
            (Strings{"SupplierName:10/50", "Filename:10/36", "StockName:10/50", "Cost:10/50", "Grade:10/50"}));
  EXPECT_EQ(Layout("Ship2Addresses"),
            (Strings{"Control:10/6", "Company:10/50", "adr1:10/42", "adr2:10/42", "CITY:10/30", "STATE:10/20",
                     "Zip:10/10", "CUSTCODE:10/36", "Contact:10/30", "EMail:10/40", "phone:10/25", "Note:12/0",
                     "Country:10/40", "Fax_Phone:10/20", "DeliveryTicketNotes:12/0", "ContactPhone:10/25",
                     "ContactEMail:10/40"}));
  EXPECT_TRUE(Rows("Ship2Addresses").empty());
  Field control = db_->GetTableDefs().Item("Ship2Addresses")->GetFields().Item("Control");
  EXPECT_TRUE(control->AllowZeroLength());
  EXPECT_FALSE(control->Required());
  EXPECT_EQ(Layout("tPrintQuote").back(), "DifferentShip2Address:1/1");
  EXPECT_EQ(Layout("LFPrinters").back(), "RightMargin:7/8");
}

TEST_F(UpgradeTest, ExistingShipToTableKeepsItsFieldsAndGetsTheMissingOnes) {
  Build(R"(
    CREATE TABLE Ship2Addresses (Control VARCHAR(6) COLLATE NOCASE, Company VARCHAR(80) COLLATE NOCASE,
      city VARCHAR(60) COLLATE NOCASE, Note VARCHAR(200) COLLATE NOCASE);
    INSERT INTO Ship2Addresses VALUES ('A00001', 'Acme', 'Springfield', 'Back door');)");
  UpgradeLargeFormatItems();
  UpgradeImportMapsAndShipTo();
  Reopen();
  Strings layout = Layout("Ship2Addresses");
  ASSERT_EQ(layout.size(), 17u);
  EXPECT_EQ((Strings{layout[1], layout[2], layout[3], layout[4], layout[5]}),
            (Strings{"Company:10/80", "city:10/60", "Note:10/200", "adr1:10/42", "adr2:10/42"}));
  EXPECT_EQ(Rows("Select Control, Company, city, Note, Zip From Ship2Addresses"),
            (Strings{"A00001|Acme|Springfield|Back door|<Null>"}));
}

TEST_F(UpgradeTest, ReorderGroupRunsItsOneTimeStepsOnce) {
  const std::string longOptions = std::string(126, 'a') + "X" + std::string(73, 'b');
  Build(R"(
    INSERT INTO System VALUES ('QRW', ')" + longOptions + R"('), ('QRW', ')" + std::string(100, 'c') + R"('),
      ('QRW', NULL);
    INSERT INTO OrderHeader VALUES ('A00002', 'Re-Order From A00001   By Ann 05/06/2007', NULL);
    INSERT INTO ItemDetails (Control, Item, ItemType, Center) VALUES ('A00002', 1, 'BinderyPreP', 'X'),
      ('A00002', 2, 'General', 'X');
    INSERT INTO AdjReasons VALUES (1, 'Damaged');)");
  RunTwice([] {
    UpgradeLargeFormatItems();
    UpgradeImportMapsAndShipTo();
    UpgradeReorderAndPurchaseOrders();
  });
  EXPECT_EQ(Rows("Select options From System"),
            (Strings{std::string(126, 'a') + "3" + std::string(73, 'b'), std::string(100, 'c') + "3", "3"}));
  EXPECT_EQ(Rows("Select ReOrderedFrom, ReOrderedBy, ReOrderedDate, WOComment From OrderHeader"),
            (Strings{"A00001  |Ann|05/06/2007|"}));
  EXPECT_EQ(Rows("Select Center From ItemDetails Order By Item"), (Strings{"BP", "X"}));
  EXPECT_EQ(Layout("POTable"),
            (Strings{"ID:4/4", "Vendor:10/50", "Control:10/6", "AccountManager:10/50", "Quantity:7/8", "Cost:7/8",
                     "Item:4/4", "DateNeeded:8/8", "DateSubmitted:8/8", "CallWhenReady:1/1", "EmailWhenReady:1/1",
                     "DeliverWhenReady:1/1", "PODetails:12/0"}));
  EXPECT_TRUE(Rows("POTable").empty());
  EXPECT_EQ(Layout("OtherServices"), (Strings{"Name:10/50", "Formula:4/4", "MarkUpPrcnt:7/8", "Group:10/50"}));
  EXPECT_EQ(Layout("ImportStockCostsMaps").back(), "mapName:10/50");

  // The bindery centre is set on every pass.
  db_->Execute("Update ItemDetails Set Center = 'Y'");
  UpgradeReorderAndPurchaseOrders();
  Reopen();
  EXPECT_EQ(Rows("Select Center From ItemDetails Order By Item"), (Strings{"BP", "Y"}));
}

}  // namespace
}  // namespace qrw::testing
