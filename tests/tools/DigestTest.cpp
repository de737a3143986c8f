// The database digest: equal for the same structure and rows whatever the
// row order, different for any change of a value, field, index or query.
#include "Digest.h"
#include "SampleDb.h"
#include "ToolsTestSupport.h"
#include "engine/Engine.h"

namespace qrw::testing {
namespace {

class DigestTest : public ToolsFixture {
 protected:
  void SetUp() override {
    ToolsFixture::SetUp();
    sample::Options o;
    o.orders = 20;
    sample::WriteSample((root_ / "s").string(), o);
    file_ = (root_ / "s" / sample::kDataFile).string();
    before_ = sample::Digest(file_);
  }

  // The digest after a change, with the names of the parts that changed.
  std::vector<std::string> ChangedParts() {
    sample::DatabaseDigest after = sample::Digest(file_);
    std::vector<std::string> keys;
    for (const auto& [key, value] : after.parts) {
      auto it = before_.parts.find(key);
      if (it == before_.parts.end() || it->second != value) keys.push_back(key);
    }
    for (const auto& [key, value] : before_.parts)
      if (!after.parts.count(key)) keys.push_back(key);
    EXPECT_EQ(after == before_, keys.empty());
    EXPECT_EQ(sample::Differences(before_, after).size(), keys.size());
    return keys;
  }

  std::string file_;
  sample::DatabaseDigest before_;
};

using Parts = std::vector<std::string>;

TEST_F(DigestTest, CoversEveryTableAndQueryButNotTheEnginesOwn) {
  EXPECT_TRUE(before_.parts.count("table OrderHeader"));
  EXPECT_TRUE(before_.parts.count("query RollPaperLF"));
  for (const auto& [key, value] : before_.parts) EXPECT_EQ(key.find("MSys"), std::string::npos);
  EXPECT_EQ(before_.parts.size(), sample::DataTables().size() + 3);
  // Reading does not change the file.
  EXPECT_EQ(sample::Digest(file_), before_);
  EXPECT_TRUE(ChangedParts().empty());
}

TEST_F(DigestTest, RowOrderDoesNotCount) {
  Exec(file_,
       "CREATE TEMP TABLE x AS SELECT * FROM OtherServices;"
       "DELETE FROM OtherServices;"
       "INSERT INTO OtherServices SELECT * FROM x ORDER BY Code DESC;");
  EXPECT_EQ(ChangedParts(), Parts{});
}

TEST_F(DigestTest, AnyChangedValueShowsInItsTable) {
  Exec(file_, "UPDATE ItemDetails SET Copies = Copies + 1 WHERE Control = 'ST0001' AND Item = 1");
  EXPECT_EQ(ChangedParts(), Parts{"table ItemDetails"});
  Exec(file_, "UPDATE ItemDetails SET Copies = Copies - 1 WHERE Control = 'ST0001' AND Item = 1");
  EXPECT_EQ(ChangedParts(), Parts{});
  // Null and empty text differ, and so do swapped values of two rows.
  Exec(file_, "UPDATE Customer SET bADR2 = '' WHERE CUSTCODE = 'ACME01'");
  EXPECT_EQ(ChangedParts(), Parts{"table Customer"});
  Exec(file_, "UPDATE Customer SET bADR2 = NULL WHERE CUSTCODE = 'ACME01';"
              "UPDATE OtherServices SET Price = CASE Code WHEN 10 THEN 60 WHEN 20 THEN 15 "
              "ELSE Price END");
  EXPECT_EQ(ChangedParts(), Parts{"table OtherServices"});
}

TEST_F(DigestTest, StructureChangesShow) {
  Database db = Engine::Instance().OpenDatabase(file_);
  TableDef td = db->GetTableDefs().Item("AdjReasons");
  td->GetFields().Append(td->CreateField("Note", dbText, 20));
  EXPECT_EQ(ChangedParts(), Parts{"table AdjReasons"});
  before_ = sample::Digest(file_);

  Field f = db->GetTableDefs().Item("VDOptions")->GetFields().Item("Price");
  f->SetOrdinalPosition(0);
  EXPECT_EQ(ChangedParts(), Parts{"table VDOptions"});
  before_ = sample::Digest(file_);

  TableDef cust = db->GetTableDefs().Item("Customer");
  qrw::Index ix = cust->CreateIndex("City");
  ix->GetFields().Append(ix->CreateField("bCITY"));
  cust->GetIndexes().Append(ix);
  EXPECT_EQ(ChangedParts(), Parts{"table Customer"});
  before_ = sample::Digest(file_);

  db->GetQueryDefs().Delete("RollPaperLF");
  db->CreateQueryDef("RollPaperLF", "SELECT * FROM SheetStockLF");
  db->CreateQueryDef("Extra", "SELECT * FROM Customer");
  EXPECT_EQ(ChangedParts(), (Parts{"query Extra", "query RollPaperLF"}));
  db->Close();
}

}  // namespace
}  // namespace qrw::testing
