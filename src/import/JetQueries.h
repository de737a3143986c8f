// Saved queries of a Jet file, with their SQL text rebuilt from the rows
// of MSysQueries (the file keeps a query as parts: tables, joins, columns,
// conditions, parameters), in the product's own dialect and layout.
#pragma once

#include <string>
#include <vector>

#include "platform/Variant.h"

namespace qrw::jet {

// One row of MSysQueries.
struct QueryRow {
  int attribute = 0;
  std::string name1, name2, expression;
  Variant flag;
};

enum class QueryKind { Select, MakeTable, Append, Update, Delete, Crosstab, DataDefinition, PassThrough, Union, Unknown };

struct RebuiltQuery {
  QueryKind kind = QueryKind::Unknown;
  std::string sql;
  std::vector<std::string> notKept;  // what the text cannot carry (a pass-through connection)
  std::vector<std::string> notes;    // what the rebuild added that the rows did not say
};

// The rows of one query in stored order. sources: the file's tables and
// queries, the names a union member without FROM may be read from.
RebuiltQuery RebuildQuery(const std::vector<QueryRow>& rows, const std::vector<std::string>& sources = {});

const char* QueryKindName(QueryKind kind);

}  // namespace qrw::jet
