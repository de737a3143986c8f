// The comparison the SQL benchmarks share: the yardstick (plain SQLite)
// and the engine's side of one case run alternately, three rounds, and the
// best of each counts, so a busy machine disturbs the ratio little.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include <unistd.h>

namespace qrw::bench {

// Runs `prepare` before every timed run (a fresh copy of the file, say);
// prints and returns the ratio engine / yardstick.
inline double BestOfThree(const std::function<double()>& yardstick, const std::function<double()>& engine,
                          const std::function<void()>& prepare = {}) {
  double raw = 1e300, eng = 1e300;
  for (int round = 0; round < 3; ++round) {
    for (int side = 0; side < 2; ++side) {
      if (prepare) prepare();
      if ((side + round) % 2 == 0)
        raw = std::min(raw, yardstick());
      else
        eng = std::min(eng, engine());
    }
  }
  const double ratio = eng / raw;
  std::printf("  best: sqlite3 %.3f s, dialect %.3f s, ratio %.2f\n", raw, eng, ratio);
  return ratio;
}

// A scratch folder of this run under /tmp with the benchmark's base file,
// built by `build` with `rows` rows; returns the folder.
inline std::string BuildBaseFile(const std::string& name, long rows, void (*build)(const std::string&, long)) {
  const std::string dir = "/tmp/qrw-bench-" + name + "-" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  std::printf("building %ld rows...\n", rows);
  build(dir + "/base.db", rows);
  return dir;
}

}  // namespace qrw::bench
