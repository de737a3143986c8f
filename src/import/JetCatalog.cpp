// The catalog of a Jet file: one row of MSysObjects per object, read with
// the same row reader as any table so that the LvProp blob (the object's
// properties) comes back whole and untouched.
#include "import/JetInternal.h"

namespace qrw::jet {

namespace {

std::int64_t Number(const Variant& v) { return v.IsNull() ? 0 : static_cast<std::int64_t>(v.DoubleRaw()); }
std::string Text(const Variant& v) { return v.IsText() ? v.TextRef() : std::string(); }

}  // namespace

void ReadCatalog(File::Impl& file, std::vector<CatalogEntry>& out) {
  std::unique_ptr<Table> objects = OpenTableAt(file, "MSysObjects", 2);
  const int id = objects->ColumnIndex("Id"), name = objects->ColumnIndex("Name"),
            type = objects->ColumnIndex("Type"), flags = objects->ColumnIndex("Flags"),
            props = objects->ColumnIndex("LvProp"), database = objects->ColumnIndex("Database");
  if (id < 0 || name < 0 || type < 0 || flags < 0)
    throw JetError(JetError::Kind::Damaged, "damaged: its catalog (MSysObjects) lacks its key columns");
  objects->ForEachRow([&](const Row& r) {
    CatalogEntry e;
    e.id = Number(r[static_cast<std::size_t>(id)]);
    e.name = Text(r[static_cast<std::size_t>(name)]);
    e.type = static_cast<int>(Number(r[static_cast<std::size_t>(type)]) & 0x7F);
    e.flags = Number(r[static_cast<std::size_t>(flags)]);
    if (props >= 0) e.props = Text(r[static_cast<std::size_t>(props)]);
    if (database >= 0) e.database = Text(r[static_cast<std::size_t>(database)]);
    out.push_back(std::move(e));
  });
}

}  // namespace qrw::jet
