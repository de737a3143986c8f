// Syntax tree of the product's SQL dialect.
//
// The parser builds it from statement text; the translator walks it to
// produce SQLite SQL. Nodes own their children. Every node remembers the
// byte offset where it starts, so errors can quote the text around it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qrw::sql {

struct SelectStmt;

enum class ExprKind {
  Literal,   // lit, text / number / serial
  Column,    // [qualifier.]name
  Unary,     // unOp args[0]
  Binary,    // binOp args[0] args[1]
  Like,      // args[0] Like args[1], negated
  Between,   // args[0] Between args[1] And args[2], negated
  In,        // args[0] In (args[1..]) or In (subquery), negated
  IsNull,    // args[0] Is [Not] Null, negated for Is Not
  Call,      // name(args...), star for Count(*)
  Exists,    // Exists (subquery)
  Subquery,  // (SELECT ...) used as a value
};

enum class LitKind { Null, Bool, Integer, Float, Text, Date };

enum class UnOp { Neg, Plus, Not };

enum class BinOp {
  Concat,  // &
  Add, Sub, Mul, Div, IntDiv, Mod, Pow,
  Eq, Ne, Lt, Le, Gt, Ge,
  And, Or, Xor, Eqv, Imp,
};

struct Expr {
  ExprKind kind = ExprKind::Literal;
  std::size_t pos = 0;
  int height = 1;  // of the subtree rooted here

  // Literal
  LitKind lit = LitKind::Null;
  std::int64_t ival = 0;  // Integer and Bool (-1 / 0)
  double num = 0;         // Float, and Date as a serial day number
  std::string text;       // Text value; for Column and Call the name

  // Column
  std::string qualifier;  // table or alias, empty when not qualified

  UnOp unOp = UnOp::Neg;
  BinOp binOp = BinOp::Add;
  bool negated = false;  // Not Like / Not Between / Not In / Is Not Null
  bool star = false;     // Count(*)
  bool distinctArg = false;  // Count(Distinct x)

  std::vector<std::unique_ptr<Expr>> args;
  std::unique_ptr<SelectStmt> sub;  // In (SELECT ...), Exists, Subquery
};
using ExprPtr = std::unique_ptr<Expr>;

struct SelectItem {
  ExprPtr expr;           // null for a star item
  std::string alias;      // "As alias"; empty when none
  bool star = false;      // * or qualifier.*
  std::string starQualifier;
  std::size_t pos = 0;
};

enum class JoinType { Inner, Left, Right };

struct Source {
  enum Kind { Table, Join, Subquery } kind = Table;
  std::size_t pos = 0;
  std::string name;   // Table: table or saved-query name
  std::string externalDb;  // "IN 'other.mdb'": a table of another file
  std::string alias;  // Table and Subquery
  JoinType join = JoinType::Inner;
  std::unique_ptr<Source> left, right;
  ExprPtr on;
  std::unique_ptr<SelectStmt> sub;
};
using SourcePtr = std::unique_ptr<Source>;

struct OrderItem {
  ExprPtr expr;
  bool desc = false;
};

struct UnionPart {
  bool all = false;  // UNION ALL keeps repeated rows
  std::unique_ptr<SelectStmt> select;
};

struct SelectStmt {
  int height = 1;  // deepest expression inside, sub-selects included
  bool distinct = false;
  bool distinctRow = false;  // rows repeating the same rows of the selected tables go
  long top = -1;  // TOP n; -1 when absent
  bool topPercent = false;
  std::vector<SelectItem> items;
  std::string into;  // SELECT ... INTO table; empty when absent
  std::size_t intoPos = 0;
  std::vector<SourcePtr> from;  // comma-separated sources (cross product)
  ExprPtr where;
  std::vector<ExprPtr> groupBy;
  ExprPtr having;
  std::vector<OrderItem> orderBy;  // of the whole union when there is one
  std::string intoExternalDb;      // "INTO t IN 'other.mdb'"

  // SELECT ... UNION [ALL] SELECT ...: the members after this one.
  std::vector<UnionPart> unions;

  // TRANSFORM agg SELECT ... PIVOT expr [IN (values)]: a crosstab.
  ExprPtr transform;
  ExprPtr pivot;
  std::vector<ExprPtr> pivotIn;
};

struct SetItem {
  std::string qualifier;  // "t." on the left of "=", may be empty
  std::string column;
  std::size_t pos = 0;
  ExprPtr value;
};

struct InsertStmt {
  std::string table;
  std::size_t tablePos = 0;
  std::vector<std::string> columns;  // empty: every field in order
  std::vector<ExprPtr> values;       // VALUES (...); empty with select
  std::unique_ptr<SelectStmt> select;
};

struct UpdateStmt {
  SourcePtr target;  // one table (with an optional alias), or a join
  std::vector<SetItem> sets;
  ExprPtr where;
};

struct DeleteStmt {
  std::string qualifier;  // "t" from DELETE t.* (or t.a, t.b) FROM ...; empty otherwise
  std::vector<SourcePtr> from;
  ExprPtr where;
};

struct Statement {
  enum Kind { Select, Insert, Update, Delete } kind = Select;
  // PARAMETERS declarations: values the statement needs from its caller.
  std::vector<std::string> parameters;
  std::unique_ptr<SelectStmt> select;
  std::unique_ptr<InsertStmt> insert;
  std::unique_ptr<UpdateStmt> update;
  std::unique_ptr<DeleteStmt> del;
};

}  // namespace qrw::sql
