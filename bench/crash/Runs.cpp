// Trial runs as separate processes, and the checks made on their files.
#include "Runs.h"

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <thread>

#include "Digest.h"
#include "platform/Error.h"
#include "platform/MessageBox.h"
#include "platform/TerminalBoxes.h"
#include "shell/TerminalFrontEnd.h"
#include "shell/modStru.h"

namespace fs = std::filesystem;

namespace qrw::bench {

namespace {

// CONTINUE, then OK to whatever box comes (the in-use message retries, a
// failure box goes on); a retry-or-cancel box ends up cancelled at the end
// of the input.
constexpr const char* kAnswers =
    "CONTINUE\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\n";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

// Forks a child whose input is the answers file and whose output goes to
// the log; `exec` runs in the child and never returns.
template <class F>
Running Spawn(const TrialFolder& folder, const std::string& tag, F exec) {
  Running run;
  run.logPath = folder.root + "/" + tag + ".log";
  run.countsPath = folder.root + "/" + tag + ".counts";
  std::string answers = folder.root + "/answers";
  if (!fs::exists(answers)) std::ofstream(answers) << kAnswers;
  std::cout << std::flush;
  run.start = std::chrono::steady_clock::now();
  run.pid = fork();
  if (run.pid == 0) {
    int in = open(answers.c_str(), O_RDONLY);
    int out = open(run.logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) _exit(120);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    setenv("XDG_CONFIG_HOME", (folder.root + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (folder.root + "/share").c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    exec();
    _exit(121);
  }
  return run;
}

}  // namespace

TrialFolder MakeTrialFolder(const std::string& root, const std::string& sample) {
  // Absolute, since the settings store ignores a relative XDG_CONFIG_HOME.
  TrialFolder f{fs::absolute(root).string()};
  fs::remove_all(f.root);
  fs::create_directories(f.Data());
  fs::create_directories(f.root + "/config/Quarrow");
  fs::create_directories(f.root + "/share");
  for (const char* name : {"QRWdata.MDB", "QRWScreen.mdb"})
    if (fs::exists(sample + "/" + name)) fs::copy_file(sample + "/" + name, f.Data() + "/" + name);
  std::ofstream(f.root + "/config/Quarrow/settings.ini") << "[Data]\nPath=" << f.Data() << "\n";
  return f;
}

Running StartProgram(const std::string& program, const TrialFolder& folder, const std::string& tag) {
  return Spawn(folder, tag, [&] {
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    execv(program.c_str(), argv);
  });
}

Running StartFaulty(const TrialFolder& folder, const std::string& tag, Fault fault, std::int64_t limit) {
  std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string data = fs::absolute(folder.Data()).string();
  std::string lim = std::to_string(limit);
  std::string counts = folder.root + "/" + tag + ".counts";
  return Spawn(folder, tag, [&] {
    const char* argv[] = {self.c_str(), "--child", data.c_str(), FaultName(fault), lim.c_str(), counts.c_str(), nullptr};
    execv(self.c_str(), const_cast<char**>(argv));
  });
}

RunResult Finish(const Running& run, long killAfterMs) {
  RunResult r;
  int status = 0;
  if (killAfterMs >= 0) {
    auto deadline = run.start + std::chrono::milliseconds(killAfterMs);
    bool ended = false;
    while (std::chrono::steady_clock::now() < deadline) {
      if (waitpid(run.pid, &status, WNOHANG) == run.pid) {
        ended = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    if (!ended) {
      kill(run.pid, SIGKILL);
      waitpid(run.pid, &status, 0);
    }
  } else {
    waitpid(run.pid, &status, 0);
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - run.start).count();
  r.killed = WIFSIGNALED(status);
  r.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.log = ReadFile(run.logPath);
  r.runtimeReport = r.log.find("Run-time error '") != std::string::npos;
  r.failureBoxes = Count(r.log, " failed in ");
  r.completed = !r.killed && r.exitStatus == kExitCompleted && r.log.find("\nCOMPLETED\n") != std::string::npos &&
                r.log.find(kCompletionMessage) != std::string::npos;
  std::ifstream counts(run.countsPath);
  counts >> r.counts.bytes >> r.counts.syncs >> r.counts.failed;
  return r;
}

int ChildRun(const std::string& dataFolder, Fault fault, std::int64_t limit, const std::string& countsPath) {
  InstallFaultVfs(fault, limit);
  TerminalBoxes boxes(std::cin, std::cout);
  SetCurrentBoxes(&boxes);
  TerminalFrontEnd frontEnd(std::cin, std::cout);
  int status;
  {
    modStru window(frontEnd, [&](const std::string&, const std::string&, const std::string&, const std::string&) {
      return dataFolder;
    });
    status = frontEnd.Run(window);
  }
  SetCurrentBoxes(nullptr);
  const FaultCounts& c = FaultVfsCounts();
  std::ofstream(countsPath) << c.bytes << " " << c.syncs << " " << c.failed << "\n";
  std::cout << std::flush;
  return status;
}

pid_t StartLocker(const std::string& file, long delayMs, long holdMs, bool exclusive) {
  std::cout << std::flush;
  pid_t pid = fork();
  if (pid != 0) return pid;
  usleep(static_cast<useconds_t>(delayMs * 1000));
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) _exit(3);
  sqlite3_busy_timeout(db, 2000);
  int rc = sqlite3_exec(db, exclusive ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) {
    usleep(static_cast<useconds_t>(holdMs * 1000));
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  sqlite3_close(db);
  _exit(rc == SQLITE_OK ? 0 : 4);
}

void WaitFor(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
}

bool IntegrityOk(const TrialFolder& folder, std::string& why) {
  for (const std::string& file : {folder.DataFile(), folder.ScreenFile()}) {
    if (!fs::exists(file)) continue;
    sqlite3* db = nullptr;
    std::string result;
    // Read-write, as the next run opens it: a journal left by a killed run
    // is rolled back first.
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
      sqlite3_stmt* s = nullptr;
      if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK) {
        while (sqlite3_step(s) == SQLITE_ROW) {
          const unsigned char* t = sqlite3_column_text(s, 0);
          result += t ? reinterpret_cast<const char*>(t) : "";
          result += ";";
        }
      }
      if (result.empty()) result = sqlite3_errmsg(db);
      sqlite3_finalize(s);
    }
    sqlite3_close(db);
    if (result != "ok;") {
      why = file + ": " + result;
      return false;
    }
  }
  return true;
}

std::string DigestOf(const TrialFolder& folder, std::string& why) {
  try {
    std::string total = sample::Digest(folder.DataFile()).total;
    if (fs::exists(folder.ScreenFile())) {
      std::string screen = sample::Digest(folder.ScreenFile()).total;
      total.push_back('/');
      total.append(screen);
    }
    return total;
  } catch (const Error& e) {
    why = "digest: " + std::to_string(e.Number()) + " " + e.Description();
  } catch (const std::exception& e) {
    why = std::string("digest: ") + e.what();
  }
  return {};
}

std::string StoredJournalMode(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  char header[20] = {};
  in.read(header, sizeof header);
  // Bytes 18 and 19 are the write and read format versions: 2 means WAL.
  std::string mode = header[18] == 2 ? "wal" : "rollback";
  if (fs::exists(file + "-wal")) mode += "-wal";
  return mode;
}

}  // namespace qrw::bench
