// Field types, declared SQLite types and the conversion of row values
// between the product's value type and what SQLite stores.
#include <cmath>
#include <limits>

#include "engine/EngineImpl.h"
#include "platform/SqlQuoting.h"

namespace qrw::engine {

// ------------------------------------------------------------ name helpers

std::string UpperName(std::string_view s) {
  std::string out(s);
  for (char& ch : out)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return out;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::string QuoteId(std::string_view name) { return sqltext::InDoubleQuotes(name); }

std::string QuoteText(std::string_view text) { return sqltext::InSingleQuotes(text); }

int TableInfo::Find(std::string_view column) const {
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (SameName(columns[i].name, column)) return static_cast<int>(i);
  return -1;
}

// -------------------------------------------------------- column access

std::string ColumnText(sqlite3_stmt* stmt, int column) {
  const unsigned char* p = sqlite3_column_text(stmt, column);
  int n = sqlite3_column_bytes(stmt, column);
  return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
}

void BindText(sqlite3_stmt* stmt, int index, const std::string& s) {
  sqlite3_bind_text(stmt, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// ------------------------------------------------------------- type helpers

bool IsValidFieldType(int type) {
  switch (type) {
    case dbBoolean: case dbByte: case dbInteger: case dbLong: case dbCurrency:
    case dbSingle: case dbDouble: case dbDate: case dbText: case dbLongBinary: case dbMemo:
      return true;
    default:
      return false;
  }
}

bool HasZeroDefault(int type) {
  switch (type) {
    case dbBoolean: case dbByte: case dbInteger: case dbLong: case dbCurrency:
    case dbSingle: case dbDouble:
      return true;
    default:
      return false;
  }
}

long FixedSize(int type) {
  switch (type) {
    case dbBoolean: return 1;
    case dbByte: return 1;
    case dbInteger: return 2;
    case dbLong: return 4;
    case dbCurrency: return 8;
    case dbSingle: return 4;
    case dbDouble: return 8;
    case dbDate: return 8;
    default: return 0;
  }
}

std::string DeclaredType(int fieldType, long size) {
  switch (fieldType) {
    case dbBoolean: return "BOOLEAN";
    case dbByte: return "TINYINT";
    case dbInteger: return "SMALLINT";
    case dbLong: return "INTEGER";
    case dbCurrency: return "CURRENCY";
    case dbSingle: return "FLOAT";
    case dbDouble: return "DOUBLE";
    case dbDate: return "DATETIME";
    case dbText: return "VARCHAR(" + std::to_string(size > 0 && size <= 255 ? size : 255) + ")";
    case dbLongBinary: return "BLOB";
    case dbMemo: return "TEXT";
    default: return "TEXT";
  }
}

namespace {

bool Contains(const std::string& hay, const char* needle) { return hay.find(needle) != std::string::npos; }

// "VARCHAR ( 50 )" -> 50; nullopt without a size.
std::optional<long> SizeOf(const std::string& t) {
  auto open = t.find('(');
  if (open == std::string::npos) return std::nullopt;
  long v = 0;
  bool digits = false;
  for (std::size_t i = open + 1; i < t.size(); ++i) {
    char ch = t[i];
    if (ch == ' ') {
      if (digits) break;
      continue;
    }
    if (ch < '0' || ch > '9') break;
    digits = true;
    if (v < 100000) v = v * 10 + (ch - '0');
  }
  if (!digits) return std::nullopt;
  return v;
}

}  // namespace

void TypeFromDeclared(std::string_view declared, int& type, long& size) {
  std::string t = UpperName(declared);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  std::size_t lead = t.find_first_not_of(' ');
  t = lead == std::string::npos ? std::string() : t.substr(lead);
  std::string base = t.substr(0, t.find('('));
  while (!base.empty() && base.back() == ' ') base.pop_back();

  auto set = [&](int ty) {
    type = ty;
    size = FixedSize(ty);
  };
  if (base == "BOOLEAN" || base == "BOOL" || base == "BIT" || base == "YESNO" || base == "LOGICAL") return set(dbBoolean);
  if (base == "TINYINT" || base == "BYTE") return set(dbByte);
  if (base == "SMALLINT" || base == "SHORT") return set(dbInteger);
  if (base == "CURRENCY" || base == "MONEY") return set(dbCurrency);
  if (base == "FLOAT" || base == "SINGLE") return set(dbSingle);
  if (base == "DOUBLE" || base == "DOUBLE PRECISION") return set(dbDouble);
  if (base == "DATETIME" || base == "DATE" || base == "TIME" || base == "TIMESTAMP") return set(dbDate);
  if (base == "MEMO" || base == "LONGTEXT") return set(dbMemo);
  if (base == "LONGBINARY" || base == "IMAGE") return set(dbLongBinary);

  // Anything else goes by SQLite's own affinity rules.
  if (Contains(base, "INT")) return set(dbLong);
  if (Contains(base, "CHAR") || Contains(base, "CLOB") || Contains(base, "TEXT")) {
    auto n = SizeOf(t);
    if (n && *n > 0) {
      type = dbText;
      size = *n > 255 ? 255 : *n;
      return;
    }
    return set(dbMemo);
  }
  if (Contains(base, "BLOB")) return set(dbLongBinary);
  if (Contains(base, "REAL") || Contains(base, "FLOA") || Contains(base, "DOUB")) return set(dbDouble);
  if (base.empty()) return set(dbMemo);  // no type: any value, shown as text
  return set(dbDouble);                 // NUMERIC affinity
}

// ------------------------------------------------------------ conversions

namespace {

// The engine's number for a failed conversion of the value type.
[[noreturn]] void RaiseConversion(const Error& e, const ColumnInfo& c) {
  if (e.Number() >= 3000) throw e;
  if (e.Number() == rt::kOverflow) Raise(kErrNumericOverflow, c.name);
  Raise(kErrConversion, c.name);
}

Variant NumberFromStorage(double d, int type) {
  double r = std::nearbyint(d);
  bool integral = r == d;
  switch (type) {
    case dbByte:
      if (integral && d >= 0 && d <= 255) return Variant::Byte(static_cast<std::uint8_t>(d));
      [[fallthrough]];
    case dbInteger:
      if (integral && d >= -32768 && d <= 32767) return Variant::Integer(static_cast<std::int16_t>(d));
      [[fallthrough]];
    case dbLong:
      if (integral && d >= -2147483648.0 && d <= 2147483647.0) return Variant::Long(static_cast<std::int32_t>(d));
      return Variant::Double(d);
    case dbSingle:
      return Variant::Single(static_cast<float>(d));
    case dbCurrency:
      if (std::fabs(d) < 9.2e14) return Variant::Currency(d);
      return Variant::Double(d);
    default:
      return Variant::Double(d);
  }
}

}  // namespace

StoredValue StoredValueOf(sqlite3_stmt* stmt, int column) {
  StoredValue v;
  v.storage = sqlite3_column_type(stmt, column);
  if (v.storage == SQLITE_INTEGER) {
    v.i = sqlite3_column_int64(stmt, column);
  } else if (v.storage == SQLITE_FLOAT) {
    v.d = sqlite3_column_double(stmt, column);
  } else if (v.storage == SQLITE_TEXT || v.storage == SQLITE_BLOB) {
    // The file's text is UTF-8, so a text's bytes and a blob's are read alike.
    const void* p = v.storage == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(stmt, column))
                                             : sqlite3_column_blob(stmt, column);
    int n = sqlite3_column_bytes(stmt, column);
    if (p) v.bytes = std::string_view(static_cast<const char*>(p), static_cast<std::size_t>(n));
  }
  return v;
}

Variant ReadValue(sqlite3_stmt* stmt, int column, int fieldType) { return ReadValue(StoredValueOf(stmt, column), fieldType); }

Variant ReadValue(const StoredValue& value, int fieldType) {
  const int storage = value.storage;
  // What SQLite's own accessors give for the stored value.
  auto asInt = [&] { return value.i; };
  auto asDouble = [&] { return storage == SQLITE_INTEGER ? static_cast<double>(value.i) : value.d; };
  auto asText = [&] { return std::string(value.bytes); };
  if (storage == SQLITE_NULL) return Variant::Null();
  switch (fieldType) {
    case dbBoolean:
      if (storage == SQLITE_INTEGER) return Variant::Bool(asInt() != 0);
      if (storage == SQLITE_FLOAT) return Variant::Bool(asDouble() != 0);
      break;
    case dbByte: case dbInteger: case dbLong: case dbSingle: case dbDouble: case dbCurrency:
      if (storage == SQLITE_INTEGER) {
        std::int64_t v = asInt();
        if (fieldType == dbCurrency && v > -922337203685477LL && v < 922337203685477LL)
          return Variant::CurrencyScaled(v * 10000);
        if (fieldType == dbDouble) return Variant::Double(static_cast<double>(v));
        return NumberFromStorage(static_cast<double>(v), fieldType);
      }
      if (storage == SQLITE_FLOAT) return NumberFromStorage(asDouble(), fieldType);
      if (storage == SQLITE_TEXT) {
        Variant t = Variant::Text(asText());
        if (t.IsNumeric()) {
          try {
            return NumberFromStorage(t.ToDouble(), fieldType);
          } catch (const Error&) {
          }
        }
        return t;  // kept as written rather than lost
      }
      break;
    case dbDate:
      if (storage == SQLITE_TEXT) {
        std::string s = asText();
        double serial = 0;
        if (IsoToDate(s, serial)) return Variant::Date(serial);
        return Variant::Text(std::move(s));
      }
      if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
        return Variant::Date(asDouble());
      break;
    case dbText: case dbMemo:
      if (storage == SQLITE_TEXT || storage == SQLITE_BLOB) return Variant::Text(asText());
      if (storage == SQLITE_INTEGER) {
        std::int64_t v = asInt();
        if (v >= INT32_MIN && v <= INT32_MAX) return Variant::Text(Variant::Long(static_cast<std::int32_t>(v)).ToText());
        return Variant::Text(std::to_string(v));
      }
      return Variant::Text(Variant::Double(asDouble()).ToText());
    case dbLongBinary:
      if (storage == SQLITE_BLOB) return Variant::Text(asText());
      break;
    default:
      break;
  }
  // A value that does not fit the field's type: shown as it is stored.
  switch (storage) {
    case SQLITE_INTEGER: {
      std::int64_t v = asInt();
      return NumberFromStorage(static_cast<double>(v), dbLong);
    }
    case SQLITE_FLOAT: return Variant::Double(asDouble());
    case SQLITE_BLOB: return Variant::Text(asText());
    default: return Variant::Text(asText());
  }
}

namespace {

void BindNumber(sqlite3_stmt* stmt, int index, double d) {
  if (std::nearbyint(d) == d && std::fabs(d) < 9.0e15)
    sqlite3_bind_int64(stmt, index, static_cast<std::int64_t>(d));
  else
    sqlite3_bind_double(stmt, index, d);
}

// A value stored by its own kind, when the field type says nothing else.
void BindNatural(sqlite3_stmt* stmt, int index, const Variant& v) {
  switch (v.Type()) {
    case VarType::Boolean: sqlite3_bind_int(stmt, index, v.ToBool() ? -1 : 0); return;
    case VarType::Byte: case VarType::Integer: case VarType::Long:
      sqlite3_bind_int64(stmt, index, static_cast<std::int64_t>(v.DoubleRaw()));
      return;
    case VarType::Single: case VarType::Double: sqlite3_bind_double(stmt, index, v.DoubleRaw()); return;
    case VarType::Currency:
      sqlite3_bind_double(stmt, index, static_cast<double>(v.ToCurrencyScaled()) / 10000.0);
      return;
    case VarType::Date: BindText(stmt, index, DateToIso(v.ToDate())); return;
    case VarType::String: BindText(stmt, index, v.TextRef()); return;
    default: sqlite3_bind_null(stmt, index); return;
  }
}

}  // namespace

void BindValue(sqlite3_stmt* stmt, int index, const Variant& value, int fieldType) {
  if (value.IsNull() || value.IsEmpty()) {
    sqlite3_bind_null(stmt, index);
    return;
  }
  ColumnInfo c;
  c.type = fieldType;
  try {
    switch (fieldType) {
      case dbBoolean:
        sqlite3_bind_int(stmt, index, value.ToBool() ? -1 : 0);
        return;
      case dbByte: case dbInteger: case dbLong:
        if (value.Type() == VarType::Byte || value.Type() == VarType::Integer || value.Type() == VarType::Long) {
          sqlite3_bind_int64(stmt, index, static_cast<std::int64_t>(value.DoubleRaw()));
          return;
        }
        BindNumber(stmt, index, value.ToDouble());
        return;
      case dbSingle: case dbDouble:
        sqlite3_bind_double(stmt, index, value.ToDouble());
        return;
      case dbCurrency:
        sqlite3_bind_double(stmt, index, static_cast<double>(value.ToCurrencyScaled()) / 10000.0);
        return;
      case dbDate:
        BindText(stmt, index, DateToIso(value.ToDate()));
        return;
      case dbText: case dbMemo:
        if (value.IsText())
          BindText(stmt, index, value.TextRef());
        else
          BindText(stmt, index, value.ToText());
        return;
      case dbLongBinary: {
        std::string bytes = value.IsText() ? value.TextRef() : value.ToText();
        sqlite3_bind_blob(stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        return;
      }
      default:
        BindNatural(stmt, index, value);
        return;
    }
  } catch (const Error& e) {
    RaiseConversion(e, c);
  }
}

Variant ConvertForColumn(const Variant& value, const ColumnInfo& c) {
  if (value.IsNull() || value.IsEmpty()) {
    if (c.required) Raise(kErrNullInRequired, c.name);
    return Variant::Null();
  }
  try {
    switch (c.type) {
      case dbText: case dbMemo: {
        std::string s = value.IsText() ? value.TextRef() : value.ToText();
        if (s.empty() && !c.allowZeroLength) Raise(kErrZeroLength, c.name);
        if (c.type == dbText && c.size > 0 && static_cast<long>(text::Len(s)) > c.size)
          Raise(kErrFieldTooSmall, c.name);
        return Variant::Text(std::move(s));
      }
      case dbLongBinary:
        return value.IsText() ? value : Variant::Text(value.ToText());
      case dbBoolean: return Variant::Bool(value.ToBool());
      case dbByte: return Variant::Byte(value.ToByte());
      case dbInteger: return Variant::Integer(value.ToInteger());
      case dbLong: return Variant::Long(value.ToLong());
      case dbSingle: return Variant::Single(value.ToSingle());
      case dbDouble: return Variant::Double(value.ToDouble());
      case dbCurrency: return Variant::CurrencyScaled(value.ToCurrencyScaled());
      case dbDate: return Variant::Date(value.ToDate());
      default: return value;
    }
  } catch (const Error& e) {
    RaiseConversion(e, c);
  }
}

Variant ConvertProperty(const Variant& value, int type) {
  ColumnInfo c;
  c.name = "property";
  c.type = type == dbText ? dbMemo : type;
  if (!IsValidFieldType(type)) c.type = 0;
  return ConvertForColumn(value, c);
}

}  // namespace qrw::engine
