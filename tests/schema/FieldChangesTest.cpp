#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "schema/Primitives.h"
#include "schema/TestDb.h"

namespace qrw {
namespace {

using testing::ColumnTexts;
using testing::FieldNames;
using testing::Names;
using testing::StoredField;

class FieldChangesTest : public testing::ProductDbTest {
 protected:
  void SetUp() override {
    OpenProduct(
        "CREATE TABLE Stock (StockID INTEGER, Descr VARCHAR(50) COLLATE NOCASE,"
        " Qty VARCHAR(10) COLLATE NOCASE, Cost DOUBLE);"
        "INSERT INTO Stock VALUES (1, 'Bond 20#', '100', 1.5), (2, NULL, '250', 2.25), (3, '', 'many', 0);"
        "CREATE TABLE Empty (A INTEGER, B VARCHAR(5) COLLATE NOCASE, C DOUBLE);");
  }
  const Names kStockFields{"StockID", "Descr", "Qty", "Cost"};
};

TEST_F(FieldChangesTest, RetypeInPlaceKeepsValuesAndPosition) {
  ModField(db_, "Stock", "Descr", "Descr", dbText, 100);
  EXPECT_EQ(FieldNames(db_, "Stock"), kStockFields);
  EXPECT_EQ(StoredField(db_, "Stock", "Descr")->Size(), 100);
  EXPECT_EQ(ColumnTexts(db_, "Stock", "Descr"), (Names{"Bond 20#", "<Null>", ""}));

  // Under a new name; a second run finds the old name gone and does nothing.
  ModField(db_, "Stock", "Cost", "UnitCost", dbCurrency, 2);
  ModField(db_, "Stock", "Cost", "UnitCost", dbCurrency, 2);
  EXPECT_EQ(FieldNames(db_, "Stock"), (Names{"StockID", "Descr", "Qty", "UnitCost"}));
  EXPECT_EQ(StoredField(db_, "Stock", "UnitCost")->Type(), dbCurrency);
  EXPECT_EQ(ColumnTexts(db_, "Stock", "UnitCost"), (Names{"1.5", "2.25", "0"}));

  ModField(db_, "Empty", "B", "B", dbLong, 0);  // nothing to copy
  EXPECT_EQ(FieldNames(db_, "Empty"), (Names{"A", "B", "C"}));
  EXPECT_EQ(StoredField(db_, "Empty", "B")->Type(), dbLong);

  ModField(db_, "Stock", "NoSuchField", "Other", dbLong, 0);
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(FieldChangesTest, ExistingTempTakesTheCopyWithItsOwnType) {
  AddField("Stock", "temp", dbMemo, 0);
  ModField(db_, "Stock", "Descr", "Descr", dbText, 100);
  EXPECT_EQ(FieldNames(db_, "Stock"), kStockFields);
  EXPECT_EQ(StoredField(db_, "Stock", "Descr")->Type(), dbMemo);
  EXPECT_EQ(ColumnTexts(db_, "Stock", "Descr"), (Names{"Bond 20#", "<Null>", ""}));
}

// The columns of the stored table in SQLite's own order: a rebuilt field
// comes back as the last column.
std::string StoredOrder(const std::string& path, const std::string& table) {
  sqlite3* raw = nullptr;
  sqlite3_open(path.c_str(), &raw);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(raw, ("SELECT group_concat(name, ',') FROM pragma_table_info('" + table + "')").c_str(), -1, &s,
                     nullptr);
  std::string out = sqlite3_step(s) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(s, 0)) : "";
  sqlite3_finalize(s);
  sqlite3_close(raw);
  return out;
}

TEST_F(FieldChangesTest, RetypeIntoWhatTheFieldIsLeavesItAlone) {
  ModField(db_, "Stock", "Descr", "Descr", dbText, 50);
  EXPECT_EQ(StoredOrder(file_->Path(), "Stock"), "StockID,Descr,Qty,Cost");
  EXPECT_TRUE(boxes_.Shown().empty());

  // What the rebuild would change is rebuilt: the spelling of the name, a
  // property (the new field has none)...
  ModField(db_, "Stock", "Qty", "QTY", dbText, 10);
  EXPECT_EQ(StoredOrder(file_->Path(), "Stock"), "StockID,Descr,Cost,QTY");
  StoredField(db_, "Stock", "Descr")->GetProperties().Append(
      StoredField(db_, "Stock", "Descr")->CreateProperty("Format", dbText, Variant("@")));
  ModField(db_, "Stock", "Descr", "Descr", dbText, 50);
  EXPECT_EQ(StoredOrder(file_->Path(), "Stock"), "StockID,Cost,QTY,Descr");
  EXPECT_EQ(StoredField(db_, "Stock", "Descr")->GetProperties().Count(), 0);
  EXPECT_EQ(FieldNames(db_, "Stock"), (Names{"StockID", "Descr", "QTY", "Cost"}));

  // ... and a value too long for the size, which the rebuild reports.
  testing::CloseQuietly(db_);
  sqlite3* raw = nullptr;
  sqlite3_open(file_->Path().c_str(), &raw);
  sqlite3_exec(raw, "UPDATE Stock SET Descr = 'a description much longer than fifty characters in all' WHERE StockID = 1",
               nullptr, nullptr, nullptr);
  sqlite3_close(raw);
  db_ = file_->Open();
  DataDb = db_;
  ModField(db_, "Stock", "Descr", "Descr", dbText, 50);
  ExpectOneBox("Descr failed in ModField", Modality::System);
}

// A Double retyped into itself with its decimals is rebuilt once, to gain
// them, and left alone afterwards, unless it holds what is not a number.
TEST_F(FieldChangesTest, DoubleRetypedIntoWhatItIsIsLeftAlone) {
  ModField(db_, "Stock", "Cost", "Cost", dbDouble, 6);
  ModField(db_, "Stock", "Qty", "Qty", dbText, 20);
  EXPECT_EQ(StoredOrder(file_->Path(), "Stock"), "StockID,Descr,Cost,Qty");
  ModField(db_, "Stock", "Cost", "Cost", dbDouble, 6);
  EXPECT_EQ(StoredOrder(file_->Path(), "Stock"), "StockID,Descr,Cost,Qty");
  EXPECT_EQ(ColumnTexts(db_, "Stock", "Cost"), (Names{"1.5", "2.25", "0"}));

  ModField(db_, "Stock", "Cost", "Cost", dbDouble, 2);
  EXPECT_EQ(StoredOrder(file_->Path(), "Stock"), "StockID,Descr,Qty,Cost");
  ModField(db_, "Stock", "Qty", "Qty", dbText, 30);
  testing::CloseQuietly(db_);
  sqlite3* raw = nullptr;
  sqlite3_open(file_->Path().c_str(), &raw);
  sqlite3_exec(raw, "UPDATE Stock SET Cost = 'n/a' WHERE StockID = 3", nullptr, nullptr, nullptr);
  sqlite3_close(raw);
  db_ = file_->Open();
  DataDb = db_;
  // The rebuild is tried, and reports the value it cannot convert.
  ModField(db_, "Stock", "Cost", "Cost", dbDouble, 2);
  ExpectOneBox("Cost failed in ModField", Modality::System);
}

TEST_F(FieldChangesTest, AFailedRebuildIsUndoneWhole) {
  // A value that cannot be converted stops the copy: the old field keeps
  // every value and no half-filled "temp" is left for the next retype.
  ModField(db_, "Stock", "Qty", "Qty", dbLong, 0);
  ExpectOneBox("Qty failed in ModField", Modality::System);
  EXPECT_EQ(FieldNames(db_, "Stock"), kStockFields);
  EXPECT_EQ(ColumnTexts(db_, "Stock", "Qty"), (Names{"100", "250", "many"}));
  boxes_.ClearShown();

  // An index keeps the old field from being dropped, and so the rename
  // fails too; both report themselves, and the rebuild is undone.
  AddIndex("Stock", "Descr", "DescrIndex", false);
  ModField(db_, "Stock", "Descr", "Descr", dbText, 100);
  ASSERT_EQ(boxes_.Shown().size(), 2u);
  EXPECT_EQ(boxes_.Shown()[0].text.rfind("Descr failed in RemoveField\r\n", 0), 0u);
  EXPECT_EQ(boxes_.Shown()[1].text.rfind("Descr failed in ChangeFieldName\r\n", 0), 0u);
  EXPECT_EQ(boxes_.Shown()[1].modality, Modality::Application);
  EXPECT_EQ(FieldNames(db_, "Stock"), kStockFields);
  EXPECT_EQ(StoredField(db_, "Stock", "Descr")->Size(), 50);
  EXPECT_EQ(ColumnTexts(db_, "Stock", "Descr"), (Names{"Bond 20#", "<Null>", ""}));
}

// Set in the child of the kill test: the statement that gives "temp" the
// final name stops the process there, after the old field was dropped.
int gKillPipe = -1;

int StopAtTheRename(unsigned, void*, void*, void* sql) {
  const std::string text = static_cast<const char*>(sql);
  if (text.find("RENAME COLUMN") != std::string::npos && text.find("\"temp\"") != std::string::npos) {
    char b = 'k';
    if (write(gKillPipe, &b, 1) != 1) _exit(3);
    for (;;) pause();
  }
  return 0;
}

int TraceEveryConnection(sqlite3* db, const char**, const sqlite3_api_routines*) {
  sqlite3_trace_v2(db, SQLITE_TRACE_STMT, StopAtTheRename, nullptr);
  return SQLITE_OK;
}

TEST_F(FieldChangesTest, KilledBetweenTheDropAndTheRenameTheValuesStay) {
  const std::string path = file_->Path();
  DataDb.Clear();
  testing::CloseQuietly(db_);

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(fds[0]);
    gKillPipe = fds[1];
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(TraceEveryConnection));
    try {
      DataDb = Engine::Instance().OpenDatabase(path);
      ModField(DataDb, "Stock", "Descr", "Descr", dbText, 100);
    } catch (...) {
    }
    _exit(2);  // the rename was never reached
  }
  close(fds[1]);
  char b = 0;
  ASSERT_EQ(read(fds[0], &b, 1), 1) << "the child ended before the rename";
  close(fds[0]);
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));

  // The next run finds the old field with all its values, and its own
  // rebuild finishes the change.
  db_ = Engine::Instance().OpenDatabase(path);
  DataDb = db_;
  EXPECT_EQ(FieldNames(db_, "Stock"), kStockFields);
  EXPECT_EQ(StoredField(db_, "Stock", "Descr")->Size(), 50);
  EXPECT_EQ(ColumnTexts(db_, "Stock", "Descr"), (Names{"Bond 20#", "<Null>", ""}));
  ModField(db_, "Stock", "Descr", "Descr", dbText, 100);
  EXPECT_EQ(FieldNames(db_, "Stock"), kStockFields);
  EXPECT_EQ(StoredField(db_, "Stock", "Descr")->Size(), 100);
  EXPECT_EQ(ColumnTexts(db_, "Stock", "Descr"), (Names{"Bond 20#", "<Null>", ""}));
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(FieldChangesTest, FailuresAreReportedAndLeaveTheTableAlone) {
  ModField(db_, "NoSuchTable", "Qty", "Quantity", dbLong, 0);
  ExpectOneBox("Quantity failed in ModField", Modality::System);
  boxes_.ClearShown();
  // Any other database gets "temp" through AddField on DataDb; with none open
  // that fails.
  DataDb.Clear();
  ModField(db_, "Stock", "Qty", "Quantity", dbLong, 0);
  ExpectOneBox("Quantity failed in ModField", Modality::System);
  boxes_.ClearShown();
  RemoveField(db_, "Stock", "NoSuchField");
  ExpectOneBox("NoSuchField failed in RemoveField", Modality::Application);
  boxes_.ClearShown();
  ChangeFieldName(db_, "Stock", "Qty", "cost");
  ExpectOneBox("cost failed in ChangeFieldName", Modality::Application);
  EXPECT_EQ(FieldNames(db_, "Stock"), kStockFields);
}

TEST_F(FieldChangesTest, RemoveRenameAndPositions) {
  RemoveField(db_, "Stock", "cost");
  ChangeFieldName(db_, "Stock", "Descr", "Description");
  EXPECT_EQ(FieldNames(db_, "Stock"), (Names{"StockID", "Description", "Qty"}));
  EXPECT_EQ(ColumnTexts(db_, "Stock", "Description")[0], "Bond 20#");

  EXPECT_EQ(GetFieldPosition(db_, "Stock", "qty").Type(), VarType::Integer);
  EXPECT_EQ(GetFieldPosition(db_, "Stock", "qty").ToLong(), 2);
  EXPECT_TRUE(GetFieldPosition(db_, "Stock", "Nope").IsEmpty());
  SetFieldPosition(db_, "Stock", "Qty", 0);
  EXPECT_EQ(FieldNames(db_, "Stock"), (Names{"Qty", "StockID", "Description"}));
  EXPECT_THROW(SetFieldPosition(db_, "Stock", "Nope", 1), Error);
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(FieldChangesTest, ScreenDatabaseGetsItsTempFieldInItself) {
  // Both file names the rebuild recognises, in any letter case; with no
  // product database open, AddField would fail, so a clean rebuild proves
  // "temp" was made in the database given.
  for (const char* fileName : {"zivod.ezu", "QRWScreen.mdb"}) {
    OpenProduct("CREATE TABLE Screens (Name VARCHAR(20) COLLATE NOCASE, Layout VARCHAR(50) COLLATE NOCASE);"
                "INSERT INTO Screens VALUES ('Main', 'grid');"
                "CREATE TABLE Blank (Layout VARCHAR(50) COLLATE NOCASE);",
                fileName);
    DataDb.Clear();
    ModField(db_, "Screens", "Layout", "Layout", dbMemo, 0);
    EXPECT_TRUE(boxes_.Shown().empty()) << fileName;
    EXPECT_EQ(StoredField(db_, "Screens", "Layout")->Type(), dbMemo) << fileName;
    EXPECT_EQ(ColumnTexts(db_, "Screens", "Layout"), (Names{"grid"})) << fileName;
  }

  // "temp" cannot be made and there is no row to fail on: the old field
  // stays and the caller's database variable is let go.
  Database caller = db_;
  ModField(caller, "Blank", "Layout", "Layout", static_cast<std::int16_t>(99), 0);
  EXPECT_TRUE(caller.IsNothing());
  ASSERT_FALSE(boxes_.Shown().empty());
  EXPECT_EQ(boxes_.Shown()[0].text.rfind("temp failed in AddField\r\n", 0), 0u);
  EXPECT_EQ(FieldNames(db_, "Blank"), (Names{"Layout"}));
}

}  // namespace
}  // namespace qrw
