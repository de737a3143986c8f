// The pieces of the sample builder: the fixed print shop and the generated
// orders, both written through one SqliteWriter inside one transaction.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "SampleDb.h"
#include "SqliteWriter.h"

namespace qrw::sample {

// Prepared inserts for an order and the rows of its items, shared by the
// fixed orders and the generated ones.
struct OrderWriter {
  explicit OrderWriter(SqliteWriter& w);

  // One OrderHeader row.
  void Header(const std::string& control, Val statType, Val custcode, Val orderDate,
              Val description, Val contact, Val woComment, Val invComment, Val total);

  struct Item {
    Val type;
    std::string description;
    Val up = nullptr;
    Val priceAdj = nullptr;
    Val originals = nullptr;
    Val inkCost = nullptr;
    Val copies = nullptr;
    Val itemTot = nullptr;
    Val center = nullptr;
  };
  // One ItemDetails row and its rows in every other item table.
  void AddItem(const std::string& control, long item, const Item& it, int inks = 1,
               int quantities = 1);

  Inserter header, details, bookPages, inks, prePress, bindery, special, quantities, options,
      postage;
  long items = 0;
};

void WriteFixedRows(SqliteWriter& w, OrderWriter& orders);
void WriteGeneratedOrders(SqliteWriter& w, OrderWriter& orders, long count,
                          std::uint64_t seed);

// An order's control number: n in eight digits with leading zeros.
std::string ControlNumber(long n);

// Control number of the n-th generated order (0-based): eight digits.
std::string GeneratedControl(long n);

}  // namespace qrw::sample
