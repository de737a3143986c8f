// What the Jet reader's files share and nothing else needs: the libmdb
// handles behind File and Table.
#pragma once

// glib first: mdbtools.h includes it inside extern "C", which C++ headers refuse.
#include <glib.h>
#include <iconv.h>
#include <mdbtools.h>

#include "import/JetFile.h"

namespace qrw::jet {

// Owns the libmdb handle, so that it is closed also when File's
// constructor fails half-way.
struct File::Impl {
  MdbHandle* mdb = nullptr;
  bool jet4 = false;
  int codePage = 1252;
  ~Impl() {
    if (mdb) mdb_close(mdb);
  }
};

struct Table::Impl {
  File::Impl* file = nullptr;
  MdbCatalogEntry entry{};
  MdbTableDef* def = nullptr;
  ~Impl() {
    if (def) mdb_free_tabledef(def);
  }
};

// A table by its definition page; throws JetError (Damaged) when the
// definition cannot be read.
std::unique_ptr<Table> OpenTableAt(File::Impl& file, const std::string& name, unsigned long page);

void ReadCatalog(File::Impl& file, std::vector<CatalogEntry>& out);

}  // namespace qrw::jet
