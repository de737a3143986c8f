// Tables, fields, indexes, properties and saved queries: what is stored
// survives a reopen, and the schema rules refuse with their numbers.
#include "EngineFixture.h"

namespace qrw::test {
namespace {

using namespace qrw::engine;

class SchemaTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Raw("CREATE TABLE Stock(ItemNumb VARCHAR(20) COLLATE NOCASE, Descr TEXT COLLATE NOCASE, Cost DOUBLE, Qty INTEGER);"
        "INSERT INTO Stock VALUES('A1','Paper',1.5,10),('B2','Ink',2.25,NULL),('C3',NULL,NULL,3);");
    Open();
  }
  TableDef Stock() { return db_->GetTableDefs().Item("Stock"); }
  std::vector<std::string> FieldNames(const std::string& table) {
    std::vector<std::string> out;
    for (Field& f : db_->GetTableDefs().Item(table)->GetFields().Members()) out.push_back(f->Name());
    return out;
  }
};

TEST_F(SchemaTest, PlainSqliteTableReadsAsProductTable) {
  TableDef t = Stock();
  EXPECT_EQ(t->Name(), "Stock");
  EXPECT_EQ(t->Attributes(), 0);
  ASSERT_EQ(t->GetFields().Count(), 4);
  Field f = t->GetFields().Item("itemnumb");
  EXPECT_EQ(f->Name(), "ItemNumb");
  EXPECT_EQ(f->Type(), dbText);
  EXPECT_EQ(f->Size(), 20);
  EXPECT_FALSE(f->Required());
  EXPECT_TRUE(f->AllowZeroLength());
  EXPECT_EQ(f->Attributes(), 0);
  EXPECT_EQ(f->GetProperties().Count(), 0);
  EXPECT_EQ(t->GetFields().Item("Descr")->Type(), dbMemo);
  EXPECT_EQ(t->GetFields().Item("Cost")->Type(), dbDouble);
  EXPECT_EQ(t->GetFields().Item("Qty")->Type(), dbLong);
  EXPECT_EQ(t->GetFields().Item("Qty")->Size(), 4);
  EXPECT_EQ(ErrorOf([&] { t->GetFields().Item("Nope"); }), kErrItemNotFound);
  EXPECT_EQ(ErrorOf([&] { db_->GetTableDefs().Item("Nope"); }), kErrItemNotFound);
  EXPECT_EQ(ErrorOf([&] { t->GetFields().Item("Cost")->Value(); }), kErrInvalidOperation);
}

TEST_F(SchemaTest, OtherToolsDeclaredTypesReadBySqliteAffinity) {
  Raw("CREATE TABLE Imported(a NVARCHAR(40), b CHARACTER(300), c CLOB, d BIGINT, e NUMERIC, f, g REAL, h BLOB, "
      "i DATE, j MONEY, k BIT, l VARCHAR, m TEXT(12), n INTEGER PRIMARY KEY, o VARCHAR(5) NOT NULL UNIQUE);"
      "INSERT INTO Imported(d, o) VALUES('not a number', 'x');");
  db_->GetTableDefs().Refresh();
  TableDef t = db_->GetTableDefs().Item("Imported");
  struct {
    const char* name;
    int type;
    long size;
  } expect[] = {{"a", dbText, 40}, {"b", dbText, 255}, {"c", dbMemo, 0}, {"d", dbLong, 4},
                {"e", dbDouble, 8}, {"f", dbMemo, 0}, {"g", dbDouble, 8}, {"h", dbLongBinary, 0},
                {"i", dbDate, 8}, {"j", dbCurrency, 8}, {"k", dbBoolean, 1}, {"l", dbMemo, 0},
                {"m", dbText, 12}, {"n", dbLong, 4}, {"o", dbText, 5}};
  for (const auto& e : expect) {
    Field f = t->GetFields().Item(e.name);
    EXPECT_EQ(f->Type(), e.type) << e.name;
    EXPECT_EQ(f->Size(), e.size) << e.name;
  }
  EXPECT_TRUE(t->GetFields().Item("o")->Required());
  // The UNIQUE constraint's own index is listed; the rowid key has none.
  ASSERT_EQ(t->GetIndexes().Count(), 1);
  EXPECT_TRUE(t->GetIndexes().Item(0)->Unique());
  EXPECT_EQ(ErrorOf([&] { t->GetIndexes().Delete(t->GetIndexes().Item(0)->Name()); }), kErrInvalidOperation);
  // A value that does not fit its field is read as stored, not lost.
  Recordset rs = db_->OpenRecordset("Imported");
  EXPECT_TRUE(rs->Get("d").SameAs(Variant("not a number")));
}

TEST_F(SchemaTest, TableDefsListEngineTablesAsSystemTablesInStableOrder) {
  // The engine's tables come with the first change made through it.
  db_->CreateQueryDef("Q", "Select * From Stock");
  std::vector<std::string> names;
  for (TableDef& t : db_->GetTableDefs().Members()) names.push_back(t->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"MSysFields", "MSysIndexes", "MSysProperties", "MSysQueries", "Stock"}));
  EXPECT_EQ(db_->GetTableDefs().Item("msysqueries")->Attributes(), dbSystemObject);
  EXPECT_EQ(ErrorOf([&] { db_->GetTableDefs().Delete("MSysQueries"); }), kErrInvalidOperation);
}

TEST_F(SchemaTest, EveryFieldTypeRoundTripsThroughAReopen) {
  TableDef t = db_->CreateTableDef("AllTypes");
  struct Spec {
    const char* name;
    int type;
    int size;
    long expectSize;
    const char* declared;
  } specs[] = {
      {"fBool", dbBoolean, 0, 1, "BOOLEAN"}, {"fByte", dbByte, 0, 1, "TINYINT"},
      {"fInt", dbInteger, 0, 2, "SMALLINT"}, {"fLong", dbLong, 10, 4, "INTEGER"},
      {"fCur", dbCurrency, 0, 8, "CURRENCY"}, {"fSng", dbSingle, 0, 4, "FLOAT"},
      {"fDbl", dbDouble, 3, 8, "DOUBLE"}, {"fDate", dbDate, 0, 8, "DATETIME"},
      {"fText", dbText, 50, 50, "VARCHAR(50)"}, {"fBin", dbLongBinary, 0, 0, "BLOB"},
      {"fMemo", dbMemo, 0, 0, "TEXT"},
  };
  for (const Spec& s : specs) t->GetFields().Append(t->CreateField(s.name, s.type, s.size));
  Field text = t->GetFields().Item("fText");
  text->SetRequired(true);
  text->SetAllowZeroLength(false);
  db_->GetTableDefs().Append(t);
  // The field object appended before the table now reads the stored table.
  EXPECT_EQ(text->OrdinalPosition(), 8);
  Field dbl = t->GetFields().Item("fDbl");
  dbl->GetProperties().Append(dbl->CreateProperty("DecimalPlaces", dbByte, Variant("3")));
  dbl->GetProperties().Append(dbl->CreateProperty("Format", dbText, Variant("#,000.00")));

  Reopen();
  TableDef back = db_->GetTableDefs().Item("AllTypes");
  ASSERT_EQ(back->GetFields().Count(), 11);
  for (int i = 0; i < 11; ++i) {
    Field f = back->GetFields().Item(i);
    EXPECT_EQ(f->Name(), specs[i].name);
    EXPECT_EQ(f->Type(), specs[i].type) << specs[i].name;
    EXPECT_EQ(f->Size(), specs[i].expectSize) << specs[i].name;
    EXPECT_EQ(f->OrdinalPosition(), i);
    EXPECT_EQ(RawText("SELECT type FROM pragma_table_info('AllTypes') WHERE name='" + std::string(specs[i].name) + "'"),
              specs[i].declared);
  }
  EXPECT_TRUE(back->GetFields().Item("fText")->Required());
  EXPECT_FALSE(back->GetFields().Item("fText")->AllowZeroLength());
  EXPECT_FALSE(back->GetFields().Item("fMemo")->Required());
  Field backDbl = back->GetFields().Item("fdbl");
  Properties& props = backDbl->GetProperties();
  ASSERT_EQ(props.Count(), 2);
  EXPECT_EQ(props.Item(0)->Name(), "DecimalPlaces");
  EXPECT_EQ(props.Item(0)->Type(), dbByte);
  EXPECT_TRUE(props.Item("decimalplaces")->Value().SameAs(Variant::Byte(3)));
  EXPECT_TRUE(props.Item("Format")->Value().SameAs(Variant("#,000.00")));
  EXPECT_EQ(ErrorOf([&] { props.Append(back->GetFields().Item("fDbl")->CreateProperty("Format", dbText, Variant("x"))); }),
            kErrCannotAppend);
  props.Delete("Format");
  EXPECT_EQ(props.Count(), 1);
}

TEST_F(SchemaTest, TableAppendRefusals) {
  TableDef empty = db_->CreateTableDef("Empty");
  EXPECT_EQ(ErrorOf([&] { db_->GetTableDefs().Append(empty); }), kErrNoFields);
  TableDef dup = db_->CreateTableDef("STOCK");
  dup->GetFields().Append(dup->CreateField("x", dbLong));
  EXPECT_EQ(ErrorOf([&] { db_->GetTableDefs().Append(dup); }), kErrTableExists);
  db_->CreateQueryDef("QStock", "SELECT * FROM Stock");
  TableDef clash = db_->CreateTableDef("QStock");
  clash->GetFields().Append(clash->CreateField("x", dbLong));
  EXPECT_EQ(ErrorOf([&] { db_->GetTableDefs().Append(clash); }), kErrObjectExists);
  TableDef twice = db_->CreateTableDef("Twice");
  twice->GetFields().Append(twice->CreateField("x", dbLong));
  EXPECT_EQ(ErrorOf([&] { twice->GetFields().Append(twice->CreateField("X", dbText, 5)); }), kErrFieldDefinedTwice);
  EXPECT_EQ(ErrorOf([&] { twice->GetFields().Append(twice->CreateField("bad", 9)); }), kErrInvalidFieldType);
  db_->GetTableDefs().Append(twice);
  EXPECT_EQ(ErrorOf([&] { db_->GetTableDefs().Append(twice); }), kErrCannotAppend);
  db_->GetTableDefs().Delete("twice");
  EXPECT_EQ(ErrorOf([&] { db_->GetTableDefs().Item("Twice"); }), kErrItemNotFound);
  EXPECT_EQ(ErrorOf([&] { db_->GetTableDefs().Delete("Twice"); }), kErrItemNotFound);
}

TEST_F(SchemaTest, AppendedFieldsGiveExistingRowsZeroOrNull) {
  TableDef t = Stock();
  t->GetFields().Append(t->CreateField("Rate", dbDouble));
  t->GetFields().Append(t->CreateField("Flag", dbBoolean));
  t->GetFields().Append(t->CreateField("Note", dbText, 30));
  t->GetFields().Append(t->CreateField("When", dbDate));
  Recordset rs = db_->OpenRecordset("Stock");
  int rows = 0;
  for (; !rs->Eof(); rs->MoveNext(), ++rows) {
    EXPECT_TRUE(Variant::Eq(rs->Get("Rate"), Variant(0)).IsTrue());
    EXPECT_TRUE(rs->Get("Flag").SameAs(Variant::Bool(false)));
    EXPECT_TRUE(rs->Get("Note").IsNull());
    EXPECT_TRUE(rs->Get("When").IsNull());
  }
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(ErrorOf([&] { t->GetFields().Append(t->CreateField("rate", dbLong)); }), kErrFieldDefinedTwice);
}

TEST_F(SchemaTest, RenameMoveAndDropKeepTheData) {
  TableDef t = Stock();
  Field f = t->GetFields().Item("Cost");
  f->SetName("UnitCost");
  EXPECT_EQ(f->Name(), "UnitCost");
  EXPECT_EQ(ErrorOf([&] { f->SetName("qty"); }), kErrFieldDefinedTwice);
  EXPECT_EQ(ErrorOf([&] { t->GetFields().Item("Cost"); }), kErrItemNotFound);
  EXPECT_EQ(RawText("SELECT UnitCost FROM Stock WHERE ItemNumb='B2'"), "2.25");

  // Moving a field changes where it is listed, not the stored table.
  t->GetFields().Item("Qty")->SetOrdinalPosition(0);
  EXPECT_EQ(FieldNames("Stock"), (std::vector<std::string>{"Qty", "ItemNumb", "Descr", "UnitCost"}));
  EXPECT_EQ(t->GetFields().Item("ItemNumb")->OrdinalPosition(), 1);
  t->GetFields().Append(t->CreateField("Extra", dbLong));
  EXPECT_EQ(FieldNames("Stock"), (std::vector<std::string>{"Qty", "ItemNumb", "Descr", "UnitCost", "Extra"}));

  t->GetFields().Delete("DESCR");
  EXPECT_EQ(FieldNames("Stock"), (std::vector<std::string>{"Qty", "ItemNumb", "UnitCost", "Extra"}));
  EXPECT_EQ(ErrorOf([&] { t->GetFields().Delete("Descr"); }), kErrItemNotFound);

  // A field appended after a drop still lands last.
  t->GetFields().Append(t->CreateField("Last", dbText, 5));
  Reopen();
  EXPECT_EQ(FieldNames("Stock"), (std::vector<std::string>{"Qty", "ItemNumb", "UnitCost", "Extra", "Last"}));
  EXPECT_EQ(RawText("SELECT group_concat(Qty || ':' || coalesce(UnitCost, ''), ',') FROM Stock WHERE Qty IS NOT NULL"), "10:1.5,3:");
}

TEST_F(SchemaTest, RetypeByCopyRestoresThePosition) {
  // The way fields are retyped: add "temp", copy, drop, rename, move back.
  TableDef t = Stock();
  int pos = t->GetFields().Item("Cost")->OrdinalPosition();
  t->GetFields().Append(t->CreateField("temp", dbText, 10));
  Recordset rs = db_->OpenRecordset("Stock");
  for (; !rs->Eof(); rs->MoveNext()) {
    rs->Edit();
    rs->Set("temp", rs->Get("Cost"));
    rs->Update();
  }
  rs->Close();
  t->GetFields().Delete("Cost");
  t->GetFields().Item("temp")->SetName("Cost");
  t->GetFields().Item("Cost")->SetOrdinalPosition(pos);
  EXPECT_EQ(FieldNames("Stock"), (std::vector<std::string>{"ItemNumb", "Descr", "Cost", "Qty"}));
  EXPECT_EQ(t->GetFields().Item("Cost")->Type(), dbText);
  EXPECT_EQ(RawText("SELECT group_concat(coalesce(Cost,'-'), ',') FROM Stock"), "1.5,2.25,-");
}

TEST_F(SchemaTest, AutoIncrementNumbersExistingAndNewRows) {
  TableDef t = Stock();
  Field id = t->CreateField("ID", dbLong);
  id->SetAttributes(dbAutoIncrField);
  id->SetOrdinalPosition(0);
  t->GetFields().Append(id);
  EXPECT_EQ(t->GetFields().Item(0)->Name(), "ID");
  EXPECT_EQ(id->Attributes() & dbAutoIncrField, dbAutoIncrField);
  EXPECT_EQ(RawText("SELECT group_concat(ID, ',') FROM Stock"), "1,2,3");
  Recordset rs = db_->OpenRecordset("Stock");
  rs->AddNew();
  rs->Set("ItemNumb", Variant("D4"));
  rs->Update();
  rs->Close();
  EXPECT_EQ(RawText("SELECT ID FROM Stock WHERE ItemNumb='D4'"), "4");
  Field bad = t->CreateField("NotLong", dbDouble);
  bad->SetAttributes(dbAutoIncrField);
  EXPECT_EQ(ErrorOf([&] { t->GetFields().Append(bad); }), kErrInvalidFieldType);
}

}  // namespace
}  // namespace qrw::test
