// Product databases for the upgrade tests: the tables the script reads and
// changes, at the structure older releases left them, built with plain
// SQLite and opened through the engine as DataDb.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "schema/TestDb.h"
#include "support/ScratchFolder.h"
#include "upgrade/Groups.h"

namespace qrw::testing {

// Every table the groups of the script expect to find, with the fields
// they read, retype, rename or remove.
inline const char* kOlderProductDdl = R"(
CREATE TABLE rPrinter2ResolutionLF (PrinterName VARCHAR(50) COLLATE NOCASE, Resolution VARCHAR(20) COLLATE NOCASE, Factor INTEGER);
CREATE TABLE LFPrinters (PrinterName VARCHAR(50) COLLATE NOCASE, inkOutdoorPercent DOUBLE);
CREATE TABLE ItemDetails (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER, ItemType VARCHAR(20) COLLATE NOCASE,
  Center VARCHAR(10) COLLATE NOCASE, Up SMALLINT, PriceAdj DOUBLE, Originals DOUBLE, InkCost DOUBLE,
  Copies INTEGER, ItemTot DOUBLE);
CREATE TABLE ItemBookPages (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER);
CREATE TABLE SheetStockLF (Selection VARCHAR(50) COLLATE NOCASE, LaminateStock BOOLEAN, Width DOUBLE);
CREATE TABLE Defaults (ID INTEGER, s7 VARCHAR(50) COLLATE NOCASE);
CREATE TABLE itemInks (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER, Ink VARCHAR(30) COLLATE NOCASE,
  SetUp DOUBLE, Side VARCHAR(10) COLLATE NOCASE, "Desc" VARCHAR(50) COLLATE NOCASE,
  Center VARCHAR(10) COLLATE NOCASE, Price DOUBLE);
CREATE TABLE System (Program VARCHAR(20) COLLATE NOCASE, options VARCHAR(255) COLLATE NOCASE);
CREATE TABLE OrderHeader (Control VARCHAR(6) COLLATE NOCASE, WOComment TEXT COLLATE NOCASE,
  InvComment TEXT COLLATE NOCASE);
CREATE TABLE tPrintQuote (Control VARCHAR(6) COLLATE NOCASE);
CREATE TABLE AdjReasons (ID INTEGER, Reasons VARCHAR(50) COLLATE NOCASE);
CREATE TABLE OtherServices (Name VARCHAR(50) COLLATE NOCASE);
CREATE TABLE Customer (CUSTCODE VARCHAR(36) COLLATE NOCASE, bCOMPANY VARCHAR(50) COLLATE NOCASE);
CREATE TABLE PrePressOptions (Name VARCHAR(50) COLLATE NOCASE, Price DOUBLE);
CREATE TABLE rItemNumb (StockName VARCHAR(50) COLLATE NOCASE, StockSize VARCHAR(20) COLLATE NOCASE,
  Color VARCHAR(20) COLLATE NOCASE, StockType VARCHAR(20) COLLATE NOCASE);
CREATE TABLE StockColors (sType VARCHAR(20) COLLATE NOCASE, Color VARCHAR(20) COLLATE NOCASE);
CREATE TABLE rStock2CostLF (PaperName VARCHAR(50) COLLATE NOCASE, PaperSize VARCHAR(20) COLLATE NOCASE, Cost DOUBLE);
INSERT INTO Defaults VALUES (1, 'ABCDEFGHIJKLMNOPQRST');
)";

// The script's first eight groups, in script order: the large-format,
// import-map, re-order, e-mail, many-up, stock and pre-press groups that the
// small product database above holds the tables for.
inline void RunFirstEightGroups() {
  UpgradePrinterResolutions();
  UpgradeLargeFormatItems();
  UpgradeImportMapsAndShipTo();
  UpgradeReorderAndPurchaseOrders();
  UpgradeEmailAndCustomers();
  UpgradeManyUpGeneralItems();
  UpgradeLargeFormatStock();
  UpgradeVendorsAndPrePress();
}

class UpgradeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The scratch folder of the script lands under drive C of this folder.
    scratch_ = std::make_unique<TempDbFile>("");
    dataHome_ = std::filesystem::path(scratch_->Path()).parent_path().string();
    dataHomeEnv_.emplace("XDG_DATA_HOME", dataHome_);
  }

  void TearDown() override {
    DataDb.Clear();
    CloseQuietly(db_);
    file_.reset();
    dataHomeEnv_.reset();
  }

  // An older product database plus the extra statements of the test.
  void Build(const std::string& extraSql = "") {
    DataDb.Clear();
    CloseQuietly(db_);
    file_ = std::make_unique<TempDbFile>(std::string(kOlderProductDdl) + extraSql);
    Reopen();
  }

  // Each run of the script works on a freshly opened database, as the
  // program does.
  void Reopen() {
    DataDb.Clear();
    CloseQuietly(db_);
    db_ = file_->Open();
    DataDb = db_;
  }

  template <class F>
  void RunTwice(F&& group, std::string* first = nullptr) {
    group();
    Reopen();
    std::string afterFirst = Snapshot();
    group();
    Reopen();
    EXPECT_EQ(afterFirst, Snapshot()) << "a second run changed the database";
    if (first) *first = afterFirst;
  }

  // The texts of the rows of a SELECT, fields joined with "|", Null as "<Null>".
  std::vector<std::string> Rows(const std::string& sql) {
    std::vector<std::string> out;
    Recordset rs = db_->OpenRecordset(sql);
    while (!rs->Eof()) {
      std::string row;
      for (int i = 0; i < rs->GetFields().Count(); ++i) {
        Variant v = rs->Fields(i)->Value();
        row += (i ? "|" : "") + (v.IsNull() ? std::string("<Null>") : v.ToText());
      }
      out.push_back(row);
      rs->MoveNext();
    }
    rs->Close();
    return out;
  }

  // "Name:type/size" of each field of a table, in order.
  std::vector<std::string> Layout(const std::string& table) {
    std::vector<std::string> out;
    db_->GetTableDefs().Refresh();
    for (Field& f : db_->GetTableDefs().Item(table)->GetFields().Members())
      out.push_back(f->Name() + ":" + std::to_string(f->Type()) + "/" + std::to_string(f->Size()));
    return out;
  }

  bool HasTable(const std::string& name) {
    db_->GetTableDefs().Refresh();
    for (TableDef& t : db_->GetTableDefs().Members())
      if (t->Name() == name) return true;
    return false;
  }

  bool HasQuery(const std::string& name) {
    db_->GetQueryDefs().Refresh();
    for (QueryDef& q : db_->GetQueryDefs().Members())
      if (q->Name() == name) return true;
    return false;
  }

  // Schema, saved queries and every row of every product table, tables in
  // name order.
  std::string Snapshot() {
    std::map<std::string, std::string> tables;
    db_->GetTableDefs().Refresh();
    for (TableDef& t : db_->GetTableDefs().Members()) {
      if (t->Attributes() & dbSystemObject) continue;
      std::string& out = tables[t->Name()];
      for (const std::string& f : Layout(t->Name())) out += f + ",";
      out += "\n";
      for (const std::string& r : Rows(t->Name())) out += r + "\n";
    }
    std::string out;
    for (const auto& [name, content] : tables) out += "[" + name + "]" + content;
    for (QueryDef& q : db_->GetQueryDefs().Members()) out += "{" + q->Name() + "} " + q->SQL() + "\n";
    return out;
  }

  // Plain SQLite statements on the closed file, then open it again.
  void RawExec(const std::string& sql) {
    DataDb.Clear();
    CloseQuietly(db_);
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file_->Path().c_str(), &raw), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
    sqlite3_close(raw);
    Reopen();
  }

  std::string ScratchFolder() const { return dataHome_ + "/Quarrow/drive_c/temp/temp"; }

  std::unique_ptr<TempDbFile> file_;
  std::unique_ptr<TempDbFile> scratch_;
  Database db_;
  ScopedScriptedBoxes boxes_;
  std::string dataHome_;
  std::optional<ScopedEnv> dataHomeEnv_;
};

// The order-header fields an order written from a saved template is given,
// which an older OrderHeader lacks.
inline const char* kTemplateOrderFieldsDdl = R"(
ALTER TABLE OrderHeader ADD COLUMN StatType VARCHAR(1) COLLATE NOCASE;
ALTER TABLE OrderHeader ADD COLUMN Printed VARCHAR(1) COLLATE NOCASE;
ALTER TABLE OrderHeader ADD COLUMN custcode VARCHAR(36) COLLATE NOCASE;
ALTER TABLE OrderHeader ADD COLUMN OrderDate DATETIME;
ALTER TABLE OrderHeader ADD COLUMN DueDate DATETIME;
ALTER TABLE OrderHeader ADD COLUMN DueTime VARCHAR(10) COLLATE NOCASE;
ALTER TABLE OrderHeader ADD COLUMN fixedDueDate BOOLEAN;
ALTER TABLE OrderHeader ADD COLUMN OrderDescription VARCHAR(100) COLLATE NOCASE;
ALTER TABLE OrderHeader ADD COLUMN DecisionDate DATETIME;
ALTER TABLE OrderHeader ADD COLUMN SALESMAN VARCHAR(20) COLLATE NOCASE;
ALTER TABLE OrderHeader ADD COLUMN Discount DOUBLE;
ALTER TABLE OrderHeader ADD COLUMN TaxRate DOUBLE;
ALTER TABLE OrderHeader ADD COLUMN FedRate DOUBLE;
ALTER TABLE OrderHeader ADD COLUMN Contact VARCHAR(50) COLLATE NOCASE;
ALTER TABLE OrderHeader ADD COLUMN Phone VARCHAR(25) COLLATE NOCASE;
ALTER TABLE OrderHeader ADD COLUMN PO VARCHAR(20) COLLATE NOCASE;
)";

}  // namespace qrw::testing
