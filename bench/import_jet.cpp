// qrw-import against the packaged export tool (`mdb-export`, every table
// to CSV) on the same Jet files, in one run: the largest test file, and a
// many-rows table made here by appending data pages to a copy of a Jet 4
// test file (rows of a Long and two Text fields). The ratio import/export
// is the figure; the goal is 1 or less.
//
//   bench_import_jet [rows]               (default 200000)
//   bench_import_jet rows --write FILE    only writes the many-rows file
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "import/Importer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kPage = 4096;
// compIndexTestV2000.mdb: Table1(CD_AGENTE Long, RS_AGENTE Text, DC_AGENTE
// Text), its definition on page 15, its usage map the first row of page 16.
constexpr std::uint32_t kTdef = 15;
constexpr std::size_t kMapPage = 16;

void Put16(std::string& b, std::size_t at, unsigned v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
unsigned Get16(const std::string& b, std::size_t at) {
  return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}

// A Jet 4 row: column count, the Long, both texts in compressed form, the
// variable-column offsets (last first), their count and the null mask.
std::string Row(long n) {
  char name[32];
  std::snprintf(name, sizeof name, "name%06ld", n % 1000000);
  std::string rs = std::string("\xFF\xFE", 2) + name, dc = std::string("\xFF\xFE", 2) + "def";
  std::string r(6, '\0');
  Put16(r, 0, 3);
  Put32(r, 2, static_cast<std::uint32_t>(n));
  r += rs + dc;
  std::string tail(9, '\0');
  Put16(tail, 0, static_cast<unsigned>(r.size()));
  Put16(tail, 2, static_cast<unsigned>(6 + rs.size()));
  Put16(tail, 4, 6);
  Put16(tail, 6, 2);
  tail[8] = 0x07;
  return r + tail;
}

// Appends `rows` rows on new data pages and switches the table's usage map
// to the kind that points at a bitmap page, so any number of pages fits.
void MakeManyRows(const fs::path& from, const fs::path& to, long rows) {
  std::ifstream in(from, std::ios::binary);
  std::string b((std::istreambuf_iterator<char>(in)), {});
  const std::size_t oldPages = b.size() / kPage;
  std::string bitmap(kPage, '\0');
  bitmap[0] = 0x05;
  bitmap[1] = 0x01;
  auto mark = [&](std::size_t page) { bitmap[4 + page / 8] |= static_cast<char>(1 << (page % 8)); };
  for (std::size_t p = 1; p < oldPages; ++p)
    if (b[p * kPage] == 0x01 && Get16(b, p * kPage + 4) == kTdef) mark(p);
  for (long n = 0; n < rows;) {
    std::string page(kPage, '\0');
    page[0] = 0x01;
    page[1] = 0x01;
    Put32(page, 4, kTdef);
    std::size_t end = kPage, count = 0;
    for (std::string r = Row(n); n < rows && 14 + 2 * (count + 1) + r.size() <= end; r = Row(++n)) {
      end -= r.size();
      page.replace(end, r.size(), r);
      Put16(page, 14 + 2 * count, static_cast<unsigned>(end));
      ++count;
    }
    Put16(page, 12, static_cast<unsigned>(count));
    Put16(page, 2, static_cast<unsigned>(end - 14 - 2 * count));
    mark(b.size() / kPage);
    b += page;
  }
  const auto bitmapPage = static_cast<std::uint32_t>(b.size() / kPage);
  b += bitmap;
  // The usage map row: kind 1, then the bitmap pages in order.
  const std::size_t mapRow = kMapPage * kPage + (Get16(b, kMapPage * kPage + 14) & 0x1FFF);
  const std::size_t mapLen = kPage - (mapRow - kMapPage * kPage);
  std::fill(b.begin() + static_cast<long>(mapRow), b.begin() + static_cast<long>(mapRow + mapLen), '\0');
  b[mapRow] = 0x01;
  Put32(b, mapRow + 1, bitmapPage);
  Put32(b, kTdef * kPage + 16, static_cast<std::uint32_t>(512 + rows));
  std::ofstream(to, std::ios::binary | std::ios::trunc) << b;
}

double Seconds(Clock::time_point a) { return std::chrono::duration<double>(Clock::now() - a).count(); }

double ImportTime(const fs::path& src, const fs::path& target) {
  qrw::import::Options o;
  o.force = true;
  auto t = Clock::now();
  qrw::import::Report r = qrw::import::ImportJet(src.string(), target.string(), o);
  double s = Seconds(t);
  std::printf("  import: %d tables, %ld rows in %.3f s\n", r.tables, r.rows, s);
  return s;
}

double ExportTime(const fs::path& src, const fs::path& dir) {
  std::string cmd = "for t in $(mdb-tables -1 '" + src.string() + "'); do mdb-export '" + src.string() +
                    "' \"$t\" > '" + (dir / "export.csv").string() + "' || exit 1; done";
  auto t = Clock::now();
  if (std::system(cmd.c_str()) != 0) {
    std::fprintf(stderr, "mdb-export failed\n");
    std::exit(1);
  }
  double s = Seconds(t);
  std::printf("  mdb-export: %.3f s\n", s);
  return s;
}

void Compare(const char* what, const fs::path& src, const fs::path& dir) {
  std::printf("%s (%ju bytes)\n", what, static_cast<std::uintmax_t>(fs::file_size(src)));
  double imp = 1e9, exp = 1e9;
  for (int i = 0; i < 3; ++i) {
    imp = std::min(imp, ImportTime(src, dir / "QRWdata.MDB"));
    exp = std::min(exp, ExportTime(src, dir));
  }
  std::printf("  ratio import/export (best of 3): %.2f\n", imp / exp);
}

}  // namespace

int main(int argc, char** argv) {
  long rows = argc > 1 ? std::atol(argv[1]) : 200000;
  if (argc > 3 && std::strcmp(argv[2], "--write") == 0) {
    MakeManyRows(fs::path(QRW_JET_DATA) / "compIndexTestV2000.mdb", argv[3], rows);
    return 0;
  }
  fs::path dir = fs::temp_directory_path() / ("qrw_bench_import_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path data = QRW_JET_DATA;
  Compare("largest test file testUnicodeCompV2003.mdb", data / "testUnicodeCompV2003.mdb", dir);
  MakeManyRows(data / "compIndexTestV2000.mdb", dir / "many.mdb", rows);
  Compare(("many rows: " + std::to_string(512 + rows) + " rows in one table").c_str(), dir / "many.mdb", dir);
  fs::remove_all(dir);
  return 0;
}
