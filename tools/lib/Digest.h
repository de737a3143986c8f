// A digest of a product database: its structure (tables, fields with type,
// size, attributes and position, indexes, saved queries) and all its data,
// in a canonical form, so that two databases can be compared for "the same
// structure and the same rows" without caring about row order or how the
// file happens to be laid out.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qrw::sample {

struct DatabaseDigest {
  // One entry per table ("table <name>": its structure in words and a hash
  // of its rows) and per saved query ("query <name>": its SQL text).
  std::map<std::string, std::string> parts;
  std::string total;  // hex digest over all parts

  bool operator==(const DatabaseDigest& o) const { return total == o.total; }
};

// Reads the file at `path` (structure through the engine, rows straight
// from SQLite, streamed). Raises qrw::Error or std::runtime_error when the
// file cannot be read.
DatabaseDigest Digest(const std::string& path);

// Readable differences between two digests (empty when they are equal).
std::vector<std::string> Differences(const DatabaseDigest& a, const DatabaseDigest& b);

// The row hash of one table only, for quick checks; rows in any order give
// the same value.
std::string TableDataHash(const std::string& path, const std::string& table);

}  // namespace qrw::sample
