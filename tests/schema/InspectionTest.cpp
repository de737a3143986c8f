#include <gtest/gtest.h>

#include "engine/ErrorCodes.h"
#include "schema/Primitives.h"
#include "schema/TestDb.h"

namespace qrw {
namespace {

class InspectionTest : public testing::ProductDbTest {
 protected:
  void SetUp() override {
    OpenProduct("CREATE TABLE OrderHeader (Control VARCHAR(10) COLLATE NOCASE, ItemNumb INTEGER);");
    db_->CreateQueryDef("QOrders", "SELECT Control FROM OrderHeader");
  }
};

TEST_F(InspectionTest, FieldNamesIgnoreCaseTableAndQueryNamesDoNot) {
  for (const char* name : {"ItemNumb", "ITEMNUMB", "itemnumb"}) {
    EXPECT_TRUE(FieldPresent("OrderHeader", name)) << name;
    EXPECT_TRUE(FieldExists("OrderHeader", name, db_)) << name;
    EXPECT_TRUE(FieldExistsInDb(db_, "OrderHeader", name)) << name;
  }
  EXPECT_FALSE(FieldPresent("OrderHeader", "ItemNum"));
  EXPECT_FALSE(FieldExistsInDb(db_, "OrderHeader", "QOrders"));

  EXPECT_TRUE(TableExists("OrderHeader", db_));
  EXPECT_FALSE(TableExists("orderheader", db_));
  EXPECT_FALSE(TableExists("QOrders", db_));
  EXPECT_TRUE(QueryExists("QOrders", db_));
  EXPECT_FALSE(QueryExists("qorders", db_));
  EXPECT_FALSE(QueryExists("OrderHeader", db_));
}

TEST_F(InspectionTest, FieldTestsOnAMissingTableRaiseTheLookupError) {
  for (int which = 0; which < 3; ++which) {
    try {
      if (which == 0) FieldPresent("Nope", "Control");
      if (which == 1) FieldExists("Nope", "Control", db_);
      if (which == 2) FieldExistsInDb(db_, "Nope", "Control");
      ADD_FAILURE() << "no error from field test " << which;
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), engine::kErrItemNotFound);
    }
  }
}

}  // namespace
}  // namespace qrw
