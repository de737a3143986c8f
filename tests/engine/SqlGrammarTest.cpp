// What the dialect's grammar means for the statements that use it:
// literals, operator binding, joins written in parentheses, keywords in any
// case, and the error numbers malformed or hostile text gets.
#include <string>

#include "SqlFixture.h"
#include "engine/sql/Functions.h"

namespace qrw::sqltest {
namespace {

using Strs = std::vector<std::string>;

class SqlGrammarTest : public SqlTest {
 protected:
  void SetUp() override {
    SqlTest::SetUp();
    Raw("CREATE TABLE t (k INTEGER, a INTEGER, b INTEGER, c INTEGER, s VARCHAR(20) COLLATE NOCASE);"
        "INSERT INTO t VALUES (1, 1, 0, 0, 'x'), (2, 0, 2, 3, NULL), (3, 0, 2, 0, 'Abc'), (4, 5, 9, 9, '');"
        "CREATE TABLE u (k INTEGER, v VARCHAR(20) COLLATE NOCASE);"
        "INSERT INTO u VALUES (1, 'one'), (3, 'three'), (5, 'five');"
        "CREATE TABLE w (k INTEGER, z INTEGER);"
        "INSERT INTO w VALUES (3, 30), (5, 50);"
        "CREATE TABLE [my t] ([my a] INTEGER);"
        "INSERT INTO [my t] VALUES (42);"
        "CREATE TABLE B (Code INTEGER, Action INTEGER, Data INTEGER, Class INTEGER, Center INTEGER, ppType INTEGER)");
    Open();
  }
  // The value of one expression, as text, or "#n" for the error it raises.
  std::string Eval(const std::string& expr) {
    try {
      Recordset rs = db_->OpenRecordset("Select " + expr + " As v From t Where k = 1");
      Variant v = rs->Get("v");
      return v.IsNull() ? "<null>" : v.ToText() + ":" + v.TypeName();
    } catch (const Error& e) {
      return "#" + std::to_string(e.Number());
    }
  }
  Strs Keys(const std::string& where) { return Column(db_->OpenRecordset("Select k From t Where " + where + " Order By k"), "k"); }
  long ErrorNumber(const std::string& text) {
    return ErrorOf([&] { db_->OpenRecordset(text); });
  }
};

TEST_F(SqlGrammarTest, Literals) {
  EXPECT_EQ(Eval("'it''s'"), "it's:String");
  EXPECT_EQ(Eval("\"say \"\"hi\"\"\""), "say \"hi\":String");
  EXPECT_EQ(Eval("\"\""), ":String");
  EXPECT_EQ(Eval(".85"), "0.85:Double");
  EXPECT_EQ(Eval("5.00"), "5:Double");
  EXPECT_EQ(Eval("1E3"), "1000:Double");
  EXPECT_EQ(Eval("127"), "127:Long");
  EXPECT_EQ(Eval("3000000000"), "3000000000:Double");  // beyond a Long
  EXPECT_EQ(Eval("True"), "True:Boolean");
  EXPECT_EQ(Eval("false"), "False:Boolean");
  EXPECT_EQ(Eval("NULL"), "<null>");
  EXPECT_EQ(Eval("#1/2/2003#"), "2003-01-02:Date");  // m/d/y
  EXPECT_EQ(Eval("#2003-01-02 12:00:00#"), "2003-01-02 12:00:00:Date");
  EXPECT_EQ(Eval("#1/2/2003 6:00 PM#"), "2003-01-02 18:00:00:Date");
  // A dot right after a name qualifies it; elsewhere it starts a number.
  EXPECT_EQ(Eval("t.a - .5"), "0.5:Double");
  EXPECT_EQ(Column(db_->OpenRecordset("Select [my t].[my a] From [my t]"), "my a"), Strs{"42"});
}

TEST_F(SqlGrammarTest, OperatorsBindAsTheDialectDoes) {
  EXPECT_EQ(Eval("2 + 3 * 4"), "14:Long");
  EXPECT_EQ(Eval("-2 ^ 2"), "-4:Double");  // -(2 ^ 2)
  EXPECT_EQ(Eval("2 ^ -1"), "0.5:Double");
  EXPECT_EQ(Eval("7 Mod 3 * 2"), "1:Long");  // Mod looser than *
  EXPECT_EQ(Eval("7 \\ 2 * 2"), "1:Long");   // \ looser than *
  EXPECT_EQ(Eval("8 \\ 3 Mod 2"), "0:Long");  // Mod looser than \ .
  EXPECT_EQ(Eval("10 - 7 Mod 4"), "7:Long");  // Mod tighter than -
  EXPECT_EQ(Eval("'a' & 1 + 2"), "a3:String");  // & looser than +
  // Comparison binds looser than &; & left to right.
  EXPECT_EQ(Keys("Len(s & '') > 0"), (Strs{"1", "3"}));
  EXPECT_EQ(Eval("Mid('abcdef', 1, 3 - 1) & '3' & Mid('abcdef', 3 + 1)"), "ab3def:String");
  // Not applies to the whole comparison; And binds tighter than Or.
  EXPECT_EQ(Keys("Not a = 1 Or b = 2 And c = 3"), (Strs{"2", "3", "4"}));
  EXPECT_EQ(Keys("Not (a = 1 Or b = 2) And c = 9"), Strs{"4"});
  // Between's And is its own, not the logical one.
  EXPECT_EQ(Keys("b Between 1 And 2 And c Not Between 1 And 4"), Strs{"3"});
  EXPECT_EQ(Keys("s Not Like 'a*' And k In (1, 2, 3) And s Is Not Null And Not IsNull(s)"), Strs{"1"});
}

TEST_F(SqlGrammarTest, JoinsInParenthesesAndAliases) {
  Strs rows = Column(db_->OpenRecordset("Select u.v From ((t Inner Join u On t.k = u.k) Right Outer Join w On "
                                        "(u.k = w.k And (w.z > 1))) Order By w.z"),
                     "v");
  EXPECT_EQ(rows, (Strs{"three", "<null>"}));
  EXPECT_EQ(Column(db_->OpenRecordset("Select x.v From [u] As x, w y Where x.k = y.k"), "v"), (Strs{"three", "five"}));
  EXPECT_EQ(Column(db_->OpenRecordset("Select t.k From t Left Join u On t.k = u.k Where u.v Is Null Order By t.k"), "k"),
            (Strs{"2", "4"}));
}

TEST_F(SqlGrammarTest, KeywordsIgnoreCaseAndFunctionNamesStayUsable) {
  EXPECT_EQ(Column(db_->OpenRecordset("sElEcT * fRoM t wHeRe a=0 oRdEr bY k dEsC"), "k"), (Strs{"3", "2"}));
  // Left and Right are functions as well as join words.
  Recordset rs = db_->OpenRecordset(
      "Select Left(v, 2) As l, Right(v, 1) As r From u Left Join w On u.k = w.k Where u.k = 3");
  EXPECT_EQ(rs->Get("l").ToText() + rs->Get("r").ToText(), "the");
  // Field names that are not reserved words stay names.
  EXPECT_EQ(Run("Insert Into B ( Code, Action, Data, Class, Center,  ppType ) Values (1,2,3,4,5,6)"), 1);
  EXPECT_EQ(Run("delete * from B where Code=1;"), 1);
}

TEST_F(SqlGrammarTest, MalformedTextRaisesSyntaxNumbers) {
  EXPECT_EQ(ErrorNumber(""), 3129);
  EXPECT_EQ(ErrorNumber("Drop Table t"), 3129);
  EXPECT_EQ(ErrorNumber("Select * From t Where a = 'open"), 3075);
  EXPECT_EQ(ErrorNumber("Select * From t Where a = "), 3075);
  // A size text holding a single quote, pasted between single quotes.
  EXPECT_EQ(ErrorNumber("Select * From t Where s = \"A\" And s = '8' x 10''"), 3075);
  EXPECT_EQ(ErrorNumber("Select * From t; Select * From u"), 3137);
  EXPECT_EQ(ErrorNumber("Select * From t Where (a = 1"), 3075);
  EXPECT_EQ(ErrorNumber("Select * From (t Inner Join u)"), 3131);
  EXPECT_EQ(ErrorNumber("Select * From"), 3131);
  EXPECT_EQ(ErrorOf([&] { Run("Update t Set = 1"); }), 3144);
  EXPECT_EQ(ErrorOf([&] { Run("Insert Into t (a, b Values (1, 2)"); }), 3134);
  EXPECT_EQ(ErrorNumber("Select * From t Where k = #13/45/2003#"), 3075);
  EXPECT_EQ(ErrorNumber("Select @ From t"), 3075);
  EXPECT_EQ(ErrorNumber("Select * From t Order a"), 3138);
  EXPECT_EQ(ErrorNumber("Select a From t Where a In (Select k, From u)"), 3141);
}

TEST_F(SqlGrammarTest, DeepNestingIsRefusedNotOverflowed) {
  EXPECT_EQ(ErrorNumber("Select " + std::string(5000, '(') + "1" + std::string(5000, ')') + " From t"), 3360);
  EXPECT_EQ(ErrorNumber("Select " + std::string(5000, '-') + "1 From t"), 3360);
  std::string nots = "Select * From t Where ";
  for (int i = 0; i < 5000; ++i) nots += "Not ";
  EXPECT_EQ(ErrorNumber(nots + "a"), 3360);
  // A long flat chain builds a deep tree too.
  std::string chain = "Select 1";
  for (int i = 0; i < 20000; ++i) chain += "+1";
  EXPECT_EQ(ErrorNumber(chain + " From t"), 3360);
  std::string joins = "Select * From t";
  for (int i = 1; i < 200; ++i) joins += " Inner Join u On 1=1";
  EXPECT_EQ(ErrorNumber(joins), 3360);
  // Ordinary statements stay well inside the limits.
  std::string ors = "Select * From t Where k = 0";
  for (int i = 1; i < 100; ++i) ors += " Or k = " + std::to_string(i);
  EXPECT_EQ(Column(db_->OpenRecordset(ors), "k").size(), 4u);
}

TEST(SqlFunctions, LikeWildcards) {
  using sql::LikeMatch;
  EXPECT_TRUE(LikeMatch("Roll Paper", "roll*"));
  EXPECT_TRUE(LikeMatch("Roll Paper", "*PAPER"));
  EXPECT_TRUE(LikeMatch("abc", "a?c"));
  EXPECT_FALSE(LikeMatch("ac", "a?c"));
  EXPECT_TRUE(LikeMatch("a1c", "a#c"));
  EXPECT_FALSE(LikeMatch("abc", "a#c"));
  EXPECT_TRUE(LikeMatch("b", "[a-c]"));
  EXPECT_FALSE(LikeMatch("d", "[a-c]"));
  EXPECT_TRUE(LikeMatch("d", "[!a-c]"));
  EXPECT_TRUE(LikeMatch("a*b", "a[*]b"));
  EXPECT_FALSE(LikeMatch("axb", "a[*]b"));
  EXPECT_TRUE(LikeMatch("", "*"));
  EXPECT_FALSE(LikeMatch("", "?"));
  // Only ASCII letters fold, as in = and ORDER BY on the file's NOCASE columns.
  EXPECT_FALSE(LikeMatch("ÉCOLE", "é*"));
  EXPECT_TRUE(LikeMatch("École", "ÉC*"));
  EXPECT_TRUE(LikeMatch("x", "x[]"));
  // Many stars against a long text stay fast (no exponential backtracking).
  EXPECT_FALSE(LikeMatch(std::string(5000, 'a'), "*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(SqlFunctions, ValReadsTheLeadingNumber) {
  using sql::ValOf;
  EXPECT_DOUBLE_EQ(ValOf("  1 2 3abc"), 123);
  EXPECT_DOUBLE_EQ(ValOf("-1.5e2x"), -150);
  EXPECT_DOUBLE_EQ(ValOf(".5"), 0.5);
  EXPECT_DOUBLE_EQ(ValOf("abc"), 0);
  EXPECT_DOUBLE_EQ(ValOf(""), 0);
  EXPECT_DOUBLE_EQ(ValOf("&HFF"), 255);
  EXPECT_DOUBLE_EQ(ValOf("1.2.3"), 1.2);
  EXPECT_DOUBLE_EQ(ValOf("24 x 36"), 24);
}

}  // namespace
}  // namespace qrw::sqltest
