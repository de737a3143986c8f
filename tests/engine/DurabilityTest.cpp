// What survives a run that breaks off: an error that is not the engine's
// in the middle of a record loop, a process killed in the middle of a batch
// of row writes or of a schema change, a disk that fills up or fails; and
// what the engine leaves of the file (its journal mode, nothing written by
// merely opening it).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <fstream>
#include <iterator>
#include <string>

#include "EngineFixture.h"
#include "FaultVfs.h"

namespace qrw::test {
namespace {

using namespace qrw::engine;

class DurabilityTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Raw("CREATE TABLE T(n INTEGER, x INTEGER DEFAULT 0, s VARCHAR(20) COLLATE NOCASE);"
        "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM c WHERE i < 3000) "
        "INSERT INTO T(n, x, s) SELECT i, 0, 'row' FROM c;");
  }

  // Runs `work` in a child process that writes one byte to a pipe at the
  // moment `work` calls the signal function, then keeps going; the parent
  // kills it right after that byte (after `delayUs` more microseconds).
  void KillDuring(const std::function<void(const std::function<void()>&)>& work, int delayUs) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      bool told = false;
      auto signal = [&] {
        if (told) return;
        told = true;
        char b = 'k';
        if (write(fds[1], &b, 1) != 1) _exit(3);
      };
      try {
        work(signal);
      } catch (...) {
      }
      // Never leave through the test framework; wait to be killed.
      for (;;) pause();
    }
    close(fds[1]);
    char b = 0;
    ASSERT_EQ(read(fds[0], &b, 1), 1) << "the child ended before its signal";
    close(fds[0]);
    if (delayUs > 0) usleep(static_cast<useconds_t>(delayUs));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
  }
};

TEST_F(DurabilityTest, RowsSavedBeforeANonEngineErrorStaySaved) {
  // The run ends with the value type's own error (94) half-way through a
  // loop; the recordset and database are released while it unwinds.
  try {
    Database db = Engine::Instance().OpenDatabase(path_);
    Recordset rs = db->OpenRecordset("T");
    for (; !rs->Eof(); rs->MoveNext()) {
      long n = rs->Get("n").ToLong();
      if (n == 6) (void)Variant::Null().ToLong();  // raises 94
      rs->Edit();
      rs->Set("x", Variant(static_cast<int>(n * 10)));
      rs->Update();
    }
    FAIL() << "the loop should have broken off";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), rt::kInvalidUseOfNull);
  }
  EXPECT_EQ(RawText("SELECT group_concat(x, ',') FROM (SELECT x FROM T WHERE n <= 7 ORDER BY n)"),
            "10,20,30,40,50,0,0");
  // Also when the handles are released in the other order and rows were
  // added rather than edited.
  {
    Recordset rs;
    try {
      Database db = Engine::Instance().OpenDatabase(path_);
      rs = db->OpenRecordset("T");
      for (int i = 0; i < 3; ++i) {
        rs->AddNew();
        rs->Set("n", Variant(5000 + i));
        rs->Update();
      }
      rt::Raise(rt::kInvalidUseOfNull);
    } catch (const Error&) {
    }
  }
  EXPECT_EQ(RawText("SELECT count(*) FROM T WHERE n >= 5000"), "3");
  Open();
  EXPECT_EQ(db_->OpenRecordset("T")->RecordCount(), 3003);
  EXPECT_EQ(RawText("PRAGMA integrity_check"), "ok");
}

TEST_F(DurabilityTest, AStatementThatFailsInsideARecordLoopChangesNothing) {
  // A statement that cannot run undoes itself even while a record loop's
  // writes are still pending; those writes stay.
  Raw("CREATE TABLE W(v INTEGER); INSERT INTO W VALUES (9000000000000000000), (9000000000000000000);");
  Open();
  Recordset rs = db_->OpenRecordset("T");
  rs->Edit();
  rs->Set("x", Variant(77));
  rs->Update();
  rs->MoveNext();
  // The total overflows only once the new table exists.
  EXPECT_NE(ErrorOf([&] { db_->Execute("Select Sum(v) As s Into X From W"); }), 0);
  EXPECT_EQ(ErrorOf([&] { db_->GetTableDefs().Item("X"); }), kErrItemNotFound);
  EXPECT_EQ(RawText("SELECT count(*) FROM sqlite_schema WHERE name = 'X'"), "0");
  EXPECT_EQ(RawText("SELECT count(*) FROM sqlite_schema WHERE name LIKE 'MSys%'"), "0");  // nor its catalog rows
  EXPECT_EQ(RawText("SELECT x FROM T WHERE n = 1"), "77");
  // The loop goes on and its later writes are kept.
  rs->Edit();
  rs->Set("x", Variant(78));
  rs->Update();
  rs->Close();
  EXPECT_EQ(RawText("SELECT group_concat(x, ',') FROM (SELECT x FROM T WHERE n <= 3 ORDER BY n)"), "77,78,0");
  EXPECT_EQ(RawText("PRAGMA integrity_check"), "ok");
}

TEST_F(DurabilityTest, KilledInTheMiddleOfABatchKeepsASoundFile) {
  // The first loop's writes are committed at its end; the second loop is
  // killed with a batch open. The file opens, is sound, and holds every
  // row of the first loop and none or all of each row write of the second.
  KillDuring(
      [&](const std::function<void()>& signal) {
        Database db = Engine::Instance().OpenDatabase(path_);
        Recordset rs = db->OpenRecordset("T");
        for (; !rs->Eof(); rs->MoveNext()) {
          rs->Edit();
          rs->Set("x", Variant(1));
          rs->Update();
        }
        rs->Close();
        for (int round = 2;; ++round) {
          rs = db->OpenRecordset("T");
          for (int k = 0; !rs->Eof(); rs->MoveNext(), ++k) {
            rs->Edit();
            rs->Set("x", Variant(round));
            rs->Set("s", Variant("r" + std::to_string(round)));
            rs->Update();
            if (k == 100) signal();
          }
        }
      },
      0);
  Open();
  EXPECT_EQ(RawText("PRAGMA integrity_check"), "ok");
  EXPECT_EQ(RawText("SELECT count(*) FROM T WHERE x < 1"), "0");
  // Both fields of a row were written together or not at all.
  EXPECT_EQ(RawText("SELECT count(*) FROM T WHERE x >= 2 AND s <> 'r' || x"), "0");
  EXPECT_EQ(db_->OpenRecordset("T")->RecordCount(), 3000);
}

TEST_F(DurabilityTest, KilledDuringSchemaChangesKeepsASoundFileAndCatalog) {
  // Each schema change is atomic: after a kill the engine's own tables and
  // the stored table agree, whichever change was under way.
  for (int delay : {0, 2000, 9000, 25000}) {
    KillDuring(
        [&](const std::function<void()>& signal) {
          Database db = Engine::Instance().OpenDatabase(path_);
          TableDef t = db->GetTableDefs().Item("T");
          for (int round = 0;; ++round) {
            Field f = t->CreateField("tmp", dbText, 10);
            f->SetRequired(round % 2 == 0);
            t->GetFields().Append(f);
            t->GetFields().Item("tmp")->SetOrdinalPosition(0);
            Index ix = t->CreateIndex("ByTmp");
            ix->GetFields().Append(ix->CreateField("tmp"));
            t->GetIndexes().Append(ix);
            signal();
            t->GetFields().Item("tmp")->SetName("tmp2");
            t->GetIndexes().Delete("ByTmp");
            t->GetFields().Delete("tmp2");
          }
        },
        delay);
    Open();
    ASSERT_EQ(RawText("PRAGMA integrity_check"), "ok") << delay;
    TableDef t = db_->GetTableDefs().Item("T");
    int count = t->GetFields().Count();
    ASSERT_GE(count, 3);
    // The catalog lists no field or index that the table lacks.
    EXPECT_EQ(RawText("SELECT count(*) FROM MSysFields WHERE TableName='T' AND FieldName NOT IN "
                      "(SELECT name FROM pragma_table_info('T'))"),
              "0")
        << delay;
    EXPECT_EQ(RawText("SELECT count(*) FROM MSysIndexes WHERE TableName='T' AND SqliteIndexName NOT IN "
                      "(SELECT name FROM pragma_index_list('T'))"),
              "0")
        << delay;
    EXPECT_EQ(db_->OpenRecordset("T")->RecordCount(), 3000);
    // Whatever the kill left behind is cleaned up by the next run's own steps.
    for (const char* name : {"tmp", "tmp2"}) {
      for (Index ix : t->GetIndexes().Members())
        if (ix->Name() == "ByTmp") t->GetIndexes().Delete("ByTmp");
      bool has = false;
      for (Field f : t->GetFields().Members()) has = has || f->Name() == name;
      if (has) t->GetFields().Delete(name);
    }
    EXPECT_EQ(t->GetFields().Count(), 3);
    db_->Close();
    db_.Clear();
  }
}


// The bytes of a file ("" when it is missing).
std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Bytes 18 and 19 of the header: 1 for a rollback journal, 2 for WAL.
int StoredJournalFormat(const std::string& path) {
  std::string b = FileBytes(path);
  return b.size() > 18 ? b[18] : 0;
}

TEST_F(DurabilityTest, AFailedWriteSurfacesAsTheDisksOwnError) {
  // A full or failing disk is reported with the number and text of the
  // product's engine, by the call that met it or, when that was closing a
  // recordset (which never raises), by the next engine call.
  struct Case {
    bench::Fault fault;
    long number;
    const char* text;
    bool close;  // Close, or let the recordset go
  };
  for (Case c : {Case{bench::Fault::DiskFull, kErrDiskFull, "Not enough space on disk.", true},
                 Case{bench::Fault::WriteError, kErrDiskOrNetwork, "Disk or network error.", false},
                 Case{bench::Fault::SyncError, kErrDiskOrNetwork, "Disk or network error.", true},
                 Case{bench::Fault::SyncError, kErrDiskOrNetwork, "Disk or network error.", false}}) {
    SCOPED_TRACE(bench::FaultName(c.fault));
    {
      bench::ScopedFaultVfs disk;
      Open();
      std::optional<Error> first;
      auto note = [&](const std::function<void()>& f) {
        try {
          f();
        } catch (const Error& e) {
          if (!first) first = e;
        }
      };
      {
        Recordset rs = db_->OpenRecordset("T");
        disk.FailFromNow(c.fault);
        note([&] {
          for (int k = 0; k < 5; ++k, rs->MoveNext()) {
            rs->Edit();
            rs->Set("x", Variant(7));
            rs->Update();
          }
        });
        if (c.close) {
          EXPECT_EQ(ErrorOf([&] { rs->Close(); }), 0);
        }
      }
      note([&] { db_->GetTableDefs().Count(); });
      ASSERT_TRUE(first) << "the failed write was not reported";
      EXPECT_EQ(first->Number(), c.number);
      EXPECT_EQ(first->Description(), c.text);
      // Reported once; the engine's transactions are SQLite's again.
      disk.Heal();
      EXPECT_EQ(ErrorOf([&] {
                  db_->BeginTrans();
                  db_->Execute("UPDATE T SET x = 1 WHERE n = 3000");
                  db_->CommitTrans();
                }),
                0);
      db_->Close();
      db_.Clear();
    }
    EXPECT_EQ(RawText("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(RawText("SELECT count(*) FROM T WHERE x = 7"), "0");
    EXPECT_EQ(RawText("SELECT x FROM T WHERE n = 3000"), "1");
    Raw("UPDATE T SET x = 0");
  }
}

TEST_F(DurabilityTest, ARollbackAfterSQLiteUndidTheTransactionKeepsTheRealError) {
  // A full disk inside a transaction may make SQLite roll the whole
  // transaction back by itself; the caller's Rollback must then neither
  // fail nor hide the disk's error, and nothing may stay open. The table is
  // made big enough for the statement's journal to outgrow what the engine
  // gathers before writing, so the failed write meets the statement itself.
  Raw("INSERT INTO T(n, x, s) SELECT n + 3000, 0, s FROM T; INSERT INTO T(n, x, s) SELECT n + 6000, 0, s FROM T;"
      "INSERT INTO T(n, x, s) SELECT n + 12000, 0, s FROM T;");
  bench::ScopedFaultVfs disk;
  Open();
  db_->BeginTrans();
  disk.FailFromNow(bench::Fault::WriteError);
  long err = ErrorOf([&] { db_->Execute("UPDATE T SET s = 'longer text', x = n"); });
  EXPECT_EQ(err, kErrDiskOrNetwork);
  disk.Heal();
  EXPECT_EQ(ErrorOf([&] { db_->Rollback(); }), 0);
  EXPECT_EQ(ErrorOf([&] { db_->Rollback(); }), kErrTransaction);  // nothing left open
  EXPECT_EQ(RawText("SELECT count(*) FROM T WHERE x <> 0"), "0");
  db_->BeginTrans();
  db_->Execute("UPDATE T SET x = 5 WHERE n = 1");
  db_->CommitTrans();
  db_->Close();
  db_.Clear();
  EXPECT_EQ(RawText("SELECT x FROM T WHERE n = 1"), "5");
  EXPECT_EQ(RawText("PRAGMA integrity_check"), "ok");
}

TEST_F(DurabilityTest, AJournalOfManyPiecesRollsBackAndCommitsWhole) {
  // The journal is gathered into pieces before it is written; a statement
  // that journals many of them must still be undone and kept whole.
  Raw("INSERT INTO T(n, x, s) SELECT n + 3000, 0, s FROM T; INSERT INTO T(n, x, s) SELECT n + 6000, 0, s FROM T;"
      "INSERT INTO T(n, x, s) SELECT n + 12000, 0, s FROM T;");
  Open();
  db_->BeginTrans();
  db_->Execute("UPDATE T SET s = 'a longer text', x = n");
  db_->Rollback();
  EXPECT_EQ(RawText("SELECT count(*) FROM T WHERE x <> 0 OR s <> 'row'"), "0");
  db_->BeginTrans();
  db_->Execute("UPDATE T SET s = 'a longer text', x = n");
  db_->CommitTrans();
  EXPECT_EQ(RawText("SELECT count(*) FROM T WHERE x = n AND s = 'a longer text'"), "24000");
  EXPECT_EQ(RawText("PRAGMA integrity_check"), "ok");
}

TEST_F(DurabilityTest, AnErrorDoesNotCommitPendingRowWrites) {
  // Pending row writes are committed where the caller lets go of them (the
  // end of the loop, closing), not because some error was raised.
  Open();
  Recordset rs = db_->OpenRecordset("T");
  rs->Edit();
  rs->Set("x", Variant(9));
  rs->Update();
  EXPECT_EQ(ErrorOf([&] { db_->GetTableDefs().Item("NoSuchTable"); }), kErrItemNotFound);
  EXPECT_EQ(RawText("SELECT x FROM T WHERE n = 1"), "0");
  rs->Close();
  EXPECT_EQ(RawText("SELECT x FROM T WHERE n = 1"), "9");
}

TEST_F(DurabilityTest, TheFileKeepsItsJournalMode) {
  // Files made by other tools use a rollback journal, and so do the
  // product's other computers, which open the file over the network where a
  // write-ahead log does not work: the engine never leaves one behind. A
  // file already in WAL stays so.
  for (bool wal : {false, true}) {
    SCOPED_TRACE(wal ? "wal" : "rollback journal");
    if (wal) Raw("PRAGMA journal_mode=WAL");
    const int format = StoredJournalFormat(path_);
    Open();
    TableDef t = db_->GetTableDefs().Item("T");
    t->GetFields().Append(t->CreateField(wal ? "w" : "r", dbLong));
    Recordset rs = db_->OpenRecordset("T");
    for (int k = 0; k < 20; ++k, rs->MoveNext()) {
      rs->Edit();
      rs->Set("x", Variant(k));
      rs->Update();
    }
    EXPECT_EQ(StoredJournalFormat(path_), format);  // also while it runs
    rs->Close();
    db_->Close();
    db_.Clear();
    EXPECT_EQ(StoredJournalFormat(path_), wal ? 2 : 1);
    EXPECT_FALSE(std::filesystem::exists(path_ + "-journal"));
    EXPECT_FALSE(std::filesystem::exists(path_ + "-wal"));
    EXPECT_EQ(RawText("SELECT count(*) FROM T WHERE x > 0"), "19");
  }
}

TEST_F(DurabilityTest, OpeningAndReadingAFileWritesNothing) {
  // A file with none of the product's tables is only looked at until the
  // first write; that write creates the engine's own tables.
  const std::string before = FileBytes(path_);
  Open();
  TableDef t = db_->GetTableDefs().Item("T");
  EXPECT_EQ(t->GetFields().Count(), 3);
  EXPECT_EQ(db_->GetQueryDefs().Count(), 0);
  EXPECT_EQ(ErrorOf([&] { db_->GetTableDefs().Item("Defaults"); }), kErrItemNotFound);
  Recordset rs = db_->OpenRecordset("Select n From T Where n < 5");
  EXPECT_EQ(rs->Get("n").ToLong(), 1);
  rs->Close();
  db_->Close();
  db_.Clear();
  EXPECT_TRUE(FileBytes(path_) == before);
  for (const char* side : {"-journal", "-wal", "-shm"}) EXPECT_FALSE(std::filesystem::exists(path_ + side)) << side;
  Open();
  db_->CreateQueryDef("Q", "Select n From T");
  EXPECT_EQ(RawText("SELECT count(*) FROM sqlite_schema WHERE name LIKE 'MSys%'"), "4");
  EXPECT_EQ(db_->GetQueryDefs().Item("Q")->SQL(), "Select n From T");
}

}  // namespace
}  // namespace qrw::test
