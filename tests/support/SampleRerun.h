// Whole runs of the script on the bundled sample, and what a second run may
// change on a sample database that the script has just upgraded.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "Digest.h"
#include "SampleDb.h"
#include "engine/Engine.h"
#include "platform/MessageBox.h"
#include "schema/Shared.h"
#include "support/RecordingProgress.h"
#include "support/ScratchFolder.h"
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

// Three whole runs of the script on one bundled sample, with its screen
// database beside it, made once per test program on first use and shared
// by the checks of every group (each group reads the result instead of
// upgrading a sample of its own). The checks of these runs are the tests
// whose suite names start with "SampleRun"; the build runs them in one
// process so the runs are made once.
struct SampleScriptRuns {
  std::string folder, path, screen;
  std::vector<std::string> progress;                 // reports of the first run
  std::array<std::vector<std::string>, 3> boxes;     // box texts of each run
  std::array<sample::DatabaseDigest, 3> data, screenData;  // after each run
};

inline SampleScriptRuns MakeSampleScriptRuns() {
  SampleScriptRuns r;
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("qrw_sample_runs_" + std::to_string(::getpid()));
  std::filesystem::remove_all(root);
  r.folder = (root / "data").string();
  r.path = r.folder + "/" + sample::kDataFile;
  r.screen = r.folder + "/" + sample::kScreenFile;
  sample::WriteSample(r.folder);

  // The runs see the sample's folder as the data folder, their own drive
  // C and their own boxes, whatever the test that asks first has set.
  ScopedEnv dataHome("XDG_DATA_HOME", root.string());
  const std::string savedPath = DataPath;
  DataPath = r.folder;
  MessageBoxes& savedBoxes = CurrentBoxes();
  ScriptedBoxes boxes;
  SetCurrentBoxes(&boxes);
  struct Restore {
    MessageBoxes& boxes;
    std::string path;
    ~Restore() {
      SetCurrentBoxes(&boxes);
      DataPath = path;
    }
  } restore{savedBoxes, savedPath};
  for (std::size_t i = 0; i < r.data.size(); ++i) {
    if (i == 0) {
      RecordingProgress progress;
      RunScriptOn(r.path);
      r.progress = progress.lines;
    } else {
      RunScriptOn(r.path);
    }
    for (const BoxRequest& box : boxes.Shown()) r.boxes[i].push_back(box.text);
    boxes.ClearShown();
    r.data[i] = sample::Digest(r.path);
    r.screenData[i] = sample::Digest(r.screen);
  }
  return r;
}

inline const SampleScriptRuns& SampleRunsOnce() {
  struct Holder {
    SampleScriptRuns runs;
    ~Holder() {
      std::error_code ec;
      std::filesystem::remove_all(std::filesystem::path(runs.folder).parent_path(), ec);
    }
  };
  static const Holder holder{MakeSampleScriptRuns()};
  return holder.runs;
}

}  // namespace qrw::testing
