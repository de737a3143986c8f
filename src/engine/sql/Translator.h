// Translation of the dialect's syntax tree onto SQLite SQL: sources and
// scopes (Translator.cpp), SELECT (TranslateSelect.cpp), expressions
// (TranslateExpr.cpp) and function calls (TranslateCall.cpp).
//
// The translator only writes SQL text; it never runs a statement or
// changes the file (the executor, Execute.cpp, does). Names are resolved through the connection's catalog: tables become
// aliased table references, saved queries become parenthesised sub-selects
// (expanded recursively, with a depth limit against queries that name each
// other), "*" expands in field order. Every expression carries the field
// type it yields, which decides where SQLite's own operators give the
// dialect's results and where a registered function (engine/sql/Functions.h)
// has to stand in.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "engine/ErrorCodes.h"
#include "engine/Internal.h"
#include "engine/sql/Ast.h"
#include "platform/SqlQuoting.h"

namespace qrw::sql {

// Type of an expression whose kind is known only when it runs.
inline constexpr int kTypeVariant = 0;

// A field visible from a source of a FROM clause.
struct SourceCol {
  std::string name;
  engine::ColumnInfo info;
  std::string sql;          // reference in SQLite, e.g. "q1"."Code"
  int tableColumn = -1;     // index into the base table's columns (base sources)
  std::string originTable;  // base table and field the value comes from unchanged
  std::string originField;
};

struct ScopeSource {
  std::string name;      // the qualifier the dialect uses (alias, table or query name)
  std::string sqlAlias;  // alias in the translated SQL
  std::deque<SourceCol> cols;
  bool base = false;       // a stored table (not a query or sub-select)
  std::string tableName;   // stored name of the table whose rows these are
  std::string rowidSql;    // the rowid of that table's row; empty when the
                           // rows are not one-to-one rows of one table
};

struct OutColumn;
struct FunctionDef;

struct Scope {
  std::deque<ScopeSource> sources;
  bool anyQualifier = false;  // names match whatever table they name (a union's ORDER BY)
  const Scope* parent = nullptr;                 // enclosing query, for sub-selects
  const std::vector<OutColumn>* outputs = nullptr;  // select-list names, for ORDER BY
};

// A translated expression.
struct TExpr {
  std::string sql;  // always self-contained (parenthesised where compound)
  int type = kTypeVariant;
  long size = 0;
  bool pred = false;       // an SQLite condition giving 1/0/Null rather than -1/0
  bool aggregate = false;  // contains an aggregate function
  bool isNull = false;     // the literal Null
  bool constant = false;   // a literal
  bool emptyIsNull = false;  // an aggregate that gives Null over no rows at all
  // A condition "(x AND y)" or "(x OR y)" ('&' or '|'): a chain of the same
  // operator extends it inside its parentheses, because SQLite's parser
  // refuses parentheses nested about a hundred deep.
  char chain = 0;
  const SourceCol* col = nullptr;  // a plain field reference
  const ScopeSource* source = nullptr;
};

// One column of a SELECT's result.
struct OutColumn {
  std::string name;         // as the result shows it
  engine::ColumnInfo info;  // type, size and attributes; info.name == name
  std::string sql;          // value expression
  bool plain = false;       // a field of a source, unchanged
  int sourceIndex = -1;     // its source in the top-level scope
  int tableColumn = -1;     // its place in that base table
  std::string originTable, originField;
};

struct SelectSql {
  bool distinct = false;
  std::vector<OutColumn> columns;
  std::string from;     // " FROM ..." or empty
  std::string where;    // " WHERE ..." or empty
  std::string groupBy;  // " GROUP BY ..." or empty
  std::string having;   // " HAVING ..." or empty
  std::string orderBy;  // " ORDER BY ..." or empty
  // The same order, kept from using an index (each term behind a unary +):
  // for listing the keys of the rows a filter keeps, sorting them is far
  // cheaper than walking an index and fetching every row out of order.
  std::string orderBySorted;
  std::string limit;    // " LIMIT ..." or empty
  bool aggregate = false;
  // The statement reads the rows of one stored table and nothing else
  // (directly or through saved queries that only filter and pick fields).
  bool singleBase = false;
  std::string baseTable;
  std::string baseRowid;  // SQL of that table's rowid
  int baseSource = 0;     // that table's place among the sources
  // A UNION's compound SELECT, its columns named c0, c1, ...; the whole
  // statement when nothing is added around it.
  std::string compound;

  // SELECT with the given select list (every column by default, named c0,
  // c1, ... so that duplicate or odd names cannot clash).
  std::string Sql() const;
  std::string List() const;  // the select list of Sql()
  std::string SqlWith(const std::string& selectList, bool withOrder = true) const;
  // Every clause after the select list.
  std::string Tail(bool withOrder = true) const;
};

class Translator {
 public:
  explicit Translator(engine::Connection& conn) : conn_(conn) {}

  SelectSql Select(const SelectStmt& s, const Scope* parent = nullptr);
  TExpr Expr(const qrw::sql::Expr& e, const Scope& scope);

  // A stored table as the only source of a scope (UPDATE and DELETE
  // targets). Raises 3078 when there is no such table.
  const engine::TableInfo& AddTableSource(Scope& scope, const std::string& name, const std::string& alias);
  // Sources of a FROM list into the scope; returns the SQL after "FROM".
  std::string FromList(const std::vector<SourcePtr>& from, Scope& scope);
  std::string SourceSql(const qrw::sql::Source& src, Scope& scope) { return Source(src, scope); }

  // Names that are neither fields nor functions count as parameters the
  // statement would need; the statement cannot run with any of them.
  void NoteUnknown(const std::string& name);
  // Declared parameters: no value can be given for them either.
  void DeclareParameters(const std::vector<std::string>& names);
  void RaiseIfUnknown() const;

  // Value and condition forms of an expression.
  static std::string V(const TExpr& e);
  static std::string P(const TExpr& e);

 private:
  std::string Source(const qrw::sql::Source& src, Scope& scope);
  void AddQuerySource(Scope& scope, const std::string& name, const std::string& qualifier,
                      const std::string& sqlText, std::string& fromSql);
  TExpr Column(const qrw::sql::Expr& e, const Scope& scope);
  TExpr Call(const qrw::sql::Expr& e, const Scope& scope);
  TExpr Aggregate(const qrw::sql::Expr& e, const FunctionDef& f, const Scope& scope);
  TExpr Binary(const qrw::sql::Expr& e, const Scope& scope);
  TExpr Unary(const qrw::sql::Expr& e, const Scope& scope);
  TExpr Literal(const qrw::sql::Expr& e);
  TExpr Between(const qrw::sql::Expr& e, const Scope& scope);
  TExpr In(const qrw::sql::Expr& e, const Scope& scope);
  TExpr OneColumnSubquery(const qrw::sql::Expr& e, const Scope& scope);
  void SelectList(const SelectStmt& s, Scope& scope, SelectSql& out);
  // Per result column: whether it is a field without an alias of its own,
  // and its source's name (for "Source.Field" names when names clash).
  using ColumnOrigins = std::vector<std::pair<bool, std::string>>;
  void StarColumns(const SelectItem& item, const Scope& scope, SelectSql& out, ColumnOrigins& origins);
  std::string WhereClause(const SelectStmt& s, Scope& scope, SelectSql& out);
  void GroupAndHaving(const SelectStmt& s, Scope& scope, SelectSql& out, const std::string& movedHaving);
  std::string OrderSql(const std::vector<OrderItem>& order, Scope& scope, bool sorted = false);
  void Top(const SelectStmt& s, SelectSql& out, const std::string& orderOnColumns);
  std::string OrderOnColumns(const std::vector<OrderItem>& orderBy, Scope& scope, const SelectSql& out);
  void DistinctRow(const Scope& scope, SelectSql& out);
  SelectSql SelectOne(const SelectStmt& s, const Scope* parent, bool withOrder);
  SelectSql Union(const SelectStmt& s, const Scope* parent);
  SelectSql Crosstab(const SelectStmt& s, const Scope* parent);
  struct PivotValue {
    std::string name;  // the column's name: the value's text
    std::string cond;  // SQL condition on the pivot expression
  };
  std::vector<PivotValue> PivotValues(const SelectStmt& s, const TExpr& pivot, const SelectSql& body);
  std::string NewAlias();

  engine::Connection& conn_;
  std::vector<std::string> unknown_;
  int aliasCounter_ = 0;
  int queryDepth_ = 0;
  int expansions_ = 0;
  // Inside a crosstab cell: the condition that picks the cell's rows,
  // which every aggregate of the cell applies to its argument.
  std::string pivotCond_;
};

// Building translated expressions.
long FixedSizeOf(int type);
bool IsIntegerType(int type);
TExpr TypedExpr(std::string sql, int type, long size = 0);
TExpr PredExpr(std::string sql);
[[noreturn]] void RaiseSyntaxIn(const std::string& what);
[[noreturn]] void RaiseNotOneColumn();

// Helpers shared with the executor.
bool IsTextType(int type);
bool IsNumberType(int type);  // Boolean through Double, Currency included
// The value wrapped in qrw_store for the column.
std::string StoreExpr(const std::string& valueSql, const engine::ColumnInfo& col);
// Whether a value of this expression type can be written to the column
// without conversion (so the wrapper can be left out).
bool StoresUnchanged(const TExpr& value, const engine::ColumnInfo& col);
// The value as written to the column: converted where it may need it.
std::string StoreValue(const TExpr& value, const engine::ColumnInfo& col);

// Additional engine error numbers the dialect raises.
using engine::kErrCannotExecuteSelect;
using engine::kErrCircularQuery;
using engine::kErrDeleteWhichTable;
using engine::kErrUndefinedFunction;
using engine::kErrUnknownInsertField;
using engine::kErrUnknownStar;
using engine::kErrValueCount;
using engine::kErrUnionColumns;

}  // namespace qrw::sql
