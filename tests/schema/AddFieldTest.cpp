#include <gtest/gtest.h>

#include "engine/ErrorCodes.h"
#include "schema/Primitives.h"
#include "schema/TestDb.h"
#include "support/RawSql.h"

namespace qrw {
namespace {

using testing::PropertyText;
using testing::StoredField;

class AddFieldTest : public testing::ProductDbTest {
 protected:
  void SetUp() override {
    OpenProduct("CREATE TABLE Items (Control VARCHAR(10) COLLATE NOCASE, ItemNumb INTEGER);"
                "INSERT INTO Items VALUES ('A1', 1);");
  }
  std::string Places(const std::string& field) { return PropertyText(db_, "Items", field, "DecimalPlaces"); }
};

TEST_F(AddFieldTest, ExistingFieldInAnotherCaseIsLeftAlone) {
  AddField("Items", "itemnumb", dbText, 20);
  std::int16_t size = 9999;
  AddFieldInDb(db_, "Items", "ITEMNUMB", dbDouble, size);
  EXPECT_EQ(size, 1);  // the request is consumed even so
  EXPECT_EQ(testing::FieldNames(db_, "Items"), (testing::Names{"Control", "ItemNumb"}));
  EXPECT_EQ(StoredField(db_, "Items", "ItemNumb")->Type(), dbLong);
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(AddFieldTest, AddFieldDisplayPropertiesByType) {
  AddField("Items", "Rate0", dbDouble, 0);
  AddField("Items", "Rate2", dbDouble, 2);
  AddField("Items", "Count", dbLong, 10);
  AddField("Items", "Small", dbInteger, 0);
  AddField("Items", "Price", dbCurrency, 3);
  AddField("Items", "When", dbDate, 0);
  AddField("Items", "Notes", dbText, 50);

  EXPECT_EQ(Places("Rate0"), "<none>");
  EXPECT_EQ(Places("Rate2"), "2");
  EXPECT_EQ(Places("Count"), "0");
  EXPECT_EQ(Places("Small"), "0");
  EXPECT_EQ(Places("Price"), "3");
  EXPECT_EQ(Places("When"), "<none>");
  EXPECT_EQ(StoredField(db_, "Items", "Rate2")->GetProperties().Item("DecimalPlaces")->Type(), dbByte);
  EXPECT_EQ(StoredField(db_, "Items", "Small")->Type(), dbInteger);
  Field notes = StoredField(db_, "Items", "Notes");
  EXPECT_EQ(notes->Type(), dbText);
  EXPECT_EQ(notes->Size(), 50);
  EXPECT_TRUE(notes->AllowZeroLength());
  EXPECT_FALSE(notes->Required());
}

TEST_F(AddFieldTest, AddFieldLetsAMissingTableReachTheCaller) {
  try {
    AddField("NoSuchTable", "X", dbLong, 0);
    FAIL() << "expected the lookup error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), engine::kErrItemNotFound);
  }
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(AddFieldTest, AddFieldInDbCounterAndDisplayProperties) {
  DataDb.Clear();  // works on the database given only
  std::int16_t counter = 9999, four = 4, three = 3, zero = 0, textCounter = 9999;
  AddFieldInDb(db_, "Items", "ID", dbLong, counter);
  AddFieldInDb(db_, "Items", "Price", dbCurrency, four);
  AddFieldInDb(db_, "Items", "Rate", dbDouble, three);
  AddFieldInDb(db_, "Items", "Small", dbInteger, zero);
  AddFieldInDb(db_, "Items", "Code", dbText, textCounter);  // text never counts

  EXPECT_EQ(counter, 1);
  EXPECT_EQ(textCounter, 1);
  Field code = StoredField(db_, "Items", "Code");
  EXPECT_EQ(code->Type(), dbText);
  EXPECT_EQ(code->Size(), 1);
  EXPECT_FALSE(code->Attributes() & dbAutoIncrField);
  EXPECT_TRUE(code->AllowZeroLength());
  Field id = StoredField(db_, "Items", "ID");
  EXPECT_EQ(id->Type(), dbLong);
  EXPECT_EQ(id->OrdinalPosition(), 0);
  EXPECT_TRUE(id->Attributes() & dbAutoIncrField);
  EXPECT_EQ(Places("ID"), "<none>");
  EXPECT_EQ(PropertyText(db_, "Items", "Price", "Format"), "#,000.00");
  EXPECT_EQ(Places("Price"), "2");
  EXPECT_EQ(Places("Rate"), "3");
  EXPECT_EQ(Places("Small"), "<none>");
  EXPECT_EQ(testing::FieldNames(db_, "Items"),
            (testing::Names{"ID", "Control", "ItemNumb", "Price", "Rate", "Small", "Code"}));
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(AddFieldTest, AddFieldInDbReportsTheFailureAndEachEngineError) {
  std::int16_t size = 0;
  AddFieldInDb(db_, "NoSuchTable", "Extra", dbLong, size);

  const std::vector<Error> errors = Engine::Instance().Errors();
  ASSERT_FALSE(errors.empty());
  ASSERT_EQ(boxes_.Shown().size(), 1 + errors.size());
  EXPECT_EQ(boxes_.Shown()[0].text, "Extra failed in AddField\r\n" + errors.back().Description());
  for (std::size_t i = 0; i < errors.size(); ++i) {
    EXPECT_EQ(boxes_.Shown()[i + 1].text,
              "Error number: " + std::to_string(errors[i].Number()) + "\r" + errors[i].Description());
  }
  for (const BoxRequest& box : boxes_.Shown()) {
    EXPECT_EQ(box.buttons, Buttons::OK);
    EXPECT_EQ(box.icon, Icon::None);
    EXPECT_EQ(box.modality, Modality::Application);
  }
}

TEST_F(AddFieldTest, AFieldIsNeverLeftWithoutItsDisplayProperty) {
  // The property cannot be stored, as when the disk fills between the field
  // and its property: the field goes too, so that the next run adds both
  // instead of skipping a field it takes as done.
  AddField("Items", "Count", dbLong, 0);  // the property table is there
  testing::RawExec(file_->Path(),
                   "CREATE TRIGGER NoProps BEFORE INSERT ON MSysProperties BEGIN SELECT RAISE(ABORT, 'full'); END;");
  EXPECT_THROW(AddField("Items", "Rate", dbDouble, 2), Error);
  std::int16_t size = 0;
  AddFieldInDb(db_, "Items", "Price", dbCurrency, size);
  ASSERT_FALSE(boxes_.Shown().empty());
  EXPECT_EQ(boxes_.Shown()[0].text.rfind("Price failed in AddField\r\n", 0), 0u);
  EXPECT_EQ(testing::FieldNames(db_, "Items"), (testing::Names{"Control", "ItemNumb", "Count"}));

  testing::RawExec(file_->Path(), "DROP TRIGGER NoProps;");
  AddField("Items", "Rate", dbDouble, 2);
  AddFieldInDb(db_, "Items", "Price", dbCurrency, size);
  EXPECT_EQ(Places("Rate"), "2");
  EXPECT_EQ(Places("Price"), "2");
  EXPECT_EQ(PropertyText(db_, "Items", "Price", "Format"), "#,000.00");
}

}  // namespace
}  // namespace qrw
