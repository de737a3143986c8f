// qrw-sample: writes a product database at the oldest table structure the
// upgrade handles into a data folder, for trying the upgrade and for
// benchmarks.
//
//   qrw-sample [--orders N] [--seed S] [--no-screen] [--force] FOLDER
//   qrw-sample --help | --version
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "SampleDb.h"
#include "platform/Error.h"

namespace {

// The usage text; on standard output when asked for, else on standard error.
int Usage(const char* why) {
  std::ostream& out = why ? std::cerr : std::cout;
  if (why) out << "qrw-sample: " << why << "\n";
  out << "usage: qrw-sample [--orders N] [--seed S] [--no-screen] [--force] FOLDER\n"
               "       qrw-sample --help | --version\n"
               "  Writes QRWdata.MDB and QRWScreen.mdb into FOLDER.\n"
               "  --orders N   add N generated orders of about five items each (default 0)\n"
               "  --seed S     seed of the generated rows (default 1)\n"
               "  --no-screen  do not write QRWScreen.mdb\n"
               "  --force      replace files that are already there\n";
  return 2;
}

bool Number(const std::string& text, long long& out) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  if (text.size() > 18) return false;
  out = std::stoll(text);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qrw::sample::Options options;
  std::string folder;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    long long n = 0;
    if (a == "--orders" || a == "--seed") {
      if (i + 1 >= argc || !Number(argv[i + 1], n)) return Usage((a + " needs a number").c_str());
      ++i;
      if (a == "--orders") {
        if (n > qrw::sample::kMaxOrders) return Usage("too many orders");
        options.orders = static_cast<long>(n);
      } else {
        options.seed = static_cast<std::uint64_t>(n);
      }
    } else if (a == "--no-screen") {
      options.screenDb = false;
    } else if (a == "--force") {
      options.overwrite = true;
    } else if (a == "-h" || a == "--help") {
      Usage(nullptr);
      return 0;
    } else if (a == "--version") {
      std::cout << "qrw-sample " << QRW_VERSION << "\n";
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      return Usage(("unknown option " + a).c_str());
    } else if (folder.empty()) {
      folder = a;
    } else {
      return Usage("only one folder");
    }
  }
  if (folder.empty()) return Usage("no folder given");
  try {
    qrw::sample::Summary s = qrw::sample::WriteSample(folder, options);
    std::cout << "Wrote " << folder << "/" << qrw::sample::kDataFile << ": " << s.orders
              << " orders, " << s.items << " items, " << s.rows << " rows\n";
    return 0;
  } catch (const qrw::Error& e) {
    std::cerr << "qrw-sample: error " << e.Number() << ": " << e.Description() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "qrw-sample: " << e.what() << "\n";
  }
  return 1;
}
