#include <gtest/gtest.h>

#include <array>

#include "conversions/Settings.h"
#include "schema/TestDb.h"

namespace qrw {
namespace {

class SettingsTest : public testing::ProductDbTest {};

TEST_F(SettingsTest, StampKeepsTheFirstFifteenCharacters) {
  // present value, after one stamp, after a second stamp
  const std::vector<std::array<std::string, 3>> cases = {
      {"'ABCDEFGHIJKLMNO38999'", "ABCDEFGHIJKLMNO40252", "ABCDEFGHIJKLMNO40252"},
      {"'ABCDEFGHIJKLMNO'", "ABCDEFGHIJKLMNO40252", "ABCDEFGHIJKLMNO40252"},
      {"NULL", "40252", "40252"},
      {"'ABC'", "ABC40252", "ABC40252"},
      // Stamped once it is 19 characters long, and from 15 on the level
      // goes from the 16th character.
      {"'ABCDEFGHIJKLMN'", "ABCDEFGHIJKLMN40252", "ABCDEFGHIJKLMN440252"},
      {"'ABCDEFGHIJKLMNOPQRSTUVWXYZ'", "ABCDEFGHIJKLMNO40252", "ABCDEFGHIJKLMNO40252"},
      // 15 to 19 characters that happen to end in the level are stamped too.
      {"'ABCDEFGHIJ40252'", "ABCDEFGHIJ4025240252", "ABCDEFGHIJ4025240252"},
      {"'ABCDEFGHIJKL40252'", "ABCDEFGHIJKL40240252", "ABCDEFGHIJKL40240252"},
      {"'ABCDEFGHIJKLMN40252'", "ABCDEFGHIJKLMN440252", "ABCDEFGHIJKLMN440252"},
  };
  for (const auto& [present, once, twice] : cases) {
    OpenProduct("CREATE TABLE Defaults (ID INTEGER, s7 VARCHAR(100)); INSERT INTO Defaults VALUES (1, " +
                present + ");");
    StampDataLevel("40252");
    EXPECT_EQ(testing::ColumnTexts(db_, "Defaults", "s7"), (testing::Names{once})) << present;
    StampDataLevel("40252");
    EXPECT_EQ(testing::ColumnTexts(db_, "Defaults", "s7"), (testing::Names{twice})) << present;
    // A third run changes nothing.
    StampDataLevel("40252");
    EXPECT_EQ(testing::ColumnTexts(db_, "Defaults", "s7"), (testing::Names{twice})) << present;
  }

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
