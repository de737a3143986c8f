// Where an upgrade run spends its time: a sample of N orders, copied once
// with VACUUM INTO as the yardstick, then upgraded several times in a row
// in this process, the way modqrw runs the script. For each run it prints
// the total, the time of each of the sixteen groups, and every record loop
// and SQL text that takes more than 1% of the run, with the peak resident
// memory so far and the most SQLite held during each group; at the end the
// peak resident memory. The timing hooks (the progress sink and SQLite's profile
// callback) live only in this program; modqrw itself is not changed by it.
//
//   bench_upgrade_steps [--orders N | --data FOLDER] [--runs K] [--work DIR] [--keep]
//
// --data upgrades the QRWdata.MDB already in FOLDER (changed in place)
// instead of writing a sample first.
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "SampleDb.h"
#include "engine/Engine.h"
#include "platform/MessageBox.h"
#include "platform/Progress.h"
#include "schema/Shared.h"
#include "upgrade/aaaDoIt.h"

using namespace qrw;
using Clock = std::chrono::steady_clock;

namespace {

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

long PeakRssKib() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

struct Cost {
  double seconds = 0;
  long calls = 0;
};

// Everything one run measured. SQL texts are keyed by group, so the same
// per-row statement in two groups is shown twice.
struct RunTimes {
  std::vector<std::pair<std::string, double>> groups;
  std::vector<long> peakKib;    // peak resident memory when each group ended
  std::vector<long> sqliteKib;  // the most SQLite itself held during the group
  std::map<std::pair<int, std::string>, Cost> loops;
  std::map<std::pair<int, std::string>, Cost> sql;
  std::map<std::string, Cost> kinds;  // every statement, by what it does
  int group = 0;
};

RunTimes* current = nullptr;

class TimingSink : public ProgressSink {
 public:
  void GroupStarted(int number, int, const std::string& name) override {
    sqlite3_memory_highwater(1);
    current->group = number;
    current->groups.push_back({name, 0});
    groupStart_ = Clock::now();
  }
  void GroupFinished(int) override {
    current->groups.back().second = Since(groupStart_);
    current->peakKib.push_back(PeakRssKib());
    current->sqliteKib.push_back(static_cast<long>(sqlite3_memory_highwater(1) / 1024));
  }
  void StepStarted(const std::string& name, long) override {
    loop_ = name;
    loopStart_ = Clock::now();
  }
  void StepFinished() override {
    Cost& c = current->loops[{current->group, loop_}];
    c.seconds += Since(loopStart_);
    ++c.calls;
  }

 private:
  Clock::time_point groupStart_, loopStart_;
  std::string loop_;
};

// What a statement does, without its names: many small statements of one
// kind (each ALTER TABLE on its own table) can add up to much of a run.
std::string KindOf(const std::string& sql) {
  std::string head = sql.substr(0, sql.find_first_of(" \n"));
  for (char& ch : head) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  if (head == "ALTER") {
    for (const char* action : {" ADD COLUMN ", " DROP COLUMN ", " RENAME COLUMN ", " RENAME TO "})
      if (sql.find(action) != std::string::npos) return "ALTER TABLE" + std::string(action).substr(0, std::strlen(action) - 1);
  }
  if (head == "CREATE" || head == "DROP") {
    std::size_t at = sql.find(' ');
    return head + sql.substr(at, sql.find(' ', at + 1) - at);
  }
  return head;
}

int Profile(unsigned, void*, void* stmt, void* nanos) {
  if (!current) return 0;
  const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(stmt));
  std::string text = sql ? sql : "?";
  const double seconds = static_cast<double>(*static_cast<sqlite3_int64*>(nanos)) / 1e9;
  Cost& c = current->sql[{current->group, text.substr(0, 110)}];
  c.seconds += seconds;
  ++c.calls;
  Cost& k = current->kinds[KindOf(text)];
  k.seconds += seconds;
  ++k.calls;
  return 0;
}

// Every connection the engine opens gets the profile callback.
int WatchConnection(sqlite3* db, char**, const void*) {
  sqlite3_trace_v2(db, SQLITE_TRACE_PROFILE, Profile, nullptr);
  return SQLITE_OK;
}

void Print(const char* title, const RunTimes& t, double total) {
  std::printf("\n%s: %.2f s\n", title, total);
  for (std::size_t i = 0; i < t.groups.size(); ++i)
    std::printf("  [%2zu] %6.2f s %5.1f%%  peak RSS %5.1f MiB, SQLite %5.1f MiB  %s\n", i + 1, t.groups[i].second,
                100 * t.groups[i].second / total, i < t.peakKib.size() ? t.peakKib[i] / 1024.0 : 0.0,
                i < t.sqliteKib.size() ? t.sqliteKib[i] / 1024.0 : 0.0, t.groups[i].first.c_str());
  auto big = [&](const auto& costs, const char* kind) {
    std::vector<std::pair<double, std::string>> rows;
    for (const auto& [key, c] : costs)
      if (c.seconds > total / 100)
        rows.push_back({c.seconds, "[" + std::to_string(key.first) + "] " + kind + " x" + std::to_string(c.calls) +
                                       "  " + key.second});
    std::sort(rows.rbegin(), rows.rend());
    for (const auto& [s, line] : rows) std::printf("    %6.2f s %5.1f%%  %s\n", s, 100 * s / total, line.c_str());
  };
  std::printf("  steps over 1%% of the run:\n");
  big(t.loops, "loop");
  big(t.sql, "sql");
  std::printf("  kinds of statement over 1%% of the run:\n");
  for (const auto& [kind, c] : t.kinds)
    if (c.seconds > total / 100)
      std::printf("    %6.2f s %5.1f%%  x%-7ld %s\n", c.seconds, 100 * c.seconds / total, c.calls, kind.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  long orders = 10000;
  int runs = 3;
  bool keep = false;
  std::string work, given;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--orders" && i + 1 < argc) orders = std::atol(argv[++i]);
    else if (a == "--data" && i + 1 < argc) given = argv[++i];
    else if (a == "--runs" && i + 1 < argc) runs = std::atoi(argv[++i]);
    else if (a == "--work" && i + 1 < argc) work = argv[++i];
    else if (a == "--keep") keep = true;
    else {
      std::fprintf(stderr, "usage: bench_upgrade_steps [--orders N | --data FOLDER] [--runs K] [--work DIR] [--keep]\n");
      return 2;
    }
  }
  if (work.empty()) work = std::filesystem::temp_directory_path() / ("qrw-steps-" + std::to_string(getpid()));
  std::filesystem::create_directories(work);
  // The scratch folder the script makes goes under the work folder.
  setenv("XDG_DATA_HOME", (work + "/share").c_str(), 1);
  const std::string data = given.empty() ? work + "/data" : given;
  const std::string path = data + "/" + sample::kDataFile;

  auto t0 = Clock::now();
  if (given.empty()) {
    std::printf("sample: %ld orders\n", orders);
    sample::Options options;
    options.orders = orders;
    options.overwrite = true;
    sample::WriteSample(data, options);
    std::printf("written in %.2f s, ", Since(t0));
  }
  std::printf("%.1f MiB\n", static_cast<double>(std::filesystem::file_size(path)) / (1 << 20));

  // The yardstick: SQLite reads every page once and writes it once.
  const std::string copy = work + "/copy.db";
  std::filesystem::remove(copy);
  // Every run starts with the files on disk, as a user's are.
  sync();
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  t0 = Clock::now();
  sqlite3_exec(db, ("VACUUM INTO '" + copy + "'").c_str(), nullptr, nullptr, nullptr);
  const double vacuum = Since(t0);
  sqlite3_close(db);
  std::filesystem::remove(copy);
  std::printf("VACUUM INTO: %.2f s\n", vacuum);

  sqlite3_auto_extension(reinterpret_cast<void (*)()>(WatchConnection));
  ScopedScriptedBoxes boxes;
  TimingSink sink;
  SetProgressSink(&sink);
  std::vector<double> totals;
  for (int run = 1; run <= runs; ++run) {
    RunTimes times;
    sync();
    current = &times;
    t0 = Clock::now();
    try {
      Database d = Engine::Instance().OpenDatabase(path);
      DataDb = d;
      doit();
      DataDb.Clear();
      d->Close();
    } catch (const Error& e) {
      std::fprintf(stderr, "run %d: error %ld: %s\n", run, e.Number(), e.Description().c_str());
      return 1;
    }
    totals.push_back(Since(t0));
    current = nullptr;
    std::string title = "run " + std::to_string(run);
    Print(title.c_str(), times, totals.back());
    for (const BoxRequest& b : boxes.Shown()) std::printf("  box: %s\n", b.text.c_str());
    boxes.ClearShown();
  }
  SetProgressSink(nullptr);

  std::printf("\nsummary: VACUUM INTO %.2f s", vacuum);
  for (std::size_t i = 0; i < totals.size(); ++i) {
    std::printf(", run %zu %.2f s", i + 1, totals[i]);
    if (i == 0) std::printf(" (%.2fx the copy)", totals[0] / vacuum);
    else std::printf(" (%.1f%% of the first)", 100 * totals[i] / totals[0]);
  }
  std::printf("\npeak resident memory: %ld KiB\n", PeakRssKib());
  if (!keep) std::filesystem::remove_all(work);
  return 0;
}
