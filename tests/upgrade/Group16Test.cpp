// The last group: e-mail settings, card fields, variable-data options, the
// screen database's option prices, bindery fields and the level stamp.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "UpgradeTestDb.h"
#include "upgrade/Groups.h"

namespace qrw::testing {
namespace {

using Strings = std::vector<std::string>;

// The tables this group changes, as an earlier release left them (the
// e-mail settings table is the one an earlier group of the script makes).
const char* kGroup16Ddl = R"(
ALTER TABLE OrderHeader ADD COLUMN Contact VARCHAR(50) COLLATE NOCASE;
CREATE TABLE GlobalEMailSettings (FromEmail VARCHAR(50) COLLATE NOCASE, Provider VARCHAR(50) COLLATE NOCASE);
CREATE TABLE VDOptions (Code INTEGER, Selection VARCHAR(50) COLLATE NOCASE, VDType VARCHAR(20) COLLATE NOCASE,
  NameRows SMALLINT, NameColumns SMALLINT, RequestQuantity DOUBLE, Price CURRENCY);
CREATE TABLE rPaper2Bindery (BinderyName VARCHAR(50) COLLATE NOCASE, SetupPrice CURRENCY);
CREATE TABLE rEnvelope2Bindery (BinderyName VARCHAR(50) COLLATE NOCASE, SetupPrice CURRENCY);
CREATE TABLE BinderyOptions (Code INTEGER, Selection VARCHAR(50) COLLATE NOCASE);
INSERT INTO OrderHeader (Control, Contact) VALUES ('100001', 'Ann'), ('100002', NULL);
INSERT INTO GlobalEMailSettings VALUES ('shop@example.com', 'Outlook');
INSERT INTO Customer VALUES ('ACME', 'Acme Print');
INSERT INTO VDOptions VALUES (1, 'Names', 'Mail merge', 3, 2, 250, 10), (2, 'Blank', NULL, NULL, NULL, NULL, NULL),
  (3, 'Odd', 'x', 1, 1, 2.75, 0);
INSERT INTO rPaper2Bindery VALUES ('Folder', 5);
)";

const char* kScreenDdl = R"(
CREATE TABLE ExtraOptions (Code INTEGER, Selection VARCHAR(50) COLLATE NOCASE, PriceEach CURRENCY,
  Category VARCHAR(30) COLLATE NOCASE);
INSERT INTO ExtraOptions VALUES (1, 'Rush', 12.3456, 'Time'), (2, 'None', NULL, NULL);
)";

void WriteRawDb(const std::string& path, const std::string& ddl) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(raw, ddl.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
  sqlite3_close(raw);
}

class Group16Test : public UpgradeTest {
 protected:
  void SetUp() override {
    UpgradeTest::SetUp();
    dataFolder_ = dataHome_ + "/data";
    std::filesystem::create_directories(dataFolder_);
    DataPath = dataFolder_;
  }
  void TearDown() override {
    DataPath.clear();
    UpgradeTest::TearDown();
  }

  std::string ScreenPath(const std::string& name = "QRWScreen.mdb") const { return dataFolder_ + "/" + name; }

  // "Name:type/size" of each field of a table of the screen database.
  Strings ScreenLayout(const std::string& path, const std::string& table) {
    Database screen = Engine::Instance().OpenDatabase(path);
    Strings out;
    for (Field& f : screen->GetTableDefs().Item(table)->GetFields().Members())
      out.push_back(f->Name() + ":" + std::to_string(f->Type()) + "/" + std::to_string(f->Size()));
    screen->Close();
    return out;
  }

  Strings ScreenPrices(const std::string& path) {
    Database screen = Engine::Instance().OpenDatabase(path);
    Strings out = ColumnTexts(screen, "ExtraOptions", "PriceEach");
    screen->Close();
    return out;
  }

  std::string Stamp() { return Rows("Select s7 From Defaults").at(0); }

  std::string dataFolder_;
};

TEST_F(Group16Test, AddsSettingsCardAndBinderyFieldsReshapesOptionsAndStampsOnce) {
  Build(kGroup16Ddl);
  RunTwice([] { UpgradeOptionsAndLevelStamp(); });
  for (const BoxRequest& box : boxes_.Shown()) ADD_FAILURE() << "unexpected box: " << box.text;

  Index contact = db_->GetTableDefs().Item("OrderHeader")->GetIndexes().Item("Contact");
  EXPECT_FALSE(contact->Primary());
  EXPECT_EQ(contact->GetFields().Item(0)->Name(), "Contact");

  EXPECT_EQ(Layout("Defaults").back(), "DefaultEnvPrn:10/50");
  EXPECT_EQ(Layout("GlobalEMailSettings"),
            (Strings{"FromEmail:10/50", "Provider:10/50", "EmailTopGraphic:10/100", "EmailTopGraphicAlign:10/1",
                     "EmailBottomGraphic:10/100", "EmailBottomGraphicAlign:10/1", "DefaultHTMLEmail:1/1",
                     "EmailClick2Pay:1/1", "CCProc_ID:10/100", "DefaultQuoteMsg:12/0", "DefaultInvoiceMsg:12/0",
                     "TopWidth:4/4", "TopHeight:4/4", "BottomWidth:4/4", "BottomHeight:4/4",
                     "OtherEmailTopGraphic:10/100", "OtherEmailTopGraphicAlign:10/1",
                     "OtherEmailBottomGraphic:10/100", "OtherEmailBottomGraphicAlign:10/1", "OtherTopWidth:4/4",
                     "OtherTopHeight:4/4", "OtherBottomWidth:4/4", "OtherBottomHeight:4/4",
                     "payFromPayNowButtonURL:10/250", "payFromProcessCreditCardURL:10/250"}));
  EXPECT_EQ(Rows("Select FromEmail, DefaultHTMLEmail, TopWidth, DefaultQuoteMsg From GlobalEMailSettings"),
            (Strings{"shop@example.com|False|0|<Null>"}));
  EXPECT_EQ(Layout("Customer"), (Strings{"CUSTCODE:10/36", "bCOMPANY:10/50", "NameOnCard:10/100",
                                         "AddressOnCard:10/250", "ZipOnCard:10/20"}));

  // Retyped in place, the quantity under its new name, values carried over.
  EXPECT_EQ(Layout("VDOptions"),
            (Strings{"Code:4/4", "Selection:10/50", "VDType:10/50", "NameRows:10/50", "NameColumns:10/50",
                     "DefaultQuantity:4/4", "Price:5/8", "Notes:12/0"}));
  EXPECT_EQ(Rows("Select VDType, NameRows, NameColumns, DefaultQuantity From VDOptions Order By Code"),
            (Strings{"Mail merge|3|2|250", "<Null>|<Null>|<Null>|<Null>", "x|1|1|3"}));

  EXPECT_EQ(Layout("rPaper2Bindery").back(), "Constant:4/4");
  EXPECT_EQ(Layout("rEnvelope2Bindery").back(), "Constant:4/4");
  EXPECT_EQ(Layout("BinderyOptions").back(), "Group:4/4");
  EXPECT_EQ(Rows("Select BinderyName, Constant From rPaper2Bindery"), (Strings{"Folder|0"}));

  // The first fifteen characters keep the other settings; the level follows.
  EXPECT_EQ(Stamp(), "ABCDEFGHIJKLMNO40252");
}

TEST_F(Group16Test, ExistingContactIndexIsKeptWhateverItCovers) {
  Build(std::string(kGroup16Ddl) + "CREATE INDEX contact ON OrderHeader (Control);");
  // The engine's catalog learns of the index on opening; it is looked up by
  // name without regard to case.
  Strings before;
  for (Index& ix : db_->GetTableDefs().Item("OrderHeader")->GetIndexes().Members())
    before.push_back(ix->Name() + "=" + ix->GetFields().Item(0)->Name());
  ASSERT_EQ(before, (Strings{"contact=Control"}));

  UpgradeOptionsAndLevelStamp();
  Reopen();
  Strings after;
  for (Index& ix : db_->GetTableDefs().Item("OrderHeader")->GetIndexes().Members())
    after.push_back(ix->Name() + "=" + ix->GetFields().Item(0)->Name());
  EXPECT_EQ(after, before);
  EXPECT_EQ(Stamp(), "ABCDEFGHIJKLMNO40252");
}

TEST_F(Group16Test, ScreenDatabaseIsFoundInAnyLetterCaseAndItsPriceRetypedOnce) {
  Build(kGroup16Ddl);
  const std::string screen = ScreenPath("qrwscreen.mdb");
  WriteRawDb(screen, kScreenDdl);

  UpgradeOptionsAndLevelStamp();
  EXPECT_EQ(ScreenLayout(screen, "ExtraOptions"),
            (Strings{"Code:4/4", "Selection:10/50", "PriceEach:7/8", "Category:10/30"}));
  EXPECT_EQ(ScreenPrices(screen), (Strings{"12.3456", "<Null>"}));

  UpgradeOptionsAndLevelStamp();
  EXPECT_EQ(ScreenLayout(screen, "ExtraOptions"),
            (Strings{"Code:4/4", "Selection:10/50", "PriceEach:7/8", "Category:10/30"}));
  EXPECT_EQ(ScreenPrices(screen), (Strings{"12.3456", "<Null>"}));
  EXPECT_TRUE(boxes_.Shown().empty());
  Reopen();
  EXPECT_EQ(Stamp(), "ABCDEFGHIJKLMNO40252");
}

TEST_F(Group16Test, WithoutAScreenDatabaseFileTheLaterStepsStillRun) {
  // A folder of that name is not the screen database.
  Build(kGroup16Ddl);
  std::filesystem::create_directories(ScreenPath());
  UpgradeOptionsAndLevelStamp();
  Reopen();
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_EQ(Layout("BinderyOptions").back(), "Group:4/4");
  EXPECT_EQ(Stamp(), "ABCDEFGHIJKLMNO40252");

  // Nothing at all in the folder.
  std::filesystem::remove_all(ScreenPath());
  RawExec("UPDATE Defaults SET s7 = NULL;");
  UpgradeOptionsAndLevelStamp();
  Reopen();
  EXPECT_EQ(Stamp(), "40252");
}

TEST_F(Group16Test, ScreenDatabaseWithoutTheTableCostsOneBoxAndTheRunGoesOn) {
  Build(kGroup16Ddl);
  WriteRawDb(ScreenPath(), "CREATE TABLE Other (Code INTEGER);");
  UpgradeOptionsAndLevelStamp();
  Reopen();
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_EQ(boxes_.Shown()[0].text.rfind("PriceEach failed in ModField\r\n", 0), 0u) << boxes_.Shown()[0].text;
  EXPECT_EQ(boxes_.Shown()[0].modality, Modality::System);
  EXPECT_EQ(Stamp(), "ABCDEFGHIJKLMNO40252");
}

TEST_F(Group16Test, ScreenDatabaseThatCannotBeOpenedStopsTheRunBeforeTheStamp) {
  Build(kGroup16Ddl);
  std::ofstream(ScreenPath()) << "this is not a database file at all, just some text";
  try {
    UpgradeOptionsAndLevelStamp();
    FAIL() << "the run must stop";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 3343);
  }
  Reopen();
  EXPECT_EQ(Layout("VDOptions")[5], "DefaultQuantity:4/4");  // done before the screen step
  EXPECT_NE(Layout("BinderyOptions").back(), "Group:4/4");
  EXPECT_EQ(Stamp(), "ABCDEFGHIJKLMNOPQRST");
}

// A program that dies while a field is being rebuilt leaves the field as it
// was, never a half-made copy beside it, and the next run makes the change.
TEST_F(Group16Test, DyingDuringAFieldRebuildLeavesTheOldFieldForTheNextRun) {
  // A quantity too big for a Long makes the rebuild report it; the child
  // dies at that box with the copy half done.
  Build(std::string(kGroup16Ddl) + "INSERT INTO VDOptions (Code, RequestQuantity) VALUES (4, 1e12);");
  const std::string path = file_->Path();
  DataDb.Clear();
  CloseQuietly(db_);

  struct DieAtBox : MessageBoxes {
    Answer Show(const BoxRequest&) override { _exit(0); }
  };
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    DieAtBox boxes;
    SetCurrentBoxes(&boxes);
    try {
      DataDb = Engine::Instance().OpenDatabase(path);
      UpgradeOptionsAndLevelStamp();
    } catch (...) {
    }
    _exit(3);  // the box never came
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);

  Reopen();
  EXPECT_EQ(Layout("VDOptions"), (Strings{"Code:4/4", "Selection:10/50", "VDType:10/50", "NameRows:10/50",
                                          "NameColumns:10/50", "RequestQuantity:7/8", "Price:5/8"}));
  EXPECT_EQ(Rows("Select RequestQuantity From VDOptions Where Code = 4"), (Strings{"1000000000000"}));

  // The user corrects the value; the next run finishes the reshaping.
  db_->Execute("Update VDOptions Set RequestQuantity = 1000 Where Code = 4");
  UpgradeOptionsAndLevelStamp();
  Reopen();
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_EQ(Layout("VDOptions")[5], "DefaultQuantity:4/4");
  EXPECT_EQ(Rows("Select DefaultQuantity From VDOptions Where Code = 4"), (Strings{"1000"}));
}

}  // namespace
}  // namespace qrw::testing
