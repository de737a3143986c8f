// The statement grammar of the dialect: SELECT (with INTO), INSERT INTO,
// UPDATE and DELETE, and the FROM lists they share.
//
// Owns the reserved words and the syntax error numbers each clause raises.
// It must never accept text it cannot represent in the tree: what it does
// not know is a ParseError, never silently dropped.
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

#include "engine/sql/ParserImpl.h"

namespace qrw::sql {

namespace detail {

bool EqNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

namespace {

// Words that end an expression or a name list and so cannot stand as a bare
// name or alias. Function names such as Left and Right are not among them:
// followed by "(" they are calls.
constexpr std::array<std::string_view, 48> kReserved = {
    "SELECT", "FROM",  "WHERE",   "ORDER", "GROUP",    "BY",          "HAVING", "INTO",  "INSERT",
    "UPDATE", "DELETE", "SET",    "VALUES", "AND",     "OR",          "NOT",    "XOR",   "EQV",
    "IMP",    "LIKE",  "BETWEEN", "IN",    "IS",       "NULL",        "TRUE",   "FALSE", "AS",
    "ON",     "INNER", "LEFT",    "RIGHT", "OUTER",    "JOIN",        "DISTINCT", "DISTINCTROW",
    "TOP",    "ASC",   "DESC",    "MOD",   "UNION",    "EXISTS",      "ALL",    "PERCENT", "FULL",
    "PIVOT",  "TRANSFORM", "PARAMETERS", "WITH"};

// The deepest expression of a SELECT, sub-selects included, so that a
// sub-select counts with its full depth where it is used.
int SourceHeight(const Source& src) {
  switch (src.kind) {
    case Source::Table: return 1;
    case Source::Subquery: return src.sub->height + 1;
    case Source::Join:
      return std::max({SourceHeight(*src.left), SourceHeight(*src.right), src.on ? src.on->height : 1}) + 1;
  }
  return 1;
}

int SelectHeight(const SelectStmt& s) {
  int h = 1;
  for (const auto& it : s.items)
    if (it.expr) h = std::max(h, it.expr->height);
  for (const auto& src : s.from) h = std::max(h, SourceHeight(*src));
  if (s.where) h = std::max(h, s.where->height);
  for (const auto& g : s.groupBy) h = std::max(h, g->height);
  if (s.having) h = std::max(h, s.having->height);
  for (const auto& o : s.orderBy) h = std::max(h, o.expr->height);
  return h;
}

}  // namespace

bool IsReserved(std::string_view word) {
  return std::any_of(kReserved.begin(), kReserved.end(), [&](std::string_view k) { return EqNoCase(k, word); });
}

Statement Parser::ParseStatement() {
  Statement st;
  if (IsWord("PARAMETERS")) ParseParameters(st);
  if (IsWord("TRANSFORM")) {
    st.kind = Statement::Select;
    st.select = ParseTransform();
  } else if (IsWord("SELECT")) {
    st.kind = Statement::Select;
    st.select = ParseSelect(true);
  } else if (IsWord("INSERT")) {
    st.kind = Statement::Insert;
    st.insert = ParseInsert();
  } else if (IsWord("UPDATE")) {
    st.kind = Statement::Update;
    st.update = ParseUpdate();
  } else if (IsWord("DELETE")) {
    st.kind = Statement::Delete;
    st.del = ParseDelete();
  } else if (Peek().type == Tok::LParen && IsWord("SELECT", 1)) {
    // "(SELECT ...)" as a whole statement
    Next();
    st.kind = Statement::Select;
    st.select = ParseSelect(true);
    Expect(Tok::RParen, kErrSelectMalformed);
  } else {
    Fail(kErrInvalidStatement,
         "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'");
  }
  // Who may run a saved query matters to no one here.
  if (AcceptWord("WITH")) {
    ExpectWord("OWNERACCESS", kErrSyntaxGeneral);
    ExpectWord("OPTION", kErrSyntaxGeneral);
  }
  if (Peek().type == Tok::Semicolon) {
    Next();
    if (Peek().type != Tok::End) Fail(kErrTextAfterEnd, "Characters found after end of SQL statement");
  }
  // Anything else left over continues the last expression without an
  // operator between ("... = '8' x 10''").
  if (Peek().type != Tok::End) Fail(kErrSyntaxInExpression, "Syntax error (missing operator)");
  return st;
}

// PARAMETERS name type[(size)], ...; before the statement. The types do
// not matter: no value can be given, so every declared name counts as a
// missing parameter.
void Parser::ParseParameters(Statement& st) {
  Next();
  do {
    if (Peek().type != Tok::Ident) Fail(kErrSyntaxGeneral, "Syntax error in PARAMETER clause");
    st.parameters.push_back(Next().text);
    int depth = 0;
    while (Peek().type != Tok::End && (depth > 0 || (Peek().type != Tok::Comma && Peek().type != Tok::Semicolon))) {
      if (Peek().type == Tok::LParen) ++depth;
      if (Peek().type == Tok::RParen) --depth;
      Next();
    }
  } while (Accept(Tok::Comma));
  Expect(Tok::Semicolon, kErrSyntaxGeneral);
}

// TRANSFORM agg SELECT ... [GROUP BY ...] PIVOT expr [IN (v, ...)]
std::unique_ptr<SelectStmt> Parser::ParseTransform() {
  Nest nest(*this);
  Next();
  ExprPtr agg = ParseExpr();
  // The designer names the value ("AS SumOfQty"); the pivot values name
  // the columns, so the name is not used.
  if (AcceptWord("AS")) ExpectName(kErrSyntaxGeneral);
  auto s = ParseSelectMember(false);
  s->transform = std::move(agg);
  ParsePivot(*s);
  s->height = std::max({s->height, s->transform->height, s->pivot->height});
  for (const auto& v : s->pivotIn) s->height = std::max(s->height, v->height);
  if (s->height > kMaxExprHeight) Fail(kErrTooComplex, "Query is too complex");
  return s;
}

void Parser::ParsePivot(SelectStmt& s) {
  if (!AcceptWord("PIVOT")) Fail(kErrSyntaxGeneral, "Syntax error in TRANSFORM statement");
  s.pivot = ParseConcat();
  if (!AcceptWord("IN")) return;
  Expect(Tok::LParen, kErrSyntaxGeneral);
  do {
    s.pivotIn.push_back(ParseExpr());
  } while (Accept(Tok::Comma));
  Expect(Tok::RParen, kErrSyntaxGeneral);
}

// "IN 'file'" after a table name: a table of another database file.
void Parser::ParseExternalDb(std::string& into) {
  if (!IsWord("IN") || Peek(1).type != Tok::String) return;
  Next();
  into = Next().text;
  if (into.empty()) into = "?";
  // "IN '' [dBASE IV;DATABASE=...]" names the file in brackets.
  if (Peek().type == Tok::Ident && Peek().bracketed) into = Next().text;
}

// ----------------------------------------------------------- SELECT

// A SELECT with the members of its UNION, if any. The ORDER BY written
// after the last member orders the whole union.
std::unique_ptr<SelectStmt> Parser::ParseSelect(bool allowInto) {
  Nest nest(*this);
  auto s = ParseSelectMember(allowInto);
  while (AcceptWord("UNION")) {
    UnionPart part;
    part.all = AcceptWord("ALL");
    bool paren = Accept(Tok::LParen);
    part.select = ParseSelectMember(false);
    if (paren) Expect(Tok::RParen, kErrSyntaxGeneral);
    s->height = std::max(s->height, part.select->height);
    s->unions.push_back(std::move(part));
  }
  if (!s->unions.empty()) {
    if (!s->orderBy.empty()) Fail(kErrSyntaxGeneral, "ORDER BY belongs after the last SELECT of a UNION");
    s->orderBy = std::move(s->unions.back().select->orderBy);
    s->unions.back().select->orderBy.clear();
  }
  return s;
}

std::unique_ptr<SelectStmt> Parser::ParseSelectMember(bool allowInto) {
  Nest nest(*this);
  ExpectWord("SELECT", kErrSelectMalformed);
  auto s = std::make_unique<SelectStmt>();
  ParseSelectHead(*s);
  do {
    s->items.push_back(ParseSelectItem());
  } while (Accept(Tok::Comma));

  if (IsWord("INTO")) {
    if (!allowInto) Fail(kErrSelectMalformed, "INTO is not allowed here");
    Next();
    s->intoPos = Peek().pos;
    s->into = ExpectName(kErrSelectMalformed);
    ParseExternalDb(s->intoExternalDb);
  }
  if (AcceptWord("FROM")) {
    do {
      s->from.push_back(ParseSource());
    } while (Accept(Tok::Comma));
  }
  ParseSelectTail(*s);
  s->height = SelectHeight(*s);
  if (s->height > kMaxExprHeight) Fail(kErrTooComplex, "Query is too complex");
  return s;
}

// The predicate (DISTINCT, DISTINCTROW, ALL) and TOP n [PERCENT].
void Parser::ParseSelectHead(SelectStmt& s) {
  if (AcceptWord("DISTINCT")) {
    s.distinct = true;
  } else if (AcceptWord("DISTINCTROW")) {
    s.distinctRow = true;
  } else {
    AcceptWord("ALL");
  }
  if (!AcceptWord("TOP")) return;
  const Token& n = Peek();
  if (n.type != Tok::Number || !n.isInteger) Fail(kErrSelectMalformed, "Expected a number after TOP");
  long v = 0;
  auto [ptr, ec] = std::from_chars(n.text.data(), n.text.data() + n.text.size(), v);
  if (ec != std::errc() || v < 0) Fail(kErrSelectMalformed, "Invalid TOP value");
  (void)ptr;
  s.top = v;
  Next();
  if (AcceptWord("PERCENT")) s.topPercent = true;
}

// WHERE, GROUP BY, HAVING and ORDER BY.
void Parser::ParseSelectTail(SelectStmt& s) {
  if (AcceptWord("WHERE")) s.where = ParseExpr();
  if (IsWord("GROUP")) {
    Next();
    ExpectWord("BY", kErrSyntaxGeneral);
    do {
      s.groupBy.push_back(ParseExpr());
    } while (Accept(Tok::Comma));
  }
  if (AcceptWord("HAVING")) s.having = ParseExpr();
  if (IsWord("ORDER")) {
    Next();
    ExpectWord("BY", kErrSyntaxInOrderBy);
    do {
      OrderItem item;
      item.expr = ParseExpr();
      if (AcceptWord("DESC")) {
        item.desc = true;
      } else {
        AcceptWord("ASC");
      }
      s.orderBy.push_back(std::move(item));
    } while (Accept(Tok::Comma));
  }
}

SelectItem Parser::ParseSelectItem() {
  SelectItem item;
  item.pos = Peek().pos;
  if (Peek().type == Tok::Star) {
    Next();
    item.star = true;
    return item;
  }
  if (Peek().type == Tok::Ident && IsQualifierSeparator(1) && Peek(2).type == Tok::Star) {
    item.star = true;
    item.starQualifier = Next().text;
    Next();
    Next();
    return item;
  }
  if (Peek().type == Tok::End || IsWord("FROM") || IsWord("INTO"))
    Fail(kErrSelectMalformed,
         "The SELECT statement includes a reserved word or an argument name that is misspelled or missing, or "
         "the punctuation is incorrect");
  item.expr = ParseExpr();
  if (AcceptWord("AS")) {
    if (Peek().type == Tok::String) {
      item.alias = Next().text;
    } else {
      item.alias = ExpectName(kErrSelectMalformed);
    }
  } else if (IsName()) {
    // An alias without AS.
    item.alias = Next().text;
  }
  return item;
}

// ------------------------------------------------------------- FROM

SourcePtr Parser::ParseSource() {
  Nest nest(*this);
  auto left = ParseSourcePrimary();
  for (;;) {
    JoinType type;
    std::size_t p = Peek().pos;
    if (IsWord("INNER") && IsWord("JOIN", 1)) {
      type = JoinType::Inner;
      Next();
    } else if ((IsWord("LEFT") || IsWord("RIGHT")) &&
               (IsWord("JOIN", 1) || (IsWord("OUTER", 1) && IsWord("JOIN", 2)))) {
      type = IsWord("LEFT") ? JoinType::Left : JoinType::Right;
      Next();
      AcceptWord("OUTER");
    } else if (IsWord("JOIN")) {
      Fail(kErrSyntaxInFrom, "Syntax error in FROM clause");
    } else {
      return left;
    }
    ExpectWord("JOIN", kErrSyntaxInFrom);
    if (++joins_ > kMaxJoins) Fail(kErrTooComplex, "Query is too complex");
    auto right = ParseSourcePrimary();
    if (!AcceptWord("ON")) Fail(kErrSyntaxInFrom, "JOIN expression not supported");
    auto join = std::make_unique<Source>();
    join->kind = Source::Join;
    join->pos = p;
    join->join = type;
    join->left = std::move(left);
    join->right = std::move(right);
    join->on = ParseExpr();
    left = std::move(join);
  }
}

SourcePtr Parser::ParseSourcePrimary() {
  Nest nest(*this);
  auto src = std::make_unique<Source>();
  src->pos = Peek().pos;
  if (Accept(Tok::LParen)) {
    if (IsWord("SELECT")) {
      src->kind = Source::Subquery;
      src->sub = ParseSelect(false);
      if (!Accept(Tok::RParen)) Fail(kErrSyntaxInFrom, "Syntax error in FROM clause");
      ParseAlias(*src);
      return src;
    }
    auto inner = ParseSource();
    if (!Accept(Tok::RParen)) Fail(kErrSyntaxInFrom, "Syntax error in FROM clause");
    return inner;
  }
  if (!IsName()) Fail(kErrSyntaxInFrom, "Syntax error in FROM clause");
  src->kind = Source::Table;
  src->name = Next().text;
  ParseExternalDb(src->externalDb);
  ParseAlias(*src);
  if (src->externalDb.empty()) ParseExternalDb(src->externalDb);
  return src;
}

void Parser::ParseAlias(Source& src) {
  if (AcceptWord("AS")) {
    src.alias = ExpectName(kErrSyntaxInFrom);
  } else if (IsName()) {
    src.alias = Next().text;
  }
}

// ----------------------------------------------------------- INSERT

std::unique_ptr<InsertStmt> Parser::ParseInsert() {
  ExpectWord("INSERT", kErrSyntaxInInsert);
  ExpectWord("INTO", kErrSyntaxInInsert);
  auto s = std::make_unique<InsertStmt>();
  s->tablePos = Peek().pos;
  s->table = ExpectName(kErrSyntaxInInsert);
  if (Accept(Tok::LParen)) {
    do {
      std::string name = ExpectName(kErrSyntaxInInsert);
      // "t.field" names the target's own field
      if (IsQualifierSeparator() && Peek(1).type == Tok::Ident) {
        Next();
        name = Next().text;
      }
      s->columns.push_back(std::move(name));
    } while (Accept(Tok::Comma));
    Expect(Tok::RParen, kErrSyntaxInInsert);
  }
  if (AcceptWord("VALUES")) {
    Expect(Tok::LParen, kErrSyntaxInInsert);
    do {
      s->values.push_back(ParseExpr());
    } while (Accept(Tok::Comma));
    Expect(Tok::RParen, kErrSyntaxInInsert);
  } else if (IsWord("SELECT")) {
    s->select = ParseSelect(false);
  } else if (Peek().type == Tok::LParen && IsWord("SELECT", 1)) {
    Next();
    s->select = ParseSelect(false);
    Expect(Tok::RParen, kErrSyntaxInInsert);
  } else {
    Fail(kErrSyntaxInInsert, "Syntax error in INSERT INTO statement");
  }
  return s;
}

// ----------------------------------------------------------- UPDATE

std::unique_ptr<UpdateStmt> Parser::ParseUpdate() {
  ExpectWord("UPDATE", kErrSyntaxInUpdate);
  auto s = std::make_unique<UpdateStmt>();
  AcceptWord("DISTINCTROW");
  if (!IsName() && Peek().type != Tok::LParen) Fail(kErrSyntaxInUpdate, "Syntax error in UPDATE statement");
  // One table, or the join the designer writes: UPDATE a INNER JOIN b ON ... SET
  s->target = ParseSource();
  ExpectWord("SET", kErrSyntaxInUpdate);
  do {
    SetItem item;
    item.pos = Peek().pos;
    if (!IsName()) Fail(kErrSyntaxInUpdate, "Syntax error in UPDATE statement");
    item.column = Next().text;
    if (IsQualifierSeparator() && Peek(1).type == Tok::Ident) {
      Next();
      item.qualifier = std::move(item.column);
      item.column = Next().text;
    }
    Expect(Tok::Eq, kErrSyntaxInUpdate);
    item.value = ParseExpr();
    s->sets.push_back(std::move(item));
  } while (Accept(Tok::Comma));
  if (AcceptWord("WHERE")) s->where = ParseExpr();
  return s;
}

// ----------------------------------------------------------- DELETE

std::unique_ptr<DeleteStmt> Parser::ParseDelete() {
  ExpectWord("DELETE", kErrSyntaxGeneral);
  auto s = std::make_unique<DeleteStmt>();
  AcceptWord("DISTINCTROW");
  if (Peek().type == Tok::Star) {
    Next();
  } else {
    // t.*, or the designer's field list t.a, t.b: the rows of table t go.
    while (Peek().type == Tok::Ident && !IsWord("FROM")) {
      std::string first = Next().text;
      if (IsQualifierSeparator() && (Peek(1).type == Tok::Star || Peek(1).type == Tok::Ident)) {
        Next();
        Next();
        if (s->qualifier.empty()) s->qualifier = first;
      }
      if (!Accept(Tok::Comma)) break;
    }
  }
  ExpectWord("FROM", kErrSyntaxGeneral);
  do {
    s->from.push_back(ParseSource());
  } while (Accept(Tok::Comma));
  if (AcceptWord("WHERE")) s->where = ParseExpr();
  return s;
}

}  // namespace detail

Statement Parse(std::string_view text) {
  detail::Parser p(text);
  return p.ParseStatement();
}

}  // namespace qrw::sql
