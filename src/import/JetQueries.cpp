// Rebuilding a saved query's SQL text from its MSysQueries rows. The row's
// Attribute says what it holds: 1 the kind (Flag) and target, 2 a
// parameter, 3 the select flags, 4 an external database, 5 a table, 6 a
// column, 7 a join, 8 WHERE, 9 GROUP BY, 10 HAVING, 11 ORDER BY. Joins nest
// in the order they are stored, each joining the two table sources that
// hold its two tables, as the product itself writes its FROM clauses.
#include "import/JetQueries.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <set>

namespace qrw::jet {

namespace {

constexpr const char* kNl = "\r\n";

enum Attr { kKind = 1, kParam = 2, kFlags = 3, kRemote = 4, kTable = 5, kColumn = 6, kJoin = 7,
            kWhere = 8, kGroup = 9, kHaving = 10, kOrder = 11 };

int FlagOf(const QueryRow& r) { return r.flag.IsNull() || r.flag.IsEmpty() ? 0 : static_cast<int>(r.flag.DoubleRaw()); }

// A name as the product writes it: in brackets when it is not a plain word.
std::string Quote(const std::string& name) {
  bool plain = !name.empty() && !(name[0] >= '0' && name[0] <= '9');
  for (unsigned char ch : name)
    if (!(std::isalnum(ch) || ch == '_' || ch >= 0x80)) plain = false;
  return plain ? name : "[" + name + "]";
}

std::string Join(const std::vector<std::string>& parts, const char* sep) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : sep) + p;
  return out;
}

struct Source {
  std::string text;           // a table, or a join rendered so far
  bool isJoin = false;
  std::set<std::string> names;  // the tables (by alias) it holds
  std::shared_ptr<Source> left, right;
  int joinType = 1;
  std::vector<std::string> conditions;
};

std::string Render(const Source& s) {
  if (!s.isJoin) return s.text;
  auto side = [](const Source& x) { return x.isJoin ? std::string("(") + Render(x) + ")" : Render(x); };
  const char* type = s.joinType == 2 ? " LEFT JOIN " : s.joinType == 3 ? " RIGHT JOIN " : " INNER JOIN ";
  std::string on = s.conditions.size() == 1 ? s.conditions[0] : std::string("(") + Join(s.conditions, ") AND (") + ")";
  return side(*s.left) + type + side(*s.right) + " ON " + on;
}

std::string FromClause(const std::vector<const QueryRow*>& tables, const std::vector<const QueryRow*>& joins) {
  std::vector<std::shared_ptr<Source>> sources;
  for (const QueryRow* t : tables) {
    auto s = std::make_shared<Source>();
    if (t->name1.empty() && !t->expression.empty())
      s->text = "(" + t->expression + ")";
    else
      s->text = Quote(t->name1);
    if (!t->name2.empty()) s->text += std::string(" AS ") + Quote(t->name2);
    s->names.insert(t->name2.empty() ? t->name1 : t->name2);
    sources.push_back(s);
  }
  auto find = [&](const std::string& name) -> int {
    for (std::size_t i = 0; i < sources.size(); ++i)
      if (sources[i]->names.count(name)) return static_cast<int>(i);
    return -1;
  };
  for (const QueryRow* j : joins) {
    int a = find(j->name1), b = find(j->name2);
    if (a < 0 || b < 0) continue;
    if (a == b) {
      if (sources[static_cast<std::size_t>(a)]->isJoin)
        sources[static_cast<std::size_t>(a)]->conditions.push_back(j->expression);
      continue;
    }
    auto s = std::make_shared<Source>();
    s->isJoin = true;
    s->left = sources[static_cast<std::size_t>(a)];
    s->right = sources[static_cast<std::size_t>(b)];
    s->joinType = FlagOf(*j);
    s->conditions.push_back(j->expression);
    s->names = s->left->names;
    s->names.insert(s->right->names.begin(), s->right->names.end());
    sources[static_cast<std::size_t>(a)] = s;
    sources.erase(sources.begin() + b);
  }
  std::vector<std::string> parts;
  for (auto& s : sources) parts.push_back(Render(*s));
  return Join(parts, ", ");
}

// --------------------------------------------- union members without FROM

bool WordChar(char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || (ch & 0x80); }

bool SameWord(const std::string& a, const char* b) {
  std::size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != b[i]) return false;
  return true;
}

std::string Upper(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return s;
}

// A member of a union as stored: where it starts and ends in the text,
// whether it has a FROM of its own, where its first clause after the
// select list begins, and the table names its fields are qualified with.
struct Member {
  std::size_t begin = 0, end = 0;
  bool hasFrom = false, nested = false;
  std::size_t clause = std::string::npos;
  std::set<std::string> qualifiers;  // upper case
  std::string qualifier;             // one of them as written
};

// Splits a union's text at its top-level UNION words. Literals, bracketed
// names and parenthesised parts are stepped over as wholes, except that
// the qualifiers inside parentheses still count.
std::vector<Member> Members(const std::string& t) {
  std::vector<Member> out(1);
  int depth = 0, selects = 0;
  std::string lastName;  // the name just read, for "name." qualifiers
  for (std::size_t i = 0; i < t.size();) {
    char ch = t[i];
    if (ch == '"' || ch == '\'') {
      std::size_t j = i + 1;
      while (j < t.size() && !(t[j] == ch && (j + 1 >= t.size() || t[j + 1] != ch))) j += t[j] == ch ? 2 : 1;
      i = j + 1;
      lastName.clear();
      continue;
    }
    if (ch == '[' || WordChar(ch)) {
      std::size_t j = i;
      std::string name;
      if (ch == '[') {
        j = t.find(']', i);
        if (j == std::string::npos) j = t.size();
        name = t.substr(i + 1, j - i - 1);
        ++j;
      } else {
        while (j < t.size() && WordChar(t[j])) ++j;
        name = t.substr(i, j - i);
      }
      Member& m = out.back();
      if (ch != '[' && depth == 0) {
        if (SameWord(name, "UNION")) {
          m.end = i;
          std::size_t k = j;
          while (k < t.size() && std::isspace(static_cast<unsigned char>(t[k]))) ++k;
          if (k + 3 <= t.size() && SameWord(t.substr(k, 3), "ALL") && (k + 3 == t.size() || !WordChar(t[k + 3]))) j = k + 3;
          out.emplace_back().begin = j;
          selects = 0;
          lastName.clear();
          i = j;
          continue;
        }
        if (SameWord(name, "FROM")) m.hasFrom = true;
        if (m.clause == std::string::npos &&
            (SameWord(name, "WHERE") || SameWord(name, "GROUP") || SameWord(name, "HAVING") || SameWord(name, "ORDER")))
          m.clause = i;
      }
      if (ch != '[' && SameWord(name, "SELECT") && ++selects > 1) m.nested = true;
      lastName = std::isdigit(static_cast<unsigned char>(name[0])) && ch != '[' ? std::string() : name;
      i = j;
      if (i < t.size() && t[i] == '.' && !lastName.empty()) {
        m.qualifiers.insert(Upper(lastName));
        m.qualifier = lastName;
      }
      continue;
    }
    if (ch == '(') ++depth;
    if (ch == ')' && depth > 0) --depth;
    if (ch != '.') lastName.clear();
    ++i;
  }
  out.back().end = t.size();
  return out;
}

// A member that reads fields of one table without naming it in a FROM is
// given that FROM; with fields of several tables or none it is left as it
// is. The tables added go to added, for the report.
void AddMissingFrom(std::string& text, const std::set<std::string>& sources, std::vector<std::string>& added) {
  std::vector<Member> members = Members(text);
  // From the end, so that the positions before stay right.
  for (auto m = members.rbegin(); m != members.rend(); ++m) {
    if (m->hasFrom || m->nested || m->qualifiers.size() != 1 || !sources.count(*m->qualifiers.begin())) continue;
    std::size_t at = m->clause == std::string::npos ? m->end : m->clause;
    while (at > m->begin && (std::isspace(static_cast<unsigned char>(text[at - 1])) || text[at - 1] == ';')) --at;
    text.insert(at, kNl + std::string("FROM ") + Quote(m->qualifier));
    added.push_back(m->qualifier);
  }
}

const char* ParamType(int t) {
  switch (t) {
    case 1: return "Bit";
    case 2: return "Byte";
    case 3: return "Short";
    case 4: return "Long";
    case 5: return "Currency";
    case 6: return "IEEESingle";
    case 7: return "IEEEDouble";
    case 8: return "DateTime";
    case 9: return "Binary";
    case 10: return "Text ( 255 )";
    case 11: return "LongBinary";
    case 12: return "Memo";
    case 15: return "Guid";
    default: return "Value";
  }
}

struct Parts {
  int kind = 0, flags = 0;
  std::string target, targetDb, kindExpr, top, remote;
  std::vector<const QueryRow*> params, tables, columns, joins, where, group, having, order;
};

Parts Sort(const std::vector<QueryRow>& rows) {
  Parts p;
  for (const QueryRow& r : rows) {
    switch (r.attribute) {
      case kKind: p.kind = FlagOf(r); p.target = r.name1; p.targetDb = r.name2; p.kindExpr = r.expression; break;
      case kParam: p.params.push_back(&r); break;
      case kFlags: p.flags = FlagOf(r); p.top = r.name1; break;
      case kRemote: p.remote = r.name1; break;
      case kTable: p.tables.push_back(&r); break;
      case kColumn: p.columns.push_back(&r); break;
      case kJoin: p.joins.push_back(&r); break;
      case kWhere: p.where.push_back(&r); break;
      case kGroup: p.group.push_back(&r); break;
      case kHaving: p.having.push_back(&r); break;
      case kOrder: p.order.push_back(&r); break;
      default: break;
    }
  }
  return p;
}

std::string ColumnText(const QueryRow& c) {
  return c.name1.empty() ? c.expression : c.expression + std::string(" AS ") + Quote(c.name1);
}

// The SELECT keyword's modifiers from the flags row.
std::string SelectHead(const Parts& p) {
  std::string s = "SELECT";
  if (p.flags & 0x02) s += " DISTINCT";
  if (p.flags & 0x08) s += " DISTINCTROW";
  if ((p.flags & 0x10) && !p.top.empty()) s += " TOP " + p.top + ((p.flags & 0x20) ? " PERCENT" : "");
  return s;
}

std::string SelectList(const Parts& p, int onlyFlag = -1) {
  std::vector<std::string> cols;
  if (p.flags & 0x01) cols.push_back("*");
  for (const QueryRow* c : p.columns)
    if (onlyFlag < 0 || FlagOf(*c) == onlyFlag) cols.push_back(ColumnText(*c));
  return Join(cols, ", ");
}

std::string Conditions(const std::vector<const QueryRow*>& rows) {
  std::vector<std::string> e;
  for (const QueryRow* r : rows) e.push_back(r->expression);
  return Join(e, " AND ");
}

// FROM, WHERE, GROUP BY, HAVING and ORDER BY, each on its own line.
std::string Tail(const Parts& p, bool withFrom, bool crosstab = false) {
  std::string s;
  if (withFrom && !p.tables.empty()) {
    s += kNl + std::string("FROM ") + FromClause(p.tables, p.joins);
    if (!p.remote.empty()) s += " IN '" + p.remote + "'";
  }
  if (!p.where.empty()) s += kNl + std::string("WHERE ") + Conditions(p.where);
  std::vector<std::string> g;
  for (const QueryRow* r : p.group)
    if (!crosstab || FlagOf(*r) != 1) g.push_back(r->expression);
  if (!g.empty()) s += kNl + std::string("GROUP BY ") + Join(g, ", ");
  if (!p.having.empty()) s += kNl + std::string("HAVING ") + Conditions(p.having);
  std::vector<std::string> o;
  for (const QueryRow* r : p.order) o.push_back(r->expression + (r->name1 == "D" ? " DESC" : ""));
  if (!o.empty()) s += kNl + std::string("ORDER BY ") + Join(o, ", ");
  return s;
}

std::string Target(const Parts& p) {
  return Quote(p.target) + (p.targetDb.empty() ? "" : " IN '" + p.targetDb + "'");
}

std::string Body(const Parts& p, RebuiltQuery& q, const std::set<std::string>& sources) {
  switch (p.kind) {
    case 1: q.kind = QueryKind::Select; return SelectHead(p) + std::string(" ") + SelectList(p) + Tail(p, true);
    case 2:
      q.kind = QueryKind::MakeTable;
      return SelectHead(p) + std::string(" ") + SelectList(p) + std::string(" INTO ") + Target(p) + Tail(p, true);
    case 3: {
      q.kind = QueryKind::Append;
      std::vector<std::string> targets, values;
      for (const QueryRow* c : p.columns) {
        targets.push_back(c->name2);
        values.push_back(ColumnText(*c));
      }
      std::string cols = targets.empty() ? "" : std::string(" (") + Join(targets, ", ") + ")";
      return std::string("INSERT INTO ") + Target(p) + cols + kNl + SelectHead(p) + std::string(" ") + Join(values, ", ") + Tail(p, true);
    }
    case 4: {
      q.kind = QueryKind::Update;
      std::vector<std::string> sets;
      for (const QueryRow* c : p.columns) sets.push_back(c->name2 + " = " + c->expression);
      return std::string("UPDATE ") + FromClause(p.tables, p.joins) + std::string(" SET ") + Join(sets, ", ") + Tail(p, false);
    }
    case 5: q.kind = QueryKind::Delete; return std::string("DELETE ") + SelectList(p) + Tail(p, true);
    case 6: {
      q.kind = QueryKind::Crosstab;
      std::string pivot;
      for (const QueryRow* c : p.columns)
        if (FlagOf(*c) == 1) pivot = c->expression;
      return std::string("TRANSFORM ") + SelectList(p, 0) + kNl + SelectHead(p) + std::string(" ") + SelectList(p, 2) + Tail(p, true, true) +
             kNl + "PIVOT " + pivot;
    }
    case 7: q.kind = QueryKind::DataDefinition; return p.kindExpr;
    case 8:
      q.kind = QueryKind::PassThrough;
      if (!p.target.empty()) q.notKept.push_back("its connection string " + p.target);
      return p.kindExpr;
    case 9: {
      q.kind = QueryKind::Union;
      std::vector<std::string> parts;
      for (const QueryRow* t : p.tables) {
        std::string e = t->expression;
        while (!e.empty() && (e.back() == '\r' || e.back() == '\n' || e.back() == ' ' || e.back() == ';')) e.pop_back();
        parts.push_back(e);
      }
      std::string sep = std::string(kNl) + ((p.flags & 0x02) ? "UNION ALL " : "UNION ");
      std::string text = Join(parts, sep.c_str());
      std::vector<std::string> added;
      AddMissingFrom(text, sources, added);
      if (!added.empty())
        q.notes.push_back("FROM added to the members of the union that had none: " +
                          Join(std::vector<std::string>(added.rbegin(), added.rend()), ", ") +
                          " (the one table each one's fields name)");
      return text + Tail(p, false);
    }
    default: q.kind = QueryKind::Unknown; return std::string();
  }
}

}  // namespace

RebuiltQuery RebuildQuery(const std::vector<QueryRow>& rows, const std::vector<std::string>& sources) {
  RebuiltQuery q;
  Parts p = Sort(rows);
  std::set<std::string> known;
  for (const std::string& n : sources) known.insert(Upper(n));
  std::string body = Body(p, q, known);
  if (q.kind == QueryKind::DataDefinition || q.kind == QueryKind::PassThrough) {
    q.sql = body;
    return q;
  }
  std::string head;
  if (!p.params.empty()) {
    std::vector<std::string> ps;
    for (const QueryRow* r : p.params) ps.push_back(Quote(r->name1) + " " + ParamType(FlagOf(*r)));
    head = std::string("PARAMETERS ") + Join(ps, ", ") + ";" + kNl;
  }
  std::string tail = (p.flags & 0x04) ? std::string(kNl) + "WITH OWNERACCESS OPTION" : std::string();
  q.sql = head + body + tail + ";";
  return q;
}

const char* QueryKindName(QueryKind kind) {
  switch (kind) {
    case QueryKind::Select: return "select";
    case QueryKind::MakeTable: return "make-table";
    case QueryKind::Append: return "append";
    case QueryKind::Update: return "update";
    case QueryKind::Delete: return "delete";
    case QueryKind::Crosstab: return "crosstab";
    case QueryKind::DataDefinition: return "data-definition";
    case QueryKind::PassThrough: return "pass-through";
    case QueryKind::Union: return "union";
    default: return "unknown";
  }
}

}  // namespace qrw::jet
