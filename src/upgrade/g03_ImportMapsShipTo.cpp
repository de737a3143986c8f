// Group 3: the stock-cost import maps and the ship-to addresses (both new
// tables), the different-ship-to flag of orders and quotes, the labour rate
// of large-format items and the side margins of large-format printers.
#include "engine/Engine.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Groups.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

using upgrade::FieldStep;

constexpr FieldStep kImportMapFields[] = {
    {"ImportStockCostsMaps", "StockName", dbText, 50},
    {"ImportStockCostsMaps", "StockSize", dbText, 50},
    {"ImportStockCostsMaps", "Manufacturer", dbText, 50},
    {"ImportStockCostsMaps", "ItemNumb", dbText, 50},
    {"ImportStockCostsMaps", "StockType", dbText, 50},
    {"ImportStockCostsMaps", "Color", dbText, 50},
    {"ImportStockCostsMaps", "WeightPer1000", dbText, 50},
    {"ImportStockCostsMaps", "ThicknessEach", dbText, 50},
    {"ImportStockCostsMaps", "Cost", dbText, 50},
    {"ImportStockCostsMaps", "Cost1", dbText, 50},
    {"ImportStockCostsMaps", "Cost2", dbText, 50},
    {"ImportStockCostsMaps", "Cost3", dbText, 50},
    {"ImportStockCostsMaps", "Cost4", dbText, 50},
    {"ImportStockCostsMaps", "Cost5", dbText, 50},
    {"ImportStockCostsMaps", "Quantity1", dbText, 50},
    {"ImportStockCostsMaps", "Quantity2", dbText, 50},
    {"ImportStockCostsMaps", "Quantity3", dbText, 50},
    {"ImportStockCostsMaps", "Quantity4", dbText, 50},
    {"ImportStockCostsMaps", "Quantity5", dbText, 50},
    {"ImportStockCostsMaps", "Finish", dbText, 50},
    {"ImportStockCostsMaps", "LotCount", dbText, 50},
    {"ImportStockCostsMaps", "CoatedSides", dbText, 50},
    {"ImportStockCostsMaps", "Grade", dbText, 50},
};

constexpr FieldStep kShipToFields[] = {
    {"Ship2Addresses", "adr1", dbText, 42},
    {"Ship2Addresses", "adr2", dbText, 42},
    {"Ship2Addresses", "CITY", dbText, 30},
    {"Ship2Addresses", "STATE", dbText, 20},
    {"Ship2Addresses", "Zip", dbText, 10},
    {"Ship2Addresses", "CUSTCODE", dbText, 36},
    {"Ship2Addresses", "Contact", dbText, 30},
    {"Ship2Addresses", "EMail", dbText, 40},
    {"Ship2Addresses", "phone", dbText, 25},
    {"Ship2Addresses", "Note", dbMemo, 10},
    {"Ship2Addresses", "Country", dbText, 40},
    {"Ship2Addresses", "Fax_Phone", dbText, 20},
    {"Ship2Addresses", "DeliveryTicketNotes", dbMemo, 10},
    {"Ship2Addresses", "ContactPhone", dbText, 25},
    {"Ship2Addresses", "ContactEMail", dbText, 40},
    {"Orderheader", "DifferentShip2Address", dbBoolean, 1},
    {"tPrintQuote", "DifferentShip2Address", dbBoolean, 1},
    {"ItemLargeFormat", "LFLaborRate", dbDouble, 2},
    {"LFPrinters", "LeftMargin", dbDouble, 4},
    {"LFPrinters", "RightMargin", dbDouble, 4},
};

}  // namespace

void UpgradeImportMapsAndShipTo() {
  if (!TableExists("ImportStockCostsMaps", DataDb))
    upgrade::CreateTextTable("ImportStockCostsMaps", {{"SupplierName", 50}, {"Filename", 36}});
  upgrade::AddFields(kImportMapFields);

  if (!TableExists("Ship2Addresses", DataDb))
    upgrade::CreateTextTable("Ship2Addresses", {{"Control", 6}, {"Company", 50}});
  upgrade::AddFields(kShipToFields);
}

}  // namespace qrw
