#include <gtest/gtest.h>

#include "conversions/DefaultOptions.h"
#include "schema/TestDb.h"
#include "support/ErrorOf.h"

namespace qrw {
namespace {

using testing::ErrorOf;

constexpr const char* kDefaultsTable =
    "CREATE TABLE Defaults (CutStock VARCHAR(50), StdLFCutting VARCHAR(50), Fold VARCHAR(50), Pad VARCHAR(50),"
    " FinalTrim VARCHAR(50), \"Collate\" VARCHAR(50), DefaultBindery VARCHAR(50), Deliver VARCHAR(50));";

class DefaultOptionsTest : public testing::ProductDbTest {
 protected:
  void OpenDefaults(const std::string& values) {
    OpenProduct(std::string(kDefaultsTable) + "INSERT INTO Defaults VALUES (" + values + ");");
  }
  std::string Lookup(std::int16_t mode, const std::string& name) { return DefaultBinderyOption(mode, name); }
};

TEST_F(DefaultOptionsTest, SearchNamesGiveTheStoredOptionNamesUnchanged) {
  OpenDefaults("' Cutting  ', 'Cutting LF', 'Folding', 'Padding', 'Trim', 'Collating', 'Start', 'Delivery'");
  EXPECT_EQ(Lookup(1, "Cut"), " Cutting  ");
  EXPECT_EQ(Lookup(1, "Cutting LF"), "Cutting LF");
  EXPECT_EQ(Lookup(1, "Fold"), "Folding");
  EXPECT_EQ(Lookup(1, "Pad"), "Padding");
  EXPECT_EQ(Lookup(1, "FinalTrim"), "Trim");
  EXPECT_EQ(Lookup(1, "Collate"), "Collating");
  EXPECT_EQ(Lookup(1, "StartUpBindery"), "Start");
  EXPECT_EQ(Lookup(1, "Deliver"), "Delivery");
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(DefaultOptionsTest, NullOptionNamesFailExceptForStartUpAndDelivery) {
  OpenDefaults("NULL, NULL, NULL, 'Padding', NULL, NULL, NULL, NULL");
  EXPECT_EQ(Lookup(1, "StartUpBindery"), "");
  EXPECT_EQ(Lookup(1, "Deliver"), "");
  for (const char* name : {"Cut", "Cutting LF", "Fold", "FinalTrim", "Collate"})
    EXPECT_EQ(ErrorOf([&] { Lookup(1, name); }), rt::kInvalidUseOfNull) << name;
  EXPECT_EQ(Lookup(1, "Pad"), "Padding");
}

TEST_F(DefaultOptionsTest, UnknownSearchNameIsReportedAndAnsweredWithFail) {
  OpenDefaults("'Cutting', NULL, NULL, NULL, NULL, NULL, NULL, NULL");
  EXPECT_EQ(Lookup(1, "cut"), "Fail");
  EXPECT_EQ(Lookup(1, "Say \"Cut\""), "Fail");
  ASSERT_EQ(boxes_.Shown().size(), 2u);
  EXPECT_EQ(boxes_.Shown()[0].text, "\"cut\" is not a valid DefaultBinderyOption search name.");
  EXPECT_EQ(boxes_.Shown()[1].text, "\"Say \"\"Cut\"\"\" is not a valid DefaultBinderyOption search name.");
  for (const BoxRequest& box : boxes_.Shown()) {
    EXPECT_EQ(box.buttons, Buttons::OK);
    EXPECT_EQ(box.icon, Icon::Critical);
    EXPECT_EQ(box.modality, Modality::System);
    EXPECT_EQ(box.title, kAppTitle);
  }
}

TEST_F(DefaultOptionsTest, OptionNamesLeadBackToTheFirstSearchNameHoldingThem) {
  OpenDefaults("'Cutting', NULL, 'Shared', 'Shared', 'Trim', 'Collating', 'Startup only', 'Delivery'");
  EXPECT_EQ(Lookup(2, "Shared"), "Fold");
  EXPECT_EQ(Lookup(2, "Cutting"), "Cut");
  EXPECT_EQ(Lookup(2, "Delivery"), "Deliver");
  EXPECT_EQ(Lookup(2, "cutting"), "");       // compared exactly
  EXPECT_EQ(Lookup(2, "Startup only"), "");  // the start-up option is not searched
  EXPECT_EQ(Lookup(2, ""), "");              // a Null field never matches
  EXPECT_EQ(Lookup(3, "Cut"), "");
  EXPECT_EQ(Lookup(0, "Shared"), "");
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(DefaultOptionsTest, MissingRecordOrCancelledOpenReachTheCaller) {
  OpenProduct(kDefaultsTable);
  EXPECT_NE(ErrorOf([&] { Lookup(1, "Cut"); }), 0);
  EXPECT_EQ(Lookup(3, "Cut"), "");  // nothing is read

  OpenProduct("CREATE TABLE Other (ID INTEGER);");
  boxes_.SetDefault(Answer::Cancel);
  EXPECT_EQ(ErrorOf([&] { Lookup(1, "Cut"); }), rt::kObjectNotSet);
  ASSERT_FALSE(boxes_.Shown().empty());
  EXPECT_NE(boxes_.Shown().back().text.find("Called from 'DefaultBinderyName'"), std::string::npos);
}

TEST(NullToTextTest, NullIsEmptyAndOtherValuesTheirText) {
  EXPECT_EQ(NullToText(Variant::Null()), "");
  EXPECT_EQ(NullToText(Variant()), "");
  EXPECT_EQ(NullToText(Variant::Text(" a ")), " a ");
  EXPECT_EQ(NullToText(Variant::Long(42)), "42");
}

}  // namespace
}  // namespace qrw
