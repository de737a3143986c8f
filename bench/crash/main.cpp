// qrw-crash-trials: what becomes of the product's data when an upgrade run
// is killed, runs out of disk, meets a failing disk, or finds another
// program taking the database's write lock part-way.
//
//   qrw-crash-trials [--kills N] [--faults N] [--locks N] [--orders N]
//                    [--seed S] [--work DIR] [--keep] [--program PATH]
//
// Every trial copies one sample, disturbs one upgrade run, checks both files
// with integrity_check, then runs the upgrade again (up to four times) until
// the logical digest stops changing, and compares it with the digest of an
// uninterrupted run. Kill and lock trials run the real program; fault
// trials run this program's child mode, which puts a failing file-system
// shim under the same upgrade. The exit status is 0 when every bar is met.
#include <algorithm>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "FaultVfs.h"
#include "Runs.h"
#include "SampleDb.h"

namespace fs = std::filesystem;
using namespace qrw::bench;

namespace {

constexpr int kMaxReruns = 4;

struct Options {
  int kills = 100, faults = 30, locks = 10;
  long orders = 200;
  unsigned seed = 0;
  std::string work, program;
  bool keep = false;
};

struct Tally {
  int trials = 0, intact = 0, converged = 0, lostWrites = 0;
  int reports = 0;       // runs that ended with the run-time report
  int unreached = 0;     // the disturbance came too late to matter
  void Add(const Tally& t) {
    trials += t.trials, intact += t.intact, converged += t.converged, lostWrites += t.lostWrites;
    reports += t.reports, unreached += t.unreached;
  }
};

struct Harness {
  Options opt;
  std::mt19937_64 rng;
  std::string sample;
  std::string once;       // the digest after one uninterrupted run
  std::string reference;  // ... and after the reruns that still change it
  double refSeconds = 0;
  FaultCounts refCounts;
  int failures = 0;

  long Uniform(long lo, long hi) { return hi <= lo ? lo : std::uniform_int_distribution<long>(lo, hi - 1)(rng); }

  // Reruns the upgrade until the digest is the reference or stops changing.
  bool Converges(const TrialFolder& f, std::string& why, int& reruns) {
    std::string previous;
    for (reruns = 1; reruns <= kMaxReruns; ++reruns) {
      RunResult r = Finish(StartProgram(opt.program, f, "rerun" + std::to_string(reruns)));
      std::string d = DigestOf(f, why);
      if (!d.empty() && d == reference) return true;
      if (r.completed && !d.empty() && d == previous) {
        why = "rerun fixpoint differs from the uninterrupted run";
        return false;
      }
      if (!r.completed) why = "rerun did not complete (status " + std::to_string(r.exitStatus) + ")";
      previous = d;
    }
    if (why.empty()) why = "no fixpoint after " + std::to_string(kMaxReruns) + " reruns";
    return false;
  }

  // The checks after one disturbed run; prints one line per trial.
  void Judge(const std::string& label, const TrialFolder& f, const RunResult& r, bool disturbed, Tally& t) {
    ++t.trials;
    if (!disturbed) ++t.unreached;
    if (r.runtimeReport) ++t.reports;
    std::string why;
    bool intact = IntegrityOk(f, why);
    if (intact) ++t.intact;
    // A run that shows the completion notice without having reported any
    // failure must have done all its work: a lost write otherwise.
    bool lost = false;
    if (r.completed && r.failureBoxes == 0) {
      std::string dwhy;
      lost = (disturbed && r.counts.failed > 0) || DigestOf(f, dwhy) != once;
    }
    if (lost) ++t.lostWrites;
    int reruns = 0;
    bool conv = intact && Converges(f, why, reruns);
    if (conv) ++t.converged;
    bool ok = intact && conv && !lost;
    std::cout << label << (ok ? " ok" : " FAIL") << " (" << (r.killed ? "killed" : r.completed ? "completed" : r.runtimeReport ? "run-time report" : "ended " + std::to_string(r.exitStatus))
              << (r.failureBoxes ? ", " + std::to_string(r.failureBoxes) + " failure boxes" : "")
              << (disturbed ? "" : ", not reached") << ", " << reruns << " reruns)"
              << (ok ? "" : ": " + (lost ? std::string("COMPLETED after a lost write; ") : "") + why) << "\n";
    if (!ok) {
      ++failures;
      std::cout << "  kept: " << f.root << "\n";
    } else if (!opt.keep) {
      fs::remove_all(f.root);
    }
  }

  TrialFolder Fresh(const std::string& name) { return MakeTrialFolder(opt.work + "/" + name, sample); }

  bool Prepare() {
    sample = opt.work + "/sample";
    fs::remove_all(sample);
    qrw::sample::Options so;
    so.orders = opt.orders;
    qrw::sample::WriteSample(sample, so);
    // The uninterrupted run, its rerun fixpoint, and how much it writes.
    TrialFolder f = Fresh("reference");
    RunResult r = Finish(StartProgram(opt.program, f, "run"));
    refSeconds = r.seconds;
    if (!r.completed) {
      std::cout << "the uninterrupted run did not complete:\n" << r.log;
      return false;
    }
    std::cout << "uninterrupted run: " << r.seconds << " s; stored journal mode after it: QRWdata.MDB "
              << StoredJournalMode(f.DataFile()) << ", QRWScreen.mdb " << StoredJournalMode(f.ScreenFile()) << "\n";
    std::string why;
    once = reference = DigestOf(f, why);
    for (int i = 0; i < kMaxReruns; ++i) {
      Finish(StartProgram(opt.program, f, "again" + std::to_string(i)));
      std::string d = DigestOf(f, why);
      if (d == reference) break;
      std::cout << "  (run " << i + 2 << " still changed the data; the reruns' result is the reference)\n";
      reference = d;
    }
    // The first run of the program meets cold caches; kill moments are drawn
    // from the quickest of two uninterrupted runs, so that they fall inside
    // the run rather than after its end.
    TrialFolder timing = Fresh("timing");
    RunResult tr = Finish(StartProgram(opt.program, timing, "run"));
    if (tr.completed) refSeconds = std::min(refSeconds, tr.seconds);
    fs::remove_all(timing.root);
    std::cout << "kill moments drawn from 0 to " << refSeconds * 0.95 << " s\n";
    TrialFolder c = Fresh("calibrate");
    RunResult cr = Finish(StartFaulty(c, "run", Fault::None, 0));
    refCounts = cr.counts;
    std::cout << "uninterrupted run writes " << refCounts.bytes << " bytes with " << refCounts.syncs << " fsyncs\n";
    fs::remove_all(c.root);
    if (!opt.keep) fs::remove_all(f.root);
    return !reference.empty() && cr.completed;
  }

  Tally Kills() {
    Tally t;
    for (int i = 0; i < opt.kills; ++i) {
      TrialFolder f = Fresh("kill" + std::to_string(i));
      long at = Uniform(0, static_cast<long>(refSeconds * 1000 * 0.95));
      RunResult r = Finish(StartProgram(opt.program, f, "run"), at);
      Judge("kill " + std::to_string(i) + " at " + std::to_string(at) + " ms", f, r, r.killed, t);
    }
    return t;
  }

  Tally Faults() {
    Tally t;
    const Fault kinds[] = {Fault::DiskFull, Fault::WriteError, Fault::SyncError, Fault::WriteOnce};
    for (int i = 0; i < opt.faults; ++i) {
      Fault k = kinds[i % 4];
      std::int64_t limit = k == Fault::SyncError ? Uniform(0, refCounts.syncs) : Uniform(0, refCounts.bytes);
      TrialFolder f = Fresh("fault" + std::to_string(i));
      RunResult r = Finish(StartFaulty(f, "run", k, limit));
      Judge("fault " + std::to_string(i) + " " + FaultName(k) + " after " + std::to_string(limit), f, r,
            r.counts.failed > 0, t);
    }
    return t;
  }

  Tally Locks() {
    Tally t;
    for (int i = 0; i < opt.locks; ++i) {
      TrialFolder f = Fresh("lock" + std::to_string(i));
      long at = Uniform(0, static_cast<long>(refSeconds * 1000 * 0.9));
      Running run = StartProgram(opt.program, f, "run");
      pid_t locker = StartLocker(f.DataFile(), at, 1500, i % 2 == 1);
      RunResult r = Finish(run);
      WaitFor(locker);
      Judge("lock " + std::to_string(i) + " at " + std::to_string(at) + " ms" + (i % 2 ? " (exclusive)" : ""), f, r,
            true, t);
    }
    return t;
  }
};

void Print(const char* what, const Tally& t) {
  std::cout << what << ": " << t.trials << " trials, " << t.intact << " pass integrity_check, " << t.converged
            << " converge, " << t.reports << " ended with the run-time report";
  if (t.unreached) std::cout << ", " << t.unreached << " not reached by the disturbance";
  std::cout << "\n";
}

int Usage() {
  std::cerr << "usage: qrw-crash-trials [--kills N] [--faults N] [--locks N] [--orders N] [--seed S]\n"
               "                        [--work DIR] [--keep] [--program PATH]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--child")
    return ChildRun(argv[2], ParseFault(argv[3]), std::atoll(argv[4]), argv[5]);
  Harness h;
  h.opt.program = QRW_PROGRAM_PATH;
  h.opt.seed = static_cast<unsigned>(std::random_device{}());
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--kills") h.opt.kills = std::atoi(next().c_str());
    else if (a == "--faults") h.opt.faults = std::atoi(next().c_str());
    else if (a == "--locks") h.opt.locks = std::atoi(next().c_str());
    else if (a == "--orders") h.opt.orders = std::atol(next().c_str());
    else if (a == "--seed") h.opt.seed = static_cast<unsigned>(std::atoll(next().c_str()));
    else if (a == "--work") h.opt.work = next();
    else if (a == "--program") h.opt.program = next();
    else if (a == "--keep") h.opt.keep = true;
    else return Usage();
  }
  bool ownWork = h.opt.work.empty();
  if (ownWork) {
    char tmpl[] = "/tmp/qrw-crash.XXXXXX";
    if (!mkdtemp(tmpl)) return 2;
    h.opt.work = tmpl;
  }
  h.rng.seed(h.opt.seed);
  std::cout << "seed " << h.opt.seed << ", sample of " << h.opt.orders << " orders, work folder " << h.opt.work
            << "\n";
  if (!h.Prepare()) return 1;
  Tally kills = h.Kills(), faults = h.Faults(), locks = h.Locks();
  Tally all;
  all.Add(kills);
  all.Add(faults);
  all.Add(locks);
  std::cout << "\n";
  Print("kill -9", kills);
  Print("disk full / I/O error", faults);
  Print("write lock taken", locks);
  std::cout << "trials: " << all.trials << "; pass integrity_check: " << all.intact << "; converge: "
            << all.converged << "; COMPLETED after a lost write: " << all.lostWrites << "\n";
  if (ownWork && h.failures == 0 && !h.opt.keep) fs::remove_all(h.opt.work);
  return h.failures == 0 ? 0 : 1;
}
