// The database engine layer: the object model every procedure of the
// upgrade works through (engine, database, table definitions, fields,
// indexes, saved queries, recordsets), stored in a plain SQLite 3 file.
//
// Objects are reached through Ref<T> handles. A handle behaves like the
// product's object variables: it can be cleared (Clear), and using a
// cleared handle raises run-time error 91.
//
// Every failure raises qrw::Error with an engine error number
// (engine/ErrorCodes.h); the engine's error collection (Engine::Errors)
// holds the errors of the last failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/Variant.h"

namespace qrw {

namespace engine {
struct RefAccess;
struct EngineErrors;
}  // namespace engine

// Field type codes of the product's database.
enum FieldType : std::int16_t {
  dbBoolean = 1,
  dbByte = 2,
  dbInteger = 3,
  dbLong = 4,
  dbCurrency = 5,
  dbSingle = 6,
  dbDouble = 7,
  dbDate = 8,
  dbText = 10,
  dbLongBinary = 11,
  dbMemo = 12,
};

// Field attribute bits.
inline constexpr long dbAutoIncrField = 16;

// Recordset edit modes.
enum EditMode : int { dbEditNone = 0, dbEditInProgress = 1, dbEditAdd = 2 };

template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}  // NOLINT
  explicit Ref(std::shared_ptr<T> p) : p_(std::move(p)) {}

  T* operator->() const {
    if (!p_) rt::Raise(rt::kObjectNotSet);
    return p_.get();
  }
  T& operator*() const { return *operator->(); }
  explicit operator bool() const { return static_cast<bool>(p_); }
  bool IsNothing() const { return !p_; }
  void Clear() { p_.reset(); }
  bool SameObject(const Ref& o) const { return p_ == o.p_; }

 private:
  friend struct engine::RefAccess;
  std::shared_ptr<T> p_;
};

class DatabaseObject;
class TableDefObject;
class FieldObject;
class IndexObject;
class QueryDefObject;
class RecordsetObject;
class PropertyObject;

using Database = Ref<DatabaseObject>;
using TableDef = Ref<TableDefObject>;
using Field = Ref<FieldObject>;
using Index = Ref<IndexObject>;
using QueryDef = Ref<QueryDefObject>;
using Recordset = Ref<RecordsetObject>;
using Property = Ref<PropertyObject>;

// ---------------------------------------------------------------- engine

class Engine {
 public:
  // The process-wide engine, created on first use.
  static Engine& Instance();

  // Opens a product database shared and read-write. The path text is mapped
  // to the file system (platform/PathMap.h) first, so "C:\x\QRWdata.MDB"
  // and native paths both work. Never creates a file. Raises 3024 when the
  // file is missing, 3343 when it is not a database (also an empty file),
  // 3008/3045 when another process holds it locked (promptly, no hang).
  Database OpenDatabase(const std::string& path);

  // Errors of the last failure, in collection order (usually one).
  const std::vector<Error>& Errors() const { return errors_; }

  // Transactions over every database this engine has open.
  void BeginTrans();
  void CommitTrans();
  void Rollback();

 private:
  friend struct engine::EngineErrors;
  Engine() = default;
  std::vector<Error> errors_;
  std::vector<std::weak_ptr<DatabaseObject>> open_;
};

inline Engine& DBEngine() { return Engine::Instance(); }

// ----------------------------------------------------------- collections

// A live, ordered collection with lookup by name without regard to case.
// Item(name) raises 3265 when the name is not there.
template <class H>
class CollectionBase {
 public:
  virtual ~CollectionBase() = default;
  virtual int Count() = 0;
  virtual H Item(int index) = 0;                 // 0-based; 3265 out of range
  virtual H Item(const std::string& name) = 0;
  virtual void Refresh() = 0;
  H operator[](int index) { return Item(index); }
  H operator()(const std::string& name) { return Item(name); }

  // Snapshot of the members, for range-for enumeration.
  std::vector<H> Members() {
    std::vector<H> out;
    int n = Count();
    out.reserve(n);
    for (int i = 0; i < n; ++i) out.push_back(Item(i));
    return out;
  }
};

class TableDefs : public CollectionBase<TableDef> {
 public:
  // Stores a new table (3010 when the name exists, 3264 without fields).
  virtual void Append(const TableDef& def) = 0;
  // Drops the table and its rows (3265 when missing).
  virtual void Delete(const std::string& name) = 0;
};

class Fields : public CollectionBase<Field> {
 public:
  // Adds the column to the stored table at once; rows already there read
  // 0 for numeric and Boolean fields and Null for the others (3191 when the
  // name exists).
  virtual void Append(const Field& field) = 0;
  // Drops the column and its data (3265 missing, 3280 used by an index).
  virtual void Delete(const std::string& name) = 0;
};

class Indexes : public CollectionBase<Index> {
 public:
  virtual void Append(const Index& index) = 0;
  virtual void Delete(const std::string& name) = 0;
};

class QueryDefs : public CollectionBase<QueryDef> {
 public:
  virtual void Delete(const std::string& name) = 0;
};

class Properties : public CollectionBase<Property> {
 public:
  virtual void Append(const Property& prop) = 0;
  virtual void Delete(const std::string& name) = 0;
};

// --------------------------------------------------------------- objects

class DatabaseObject {
 public:
  virtual ~DatabaseObject() = default;
  virtual std::string Name() = 0;  // full native path of the file
  virtual TableDefs& GetTableDefs() = 0;
  virtual QueryDefs& GetQueryDefs() = 0;
  virtual TableDef CreateTableDef(const std::string& name) = 0;
  // Stores the query at once (3012 when a table or query has the name).
  virtual QueryDef CreateQueryDef(const std::string& name, const std::string& sql) = 0;
  // A table name, a saved query name, or SQL SELECT text.
  virtual Recordset OpenRecordset(const std::string& source) = 0;
  // One action statement (UPDATE, INSERT INTO, DELETE, SELECT ... INTO),
  // no options: rows that cannot take their new values are skipped.
  virtual void Execute(const std::string& sql) = 0;
  virtual long RecordsAffected() = 0;
  // For each UPDATE or SELECT given: false when it certainly would write
  // or give no row now, true when it may. Statements over one table are
  // answered together by one pass over it, and a "no" stands, without
  // another pass, for as long as nothing in the file changes. Raises what
  // running the statement would raise. Without a way to tell: all true.
  virtual std::vector<bool> WouldAct(const std::vector<std::string>& statements) {
    return std::vector<bool>(statements.size(), true);
  }
  virtual void Close() = 0;
  virtual void BeginTrans() = 0;
  virtual void CommitTrans() = 0;
  virtual void Rollback() = 0;
};

class TableDefObject {
 public:
  virtual ~TableDefObject() = default;
  virtual std::string Name() = 0;
  virtual Fields& GetFields() = 0;
  virtual Indexes& GetIndexes() = 0;
  // A new field that exists in the table only once appended.
  virtual Field CreateField(const std::string& name, int type, int size = 0) = 0;
  virtual Index CreateIndex(const std::string& name) = 0;
  virtual long Attributes() = 0;  // system tables carry dbSystemObject
};

inline constexpr long dbSystemObject = static_cast<long>(0x80000002);

class FieldObject {
 public:
  virtual ~FieldObject() = default;
  virtual std::string Name() = 0;
  virtual void SetName(const std::string& name) = 0;  // renames the column
  virtual int Type() = 0;
  virtual long Size() = 0;
  virtual int OrdinalPosition() = 0;
  virtual void SetOrdinalPosition(int position) = 0;
  virtual long Attributes() = 0;
  virtual void SetAttributes(long attributes) = 0;
  virtual bool Required() = 0;
  virtual void SetRequired(bool required) = 0;
  virtual bool AllowZeroLength() = 0;
  virtual void SetAllowZeroLength(bool allow) = 0;
  virtual Properties& GetProperties() = 0;
  virtual Property CreateProperty(const std::string& name, int type, const Variant& value) = 0;
  // Value of the current record; only for fields of a recordset
  // (a table definition's field raises 3219).
  virtual Variant Value() = 0;
  virtual void SetValue(const Variant& value) = 0;
};

class IndexObject {
 public:
  virtual ~IndexObject() = default;
  virtual std::string Name() = 0;
  virtual bool Primary() = 0;
  virtual void SetPrimary(bool primary) = 0;
  virtual bool Unique() = 0;
  virtual void SetUnique(bool unique) = 0;
  virtual Fields& GetFields() = 0;
  virtual Field CreateField(const std::string& name) = 0;
};

class QueryDefObject {
 public:
  virtual ~QueryDefObject() = default;
  virtual std::string Name() = 0;
  virtual std::string SQL() = 0;
};

class PropertyObject {
 public:
  virtual ~PropertyObject() = default;
  virtual std::string Name() = 0;
  virtual int Type() = 0;
  virtual Variant Value() = 0;
};

// An opaque position in a recordset.
using Bookmark = std::int64_t;

class RecordsetObject {
 public:
  virtual ~RecordsetObject() = default;
  virtual bool Eof() = 0;
  virtual bool Bof() = 0;
  virtual qrw::Fields& GetFields() = 0;
  virtual bool Updatable() = 0;
  virtual void AddNew() = 0;
  virtual void Edit() = 0;
  virtual void Update() = 0;
  virtual void CancelUpdate() = 0;
  virtual void Delete() = 0;
  virtual int GetEditMode() = 0;
  virtual void MoveNext() = 0;
  virtual void MovePrevious() = 0;
  virtual void MoveFirst() = 0;
  virtual void MoveLast() = 0;
  virtual long RecordCount() = 0;
  virtual Bookmark LastModified() = 0;
  virtual Bookmark GetBookmark() = 0;
  virtual void SetBookmark(Bookmark bookmark) = 0;
  virtual void Close() = 0;

  // rs->Fields("Code") in the product's code.
  Field Fields(const std::string& name) { return GetFields().Item(name); }
  Field Fields(int index) { return GetFields().Item(index); }
  Variant Get(const std::string& name) { return Fields(name)->Value(); }
  void Set(const std::string& name, const Variant& v) { Fields(name)->SetValue(v); }
};

}  // namespace qrw
