// What a second run may change on a sample database that the script has
// just upgraded.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "Digest.h"
#include "engine/Engine.h"
#include "schema/Shared.h"
#include "upgrade/aaaDoIt.h"

namespace qrw::testing {

// One whole run of the script on the database file at `path`, as the
// program makes it: open, run, release.
inline void RunScriptOn(const std::string& path) {
  Database db = Engine::Instance().OpenDatabase(path);
  DataDb = db;
  doit();
  DataDb.Clear();
  db->Close();
}

// The large-format item numbers are made early in the script, before a
// later group adds the general mounting and laminate materials; the item
// numbering runs on every pass, so those materials get their item numbers
// on the next run. Every other table must be exactly as the first run left
// it, and a third run changes nothing at all.
inline void ExpectOnlyNewItemNumbers(const sample::DatabaseDigest& first, const sample::DatabaseDigest& second) {
  for (const std::string& d : sample::Differences(first, second))
    if (d.rfind("table rItemNumb:", 0) != 0) ADD_FAILURE() << d;
}

inline void ExpectNoDifferences(const sample::DatabaseDigest& a, const sample::DatabaseDigest& b) {
  for (const std::string& d : sample::Differences(a, b)) ADD_FAILURE() << d;
}

}  // namespace qrw::testing
