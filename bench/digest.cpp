// The logical digest of product databases, for checking that a change to
// the engine or the script leaves what a run writes exactly as it was:
// structure as the engine lists it and every row by field name, whatever
// the file's layout.
//
//   bench_digest FILE            # prints the digest
//   bench_digest FILE OTHER      # prints the differences; exit 1 when any
#include <cstdio>
#include <exception>

#include "Digest.h"
#include "platform/Error.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: bench_digest FILE [OTHER]\n");
    return 2;
  }
  try {
    const qrw::sample::DatabaseDigest a = qrw::sample::Digest(argv[1]);
    if (argc == 2) {
      std::printf("%s\n", a.total.c_str());
      return 0;
    }
    const qrw::sample::DatabaseDigest b = qrw::sample::Digest(argv[2]);
    for (const std::string& d : qrw::sample::Differences(a, b)) std::printf("%s\n", d.c_str());
    return a == b ? 0 : 1;
  } catch (const qrw::Error& e) {
    std::fprintf(stderr, "error %ld: %s\n", e.Number(), e.Description().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
  return 2;
}
