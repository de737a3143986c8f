// What a second run may change on a sample database that the script has
// just upgraded.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "Digest.h"
#include "SampleDb.h"
#include "engine/Engine.h"
#include "platform/MessageBox.h"
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

// The bundled sample written into `folder` and taken through one whole run
// of the script, with what it looked like afterwards.
struct UpgradedSample {
  std::string path;
  sample::DatabaseDigest first;
};

// A clean first run shows no box at all.
inline UpgradedSample WriteAndUpgradeSample(const std::string& folder, const ScriptedBoxes& boxes) {
  sample::WriteSample(folder);
  UpgradedSample s{folder + "/" + sample::kDataFile, {}};
  RunScriptOn(s.path);
  for (const BoxRequest& box : boxes.Shown()) ADD_FAILURE() << "unexpected box: " << box.text;
  s.first = sample::Digest(s.path);
  return s;
}

// The run after the first: still no box, and nothing changes but the item
// numbers the first run could not yet give. Returns the digest after it.
inline sample::DatabaseDigest RerunSample(const UpgradedSample& s, const ScriptedBoxes& boxes) {
  RunScriptOn(s.path);
  EXPECT_TRUE(boxes.Shown().empty());
  sample::DatabaseDigest second = sample::Digest(s.path);
  ExpectOnlyNewItemNumbers(s.first, second);
  return second;
}

}  // namespace qrw::testing
