#include <gtest/gtest.h>

#include "engine/ErrorCodes.h"
#include "schema/Primitives.h"
#include "schema/TestDb.h"

namespace qrw {
namespace {

TEST(DoubleQuotesTest, DoublesEachDoubleQuoteAtAnyLength) {
  EXPECT_EQ(DoubleQuotes("Cover \"C1S\" 10 o'cl"), "Cover \"\"C1S\"\" 10 o'cl");
  EXPECT_EQ(DoubleQuotes(""), "");
  EXPECT_EQ(DoubleQuotes("\""), "\"\"");
  const std::string longText = std::string(40000, 'a') + "\"end\"";
  EXPECT_EQ(DoubleQuotes(longText), std::string(40000, 'a') + "\"\"end\"\"");
}

class IndexTest : public testing::ProductDbTest {
 protected:
  void SetUp() override {
    OpenProduct("CREATE TABLE StockLF (StockID INTEGER, ItemNo VARCHAR(20) COLLATE NOCASE);"
                "INSERT INTO StockLF VALUES (1, 'A'), (2, 'B');");
  }
  testing::Names IndexNames() {
    testing::Names out;
    for (Index& ix : db_->GetTableDefs().Item("StockLF")->GetIndexes().Members()) out.push_back(ix->Name());
    return out;
  }
};

TEST_F(IndexTest, CloseRecordsetClearsAndNeverRaises) {
  Recordset rs = db_->OpenRecordset("StockLF");
  CloseRecordset(rs);
  EXPECT_TRUE(rs.IsNothing());
  CloseRecordset(rs);
  EXPECT_TRUE(rs.IsNothing());
}

TEST_F(IndexTest, AddAndRemoveByNameInAnyCase) {
  AddIndex("StockLF", "StockID", "PrimaryKey", true);
  AddIndex("StockLF", "ItemNo", "primarykey", false);  // taken, even over another field
  ASSERT_EQ(IndexNames(), (testing::Names{"PrimaryKey"}));
  Index pk = db_->GetTableDefs().Item("StockLF")->GetIndexes().Item("PrimaryKey");
  EXPECT_TRUE(pk->Primary());
  EXPECT_EQ(pk->GetFields().Item(0)->Name(), "StockID");

  try {
    AddIndex("StockLF", "ItemNo", "ItemKey", true);
    FAIL() << "a second primary key must be refused";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), engine::kErrPrimaryExists);
  }

  RemoveIndex("StockLF", "NoSuchIndex");
  EXPECT_EQ(IndexNames().size(), 1u);
  RemoveIndex("StockLF", "Primarykey");
  EXPECT_TRUE(IndexNames().empty());
  AddIndex("StockLF", "ItemNo", "PrimaryKey", true);
  EXPECT_EQ(IndexNames(), (testing::Names{"PrimaryKey"}));
}

}  // namespace
}  // namespace qrw
