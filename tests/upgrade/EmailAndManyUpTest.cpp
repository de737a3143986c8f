#include <fstream>

#include "UpgradeTestDb.h"
#include "upgrade/Groups.h"

namespace qrw::testing {
namespace {

using Strings = std::vector<std::string>;

TEST_F(UpgradeTest, EmailTablesGetOneStartingRowEachAndCustomersTheirNameOnce) {
  Build("INSERT INTO Customer VALUES ('ACME', 'Acme Print'), ('NONE', NULL);");
  RunTwice([] { UpgradeEmailAndCustomers(); });
  EXPECT_EQ(Rows("Select FromEmail, Provider, SendServer From GlobalEMailSettings"),
            (Strings{"Your email address|Outlook|<Null>"}));
  Strings settings = Layout("GlobalEMailSettings");
  ASSERT_EQ(settings.size(), 1u + 1u + 11u + 7u);
  EXPECT_EQ((Strings{settings[0], settings[1], settings[13], settings[19]}),
            (Strings{"ID:4/4", "FromEmail:10/50", "SavePDF:1/1", "DefaultPDFProgram:10/100"}));
  EXPECT_EQ(Rows("Select Code, Message, Graphic From EmailMessages"),
            (Strings{"10|Thank you for the opportunity to quote this job for you.|<Null>"}));
  EXPECT_EQ(Layout("EmailMessages"), (Strings{"ID:4/4", "Code:4/4", "Message:12/0", "Graphic:10/250"}));
  EXPECT_TRUE(std::filesystem::is_directory(ScratchFolder()));

  // The name is taken from the company once; a later rename is not followed.
  db_->Execute("Update Customer Set bCOMPANY = 'Acme Printing' Where CUSTCODE = 'ACME'");
  UpgradeEmailAndCustomers();
  Reopen();
  EXPECT_EQ(Rows("Select bCOMPANY, QBCustomerName From Customer"),
            (Strings{"Acme Printing|Acme Print", "<Null>|<Null>"}));
  EXPECT_EQ(Layout("Customer").back(), "InvoiceInstructions:12/0");
  EXPECT_EQ(Layout("PrePressOptions").back(), "Group:10/50");
}

TEST_F(UpgradeTest, ExistingEmailSettingsOnlyGainTheirMissingFields) {
  Build(R"(
    CREATE TABLE GlobalEMailSettings (FromEmail VARCHAR(50) COLLATE NOCASE, Provider VARCHAR(50) COLLATE NOCASE);
    INSERT INTO GlobalEMailSettings VALUES ('shop@example.com', 'SMTP'), ('second@example.com', NULL);)");
  UpgradeEmailAndCustomers();
  Reopen();
  EXPECT_EQ(Layout("GlobalEMailSettings"),
            (Strings{"FromEmail:10/50", "Provider:10/50", "SavePDF:1/1", "EditBeforeSending:1/1",
                     "SelectFolderEachTime:1/1", "DefaultFolder:10/100", "SalutationPrefix:10/50",
                     "UsePrefixSalutation:1/1", "DefaultPDFProgram:10/100"}));
  EXPECT_EQ(Rows("Select FromEmail, Provider From GlobalEMailSettings"),
            (Strings{"shop@example.com|SMTP", "second@example.com|<Null>"}));
}

TEST_F(UpgradeTest, ScratchFolderIsCreatedWithMissingLevelsAndFoundInAnyCase) {
  MakeScratchFolder();  // nothing of drive C exists yet
  EXPECT_TRUE(std::filesystem::is_directory(ScratchFolder()));

  std::filesystem::remove_all(dataHome_ + "/Quarrow");
  std::filesystem::create_directories(dataHome_ + "/Quarrow/drive_c/Temp/TEMP");
  MakeScratchFolder();
  EXPECT_FALSE(std::filesystem::exists(ScratchFolder()));  // the existing one was used

  std::filesystem::remove_all(dataHome_ + "/Quarrow/drive_c/Temp/TEMP");
  std::ofstream(dataHome_ + "/Quarrow/drive_c/Temp/temp") << "not a folder";
  try {
    MakeScratchFolder();
    FAIL() << "a file in the folder's place must stop the run";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 75);
  }
}

TEST_F(UpgradeTest, ManyUpGeneralItemsMoveOriginalsToPriceAdjustmentOnce) {
  Build(R"(
    INSERT INTO ItemDetails (Control, Item, ItemType, Up, PriceAdj, Originals, InkCost, Copies, ItemTot) VALUES
      ('A1', 1, 'General', 4, NULL, 12, 1, 100, 50),
      ('A1', 2, 'General', 5, 0, 10, 2, 500, 100),
      ('A1', 3, 'General', 5, 0, 10, 2, 500, 0),
      ('A1', 4, 'General', 5, NULL, 10, 2, 500, NULL),
      ('A1', 5, 'General', 5, NULL, 10, NULL, 500, 100),
      ('A1', 6, 'General', 6, NULL, 12, 1, 100, 50),
      ('A1', 7, 'Envelope', 4, NULL, 12, 1, 100, 50),
      ('A1', 8, 'General', 4, 3, 12, 1, 100, 50),
      ('A1', 9, 'General', 4, NULL, 0, 1, 100, 50),
      ('A1', 10, 'General', NULL, NULL, 12, 1, 100, 50);)");
  RunTwice([] { UpgradeManyUpGeneralItems(); });
  EXPECT_EQ(Rows("Select PriceAdj, Originals From ItemDetails Order By Item"),
            (Strings{"12|0", "10|11", "10|500", "10|500", "10|<Null>", "<Null>|12", "<Null>|12", "3|12", "<Null>|0",
                     "<Null>|12"}));
}

// The pass is left out when no row needs it, so each item must be found on
// its own: a 4-up and a 5-up one, one with an empty PriceAdj that another
// tool stored as blank text (in a Double field and in a Text field), one
// whose Single PriceAdj is too small to read as anything but 0, and ones the
// pass leaves as they are.
TEST_F(UpgradeTest, ManyUpItemsAreConvertedWhenTheyAreTheOnlyOnes) {
  auto priceAdjAs = [](const std::string& type) {
    return "DROP TABLE ItemDetails; CREATE TABLE ItemDetails (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER, "
           "ItemType VARCHAR(20) COLLATE NOCASE, Up SMALLINT, PriceAdj " + type +
           ", Originals DOUBLE, InkCost DOUBLE, Copies INTEGER, ItemTot DOUBLE);";
  };
  const struct {
    std::string ddl, values, expected;
  } cases[] = {
      {"", "4, NULL, 12, 1, 100, 50", "12|0"},
      {"", "5, 0, 10, 2, 500, 100", "10|11"},
      {"", "4, '', 12, 1, 100, 50", "12|0"},
      {priceAdjAs("VARCHAR(10) COLLATE NOCASE"), "4, ' ', 12, 1, 100, 50", "12|0"},
      {priceAdjAs("FLOAT"), "4, 1E-50, 12, 1, 100, 50", "12|0"},
      {"", "4, 3, 12, 1, 100, 50", "3|12"},
      {"", "6, NULL, 12, 1, 100, 50", "<Null>|12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.values);
    Build(c.ddl + "INSERT INTO ItemDetails (Control, Item, ItemType, Up, PriceAdj, Originals, InkCost, Copies, ItemTot) "
                  "VALUES ('A1', 1, 'General', " + c.values + ");");
    RunTwice([] { UpgradeManyUpGeneralItems(); });
    EXPECT_EQ(Rows("Select PriceAdj, Originals From ItemDetails"), (Strings{c.expected}));
  }
}

// Group 4's look also answers for group 6, but only while nothing changes
// in between: an item written after it is still converted.
TEST_F(UpgradeTest, ManyUpItemsWrittenAfterGroupFourLookedAreConverted) {
  Build("INSERT INTO ItemDetails (Control, Item, ItemType, Center, Up, PriceAdj, Originals) VALUES "
        "('A1', 1, 'BinderyPreP', 'BP', 4, 3, 12), ('A1', 2, 'General', NULL, 4, 3, 12);");
  UpgradeLargeFormatItems();
  UpgradeImportMapsAndShipTo();
  UpgradeReorderAndPurchaseOrders();
  db_->Execute("Update ItemDetails Set PriceAdj = 0 Where Item = 2");
  UpgradeManyUpGeneralItems();
  EXPECT_EQ(Rows("Select Center, PriceAdj, Originals From ItemDetails Order By Item"),
            (Strings{"BP|3|12", "<Null>|12|0"}));
}

}  // namespace
}  // namespace qrw::testing
