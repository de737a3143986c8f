// The two conversions of the item table that every run makes: group 4's
// bindery pre-press centre and group 6's pass over the many-up general
// items. On an upgraded database neither has a row to change, yet finding
// that out reads the whole item table, the biggest of the file, and two
// such reads are most of what a rerun costs. So each asks the engine about
// both at once: one pass answers both, and group 6 is answered without a
// pass of its own when nothing in the file has changed since group 4's.
#pragma once

namespace qrw::upgrade {

// Group 4's update, run whenever it may change a row.
inline constexpr const char* kBinderyCentre = "Update ItemDetails Set Center = 'BP' Where ItemType = 'BinderyPreP'";

// The many-up pass's rows that it may change: one whose rule holds (Up 4
// or 5, Originals not Null or 0, PriceAdj Null or 0), or one with a value
// that is not a number ("1E308 or more" is true of text and blobs, which
// SQLite sorts after every number, and of the largest doubles), which SQL
// and the pass would compare differently. Null is a value both treat alike.
// It holds only where Up, PriceAdj and Originals read their numbers as
// stored (a Single field reads 1E-50 as 0, which SQL does not).
#define QRW_MANY_UP_MAY_CHANGE                                                   \
  "(Up >= 1E308 Or PriceAdj >= 1E308 Or Originals >= 1E308 "                    \
  "Or (Up In (4, 5) And Originals <> 0 And (PriceAdj Is Null Or PriceAdj = 0)))"
inline constexpr const char* kManyUpMayChange = QRW_MANY_UP_MAY_CHANGE;
inline constexpr const char* kManyUpCandidates =
    "Select Top 1 Up, PriceAdj, Originals From ItemDetails "
    "Where ItemType = 'General' And Up > 3 And " QRW_MANY_UP_MAY_CHANGE;
#undef QRW_MANY_UP_MAY_CHANGE

// Whether `statement`, one of the two above, may act on a row now. True
// when the engine cannot look (a field missing, say): the step then runs
// and meets whatever stops it, as it always did.
bool ItemsMayNeed(const char* statement);

}  // namespace qrw::upgrade
