// Scaffolding of the import tests: a scratch folder, copies of the Jet test
// files (patched where a test needs a value the files lack), and the
// imported database opened through the engine.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/Engine.h"
#include "import/Importer.h"
#include "support/ScratchFolder.h"

namespace qrw::testing {

namespace fs = std::filesystem;

inline std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Replaces the one occurrence of `from` by `to` (same length); with
// `first`, the first of several.
inline void Patch(std::string& bytes, const std::string& from, const std::string& to, bool first = false) {
  ASSERT_EQ(from.size(), to.size());
  auto at = bytes.find(from);
  ASSERT_NE(at, std::string::npos) << "pattern not in file";
  if (!first) {
    ASSERT_EQ(bytes.find(from, at + 1), std::string::npos) << "pattern not unique";
  }
  bytes.replace(at, to.size(), to);
}

template <class T>
std::string Raw(T v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = FreshTestFolder("qrw_import"); }
  void TearDown() override {
    if (db_) db_->Close();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // A copy of a test file in the scratch folder.
  fs::path Copy(const std::string& name) {
    fs::path to = dir_ / name;
    fs::copy_file(fs::path(QRW_JET_DATA) / name, to, fs::copy_options::overwrite_existing);
    return to;
  }

  fs::path Target() const { return dir_ / "QRWdata.MDB"; }

  import::Report Import(const fs::path& source, bool force = false) {
    import::Options o;
    o.force = force;
    return import::ImportJet(source.string(), Target().string(), o);
  }

  // The exit status and line of a refused import (kExitOk when it ran).
  import::ExitStatus Refusal(const fs::path& source, std::string* line = nullptr, bool force = false) {
    try {
      Import(source, force);
    } catch (const import::ImportError& e) {
      if (line) *line = e.what();
      return e.Status();
    }
    return import::kExitOk;
  }

  Database& Db() {
    if (!db_) db_ = Engine::Instance().OpenDatabase(Target().string());
    return db_;
  }

  // Every value of one field, in row order.
  std::vector<Variant> Column(const std::string& table, const std::string& field) {
    std::vector<Variant> out;
    Recordset rs = Db()->OpenRecordset(table);
    for (; !rs->Eof(); rs->MoveNext()) out.push_back(rs->Get(field));
    rs->Close();
    return out;
  }

  fs::path dir_;
  Database db_;
};

}  // namespace qrw::testing
