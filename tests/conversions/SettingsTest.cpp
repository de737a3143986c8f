#include <gtest/gtest.h>

#include "conversions/Settings.h"
#include "schema/TestDb.h"

namespace qrw {
namespace {

class SettingsTest : public testing::ProductDbTest {};

TEST_F(SettingsTest, StampKeepsTheFirstFifteenCharacters) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"'ABCDEFGHIJKLMNO38999'", "ABCDEFGHIJKLMNO40252"},
      {"'ABCDEFGHIJKLMNO'", "ABCDEFGHIJKLMNO40252"},
      {"NULL", "40252"},
      {"'ABC'", "ABC40252"},
      {"'ABCDEFGHIJKLMN'", "ABCDEFGHIJKLMN40252"},  // 19 characters once stamped
      {"'ABCDEFGHIJKLMNOPQRSTUVWXYZ'", "ABCDEFGHIJKLMNO40252"},
  };
  for (const auto& [present, stamped] : cases) {
    OpenProduct("CREATE TABLE Defaults (ID INTEGER, s7 VARCHAR(100)); INSERT INTO Defaults VALUES (1, " +
                present + ");");
    StampDataLevel("40252");
    EXPECT_EQ(testing::ColumnTexts(db_, "Defaults", "s7"), (testing::Names{stamped})) << present;
    // Stamping again never grows a short value.
    StampDataLevel("40252");
    EXPECT_EQ(testing::ColumnTexts(db_, "Defaults", "s7"), (testing::Names{stamped})) << present;
  }
  StampDataLevel("40252");  // a second run changes nothing
  EXPECT_EQ(testing::ColumnTexts(db_, "Defaults", "s7"), (testing::Names{"ABCDEFGHIJKLMNO40252"}));

  OpenProduct("CREATE TABLE Defaults (ID INTEGER, s7 VARCHAR(100));");
  EXPECT_THROW(StampDataLevel("40252"), Error);
}

TEST(NaDaTest, NumbersZeroTextBlankAndNullCarryNoData) {
  ScopedScriptedBoxes boxes;
  EXPECT_TRUE(NaDa());
  for (const Variant& v : {Variant(), Variant::Null(), Variant::Integer(0), Variant::Double(0.0),
                           Variant::Currency(0), Variant::Bool(false), Variant::Text("0"),
                           Variant::Text(" 0.00 "), Variant::Text(""), Variant::Text("   ")}) {
    EXPECT_TRUE(NaDa(v)) << v.TypeName();
  }
  for (const Variant& v : {Variant::Integer(5), Variant::Double(-0.25), Variant::Bool(true), Variant::Text("0.5"),
                           Variant::Text("word"), Variant::Text("0 sheets"), Variant::Date(0)}) {
    EXPECT_FALSE(NaDa(v)) << v.TypeName();
  }
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(SettingsTest, CompanionEditionIsExactlyVDL) {
  for (const auto& [program, vdl] : std::vector<std::pair<std::string, bool>>{
           {"'VDL'", true}, {"'vdl'", false}, {"'VDL '", false}, {"'QRW'", false}, {"NULL", false}}) {
    OpenProduct("CREATE TABLE System (Program VARCHAR(20)); INSERT INTO System VALUES (" + program +
                "); INSERT INTO System VALUES ('VDL');");
    EXPECT_EQ(IsVDLProgram(db_), vdl) << program;
  }
  EXPECT_TRUE(ProgramName(db_).IsNull());
  OpenProduct("CREATE TABLE System (Program VARCHAR(20));");
  EXPECT_THROW(IsVDLProgram(db_), Error);
}

}  // namespace
}  // namespace qrw
