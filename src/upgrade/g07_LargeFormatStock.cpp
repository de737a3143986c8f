// Group 7: StockLF replaces the old sheet-stock table, three stock-type
// queries over it replace the old ones, and the stock item numbers are
// brought into line with the large-format stocks and their sizes.
#include <string>

#include "engine/Engine.h"
#include "platform/Progress.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Groups.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

using upgrade::ResumeNext;
using upgrade::SingleQuoted;

// A value read as the current lookup key: Null reads as empty text.
std::string KeyText(const Variant& v) { return v.IsNull() || v.IsEmpty() ? std::string() : v.ToText(); }

// Each operation may find its object already gone or already there; a
// failure skips that operation alone.
void ReplaceQuery(const char* name, const char* sql, const char* oldName) {
  bool missing = true;  // a failing test counts as "not there"
  ResumeNext([&] { missing = !QueryExists(name, DataDb); });
  if (!missing) return;
  ResumeNext([&] { DataDb->CreateQueryDef(name, sql); });
  ResumeNext([&] { DataDb->GetQueryDefs().Delete(oldName); });
}

// The old sheet-stock table goes only once its rows are safe in StockLF:
// a copy that fails (or a StockLF that is not a table) keeps it for the
// next run rather than lose the large-format stock.
void DropSheetStockIfCopied() {
  bool copied = false;
  ResumeNext([&] { copied = TableExists("StockLF", DataDb); });
  if (copied) ResumeNext([] { DataDb->GetTableDefs().Delete("SheetStockLF"); });
}

void ReplaceSheetStock() {
  bool missing = true;
  ResumeNext([&] { missing = !TableExists("StockLF", DataDb); });
  if (missing) {
    bool copied = false;
    ResumeNext([&] {
      DataDb->Execute("Select * Into StockLF From SheetStockLF Where true");
      copied = true;
    });
    if (copied) ResumeNext([] { DataDb->GetTableDefs().Delete("SheetStockLF"); });
  }
  ResumeNext([] { DataDb->GetTableDefs().Refresh(); });

  ReplaceQuery("QRollLaminateLF", "SELECT * From StockLF WHERE (StockLF.StockType)='RollLaminate'",
               "RollLaminateLF");
  ReplaceQuery("QRollPaperLF", "SELECT * From StockLF WHERE (StockLF.StockType)='RollPaper'", "RollPaperLF");
  ReplaceQuery("QMountingBoardLF", "SELECT * From StockLF WHERE (StockLF.StockType)='MountingBoard'",
               "MountingBoardLF");
  ResumeNext([] { DataDb->GetQueryDefs().Refresh(); });

  DropSheetStockIfCopied();
  ResumeNext([] { DataDb->GetQueryDefs().Delete("RollLaminateLF"); });
  ResumeNext([] { DataDb->GetQueryDefs().Delete("RollPaperLF"); });
  ResumeNext([] { DataDb->GetQueryDefs().Delete("MountingBoardLF"); });
}

struct ItemNumberPass {
  const char* drivingSql;
  bool bySize;
  const char* sizeClose;  // what follows the size literal
  const char* stockType;
};

// Every stock and size with a cost row gets an item-number row; the first
// matching row found is brought up to date.
void AddOrUpdateItemNumbers(const ItemNumberPass& pass, Recordset& rs, Recordset& lookup) {
  rs = DataDb->OpenRecordset(pass.drivingSql);
  ProgressLoop progress(std::string("item numbers of ") + pass.stockType, rs->RecordCount());
  while (!rs->Eof()) {
    std::string stockName = KeyText(rs->Get("Selection"));
    std::string sql = std::string("Select * From rItemNumb ") + "Where StockName = " + "\"" +
                      DoubleQuotes(stockName) + "\" ";
    if (pass.bySize) sql += "And StockSize = '" + SingleQuoted(rs->Get("PaperSize")) + pass.sizeClose;
    lookup = DataDb->OpenRecordset(sql);
    if (lookup->Eof()) {
      lookup->AddNew();
      lookup->Set("stockName", rs->Get("Selection"));
      lookup->Set("stockSize", pass.bySize ? rs->Get("PaperSize") : Variant("NONE"));
      lookup->Set("Color", "NONE");
      lookup->Set("StockType", pass.stockType);
      lookup->Update();
    } else {
      lookup->Edit();
      lookup->Set("Color", "NONE");
      lookup->Set("StockType", pass.stockType);
      if (!pass.bySize) lookup->Set("stockSize", "NONE");
      lookup->Update();
    }
    rs->MoveNext();
    progress.Advance();
  }
  progress.Finish();
}

// An item number survives only while its stock is in StockLF (and, when
// matched by size, has a cost row of that size).
void RemoveOrphanItemNumbers(const char* drivingSql, bool bySize, Recordset& rs, Recordset& lookup) {
  rs = DataDb->OpenRecordset(drivingSql);
  ProgressLoop progress("item numbers without stock", rs->RecordCount());
  while (!rs->Eof()) {
    std::string stockName = KeyText(rs->Get("stockName"));
    std::string sql = std::string("SELECT StockLF.*, rStock2CostLF.* ") +
                      "FROM (StockLF LEFT JOIN rStock2CostLF ON StockLF.SELECTION = rStock2CostLF.PaperName) " +
                      "Where StockLF.Selection = " + "\"" + DoubleQuotes(stockName) + "\" ";
    if (bySize) sql += "And rStock2CostLF.PaperSize = '" + SingleQuoted(rs->Get("stockSize")) + "' ";
    lookup = DataDb->OpenRecordset(sql);
    if (lookup->Eof()) rs->Delete();
    rs->MoveNext();
    progress.Advance();
  }
  progress.Finish();
}

// Of each run of roll-paper rows with the same name and size only the
// first in sort order stays.
void RemoveDuplicateRollPaper(Recordset& rs) {
  rs = DataDb->OpenRecordset("Select * From rItemNumb Where StockType = 'RollPaperLF' Order by StockName, StockSize");
  while (!rs->Eof()) {
    Variant previous = Variant::Concat(rs->Get("stockName"), rs->Get("stockSize"));
    rs->MoveNext();
    if (!rs->Eof()) {
      Variant same = Variant::Eq(Variant::Concat(rs->Get("stockName"), rs->Get("stockSize")), previous);
      if (!same.IsNull() && same.IsTrue()) {
        rs->Delete();
        rs->MovePrevious();
      }
    }
  }
}

}  // namespace

void UpgradeLargeFormatStock() {
  ReplaceSheetStock();

  DataDb->Execute("UPDATE rItemNumb SET rItemNumb.StockType = 'RollPaperLF' WHERE rItemNumb.StockType='SheetStockLF'");
  DataDb->Execute("UPDATE rItemNumb SET rItemNumb.StockSize = 'NONE' WHERE rItemNumb.StockType='MountingBoardLF'");
  DataDb->Execute("UPDATE rItemNumb SET rItemNumb.Color = 'NONE' WHERE rItemNumb.StockType='MountingBoardLF'");
  DataDb->Execute("UPDATE StockColors SET StockColors.sType = 'RollPaperLF' WHERE StockColors.sType='SheetStockLF'");
  DataDb->GetQueryDefs().Refresh();

  Recordset rs;
  Recordset lookup;
  AddOrUpdateItemNumbers({"Select * From "
                          "(QRollPaperLF Inner Join rStock2CostLF On QRollPaperLF.Selection = rStock2CostLF.PaperName) "
                          "Order By Selection, PaperSize",
                          true, "'", "RollPaperLF"},
                         rs, lookup);
  AddOrUpdateItemNumbers(
      {"Select * From "
       "(QRollLaminateLF Inner Join rStock2CostLF On QRollLaminateLF.Selection = rStock2CostLF.PaperName) ",
       true, "' ", "RollLaminateLF"},
      rs, lookup);
  AddOrUpdateItemNumbers(
      {"Select * From "
       "(QMountingBoardLF Inner Join rStock2CostLF On QMountingBoardLF.Selection = rStock2CostLF.PaperName) "
       "Order By Selection ",
       false, "", "MountingBoardLF"},
      rs, lookup);

  RemoveOrphanItemNumbers(
      "Select rItemNumb.* From rItemNumb Where StockType = 'RollPaperLF' Order By StockName, StockSize", true, rs,
      lookup);
  RemoveOrphanItemNumbers(
      "Select rItemNumb.* From rItemNumb Where StockType = 'RollLaminateLF' Order By StockName, StockSize", true,
      rs, lookup);
  RemoveOrphanItemNumbers(
      "Select rItemNumb.* From rItemNumb Where StockType = 'MountingBoardLF' Order By StockName, StockSize, Color",
      false, rs, lookup);

  RemoveDuplicateRollPaper(rs);
  CloseRecordset(rs);
  CloseRecordset(lookup);

  DataDb->Execute("UPDATE rItemNumb SET rItemNumb.Color = 'NONE' WHERE rItemNumb.StockType ='RollPaperLF'");
}

}  // namespace qrw
