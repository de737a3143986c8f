// Indexes (primary, unique, their refusals and their effect on writes and
// field drops) and saved queries.
#include "EngineFixture.h"

namespace qrw::test {
namespace {

using namespace qrw::engine;

class IndexTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Raw("CREATE TABLE StockLF(ID INTEGER, ItemNumb VARCHAR(20) COLLATE NOCASE, Vendor VARCHAR(20) COLLATE NOCASE);"
        "INSERT INTO StockLF VALUES(1,'A','v'),(2,'B','v'),(3,NULL,'w');"
        "CREATE TABLE Other(ID INTEGER);");
    Open();
  }
  void AddIndex(const std::string& table, const std::string& field, const std::string& name, bool primary,
                bool unique = false) {
    TableDef t = db_->GetTableDefs().Item(table);
    Index ix = t->CreateIndex(name);
    ix->GetFields().Append(ix->CreateField(field));
    ix->SetPrimary(primary);
    ix->SetUnique(unique);
    t->GetIndexes().Append(ix);
  }
  std::vector<std::string> IndexNames(const std::string& table) {
    std::vector<std::string> out;
    for (Index& ix : db_->GetTableDefs().Item(table)->GetIndexes().Members()) out.push_back(ix->Name());
    return out;
  }
};

TEST_F(IndexTest, PrimaryIndexRulesAndNumbers) {
  AddIndex("StockLF", "ID", "PrimaryKey", true);
  AddIndex("Other", "ID", "PrimaryKey", true);  // index names belong to their table
  TableDef t = db_->GetTableDefs().Item("StockLF");
  Index pk = t->GetIndexes().Item("primarykey");
  EXPECT_EQ(pk->Name(), "PrimaryKey");
  EXPECT_TRUE(pk->Primary());
  EXPECT_TRUE(pk->Unique());
  ASSERT_EQ(pk->GetFields().Count(), 1);
  EXPECT_EQ(pk->GetFields().Item(0)->Name(), "ID");
  EXPECT_EQ(ErrorOf([&] { AddIndex("StockLF", "ItemNumb", "Second", true); }), kErrPrimaryExists);
  EXPECT_EQ(ErrorOf([&] { AddIndex("StockLF", "Vendor", "PRIMARYKEY", false); }), kErrIndexExists);
  EXPECT_EQ(ErrorOf([&] { AddIndex("StockLF", "Nope", "ByNope", false); }), kErrItemNotFound);
  Index none = t->CreateIndex("NoFields");
  EXPECT_EQ(ErrorOf([&] { t->GetIndexes().Append(none); }), kErrIndexNoFields);

  // Writes that would break the key are refused, through any path.
  Recordset rs = db_->OpenRecordset("StockLF");
  rs->AddNew();
  rs->Set("ID", Variant(1));
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), kErrDuplicateKey);
  rs->CancelUpdate();
  rs->AddNew();
  rs->Set("ItemNumb", Variant("no id"));
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), kErrNullInKey);
  rs->CancelUpdate();
  rs->Edit();
  rs->Set("ID", Variant::Null());
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), kErrNullInKey);
  rs->CancelUpdate();
  EXPECT_EQ(RawText("SELECT count(*) FROM StockLF"), "3");

  // Swapping the key: remove the old, then key on another field.
  EXPECT_EQ(ErrorOf([&] { t->GetFields().Delete("ID"); }), kErrFieldInIndex);
  t->GetIndexes().Delete("PRIMARYKEY");
  EXPECT_EQ(ErrorOf([&] { t->GetIndexes().Delete("PrimaryKey"); }), kErrItemNotFound);
  EXPECT_EQ(ErrorOf([&] { AddIndex("StockLF", "ItemNumb", "PrimaryKey", true); }), kErrNullInKey);
  EXPECT_EQ(ErrorOf([&] { AddIndex("StockLF", "Vendor", "PrimaryKey", true); }), kErrDuplicateKey);
  EXPECT_TRUE(IndexNames("StockLF").empty());
  t->GetFields().Delete("ID");  // no index uses it any more
  EXPECT_EQ(IndexNames("Other"), (std::vector<std::string>{"PrimaryKey"}));
}

TEST_F(IndexTest, UniqueAndPlainIndexesSurviveRenamesAndReopen) {
  AddIndex("StockLF", "ItemNumb", "ByItem", false, true);
  AddIndex("StockLF", "Vendor", "ByVendor", false);
  TableDef t = db_->GetTableDefs().Item("StockLF");
  t->GetFields().Item("Vendor")->SetName("Supplier");
  Reopen();
  EXPECT_EQ(IndexNames("StockLF"), (std::vector<std::string>{"ByItem", "ByVendor"}));
  Index byVendor = db_->GetTableDefs().Item("StockLF")->GetIndexes().Item("ByVendor");
  EXPECT_FALSE(byVendor->Unique());
  EXPECT_EQ(byVendor->GetFields().Item(0)->Name(), "Supplier");
  Recordset rs = db_->OpenRecordset("StockLF");
  rs->Edit();
  rs->Set("ItemNumb", Variant("b"));  // text keys ignore case, as the product compares
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), kErrDuplicateKey);
}

TEST_F(IndexTest, IndexesOfANewTableAreCreatedWithIt) {
  TableDef t = db_->CreateTableDef("Laminators");
  Field id = t->CreateField("ID", dbLong);
  id->SetAttributes(dbAutoIncrField);
  t->GetFields().Append(id);
  t->GetFields().Append(t->CreateField("Name", dbText, 30));
  Index pk = t->CreateIndex("PrimaryKey");
  pk->GetFields().Append(pk->CreateField("ID"));
  pk->SetPrimary(true);
  t->GetIndexes().Append(pk);
  Index second = t->CreateIndex("Other");
  second->GetFields().Append(second->CreateField("Name"));
  second->SetPrimary(true);
  EXPECT_EQ(ErrorOf([&] { t->GetIndexes().Append(second); }), kErrPrimaryExists);
  db_->GetTableDefs().Append(t);
  EXPECT_EQ(IndexNames("Laminators"), (std::vector<std::string>{"PrimaryKey"}));
  EXPECT_EQ(ErrorOf([&] { pk->SetPrimary(false); }), kErrInvalidOperation);
  // An auto-increment primary key fills itself, also for rows written by
  // plain SQLite tools.
  Recordset rs = db_->OpenRecordset("Laminators");
  rs->AddNew();
  rs->Set("Name", Variant("first"));
  rs->Update();
  db_.Clear();
  rs.Clear();
  Raw("INSERT INTO Laminators(Name) VALUES('second')");
  EXPECT_EQ(RawText("SELECT group_concat(ID || Name, ',') FROM Laminators"), "1first,2second");
  EXPECT_EQ(RawText("PRAGMA integrity_check"), "ok");
}

class QueryTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Raw("CREATE TABLE StockLF(x INTEGER)");
    Open();
  }
};

TEST_F(QueryTest, SavedQueriesStoreTheirTextExactly) {
  const std::string sql = "SELECT *  FROM StockLF WHERE x = \"a\"\r\nORDER BY x;";
  QueryDef q = db_->CreateQueryDef("QRollPaperLF", sql);
  EXPECT_EQ(q->SQL(), sql);
  EXPECT_EQ(ErrorOf([&] { db_->CreateQueryDef("qrollpaperlf", "SELECT 1"); }), kErrObjectExists);
  EXPECT_EQ(ErrorOf([&] { db_->CreateQueryDef("StockLF", "SELECT 1"); }), kErrObjectExists);
  // Rows written straight into the engine table are saved queries too.
  db_.Clear();
  q.Clear();
  Raw("INSERT INTO MSysQueries(Name, SQL) VALUES('QMountingBoardLF', 'SELECT x FROM StockLF')");
  Open();
  QueryDefs& qs = db_->GetQueryDefs();
  ASSERT_EQ(qs.Count(), 2);
  EXPECT_EQ(qs.Item(0)->Name(), "QMountingBoardLF");
  EXPECT_EQ(qs.Item("QROLLPAPERLF")->SQL(), sql);
  qs.Delete("qmountingboardlf");
  EXPECT_EQ(ErrorOf([&] { qs.Delete("QMountingBoardLF"); }), kErrItemNotFound);
  EXPECT_EQ(ErrorOf([&] { qs.Item("QMountingBoardLF"); }), kErrItemNotFound);
  qs.Refresh();
  EXPECT_EQ(qs.Count(), 1);
  // A table of that name now collides with the query.
  TableDef t = db_->CreateTableDef("QRollPaperLF");
  t->GetFields().Append(t->CreateField("x", dbLong));
  EXPECT_EQ(ErrorOf([&] { db_->GetTableDefs().Append(t); }), kErrObjectExists);
}

TEST_F(QueryTest, OpenRecordsetTellsTablesQueriesAndSqlApart) {
  db_.Clear();
  Raw("INSERT INTO StockLF VALUES(1),(2),(3); CREATE TABLE QStock(x INTEGER); INSERT INTO QStock VALUES(99);");
  Open();
  db_->CreateQueryDef("QBig", "SELECT x FROM StockLF WHERE x > 1");
  Recordset byTable = db_->OpenRecordset("stocklf");
  EXPECT_EQ(byTable->RecordCount(), 3);
  Recordset byQuery = db_->OpenRecordset("QBIG");
  EXPECT_EQ(byQuery->Get("x").ToLong(), 2);
  Recordset bySql = db_->OpenRecordset("SELECT x FROM QStock");
  EXPECT_EQ(bySql->Get("x").ToLong(), 99);
  EXPECT_NE(ErrorOf([&] { db_->OpenRecordset("NoSuchThing"); }), 0);
}

}  // namespace
}  // namespace qrw::test
