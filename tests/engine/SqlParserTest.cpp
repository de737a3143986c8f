// The dialect's parser: statement shapes, literals, operator binding and
// the errors malformed text gets.
#include <gtest/gtest.h>

#include <string>

#include "engine/sql/Functions.h"
#include "engine/sql/Parser.h"

namespace qrw::sql {
namespace {

long ParseErrorNumber(const std::string& text) {
  try {
    Parse(text);
  } catch (const ParseError& e) {
    return e.Number();
  }
  return 0;
}

const Expr& Where(const Statement& st) {
  if (st.kind == Statement::Select) return *st.select->where;
  if (st.kind == Statement::Update) return *st.update->where;
  return *st.del->where;
}

TEST(SqlParser, StatementShapes) {
  Statement s = Parse("Select Distinct Top 5 a, t.b As x, u.* Into N From t Inner Join u On t.k = u.k "
                      "Where a > 1 Group By a, t.b Having Count(*) > 1 Order By a Desc, x");
  ASSERT_EQ(s.kind, Statement::Select);
  const SelectStmt& sel = *s.select;
  EXPECT_TRUE(sel.distinct);
  EXPECT_EQ(sel.top, 5);
  ASSERT_EQ(sel.items.size(), 3u);
  EXPECT_EQ(sel.items[1].alias, "x");
  EXPECT_TRUE(sel.items[2].star);
  EXPECT_EQ(sel.items[2].starQualifier, "u");
  EXPECT_EQ(sel.into, "N");
  ASSERT_EQ(sel.from.size(), 1u);
  EXPECT_EQ(sel.from[0]->kind, Source::Join);
  EXPECT_EQ(sel.groupBy.size(), 2u);
  ASSERT_TRUE(sel.having);
  ASSERT_EQ(sel.orderBy.size(), 2u);
  EXPECT_TRUE(sel.orderBy[0].desc);
  EXPECT_FALSE(sel.orderBy[1].desc);

  Statement ins = Parse("Insert Into T ( A, B ) Values ( 1, 'x' )");
  ASSERT_EQ(ins.kind, Statement::Insert);
  EXPECT_EQ(ins.insert->columns.size(), 2u);
  EXPECT_EQ(ins.insert->values.size(), 2u);

  Statement insSel = Parse("Insert Into rPaper2Bindery Select * From ttt");
  ASSERT_TRUE(insSel.insert->select);
  EXPECT_TRUE(insSel.insert->columns.empty());

  Statement upd = Parse("UPDATE rItemNumb SET rItemNumb.StockType = 'x', Color = 'y' WHERE rItemNumb.StockType='z'");
  ASSERT_EQ(upd.kind, Statement::Update);
  ASSERT_EQ(upd.update->sets.size(), 2u);
  EXPECT_EQ(upd.update->sets[0].qualifier, "rItemNumb");
  EXPECT_EQ(upd.update->sets[0].column, "StockType");

  Statement del = Parse("Delete t.* From t Inner Join u On t.k = u.k Where u.x = 1");
  ASSERT_EQ(del.kind, Statement::Delete);
  EXPECT_EQ(del.del->qualifier, "t");
  EXPECT_EQ(Parse("DELETE FROM t").del->qualifier, "");
  EXPECT_EQ(Parse("delete * from t where a=1;").kind, Statement::Delete);
}

TEST(SqlParser, JoinsNestInParenthesesAndKeepTheirKind) {
  Statement s = Parse(
      "SELECT StockLF.*, rStock2CostLF.* FROM (StockLF LEFT JOIN rStock2CostLF ON "
      "StockLF.SELECTION = rStock2CostLF.PaperName) Where StockLF.Selection = \"A\"\"B\" ");
  const Source& j = *s.select->from[0];
  ASSERT_EQ(j.kind, Source::Join);
  EXPECT_EQ(j.join, JoinType::Left);
  EXPECT_EQ(j.left->name, "StockLF");
  EXPECT_EQ(j.right->name, "rStock2CostLF");
  EXPECT_EQ(Where(s).args[1]->text, "A\"B");

  Statement nested = Parse("Select * From ((a Inner Join b On a.x = b.x) Right Outer Join c On (b.y = c.y And (c.z > 1)))");
  const Source& outer = *nested.select->from[0];
  EXPECT_EQ(outer.join, JoinType::Right);
  EXPECT_EQ(outer.left->kind, Source::Join);

  Statement aliases = Parse("Select x.a From [Some Table] As x, other y");
  EXPECT_EQ(aliases.select->from[0]->name, "Some Table");
  EXPECT_EQ(aliases.select->from[0]->alias, "x");
  EXPECT_EQ(aliases.select->from[1]->alias, "y");
}

TEST(SqlParser, Literals) {
  auto value = [](const std::string& expr) {
    Statement s = Parse("Select " + expr + " From t");
    return std::move(s.select->items[0].expr);
  };
  auto e = value("'it''s'");
  EXPECT_EQ(e->lit, LitKind::Text);
  EXPECT_EQ(e->text, "it's");
  EXPECT_EQ(value("\"say \"\"hi\"\"\"")->text, "say \"hi\"");
  EXPECT_EQ(value("\"\"")->text, "");

  e = value(".85");
  EXPECT_EQ(e->lit, LitKind::Float);
  EXPECT_DOUBLE_EQ(e->num, 0.85);
  e = value("5.00");
  EXPECT_EQ(e->lit, LitKind::Float);
  e = value("1E3");
  EXPECT_EQ(e->lit, LitKind::Float);
  EXPECT_DOUBLE_EQ(e->num, 1000);
  e = value("127");
  EXPECT_EQ(e->lit, LitKind::Integer);
  EXPECT_EQ(e->ival, 127);
  EXPECT_EQ(value("3000000000")->lit, LitKind::Float);  // beyond a Long

  EXPECT_EQ(value("True")->ival, -1);
  EXPECT_EQ(value("false")->ival, 0);
  EXPECT_EQ(value("NULL")->lit, LitKind::Null);

  e = value("#1/2/2003#");
  EXPECT_EQ(e->lit, LitKind::Date);
  EXPECT_DOUBLE_EQ(e->num, 37623);  // 2003-01-02
  EXPECT_DOUBLE_EQ(value("#2003-01-02 12:00:00#")->num, 37623.5);
  EXPECT_DOUBLE_EQ(value("#1/2/2003 6:00 PM#")->num, 37623.75);

  // A dot right after a name qualifies it; elsewhere it starts a number.
  e = value("t.a");
  EXPECT_EQ(e->kind, ExprKind::Column);
  EXPECT_EQ(e->qualifier, "t");
  EXPECT_EQ(value("[my t].[my a]")->text, "my a");
  EXPECT_EQ(value("a - .5")->args[1]->lit, LitKind::Float);
}

TEST(SqlParser, OperatorBinding) {
  // Comparison binds looser than &, which binds looser than + and *.
  Statement s = Parse("Select * From t Where Len(Vendor & '')>0");
  const Expr& w = Where(s);
  EXPECT_EQ(w.binOp, BinOp::Gt);
  EXPECT_EQ(w.args[0]->kind, ExprKind::Call);
  EXPECT_EQ(w.args[0]->args[0]->binOp, BinOp::Concat);

  Statement u = Parse("Update System Set options = Mid(options, 1, 127 - 1) & '3' & Mid(options, 127 + 1)");
  const Expr& m = *u.update->sets[0].value;
  EXPECT_EQ(m.binOp, BinOp::Concat);
  EXPECT_EQ(m.args[0]->binOp, BinOp::Concat);  // left to right
  EXPECT_EQ(m.args[1]->kind, ExprKind::Call);

  // Not applies to the whole comparison; And binds tighter than Or.
  Statement ns = Parse("Select * From t Where Not a = 1 Or b = 2 And c = 3");
  const Expr& n = Where(ns);
  EXPECT_EQ(n.binOp, BinOp::Or);
  EXPECT_EQ(n.args[0]->unOp, UnOp::Not);
  EXPECT_EQ(n.args[0]->args[0]->binOp, BinOp::Eq);
  EXPECT_EQ(n.args[1]->binOp, BinOp::And);

  // Between's And is its own, not the logical one.
  Statement bs = Parse("Select * From t Where a Between 1 And 2 And b Not Between 3 And 4");
  const Expr& b = Where(bs);
  EXPECT_EQ(b.binOp, BinOp::And);
  EXPECT_EQ(b.args[0]->kind, ExprKind::Between);
  EXPECT_TRUE(b.args[1]->negated);

  // Precedence among the arithmetic operators: ^ * \ Mod + -.
  Statement as = Parse("Select 1 + 2 Mod 3 \\ 4 * -5 ^ 2 From t");
  const Expr& a = *as.select->items[0].expr;
  EXPECT_EQ(a.binOp, BinOp::Add);
  EXPECT_EQ(a.args[1]->binOp, BinOp::Mod);
  EXPECT_EQ(a.args[1]->args[1]->binOp, BinOp::IntDiv);
  EXPECT_EQ(a.args[1]->args[1]->args[1]->binOp, BinOp::Mul);
  const Expr& neg = *a.args[1]->args[1]->args[1]->args[1];
  EXPECT_EQ(neg.unOp, UnOp::Neg);  // -(5 ^ 2)
  EXPECT_EQ(neg.args[0]->binOp, BinOp::Pow);

  Statement ls = Parse("Select * From t Where a Not Like 'x*' And b In (1, 2) And c Is Not Null And IsNull(d)");
  const Expr& l = Where(ls);
  EXPECT_EQ(l.args[0]->args[0]->args[0]->kind, ExprKind::Like);
  EXPECT_TRUE(l.args[0]->args[0]->args[0]->negated);
  EXPECT_EQ(l.args[0]->args[0]->args[1]->kind, ExprKind::In);
  EXPECT_EQ(l.args[0]->args[1]->kind, ExprKind::IsNull);
  EXPECT_TRUE(l.args[0]->args[1]->negated);
  EXPECT_EQ(l.args[1]->kind, ExprKind::Call);
}

TEST(SqlParser, KeywordsIgnoreCaseAndFunctionNamesStayUsable) {
  EXPECT_EQ(Parse("sElEcT * fRoM t wHeRe a=1 oRdEr bY a dEsC").select->orderBy[0].desc, true);
  // Left and Right are functions as well as join words.
  Statement s = Parse("Select Left(a, 2), Right(a, 1) From t Left Join u On t.a = u.a");
  EXPECT_EQ(s.select->items[0].expr->kind, ExprKind::Call);
  EXPECT_EQ(s.select->from[0]->join, JoinType::Left);
  // Names of fields that are not reserved words stay names.
  EXPECT_EQ(Parse("Insert Into B ( Code, Action, Data, Class, Center,  ppType ) Values (1,2,3,4,5,6)")
                .insert->columns.size(),
            6u);
}

TEST(SqlParser, MalformedTextRaisesSyntaxNumbers) {
  EXPECT_EQ(ParseErrorNumber(""), kErrInvalidStatement);
  EXPECT_EQ(ParseErrorNumber("Drop Table t"), kErrInvalidStatement);
  EXPECT_EQ(ParseErrorNumber("Select * From t Where a = 'open"), kErrSyntaxInExpression);
  EXPECT_EQ(ParseErrorNumber("Select * From t Where a = "), kErrSyntaxInExpression);
  // A size text holding a single quote, pasted between single quotes.
  EXPECT_EQ(ParseErrorNumber("Select * From rItemNumb Where StockName = \"A\" And StockSize = '8' x 10''"),
            kErrSyntaxInExpression);
  EXPECT_EQ(ParseErrorNumber("Select * From t; Select * From u"), kErrTextAfterEnd);
  EXPECT_EQ(ParseErrorNumber("Select * From t Where (a = 1"), kErrSyntaxInExpression);
  EXPECT_EQ(ParseErrorNumber("Select * From (a Inner Join b)"), kErrSyntaxInFrom);
  EXPECT_EQ(ParseErrorNumber("Select * From"), kErrSyntaxInFrom);
  EXPECT_EQ(ParseErrorNumber("Update t Set = 1"), kErrSyntaxInUpdate);
  EXPECT_EQ(ParseErrorNumber("Insert Into t (a, b Values (1, 2)"), kErrSyntaxInInsert);
  EXPECT_EQ(ParseErrorNumber("Select * From t Where d = #13/45/2003#"), kErrSyntaxInExpression);
  EXPECT_EQ(ParseErrorNumber("Select @ From t"), kErrSyntaxInExpression);
  EXPECT_EQ(ParseErrorNumber("Select * From t Order a"), kErrSyntaxInOrderBy);
  EXPECT_EQ(ParseErrorNumber("Select a From t Where a In (Select b, From u)"), kErrSelectMalformed);
}

TEST(SqlParser, DeepNestingIsRefusedNotOverflowed) {
  std::string deep = "Select " + std::string(5000, '(') + "1" + std::string(5000, ')') + " From t";
  EXPECT_EQ(ParseErrorNumber(deep), kErrTooComplex);
  std::string minus = "Select " + std::string(5000, '-') + "1 From t";
  EXPECT_EQ(ParseErrorNumber(minus), kErrTooComplex);
  std::string nots = "Select * From t Where ";
  for (int i = 0; i < 5000; ++i) nots += "Not ";
  EXPECT_EQ(ParseErrorNumber(nots + "a"), kErrTooComplex);
  // A long flat chain builds a deep tree too.
  std::string chain = "Select 1";
  for (int i = 0; i < 20000; ++i) chain += "+1";
  EXPECT_EQ(ParseErrorNumber(chain + " From t"), kErrTooComplex);
  std::string joins = "Select * From a0";
  for (int i = 1; i < 200; ++i) joins += " Inner Join a" + std::to_string(i) + " On 1=1";
  EXPECT_EQ(ParseErrorNumber(joins), kErrTooComplex);
  // Ordinary statements stay well inside the limits.
  std::string ors = "Select * From t Where a = 0";
  for (int i = 1; i < 100; ++i) ors += " Or a = " + std::to_string(i);
  EXPECT_EQ(ParseErrorNumber(ors), 0);
}

TEST(SqlFunctions, LikeWildcards) {
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
  EXPECT_TRUE(LikeMatch("ÉCOLE", "é*"));  // case folds beyond ASCII
  EXPECT_TRUE(LikeMatch("x", "x[]"));
  // Many stars against a long text stay fast (no exponential backtracking).
  EXPECT_FALSE(LikeMatch(std::string(5000, 'a'), "*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(SqlFunctions, ValReadsTheLeadingNumber) {
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
}  // namespace qrw::sql
