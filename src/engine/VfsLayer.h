// What every file-system layer of ours over SQLite's VFS shares: the table
// of file methods it hands SQLite. SQLite calls only the methods of the
// version a table declares, and a layer must declare the version of the
// file it passes the calls on to, so each layer keeps one table per version.
#pragma once

#include <sqlite3.h>

#include <array>
#include <cstddef>

namespace qrw::vfs {

// Tables for versions 1 to 3 made from one of version 3, each without the
// methods its version does not know.
inline std::array<sqlite3_io_methods, 4> MethodsByVersion(const sqlite3_io_methods& all) {
  std::array<sqlite3_io_methods, 4> m{};
  for (int v = 1; v <= 3; ++v) {
    sqlite3_io_methods& x = m[static_cast<std::size_t>(v)];
    x = all;
    x.iVersion = v;
    if (v < 2) {
      x.xShmMap = nullptr;
      x.xShmLock = nullptr;
      x.xShmBarrier = nullptr;
      x.xShmUnmap = nullptr;
    }
    if (v < 3) {
      x.xFetch = nullptr;
      x.xUnfetch = nullptr;
    }
  }
  return m;
}

// The table for a file of the given version (outside 1 to 3: the nearest).
inline const sqlite3_io_methods* MethodsOf(const std::array<sqlite3_io_methods, 4>& tables, int version) {
  return &tables[static_cast<std::size_t>(version < 1 ? 1 : version > 3 ? 3 : version)];
}

}  // namespace qrw::vfs
