// A product database at the oldest table structure the upgrade handles,
// written into a data folder for tests, benchmarks and the README's run
// command: QRWdata.MDB (and QRWScreen.mdb beside it).
//
// The fixed part holds a small, hand-made print shop whose rows give every
// conversion of the upgrade something to do; on top of it any number of
// generated orders (about five items each, with rows in every item table)
// can be streamed in, deterministic from a seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qrw::sample {

struct Options {
  long orders = 0;              // generated orders beyond the fixed ones
  std::uint64_t seed = 1;       // same seed, same rows
  bool screenDb = true;         // also write QRWScreen.mdb
  bool overwrite = false;       // replace files that are already there
};

struct Summary {
  long orders = 0;  // OrderHeader rows, templates included
  long items = 0;   // ItemDetails rows
  long rows = 0;    // rows written into QRWdata.MDB, all tables
};

inline constexpr const char* kDataFile = "QRWdata.MDB";
inline constexpr const char* kScreenFile = "QRWScreen.mdb";

// The most generated orders one sample can hold (their control numbers are
// eight digits).
inline constexpr long kMaxOrders = 90'000'000;

// Writes the sample into `folder` (created when missing). Raises
// std::runtime_error when a file is already there (unless overwrite is set)
// or cannot be written; a half-written file is removed.
Summary WriteSample(const std::string& folder, const Options& options = {});

// The table layout of the sample, for the tests: every table with its
// fields in order, as (name, type code, size).
struct ColumnSpec {
  const char* name;
  int type;
  int size;  // Text length; 0 for the other types
};
struct TableSpec {
  const char* name;
  std::vector<ColumnSpec> columns;
};
const std::vector<TableSpec>& DataTables();    // QRWdata.MDB
const std::vector<TableSpec>& ScreenTables();  // QRWScreen.mdb

// The declared SQLite type that stores a field of the given type and size.
std::string DeclaredType(int type, int size);

}  // namespace qrw::sample
