// Functions and operators of the dialect evaluated by SQLite, with the
// platform's results (1-based positions, Null in Null out, -1 for True).
#include <string>

#include "SqlFixture.h"

namespace qrw::sqltest {
namespace {

class SqlValueTest : public SqlTest {
 protected:
  void SetUp() override {
    SqlTest::SetUp();
    Raw("CREATE TABLE One (n INTEGER, d DOUBLE, s VARCHAR(50) COLLATE NOCASE, b BOOLEAN, dt DATETIME, z VARCHAR(5));"
        "INSERT INTO One VALUES (7, 2.5, '  Hello World  ', -1, '2003-01-02 18:30:00', NULL);");
    Open();
  }
  // The value of one expression, as text ("<null>" for Null), or "#n" for
  // the error n that evaluating it raises.
  std::string Eval(const std::string& expr) {
    try {
      Recordset rs = db_->OpenRecordset("Select " + expr + " As v From One");
      Variant v = rs->Get("v");
      return v.IsNull() ? "<null>" : v.ToText();
    } catch (const Error& e) {
      return "#" + std::to_string(e.Number());
    }
  }
};

TEST_F(SqlValueTest, TextFunctions) {
  EXPECT_EQ(Eval("Mid(s, 3, 5)"), "Hello");
  EXPECT_EQ(Eval("Mid(s, 9)"), "World  ");
  EXPECT_EQ(Eval("Mid(s, 100)"), "");
  EXPECT_EQ(Eval("Mid(z, 1, 2)"), "<null>");
  EXPECT_EQ(Eval("Mid('Ünïcödé', 2, 3)"), "nïc");
  EXPECT_EQ(Eval("Len('Ünïcödé')"), "7");
  EXPECT_EQ(Eval("Left(Trim(s), 4) & '|' & Right(Trim(s), 3)"), "Hell|rld");
  EXPECT_EQ(Eval("'[' & LTrim(s) & '][' & RTrim(s) & ']'"), "[Hello World  ][  Hello World]");
  EXPECT_EQ(Eval("UCase(Trim(s)) & LCase('ÀB')"), "HELLO WORLDàb");
  EXPECT_EQ(Eval("Len(z)"), "<null>");
  EXPECT_EQ(Eval("Len(n)"), "1");
  EXPECT_EQ(Eval("Len(z & '')"), "0");
  EXPECT_EQ(Eval("InStr(s, 'world')"), "9");
  EXPECT_EQ(Eval("InStr(10, s, 'o')"), "10");
  EXPECT_EQ(Eval("InStr(1, s, 'world', 0)"), "0");
  EXPECT_EQ(Eval("InStr(z, 'a')"), "<null>");
  EXPECT_EQ(Eval("Replace('a-b-c', '-', '+')"), "a+b+c");
  EXPECT_EQ(Eval("z & z"), "<null>");
  EXPECT_EQ(Eval("z & n & d"), "72.5");
  EXPECT_EQ(Eval("'a' + 'b'"), "ab");
}

TEST_F(SqlValueTest, ConversionsAndNulls) {
  EXPECT_EQ(Eval("Val('  12.5 kg')"), "12.5");
  EXPECT_EQ(Eval("Val(z)"), "#94");
  EXPECT_EQ(Eval("CStr(d)"), "2.5");
  EXPECT_EQ(Eval("CLng(d)"), "2");  // half to even
  EXPECT_EQ(Eval("CInt('3.5')"), "4");
  EXPECT_EQ(Eval("CLng('abc')"), "#13");
  EXPECT_EQ(Eval("CDbl('1.5') * 60"), "90");
  EXPECT_EQ(Eval("CBool(n)"), "True");
  EXPECT_EQ(Eval("Nz(z, 'none')"), "none");
  EXPECT_EQ(Eval("Nz(z)"), "");
  EXPECT_EQ(Eval("Nz(n, 0)"), "7");
  EXPECT_EQ(Eval("IIf(n > 5, 'big', 'small')"), "big");
  EXPECT_EQ(Eval("IIf(z Is Null, 1, 2)"), "1");
  EXPECT_EQ(Eval("IsNull(z)"), "True");
  EXPECT_EQ(Eval("IsNull(n) Or n = 7"), "True");
  EXPECT_EQ(Eval("z = z"), "<null>");
  EXPECT_EQ(Eval("IsNumeric(' 5 ')"), "True");
}

TEST_F(SqlValueTest, NumbersAndLogic) {
  EXPECT_EQ(Eval("7 / 2"), "3.5");
  EXPECT_EQ(Eval("7 \\ 2"), "3");
  EXPECT_EQ(Eval("7 Mod 3"), "1");
  EXPECT_EQ(Eval("2 ^ 10"), "1024");
  EXPECT_EQ(Eval("-n + d * 2"), "-2");
  EXPECT_EQ(Eval("n / 0"), "#11");
  EXPECT_EQ(Eval("Abs(-d) & ' ' & Int(-d) & ' ' & Fix(-d)"), "2.5 -3 -2");
  EXPECT_EQ(Eval("Round(d) & ' ' & Round(3.5) & ' ' & Round(0.125, 2)"), "2 4 0.12");
  EXPECT_EQ(Eval("Sgn(-d)"), "-1");
  EXPECT_EQ(Eval("True"), "True");
  EXPECT_EQ(Eval("Not b"), "False");
  EXPECT_EQ(Eval("Not 0"), "-1");
  EXPECT_EQ(Eval("6 And 3"), "2");
  EXPECT_EQ(Eval("(n > 1) And (n < 5)"), "False");
  EXPECT_EQ(Eval("(n > 1) Xor (n < 5)"), "True");
  EXPECT_EQ(Eval("n Between 1 And 7"), "True");
  EXPECT_EQ(Eval("s Like '*hello*'"), "True");
  EXPECT_EQ(Eval("n In (1, 2, 3)"), "False");
  EXPECT_EQ(Eval("'abc' = 'ABC'"), "True");
  EXPECT_EQ(Eval("'abc' < 'ABD'"), "True");
}

TEST_F(SqlValueTest, Dates) {
  EXPECT_EQ(Eval("Year(dt) & '-' & Month(dt) & '-' & Day(dt) & ' ' & Hour(dt) & ':' & Minute(dt)"), "2003-1-2 18:30");
  EXPECT_EQ(Eval("Weekday(dt)"), "5");  // a Thursday
  EXPECT_EQ(Eval("dt > #1/1/2003#"), "True");
  EXPECT_EQ(Eval("dt = #1/2/2003 6:30 PM#"), "True");
  EXPECT_EQ(Eval("Year(z)"), "<null>");
  EXPECT_EQ(Eval("Year(Date()) > 2000"), "True");
  EXPECT_EQ(Eval("Len(Now()) > 10"), "True");
  EXPECT_EQ(Eval("CDate('2020-02-29')"), "2020-02-29");
}

TEST_F(SqlValueTest, DateArithmeticOfTheDesigner) {
  EXPECT_EQ(Eval("DatePart('q', dt) & DatePart('y', dt) & DatePart('w', dt) & DatePart('ww', dt)"), "1251");
  EXPECT_EQ(Eval("DatePart('w', dt, 2)"), "4");  // weeks from Monday
  EXPECT_EQ(Eval("DatePart('yyyy', #12/31/2003#) & '/' & DatePart('ww', #12/31/2003#)"), "2003/53");
  EXPECT_EQ(Eval("DateAdd('m', 1, #1/31/2003#)"), "2003-02-28");  // not past the month's end
  EXPECT_EQ(Eval("DateAdd('d', -2, dt)"), "2002-12-31 18:30:00");
  EXPECT_EQ(Eval("DateAdd('yyyy', 1, #2/29/2004#)"), "2005-02-28");
  EXPECT_EQ(Eval("DateAdd('h', 6, dt)"), "2003-01-03 00:30:00");
  EXPECT_EQ(Eval("DateDiff('d', #1/1/2003#, dt)"), "1");
  EXPECT_EQ(Eval("DateDiff('m', #12/31/2002#, #1/1/2003#) & DateDiff('yyyy', #12/31/2002#, #1/1/2003#)"), "11");
  EXPECT_EQ(Eval("DateDiff('d', dt, #1/1/2003#)"), "-1");
  EXPECT_EQ(Eval("DateDiff('ww', #1/4/2003#, #1/5/2003#)"), "1");  // Saturday to Sunday crosses a week
  EXPECT_EQ(Eval("DateDiff('n', #1/1/2003 10:59#, #1/1/2003 11:01#)"), "2");
  EXPECT_EQ(Eval("DateSerial(2003, 14, 1)"), "2004-02-01");
  EXPECT_EQ(Eval("DateSerial(2003, 3, 0)"), "2003-02-28");
  EXPECT_EQ(Eval("DateSerial(99, 1, 1)"), "1999-01-01");
  EXPECT_EQ(Eval("Hour(TimeSerial(18, 30, 0)) & ':' & Minute(TimeSerial(18, 30, 0))"), "18:30");
  EXPECT_EQ(Eval("DateValue(dt)"), "2003-01-02");
  EXPECT_EQ(Eval("MonthName(2) & MonthName(2, True) & WeekdayName(1) & WeekdayName(1, True, 2)"),
            "FebruaryFebSundayMon");
  EXPECT_EQ(Eval("DateAdd('x', 1, dt)"), "#5");
}

TEST_F(SqlValueTest, FormatAndTheOtherDesignerFunctions) {
  EXPECT_EQ(Eval("Format(dt, 'yyyy-mm-dd hh:nn')"), "2003-01-02 18:30");
  EXPECT_EQ(Eval("Format(dt, 'mmm d, yyyy') & '|' & Format(dt, 'dddd') & '|' & Format(dt, 'h:nn AM/PM')"),
            "Jan 2, 2003|Thursday|6:30 PM");
  EXPECT_EQ(Eval("Format(dt, 'Short Date') & '|' & Format(dt, 'Long Date')"), "1/2/2003|Thursday, January 2, 2003");
  EXPECT_EQ(Eval("Format(d, '0.00') & '|' & Format(1234.5, '#,##0.0') & '|' & Format(0.256, '0%')"),
            "2.50|1,234.5|26%");
  EXPECT_EQ(Eval("Format(-3, '0;(0)') & Format(0, '0;(0);\"zero\"') & Format(n, '000')"), "(3)zero007");
  EXPECT_EQ(Eval("Format(1234.567, 'Currency') & '|' & Format(b, 'Yes/No') & '|' & Format(n)"), "$1,234.57|Yes|7");
  EXPECT_EQ(Eval("Format(z, '0')"), "<null>");
  EXPECT_EQ(Eval("'[' & Str(n) & '][' & Str(-n) & ']'"), "[ 7][-7]");
  EXPECT_EQ(Eval("String(3, 'ab') & String(2, 65) & '[' & Space(2) & ']'"), "aaaAA[  ]");
  EXPECT_EQ(Eval("Val('12abc') + Val(' 3')"), "15");
  EXPECT_EQ(Eval("InStrRev('a.b.c', '.') & InStrRev('a.b.c', '.', 3) & InStrRev('abc', 'x') & InStrRev('aBc', 'b', -1, 1)"),
            "4202");
  EXPECT_EQ(Eval("Switch(n > 5, 'big', True, 'small') & Switch(n > 50, 'huge', n > 5, 'big')"), "bigbig");
  EXPECT_EQ(Eval("Switch(n > 50, 'huge')"), "<null>");
  EXPECT_EQ(Eval("Choose(2, 'a', 'b', 'c') & Choose(2.6, 'a', 'b', 'c')"), "bc");
  EXPECT_EQ(Eval("Choose(4, 'a', 'b')"), "<null>");
  EXPECT_EQ(Eval("Switch(n > 5)"), "#3075");
}

TEST_F(SqlValueTest, WholeNumbersOutOfRangeSkipTheRow) {
  db_->Execute("Insert Into One (n) Values (2000000000)");
  EXPECT_EQ(Run("Update One Set n = n * 2"), 1);  // 14 fits; 4000000000 does not
  EXPECT_EQ(Rows("SELECT n FROM One ORDER BY n"), (std::vector<std::string>{"14", "2000000000"}));
  EXPECT_EQ(Run("Update One Set n = d * 3 Where d Is Not Null"), 1);  // 7.5 -> 8
  EXPECT_EQ(One("SELECT n FROM One WHERE d IS NOT NULL"), "8");
}

}  // namespace
}  // namespace qrw::sqltest
