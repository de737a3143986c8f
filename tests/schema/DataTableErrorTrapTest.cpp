#include <gtest/gtest.h>

#include <memory>

#include "engine/ErrorCodes.h"
#include "schema/Primitives.h"
#include "schema/TestDb.h"

namespace qrw {
namespace {

// A database whose OpenRecordset fails a given number of times (for ever
// when negative) and then hands the call to a real database.
class FlakyDatabase : public DatabaseObject {
 public:
  FlakyDatabase(Database real, int failures, long number) : real_(std::move(real)), left_(failures), number_(number) {}
  int attempts = 0;

  Recordset OpenRecordset(const std::string& source) override {
    ++attempts;
    if (left_ != 0) {
      if (left_ > 0) --left_;
      throw Error(number_, "Trouble #" + std::to_string(number_));
    }
    return real_->OpenRecordset(source);
  }
  std::string Name() override { return real_->Name(); }
  TableDefs& GetTableDefs() override { return real_->GetTableDefs(); }
  QueryDefs& GetQueryDefs() override { return real_->GetQueryDefs(); }
  TableDef CreateTableDef(const std::string& n) override { return real_->CreateTableDef(n); }
  QueryDef CreateQueryDef(const std::string& n, const std::string& s) override { return real_->CreateQueryDef(n, s); }
  void Execute(const std::string& sql) override { real_->Execute(sql); }
  long RecordsAffected() override { return 0; }
  void Close() override {}
  void BeginTrans() override {}
  void CommitTrans() override {}
  void Rollback() override {}

 private:
  Database real_;
  int left_;
  long number_;
};

std::string MessageA(long number, const std::string& source, const std::string& caller) {
  return "*** REPORT THIS MESSAGE TO Kestaro 555-014-2290 ***\r\n\r\n"
         "***** THIS IS AN ERROR TRAP FOR A DATA TABLE *****\r\n\r\n"
         "The following error has been trapped\r\n\r\n"
         "Error Number:       " + std::to_string(number) + "\r\n"
         "Error Description:  Trouble #" + std::to_string(number) + "\r\n\r\n"
         "Failure opening the following query or table.\r\n"
         "'" + source + "'\r\n"
         "Called from '" + caller + "'\r\n\r\n"
         "This is possibly due to a faulty network connection or Syntax error. \r\n\r\n"
         "Press Retry to try again.  Press Cancel to quit.\r\n"
         "If you press Cancel the program will most likly\r\n"
         "terminate and you will have to start over.";
}

class DataTableErrorTrapTest : public testing::ProductDbTest {
 protected:
  void SetUp() override { OpenProduct("CREATE TABLE Vendors (Name VARCHAR(30)); INSERT INTO Vendors VALUES ('Acme');"); }
  bool Open(int failures, long number = engine::kErrSyntaxFrom) {
    flaky_ = std::make_shared<FlakyDatabase>(db_, failures, number);
    Database db(flaky_);
    return DataTableErrorTrap(rs_, db, "Select * From Vendors", "aaaDoIt.doit");
  }
  void ExpectMessageA(const BoxRequest& box, long number) {
    EXPECT_EQ(box.text, MessageA(number, "Select * From Vendors", "aaaDoIt.doit"));
    EXPECT_EQ(box.buttons, Buttons::RetryCancel);
    EXPECT_EQ(box.icon, Icon::Critical);
    EXPECT_EQ(box.modality, Modality::System);
  }
  std::shared_ptr<FlakyDatabase> flaky_;
  Recordset rs_;
};

TEST_F(DataTableErrorTrapTest, NineteenFailuresAreRetriedSilently) {
  EXPECT_TRUE(Open(0));
  EXPECT_EQ(rs_->Get("Name").ToText(), "Acme");
  EXPECT_TRUE(Open(19));
  EXPECT_EQ(flaky_->attempts, 20);
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(DataTableErrorTrapTest, TwentiethFailureAsksAndRetryStartsAFreshSeries) {
  boxes_.Queue(Answer::Retry);
  EXPECT_TRUE(Open(25));  // box after the 20th; the 26th attempt opens
  EXPECT_EQ(flaky_->attempts, 26);
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  ExpectMessageA(boxes_.Shown()[0], engine::kErrSyntaxFrom);
  EXPECT_FALSE(rs_.IsNothing());
}

TEST_F(DataTableErrorTrapTest, CancelAnswersFalseAndLeavesTheVariable) {
  const Recordset before = db_->OpenRecordset("Vendors");
  rs_ = before;
  boxes_.Queue(Answer::Retry);
  boxes_.Queue(Answer::Cancel);
  EXPECT_FALSE(Open(-1));
  EXPECT_EQ(flaky_->attempts, 40);
  EXPECT_TRUE(rs_.SameObject(before));
  ASSERT_EQ(boxes_.Shown().size(), 2u);  // no directions for a syntax error
  ExpectMessageA(boxes_.Shown()[1], engine::kErrSyntaxFrom);

  // Closing the box without an answer gives up as Cancel does.
  boxes_.ClearShown();
  boxes_.Queue(Answer::Closed);
  EXPECT_FALSE(Open(-1, engine::kErrDiskOrNetwork));
  EXPECT_EQ(flaky_->attempts, 20);
  EXPECT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_TRUE(rs_.SameObject(before));
}

TEST_F(DataTableErrorTrapTest, BrokenConnectionGetsTheDirectionsBeforeRetrying) {
  for (long number : {engine::kErrInputNotFound, engine::kErrDiskOrNetwork, engine::kErrLocked,
                      engine::kErrObjectInvalid}) {
    boxes_.ClearShown();
    boxes_.Queue(Answer::Retry);
    boxes_.Queue(Answer::OK);
    boxes_.Queue(Answer::Cancel);
    EXPECT_FALSE(Open(-1, number));
    ASSERT_EQ(boxes_.Shown().size(), 3u) << number;
    ExpectMessageA(boxes_.Shown()[0], number);
    const BoxRequest& b = boxes_.Shown()[1];
    EXPECT_EQ(b.text,
              "******** FOLLOW THE DIRECTIONS EXACTLY ********\r\n"
              "Try to open another copy of Quarrow.\r\n"
              "If you cannot open another copy, you have an\r\n"
              "open network connection.  If you can open\r\n"
              "another copy, close it and THEN click OK here.");
    EXPECT_EQ(b.buttons, Buttons::OK);
    EXPECT_EQ(b.icon, Icon::Critical);
    EXPECT_EQ(b.modality, Modality::System);
    ExpectMessageA(boxes_.Shown()[2], number);
  }
}

}  // namespace
}  // namespace qrw
