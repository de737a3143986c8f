// The conversion of saved order templates to one template order per tab, and
// the re-keying of orders and items it relies on. Every table that carries
// Control or Item is updated by hand, since the file has no cascading keys;
// ST0090 is written last, so a run that stops half-way converts again.
#include "conversions/SavedTemplateUpdates.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "conversions/Settings.h"
#include "engine/Engine.h"
#include "platform/SqlQuoting.h"
#include "platform/Variant.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"

namespace qrw {
namespace {

// Tables that carry an order's Control, in the order ChangeOrderControl
// updates them. Ship2Addresses moves with the whole order only.
constexpr const char* kOrderTables[] = {
    "OrderHeader",    "ItemDetails",   "ItemInks",        "ItemPrePress",
    "ItemBindery",    "SpecialOptions", "ItemBookPages",  "Ship2Addresses",
    "ItemLargeFormat", "ItemOptions",   "ItemPostage",
};

// The item tables whose rows follow an item when its tab moves to another
// order (ItemDetails itself is moved by tab first).
constexpr const char* kTabItemTables[] = {
    "ItemInks", "ItemPrePress", "ItemBindery",  "SpecialOptions",
    "ItemBookPages", "ItemLargeFormat", "ItemOptions", "ItemPostage",
};

// Quote quantities and colour/black-and-white sheets belong to an item as
// much as its inks do: left behind when their order or tab moves, they would
// attach to whatever order or item takes the number next. They move last,
// and only where the table is there.
constexpr const char* kMoreItemTables[] = {"QuoteQuantities", "ItemSheetsColorBW"};

std::vector<const char*> PresentMoreItemTables() {
  std::vector<const char*> out;
  for (const char* table : kMoreItemTables)
    if (TableExists(table, DataDb)) out.push_back(table);
  return out;
}

// Statement heads of the renumbering, one per item table.
constexpr const char* kRenumberHeads[] = {
    "UPDATE ItemDetails Set Item = ",      "UPDATE ItemInks Set Item = ",
    "UPDATE ItemPrePress Set Item = ",     "UPDATE ItemBindery Set Item = ",
    "UPDATE SpecialOptions Set Item = ",   "UPDATE ItemBookPages Set Item = ",
    "UPDATE QuoteQuantities Set Item = ",  "UPDATE ItemLargeFormat  Set Item = ",
    "UPDATE ItemSheetsColorBW Set Item = ", "UPDATE ItemOptions Set Item = ",
    "UPDATE ItemPostage Set Item = ",
};

// The companion edition keeps only these item tables.
constexpr const char* kVdlRenumberHeads[] = {
    "UPDATE ItemDetails Set Item = ",
    "UPDATE ItemOptions Set Item = ",
    "UPDATE ItemPostage Set Item = ",
};

struct Tab {
  int number;
  const char* name;
};

// One template order per tab; the last one, ST0090, marks the conversion
// as done, so it is created last.
constexpr Tab kTabs[] = {
    {1, "Sheets"},  {2, "Booklets"},    {3, "Business Cards"}, {4, "Envelopes"},     {5, "Digital"},
    {6, "LargeFormat"}, {7, "General"}, {8, "Mail"},           {9, "Post/PrePress"}, {90, "Other"},
};

// Controls and tab names are put between single quotes with each single
// quote doubled, so that a value holding one still gives a valid statement
// that matches the value itself.
using sqltext::InSingleQuotes;

std::string TemplateControl(int number) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "ST%04d", number);
  return buf;
}

// An item number as it stands in a statement; nothing for a row without a
// usable number (Null), which no "Item = k" condition could address.
std::optional<std::string> ItemNumberText(const Variant& item) {
  if (item.IsNull() || item.IsEmpty() || !item.IsNumeric()) return std::nullopt;
  const double value = item.ToDouble();
  if (std::nearbyint(value) == value && std::fabs(value) < 9.0e15)
    return std::to_string(static_cast<std::int64_t>(value));
  return item.ToText();
}

struct ItemNumber {
  double value;
  std::string text;
};

// The distinct item numbers of an order's ItemDetails rows, ascending.
// Rows sharing a number cannot be told apart in the other item tables, so
// they keep sharing it.
std::vector<ItemNumber> DistinctItemNumbers(const std::string& control) {
  std::vector<ItemNumber> out;
  Recordset rs = DataDb->OpenRecordset("Select * From ItemDetails Where Control = " + InSingleQuotes(control) +
                                       " Order By Item");
  for (; !rs->Eof(); rs->MoveNext()) {
    const Variant item = rs->Get("Item");
    std::optional<std::string> text = ItemNumberText(item);
    if (!text) continue;
    const double value = item.ToDouble();
    if (!out.empty() && out.back().value == value) continue;
    out.push_back({value, *text});
  }
  CloseRecordset(rs);
  return out;
}

void RenumberItem(const std::vector<const char*>& heads, const std::string& quotedControl, const std::string& to,
                  const std::string& from) {
  for (const char* head : heads)
    DataDb->Execute(head + to + " WHERE Control = " + quotedControl + " And Item = " + from);
}

bool OrderExists(const std::string& control) {
  Recordset rs = DataDb->OpenRecordset("Select Control from OrderHeader Where Control = " + InSingleQuotes(control));
  const bool found = !rs->Eof();
  CloseRecordset(rs);
  return found;
}

Variant Today() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char iso[48];
  std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  double serial = 0;
  IsoToDate(iso, serial);
  return Variant::Date(serial);
}

// The walk over the orders whose Control sorts after ST0001, in ascending
// order, while they are given the numbers ST0101 and up. Each step asks the
// database for the next order after the last one moved, passing by the
// orders this walk has already numbered: those are ST0101 up to the next
// number, except the numbers passed over because an order still to move
// held them (only template-shaped numbers are remembered, never the orders).
struct OlderTemplates {
  int n = 101;
  std::optional<std::string> last;
  std::set<int> passedOver;

  bool NumberedHere(const std::string& control) const {
    if (control.size() < 6 || control.compare(0, 2, "ST") != 0) return false;
    if (control.find_first_not_of("0123456789", 2) != std::string::npos || control.size() > 11) return false;
    const int k = static_cast<int>(std::stol(control.substr(2)));
    return k >= 101 && k < n && TemplateControl(k) == control && !passedOver.count(k);
  }

  std::optional<std::string> Next() const {
    const std::string after = last ? InSingleQuotes(*last) : std::string("'ST0001'");
    Recordset rs =
        DataDb->OpenRecordset("Select Control from OrderHeader Where Control > " + after + " Order By Control");
    std::optional<std::string> found;
    for (; !rs->Eof() && !found; rs->MoveNext()) {
      std::string control = rs->Get("Control").ToText();
      if (!NumberedHere(control)) found = std::move(control);
    }
    CloseRecordset(rs);
    return found;
  }
};

}  // namespace

void ChangeOrderControl(const std::string& newControl, const std::string& oldControl) {
  std::vector<const char*> tables(std::begin(kOrderTables), std::end(kOrderTables));
  for (const char* table : PresentMoreItemTables()) tables.push_back(table);
  for (const char* table : tables)
    DataDb->Execute(std::string("UPDATE ") + table + " SET Control = " + InSingleQuotes(newControl) +
                    " WHERE Control = \"" + DoubleQuotes(oldControl) + "\"");
}

void MoveTemplateTabItems(const std::string& newControl, const std::string& oldControl, const std::string& tabName) {
  const std::string tabCondition = " And STTab = " + InSingleQuotes(tabName);
  DataDb->Execute("UPDATE ItemDetails SET Control = " + InSingleQuotes(newControl) +
                  " WHERE Control = " + InSingleQuotes(oldControl) + tabCondition);

  std::vector<const char*> tables(std::begin(kTabItemTables), std::end(kTabItemTables));
  for (const char* table : PresentMoreItemTables()) tables.push_back(table);
  Recordset rs = DataDb->OpenRecordset("Select * From ItemDetails Where Control = " + InSingleQuotes(newControl) +
                                       " Order By Item");
  for (; !rs->Eof(); rs->MoveNext()) {
    std::optional<std::string> k = ItemNumberText(rs->Get("Item"));
    if (!k) continue;
    for (const char* table : tables)
      DataDb->Execute(std::string("UPDATE ") + table + " SET Control = " + InSingleQuotes(newControl) +
                      " WHERE Control = " + InSingleQuotes(oldControl) + " And Item = " + *k);
  }
  CloseRecordset(rs);
}

void RenumberOrderItems(const std::string& control) {
  const std::vector<ItemNumber> items = DistinctItemNumbers(control);
  if (items.empty()) return;

  const std::vector<const char*> heads = IsVDLProgram(DataDb)
                                             ? std::vector<const char*>(std::begin(kVdlRenumberHeads),
                                                                        std::end(kVdlRenumberHeads))
                                             : std::vector<const char*>(std::begin(kRenumberHeads),
                                                                        std::end(kRenumberHeads));
  const std::string quoted = InSingleQuotes(control);

  // Visiting the items in ascending order and counting up from 1 moves each
  // item down to a number no other item holds, as long as the smallest
  // number is at least 1. An order with a number below 1 (0, negative)
  // would have an item land on another's number and merge with it, so its
  // items first move above the largest number in use, and never below 1:
  // parked below 1 (all numbers negative) they would meet the same merge in
  // the second pass.
  std::vector<std::string> from;
  from.reserve(items.size());
  for (const ItemNumber& item : items) from.push_back(item.text);
  if (items.front().value < 1) {
    const auto top = std::max<std::int64_t>(0, static_cast<std::int64_t>(std::floor(items.back().value)));
    for (std::size_t i = 0; i < items.size(); ++i) {
      const std::string parked = std::to_string(top + 1 + static_cast<std::int64_t>(i));
      RenumberItem(heads, quoted, parked, from[i]);
      from[i] = parked;
    }
  }
  for (std::size_t i = 0; i < items.size(); ++i) RenumberItem(heads, quoted, std::to_string(i + 1), from[i]);
}

void CreateTemplateOrder(Recordset& records, const std::string& control, const Variant& description,
                         const Variant& contact) {
  const Variant today = Today();
  records->AddNew();
  records->Set("Control", control);
  records->Set("StatType", "S");
  records->Set("Printed", "T");
  records->Set("custcode", "NOCUSTOMER" + std::string(20, ' ') + "NOCUST");
  records->Set("OrderDate", today);
  records->Set("DueTime", "5:00");
  records->Set("OrderDescription", description);
  records->Set("DecisionDate", today);
  records->Set("SALESMAN", "HOUSE");
  records->Set("Discount", 0);
  records->Set("TaxRate", 0);
  records->Set("FedRate", 0);
  records->Set("Contact", contact);
  records->Set("Phone", "");
  records->Set("PO", "");
  records->Set("DueDate", Variant::Null());
  records->Set("fixedDueDate", Variant::Bool(false));
  records->Update();
  records->SetBookmark(records->LastModified());
}

void UpdateSavedTemplates() {
  Recordset rs = DataDb->OpenRecordset("Select * from OrderHeader Where Control = 'ST0090'");
  const bool done = !rs->Eof();
  CloseRecordset(rs);
  if (done) return;

  // The older template orders move in ascending order of Control, found one
  // at a time so that no list of them is kept; the pass ends at an order
  // already numbered ST0101 (where earlier renumbered orders begin) unless
  // that is the first one found.
  OlderTemplates older;
  bool first = true;
  for (std::optional<std::string> control; (control = older.Next());) {
    if (*control == "ST0101" && !first) break;
    first = false;
    // A number held by another order is passed over: moving onto it would
    // merge the two orders' items.
    std::string moved = TemplateControl(older.n);
    while (moved != *control && OrderExists(moved)) {
      older.passedOver.insert(older.n);
      moved = TemplateControl(++older.n);
    }
    ChangeOrderControl(moved, *control);
    ++older.n;
    older.last = *control;
  }

  DataDb->Execute("Update OrderHeader Set OrderDescription = 'Sheets' Where Control = 'ST0001'");

  Recordset records = DataDb->OpenRecordset("Select * from OrderHeader Where Control = 'ST0001'");
  const bool hadTemplates = !records->Eof();
  for (const Tab& tab : kTabs) {
    if (hadTemplates && tab.number == 1) continue;
    const std::string control = TemplateControl(tab.number);
    CreateTemplateOrder(records, control, tab.name, "Single");
    if (hadTemplates) {
      MoveTemplateTabItems(control, "ST0001", tab.name);
      RenumberOrderItems(control);
    }
  }
  CloseRecordset(records);

  RenumberOrderItems("ST0001");
}

}  // namespace qrw
