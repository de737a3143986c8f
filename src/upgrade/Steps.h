// Building blocks shared by the groups of the upgrade script: field-addition
// tables, the one stretch that skips failing operations, tables created from
// another's layout or from a new definition, and text values put between
// single quotes.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>

#include "platform/Error.h"
#include "platform/Variant.h"

namespace qrw::upgrade {

// One field addition: AddField(table, field, type, size), size as passed.
struct FieldStep {
  const char* table;
  const char* field;
  std::int16_t type;
  std::int16_t size;
};

// Adds the fields in order; AddField skips those that are already there.
void AddFields(std::span<const FieldStep> steps);

// Runs one operation and passes over its failure, so that the operation
// after it still runs. Used only where the script replaces objects that may
// or may not be there.
template <class F>
void ResumeNext(F&& op) {
  try {
    op();
  } catch (const Error&) {
  }
}

// Runs a one-time change whose marker (the new table or field that later
// runs look for) is made inside the change, as one transaction: a run that
// stops part-way, killed or ended by an error, leaves neither the marker nor
// half the change behind, so the next run makes the whole change again.
void AllOrNothing(const std::function<void()>& change);

// Creates `table` with the fields of `layoutOf` and none of its rows, and
// refreshes the table list so that the new table's fields can be changed
// at once.
void CreateEmptyLike(const std::string& table, const std::string& layoutOf);

// Creates `table` as an item table with the layout of itemInks less the
// ink-only fields (Ink, SetUp, Side, Desc, Center), which the large-format
// and colour/black-and-white item tables have no use for.
void CreateItemTableFromInks(const std::string& table);

// A Text field of a table created from a new definition.
struct TextFieldDef {
  const char* name;
  int size;
};

// Creates `table` from a new definition holding the given Text fields (zero
// length allowed, not required), appends it and refreshes the table list.
void CreateTextTable(const std::string& table, std::initializer_list<TextFieldDef> fields);

// Renames the field directly in the table's definition: the data and type
// stay, and a field that is not there stops the run.
void RenameInPlace(const std::string& table, const std::string& oldName, const std::string& newName);

// A value read from a row, as text to stand between single quotes in a
// statement: Null reads as empty text, and each single quote is doubled so
// that the statement stays valid whatever the value holds.
std::string SingleQuoted(const Variant& value);

}  // namespace qrw::upgrade
