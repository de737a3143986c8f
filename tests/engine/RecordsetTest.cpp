// Table recordsets: moving, reading live values, writing through Edit and
// AddNew with the field's conversion rules, deleting, bookmarks.
#include "EngineFixture.h"

namespace qrw::test {
namespace {

using namespace qrw::engine;

class RecordsetTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Raw("CREATE TABLE Items(Code INTEGER, Name VARCHAR(10) COLLATE NOCASE, Price DOUBLE DEFAULT 0, "
        "Qty SMALLINT DEFAULT 0, Done BOOLEAN DEFAULT 0, Shipped DATETIME, Notes TEXT COLLATE NOCASE);"
        "INSERT INTO Items(Code, Name, Price, Qty, Done, Shipped) VALUES"
        "(1,'one',1.5,1,-1,'2020-01-31'),(2,'two',2.5,2,0,'2021-06-15 13:45:00'),(3,'three',3.5,3,0,NULL);");
    Open();
  }
  std::vector<long> Codes(Recordset& rs) {
    std::vector<long> out;
    for (; !rs->Eof(); rs->MoveNext()) out.push_back(rs->Get("Code").ToLong());
    return out;
  }
};

TEST_F(RecordsetTest, ReadsEveryRowWithTheFieldTypes) {
  Recordset rs = db_->OpenRecordset("Items");
  EXPECT_FALSE(rs->Bof());
  EXPECT_FALSE(rs->Eof());
  EXPECT_TRUE(rs->Updatable());
  ASSERT_EQ(rs->GetFields().Count(), 7);
  EXPECT_EQ(rs->Fields(1)->Name(), "Name");
  EXPECT_EQ(rs->Fields("NAME")->Type(), dbText);
  EXPECT_EQ(rs->Fields("name")->Size(), 10);
  EXPECT_TRUE(rs->Get("Code").SameAs(Variant::Long(1)));
  EXPECT_TRUE(rs->Get("Qty").SameAs(Variant::Integer(1)));
  EXPECT_TRUE(rs->Get("Done").SameAs(Variant::Bool(true)));
  EXPECT_TRUE(rs->Get("Price").SameAs(Variant::Double(1.5)));
  EXPECT_EQ(rs->Get("Shipped").Type(), VarType::Date);
  EXPECT_EQ(DateToIso(rs->Get("Shipped").ToDate()), "2020-01-31");
  EXPECT_TRUE(rs->Get("Notes").IsNull());
  EXPECT_EQ(ErrorOf([&] { rs->Get("Missing"); }), kErrItemNotFound);
  rs->MoveNext();
  EXPECT_EQ(DateToIso(rs->Get("Shipped").ToDate()), "2021-06-15 13:45:00");
  rs->MoveNext();
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(ErrorOf([&] { rs->Get("Code"); }), kErrNoCurrentRecord);
  EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), kErrNoCurrentRecord);
  rs->MovePrevious();
  EXPECT_EQ(rs->Get("Code").ToLong(), 3);
  rs->MoveFirst();
  EXPECT_EQ(rs->Get("Code").ToLong(), 1);
  rs->MovePrevious();
  EXPECT_TRUE(rs->Bof());
  EXPECT_EQ(ErrorOf([&] { rs->MovePrevious(); }), kErrNoCurrentRecord);
  rs->MoveLast();
  EXPECT_EQ(rs->Get("Code").ToLong(), 3);
  EXPECT_EQ(rs->RecordCount(), 3);
  rs->Close();
  EXPECT_EQ(ErrorOf([&] { rs->Eof(); }), kErrObjectInvalid);
}

TEST_F(RecordsetTest, EmptyTableIsAtBothEnds) {
  Raw("CREATE TABLE NoRows(x INTEGER)");
  Recordset rs = db_->OpenRecordset("NoRows");
  EXPECT_TRUE(rs->Eof());
  EXPECT_TRUE(rs->Bof());
  EXPECT_EQ(ErrorOf([&] { rs->MoveFirst(); }), kErrNoCurrentRecord);
  EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), kErrNoCurrentRecord);
  rs->AddNew();
  rs->Set("x", Variant(7));
  rs->Update();
  rs->MoveFirst();
  EXPECT_EQ(rs->Get("x").ToLong(), 7);
}

TEST_F(RecordsetTest, EditUpdateWritesAndCancelUpdateDiscards) {
  Recordset rs = db_->OpenRecordset("Items");
  EXPECT_EQ(ErrorOf([&] { rs->Set("Name", Variant("x")); }), kErrUpdateWithoutEdit);
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), kErrUpdateWithoutEdit);
  rs->Edit();
  EXPECT_EQ(rs->GetEditMode(), dbEditInProgress);
  rs->Set("Name", Variant("uno"));
  EXPECT_EQ(rs->Get("Name").ToText(), "uno");  // the edit buffer
  rs->Set("Done", Variant::Bool(false));
  rs->Set("Shipped", Variant("2022-02-03"));
  rs->Update();
  EXPECT_EQ(rs->GetEditMode(), dbEditNone);
  rs->Edit();
  rs->Set("Name", Variant("lost"));
  rs->CancelUpdate();
  EXPECT_EQ(rs->Get("Name").ToText(), "uno");
  rs->Edit();
  rs->Set("Name", Variant("moved"));
  rs->MoveNext();  // leaving the row drops the edit
  rs->Edit();
  rs->Set("Done", Variant::Bool(true));
  rs->Update();
  rs->Close();  // other connections see the writes once the recordset lets go
  EXPECT_EQ(RawText("SELECT Name || '|' || Done || '|' || Shipped FROM Items WHERE Code=1"), "uno|0|2022-02-03");
  EXPECT_EQ(RawText("SELECT Done FROM Items WHERE Code=2"), "-1");
}

TEST_F(RecordsetTest, AssignmentConvertsOrRefuses) {
  Raw("CREATE TABLE Strict(T VARCHAR(3) COLLATE NOCASE, N INTEGER, B TINYINT, C CURRENCY, D DOUBLE)");
  Raw("INSERT INTO Strict(T) VALUES('x')");
  db_->GetTableDefs().Refresh();
  TableDef t = db_->GetTableDefs().Item("Strict");
  t->GetFields().Item("T")->SetAllowZeroLength(false);
  t->GetFields().Item("N")->SetRequired(true);
  Recordset rs = db_->OpenRecordset("Strict");
  rs->Edit();
  EXPECT_EQ(ErrorOf([&] { rs->Set("N", Variant("12abc")); }), kErrConversion);
  EXPECT_EQ(ErrorOf([&] { rs->Set("N", Variant::Null()); }), kErrNullInRequired);
  EXPECT_EQ(ErrorOf([&] { rs->Set("T", Variant("abcd")); }), kErrFieldTooSmall);
  EXPECT_EQ(ErrorOf([&] { rs->Set("T", Variant("")); }), kErrZeroLength);
  EXPECT_EQ(ErrorOf([&] { rs->Set("B", Variant(300)); }), kErrNumericOverflow);
  rs->Set("T", Variant(1.5));  // numbers become text
  rs->Set("N", Variant(" 42 "));
  rs->Set("B", Variant(2.5));   // rounds half to even
  rs->Set("C", Variant(1.23456));
  rs->Set("D", Variant("1.5"));
  rs->Update();
  EXPECT_TRUE(rs->Get("T").SameAs(Variant("1.5")));
  EXPECT_TRUE(rs->Get("N").SameAs(Variant::Long(42)));
  EXPECT_TRUE(rs->Get("B").SameAs(Variant::Byte(2)));
  EXPECT_EQ(rs->Get("C").Type(), VarType::Currency);
  EXPECT_EQ(rs->Get("C").ToCurrencyScaled(), 12346);
  EXPECT_TRUE(rs->Get("D").SameAs(Variant::Double(1.5)));
  // A text of exactly the field's size in characters fits, accents included.
  rs->Edit();
  rs->Set("T", Variant("\xC3\xA9t\xC3\xA9"));
  rs->Update();
  // A required field left unset refuses the new row.
  rs->AddNew();
  rs->Set("T", Variant("new"));
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), kErrNullInRequired);
  rs->CancelUpdate();
}

TEST_F(RecordsetTest, ValuesAreReadLiveButRowsAreFixedAtOpen) {
  Recordset rs = db_->OpenRecordset("Items");
  EXPECT_EQ(rs->Get("Name").ToText(), "one");
  // Another recordset changes the row and adds one.
  Recordset other = db_->OpenRecordset("Items");
  other->Edit();
  other->Set("Name", Variant("ONE!"));
  other->Update();
  other->AddNew();
  other->Set("Code", Variant(4));
  other->Update();
  EXPECT_EQ(rs->Get("Name").ToText(), "ONE!");
  EXPECT_EQ(Codes(rs), (std::vector<long>{1, 2, 3}));
}

TEST_F(RecordsetTest, AddNewRowsJoinTheEndAndLastModifiedFindsThem) {
  Recordset rs = db_->OpenRecordset("Items");
  rs->MoveNext();
  rs->AddNew();
  EXPECT_EQ(rs->GetEditMode(), dbEditAdd);
  rs->Set("Code", Variant(9));
  rs->Set("Name", Variant("nine"));
  EXPECT_EQ(rs->Get("Name").ToText(), "nine");
  rs->Update();
  EXPECT_EQ(rs->Get("Code").ToLong(), 2);  // still on the row it was on
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(rs->Get("Code").ToLong(), 9);
  EXPECT_TRUE(rs->Get("Price").SameAs(Variant::Double(0)));  // the column's default
  Bookmark b = rs->GetBookmark();
  rs->MoveFirst();
  rs->SetBookmark(b);
  EXPECT_EQ(rs->Get("Name").ToText(), "nine");
  EXPECT_EQ(ErrorOf([&] { rs->SetBookmark(99); }), kErrInvalidBookmark);
  rs->MoveFirst();
  EXPECT_EQ(Codes(rs), (std::vector<long>{1, 2, 3, 9}));
  EXPECT_EQ(rs->RecordCount(), 4);
}

TEST_F(RecordsetTest, DeletedRowAnswersDeletedUntilMovedAndIsSkipped) {
  Raw("INSERT INTO Items(Code) VALUES(3),(3),(4)");
  // A duplicate-removal loop: delete, move back, move on.
  Recordset rs = db_->OpenRecordset("Items");
  Variant last;
  while (!rs->Eof()) {
    Variant code = rs->Get("Code");
    if (!last.IsEmpty() && Variant::Eq(code, last).IsTrue()) {
      rs->Delete();
      EXPECT_EQ(ErrorOf([&] { rs->Get("Code"); }), kErrRecordDeleted);
      EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), kErrRecordDeleted);
      EXPECT_EQ(ErrorOf([&] { rs->Delete(); }), kErrRecordDeleted);
      rs->MovePrevious();
      EXPECT_EQ(rs->Get("Code").ToLong(), 3);
    }
    last = code;
    rs->MoveNext();
  }
  EXPECT_EQ(RawText("SELECT group_concat(Code, ',') FROM Items"), "1,2,3,4");  // the loop's end committed
  rs->MoveFirst();
  EXPECT_EQ(Codes(rs), (std::vector<long>{1, 2, 3, 4}));
  EXPECT_EQ(rs->RecordCount(), 4);

  // A row deleted by a statement meanwhile is skipped too.
  Recordset again = db_->OpenRecordset("Items");
  db_->Execute("DELETE FROM Items WHERE Code=2");
  EXPECT_EQ(db_->RecordsAffected(), 1);
  EXPECT_EQ(Codes(again), (std::vector<long>{1, 3, 4}));
}

TEST_F(RecordsetTest, NewKeysNeverReuseADeletedRowsKey) {
  Recordset rs = db_->OpenRecordset("Items");
  rs->MoveLast();
  rs->Delete();
  rs->AddNew();
  rs->Set("Code", Variant(5));
  rs->Update();
  rs->MoveFirst();
  EXPECT_EQ(Codes(rs), (std::vector<long>{1, 2, 5}));
}

TEST_F(RecordsetTest, WritesBeforeAFailureAreCommittedWhenItSurfaces) {
  // Per-row writes are batched; a failure must not take earlier rows with it.
  Recordset rs = db_->OpenRecordset("Items");
  long err = 0;
  for (; !rs->Eof() && !err; rs->MoveNext()) {
    rs->Edit();
    Variant qty = rs->Get("Code").ToLong() == 3 ? Variant("oops") : Variant(10);
    err = ErrorOf([&] { rs->Set("Qty", qty); });
    if (!err) rs->Update();
  }
  EXPECT_EQ(err, kErrConversion);
  EXPECT_EQ(RawText("SELECT group_concat(Qty, ',') FROM Items"), "10,10,3");
  // A recordset that goes away commits too.
  {
    Recordset other = db_->OpenRecordset("Items");
    other->MoveLast();
    other->Edit();
    other->Set("Qty", Variant(30));
    other->Update();
  }
  EXPECT_EQ(RawText("SELECT Qty FROM Items WHERE Code=3"), "30");
}

TEST_F(RecordsetTest, ManyRowsStreamThroughTheKeyList) {
  // More rows than the in-memory key list holds.
  Raw("CREATE TABLE Big(n INTEGER);"
      "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM c WHERE i < 60000) INSERT INTO Big SELECT i FROM c;");
  db_->GetTableDefs().Refresh();
  Recordset rs = db_->OpenRecordset("Big");
  long count = 0, sum = 0;
  for (; !rs->Eof(); rs->MoveNext()) {
    ++count;
    sum += rs->Get("n").ToLong() % 7;
  }
  EXPECT_EQ(count, 60000);
  EXPECT_EQ(rs->RecordCount(), 60000);
  rs->AddNew();
  rs->Set("n", Variant(60001));
  rs->Update();
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(rs->Get("n").ToLong(), 60001);
  rs->MovePrevious();
  EXPECT_EQ(rs->Get("n").ToLong(), 60000);
  long expected = 0;
  for (long i = 1; i <= 60000; ++i) expected += i % 7;
  EXPECT_EQ(sum, expected);

  // A read-only result too big to hold goes on into a temporary file,
  // in its order, and reads the same from either end and by bookmark.
  rs->Close();
  db_->Execute("INSERT INTO Big (n) SELECT n + 60001 FROM Big");
  Recordset snap =
      db_->OpenRecordset("SELECT n, n * 2 AS twice, String(40, 'x') & n AS c, n / 2 AS half FROM Big ORDER BY n DESC");
  EXPECT_FALSE(snap->Updatable());
  EXPECT_EQ(ErrorOf([&] { snap->Edit(); }), kErrReadOnly);
  EXPECT_EQ(snap->Get("n").ToLong(), 120002);
  EXPECT_EQ(snap->Get("twice").ToLong(), 240004);
  Bookmark early = snap->GetBookmark();
  long seen = 0, sumBack = 0;
  for (; !snap->Eof(); snap->MoveNext(), ++seen) {
    long n = snap->Get("n").ToLong();
    if (n != 120002 - seen || snap->Get("c").ToText() != std::string(40, 'x') + std::to_string(n)) {
      ADD_FAILURE() << "row " << seen << " reads n = " << n;
      break;
    }
  }
  EXPECT_EQ(seen, 120002);
  snap->MoveLast();
  EXPECT_EQ(snap->Get("n").ToLong(), 1);
  EXPECT_EQ(snap->Get("half").ToDouble(), 0.5);
  EXPECT_EQ(snap->RecordCount(), 120002);
  for (; !snap->Bof(); snap->MovePrevious()) sumBack += snap->Get("n").ToLong() % 7;
  long all = 0;
  for (long i = 1; i <= 120002; ++i) all += i % 7;
  EXPECT_EQ(sumBack, all);
  snap->SetBookmark(early);
  EXPECT_EQ(snap->Get("n").ToLong(), 120002);
  snap->MoveLast();
  snap->MovePrevious();
  EXPECT_EQ(snap->Get("n").ToLong(), 2);
  snap->Close();

  // Its rows are its own: a transaction rolled back after it opened takes
  // none of them away.
  db_->BeginTrans();
  db_->Execute("DELETE FROM Big WHERE n > 10");
  Recordset kept = db_->OpenRecordset("SELECT n, String(40, 'x') AS c FROM Big ORDER BY n");
  db_->Rollback();
  db_->BeginTrans();
  db_->Execute("DELETE FROM Big WHERE n > 60000");
  Recordset before = db_->OpenRecordset("SELECT n, String(100, 'x') AS c FROM Big ORDER BY n");
  db_->Rollback();
  before->MoveLast();
  EXPECT_EQ(before->Get("n").ToLong(), 60000);
  EXPECT_EQ(before->RecordCount(), 60000);
  kept->MoveLast();
  EXPECT_EQ(kept->RecordCount(), 10);
}


TEST_F(RecordsetTest, ALoopOverABigTableSeesEveryWriteMadeWhileItRuns) {
  // A big table's loop reads its rows through one statement; writes of its
  // own, other statements between rows, deletions ahead and the caller's
  // transaction must all read as they would row by row.
  Raw("CREATE TABLE Big(n INTEGER, m INTEGER, t TEXT);"
      "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM c WHERE i < 60000) "
      "INSERT INTO Big SELECT i, 0, 'row ' || i FROM c;");
  db_->GetTableDefs().Refresh();
  // A few keys of a big table stay in memory, and outlive the rollback of
  // the transaction the recordset was opened in.
  db_->BeginTrans();
  Recordset few = db_->OpenRecordset("SELECT * FROM Big WHERE n <= 20");
  db_->Rollback();
  long fewSeen = 0;
  for (; !few->Eof(); few->MoveNext()) fewSeen += few->Get("n").ToLong();
  EXPECT_EQ(fewSeen, 210);

  db_->BeginTrans();
  Recordset rs = db_->OpenRecordset("SELECT * FROM Big WHERE n > 10 ORDER BY n DESC");
  long seen = 0, expect = 60000;
  for (; !rs->Eof(); rs->MoveNext(), ++seen) {
    const long n = rs->Get("n").ToLong();
    if (n != expect) {
      ADD_FAILURE() << "row " << seen << " reads n = " << n << ", not " << expect;
      break;
    }
    expect = n == 4010 ? 3999 : n - 1;
    if (n == 5000) db_->Execute("DELETE FROM Big WHERE n BETWEEN 4000 AND 4009");
    if (n == 7000) db_->Execute("UPDATE Big SET t = 'seen' WHERE n = 6998");
    if (n == 6998 && rs->Get("t").ToText() != "seen") ADD_FAILURE() << "an update between rows is not seen";
    rs->Edit();
    if (n % 3 == 0) rs->Set("m", Variant::Long(n * 2));
    if (n % 5 == 0) rs->Set("t", Variant("five " + std::to_string(n)));
    rs->Update();
    if (n % 3 == 0 && rs->Get("m").ToLong() != n * 2) ADD_FAILURE() << "row " << n << " does not read its own write";
    // A field the loop has not read before, late in the loop.
    if (n == 30000 && rs->Get("t").ToText() != "five 30000") ADD_FAILURE() << "a field first read late is wrong";
  }
  EXPECT_EQ(seen, 59980);
  db_->CommitTrans();
  rs->Close();
  EXPECT_EQ(RawText("SELECT count(*) || ' ' || sum(m = n * 2) || ' ' || sum(t = 'five ' || n) || ' ' || "
                    "sum(t = 'seen') FROM Big"),
            "59990 19994 11996 1");
}

TEST_F(RecordsetTest, AfterItsOwnWriteARowReadsAsStored) {
  // Rows after the first bring only the fields read so far; one read for
  // the first time, and the fields just written, read as the file has them.
  Recordset rs = db_->OpenRecordset("Items");
  EXPECT_EQ(rs->Get("Code").ToLong(), 1);
  rs->MoveNext();
  EXPECT_EQ(rs->Get("Name").ToText(), "two");
  rs->Edit();
  rs->Set("Shipped", Variant("2022-02-03"));
  rs->Set("Price", Variant("7.25"));
  rs->Update();
  EXPECT_EQ(rs->Get("Shipped").Type(), VarType::Date);
  EXPECT_TRUE(rs->Get("Price").SameAs(Variant::Double(7.25)));
  EXPECT_EQ(rs->Get("Qty").ToLong(), 2);  // not read before the write
  EXPECT_EQ(rs->Get("Code").ToLong(), 2);
  // Another statement's write of the row is seen, not the values kept.
  db_->Execute("UPDATE Items SET Qty = 9, Name = 'deux' WHERE Code = 2");
  EXPECT_EQ(rs->Get("Qty").ToLong(), 9);
  EXPECT_EQ(rs->Get("Name").ToText(), "deux");
  rs->MoveNext();
  EXPECT_EQ(rs->Get("Notes").IsNull(), true);
  EXPECT_EQ(rs->Get("Price").ToDouble(), 3.5);
}

TEST_F(RecordsetTest, SavingWhatARowHoldsWritesNothingAndRowsStayLive) {
  const std::string before = testing::FileChangeCounter(path_);
  Recordset rs = db_->OpenRecordset("Items");
  rs->Edit();
  rs->Set("Name", Variant("one"));
  rs->Set("Price", Variant(1.5));
  rs->Update();
  EXPECT_EQ(rs->LastModified(), 0);
  rs->Close();
  EXPECT_EQ(testing::FileChangeCounter(path_), before);

  // A letter case is a change.
  rs = db_->OpenRecordset("Items");
  rs->Edit();
  rs->Set("Name", Variant("One"));
  rs->Update();
  rs->Close();
  EXPECT_EQ(RawText("SELECT Name FROM Items WHERE Code = 1"), "One");

  // A row half read stands aside for statements and schema changes, and
  // what it reads afterwards is the row as it is then.
  rs = db_->OpenRecordset("Items");
  EXPECT_EQ(rs->Get("Code").ToLong(), 1);
  db_->Execute("UPDATE Items SET Name = 'uno', Notes = 'n' WHERE Code = 1");
  TableDef t = db_->GetTableDefs().Item("Items");
  t->GetFields().Append(t->CreateField("Extra", dbLong));
  EXPECT_EQ(rs->Get("Name").ToText(), "uno");
  EXPECT_EQ(rs->Get("Notes").ToText(), "n");
  Recordset other = db_->OpenRecordset("Items");
  EXPECT_EQ(other->Get("Name").ToText(), "uno");
  EXPECT_EQ(rs->Get("Price").ToDouble(), 1.5);
}

}  // namespace
}  // namespace qrw::test
