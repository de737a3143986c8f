// Generated orders for big samples: about five items per order with rows
// in every item table, a share of re-order notes and many-up general items,
// written row by row so that memory stays flat for any number of orders.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "SampleParts.h"

namespace qrw::sample {

namespace {

// splitmix64: small, fast and the same on every platform and library.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  long Below(long n) { return static_cast<long>(Next() % static_cast<std::uint64_t>(n)); }
  bool OneIn(long n) { return Below(n) == 0; }
  template <class T, std::size_t N>
  const T& Pick(const T (&a)[N]) {
    return a[Below(static_cast<long>(N))];
  }

 private:
  std::uint64_t state_;
};

const char* const kTypes[] = {"Sheets",  "Sheets",      "General",   "General",
                              "General", "NewPrinters", "Booklets",  "Envelopes",
                              "Business Cards", "BinderyPreP", "LargeFormat", "Pads",
                              "Copies",  "Carbonless Forms", "Mail"};
const char* const kWhat[] = {"Letterhead", "Flyers",   "Brochures", "Postcards", "Booklets",
                             "Envelopes",  "Banners",  "Note pads", "Forms",     "Labels",
                             "Newsletters", "Menus", "Tickets",   "Posters",   "Invitations"};
const char* const kNames[] = {"ANN", "BOB", "KIM", "TOM", "JSMITH", "PAT", "LEE", "SAM"};
const char* const kCompanies[] = {"Print", "Graphics", "Signs", "Church", "School",
                                  "Bakery", "Motors", "Realty", "Clinic", "Law Office"};
const char* const kTowns[] = {"Springfield", "Madison", "Peoria", "Riverside", "Elgin",
                              "Joliet", "Aurora", "Naperville"};
const int kUps[] = {1, 2, 4, 4, 5, 5, 6, 8};

std::string Date(Rng& r) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04ld-%02ld-%02ld", 2000 + r.Below(9), 1 + r.Below(12),
                1 + r.Below(28));
  return buf;
}

std::string ShortDate(Rng& r) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02ld/%02ld/%04ld", 1 + r.Below(12), 1 + r.Below(28),
                2000 + r.Below(9));
  return buf;
}

std::string CustomerCode(long n) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "C%07ld", n);
  return buf;
}

double Money(Rng& r, long maxCents) { return static_cast<double>(r.Below(maxCents)) / 100.0; }

}  // namespace

std::string ControlNumber(long n) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%08ld", n);
  return buf;
}

std::string GeneratedControl(long n) { return ControlNumber(1'000'000L + n); }

void WriteGeneratedOrders(SqliteWriter& w, OrderWriter& o, long count, std::uint64_t seed) {
  if (count <= 0) return;
  if (count > kMaxOrders) throw std::invalid_argument("too many orders for one sample");
  Rng r(seed);
  const char* crlf = "\r\n";

  // One customer for every ten orders.
  long customers = count / 10 + 1;
  {
    Inserter c(w, "Customer",
               {"CUSTCODE", "bCOMPANY", "bADR1", "bADR2", "bCITY", "bSTATE", "bZIP", "Phone",
                "Fax", "EMail", "Contact", "Terms", "TaxExempt", "CreditLimit", "Since",
                "Notes"});
    for (long k = 0; k < customers; ++k) {
      std::string name = std::string(r.Pick(kTowns)) + " " + r.Pick(kCompanies);
      c.Row({CustomerCode(k), r.OneIn(50) ? Val(nullptr) : Val(name),
             std::to_string(1 + r.Below(999)) + " Main St", nullptr, r.Pick(kTowns), "IL",
             std::to_string(60000 + r.Below(3000)), "555-0" + std::to_string(100 + r.Below(900)),
             nullptr, nullptr, r.Pick(kNames), "Net 30", Bool(r.OneIn(20)),
             static_cast<double>(r.Below(50) * 100), Date(r), nullptr});
    }
  }

  for (long n = 0; n < count; ++n) {
    std::string control = GeneratedControl(n);
    Val wo = nullptr, inv = nullptr;
    long note = r.Below(16);
    std::string source = n > 0 ? GeneratedControl(r.Below(n)) : "00009999";
    if (note == 0) {
      wo = "Re-Order From " + source + " By " + r.Pick(kNames) + " " + ShortDate(r) + crlf +
           "Same as last time";
    } else if (note == 1) {
      wo = "Re-Order From " + source + ", " + ShortDate(r) + " By " + r.Pick(kNames);
    } else if (note == 2) {
      wo = std::string("Proof to customer") + crlf + "Re-Order From " + source + " By " +
           r.Pick(kNames) + " " + ShortDate(r) + crlf + "Deliver";
      inv = std::string("Paid in full") + crlf + "Reordered as " + GeneratedControl(n + 1) + crlf +
            "Thank you";
    } else if (note < 8) {
      wo = std::string(r.Pick(kWhat)) + ", call when ready";
    }
    long items = 3 + r.Below(5);
    o.Header(control, r.OneIn(4) ? "Q" : "O", CustomerCode(r.Below(customers)), Date(r),
             std::string(r.Pick(kWhat)) + " for " + r.Pick(kTowns), r.Pick(kNames), wo, inv,
             Money(r, 500'000));
    for (long item = 1; item <= items; ++item) {
      OrderWriter::Item it;
      const char* type = r.Pick(kTypes);
      it.type = type;
      it.description = r.Pick(kWhat);
      long copies = 100 * (1 + r.Below(50));
      double itemTot = Money(r, 100'000) + 10.0;
      it.copies = copies;
      it.inkCost = Money(r, 1000);
      it.itemTot = r.OneIn(40) ? 0.0 : itemTot;
      it.up = r.Pick(kUps);
      long adj = r.Below(4);
      it.priceAdj = adj == 0 ? Val(nullptr) : adj == 1 ? Val(0.0) : Val(Money(r, 500));
      it.originals = r.OneIn(5) ? Val(0.0) : Val(static_cast<double>(1 + r.Below(20)));
      if (std::string(type) == "BinderyPreP") it.center = "PP";
      o.AddItem(control, item, it, 1 + static_cast<int>(r.Below(2)),
                1 + static_cast<int>(r.Below(3)));
    }
  }
}

}  // namespace qrw::sample
