// Saved order templates and the re-keying of orders and items.
//
// Older databases keep every saved template in one order, "ST0001", its
// items grouped into tabs by ItemDetails.STTab, and possibly further
// template orders ST0002 and up. UpdateSavedTemplates turns them into one
// template order per tab, once: the older template orders move out of the
// way to ST0101 and up, ten tab orders are created (ST0001 to ST0009 and
// ST0090, whose presence marks the conversion as done), each takes the
// ST0001 items of its tab, and every template's items are renumbered from 1.
//
// The database has no cascading keys, so moving an order or an item means
// updating every table that carries Control or Item; the three re-keying
// procedures below do that with fixed table lists. All of them work on
// DataDb and trap nothing: a database error goes to the caller.
#pragma once

#include <string>

#include "engine/Engine.h"
#include "platform/Variant.h"

namespace qrw {

void UpdateSavedTemplates();

// Adds one template order to `records` (an updatable recordset over
// OrderHeader), saves it and makes it the current record.
void CreateTemplateOrder(Recordset& records, const std::string& control, const Variant& description,
                         const Variant& contact);

// Moves the order header and every row of the order to `newControl`.
void ChangeOrderControl(const std::string& newControl, const std::string& oldControl);

// Moves the items of one tab (ItemDetails.STTab = tabName) of `oldControl`
// with all their rows to `newControl`, keeping their item numbers. The
// target order is expected to hold no items of its own.
void MoveTemplateTabItems(const std::string& newControl, const std::string& oldControl, const std::string& tabName);

// Renumbers the items of the order 1, 2, 3, ... in their present order, in
// every item table (only ItemDetails, ItemOptions and ItemPostage in the
// companion edition).
void RenumberOrderItems(const std::string& control);

}  // namespace qrw
