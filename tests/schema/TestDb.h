// Small product databases for the schema and settings tests: one file built
// with plain SQLite DDL in a temporary folder, opened through the engine and
// installed as DataDb, with scripted message boxes recording every box.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "platform/MessageBox.h"
#include "schema/Shared.h"

namespace qrw::testing {

using Names = std::vector<std::string>;

class TempDbFile {
 public:
  explicit TempDbFile(const std::string& ddl, const std::string& fileName = "QRWdata.MDB") {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qrw-schema-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    path_ = dir_ + "/" + fileName;
    sqlite3* raw = nullptr;
    int rc = sqlite3_open(path_.c_str(), &raw);
    if (rc == SQLITE_OK) rc = sqlite3_exec(raw, ddl.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    if (rc != SQLITE_OK) throw std::runtime_error("cannot build " + path_);
  }
  ~TempDbFile() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& Path() const { return path_; }
  Database Open() const { return Engine::Instance().OpenDatabase(path_); }

 private:
  std::string dir_, path_;
};

inline void CloseQuietly(Database& db) {
  try {
    if (db) db->Close();
  } catch (const Error&) {
  }
  db.Clear();
}

// One column's values as text ("<Null>" for Null), in table order.
inline Names ColumnTexts(Database& db, const std::string& table, const std::string& field) {
  Names out;
  Recordset rs = db->OpenRecordset(table);
  for (; !rs->Eof(); rs->MoveNext()) {
    Variant v = rs->Get(field);
    out.push_back(v.IsNull() ? "<Null>" : v.ToText());
  }
  rs->Close();
  return out;
}

inline Names FieldNames(Database& db, const std::string& table) {
  Names out;
  db->GetTableDefs().Refresh();
  for (Field& f : db->GetTableDefs().Item(table)->GetFields().Members()) out.push_back(f->Name());
  return out;
}

inline Field StoredField(Database& db, const std::string& table, const std::string& field) {
  return db->GetTableDefs().Item(table)->GetFields().Item(field);
}

// A field property's value as text, "<none>" when the field lacks it.
inline std::string PropertyText(Database& db, const std::string& table, const std::string& field,
                                const std::string& name) {
  for (Property& p : StoredField(db, table, field)->GetProperties().Members()) {
    if (p->Name() == name) return p->Value().ToText();
  }
  return "<none>";
}

class ProductDbTest : public ::testing::Test {
 protected:
  void OpenProduct(const std::string& ddl, const std::string& fileName = "QRWdata.MDB") {
    CloseQuietly(db_);
    file_ = std::make_unique<TempDbFile>(ddl, fileName);
    db_ = file_->Open();
    DataDb = db_;
  }
  void TearDown() override {
    DataDb.Clear();
    CloseQuietly(db_);
    file_.reset();
  }
  // The one box shown starts with `start` + CR LF and has OK only, no icon.
  void ExpectOneBox(const std::string& start, Modality modality) {
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    const BoxRequest& box = boxes_.Shown()[0];
    EXPECT_EQ(box.text.rfind(start + "\r\n", 0), 0u) << box.text;
    EXPECT_GT(box.text.size(), start.size() + 2) << "description missing";
    EXPECT_EQ(box.buttons, Buttons::OK);
    EXPECT_EQ(box.icon, Icon::None);
    EXPECT_EQ(box.modality, modality);
  }

  std::unique_ptr<TempDbFile> file_;
  Database db_;
  ScopedScriptedBoxes boxes_;
};

}  // namespace qrw::testing
