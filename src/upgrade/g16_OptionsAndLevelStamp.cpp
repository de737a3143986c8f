// Group 16: the contact index of orders, the default envelope printer, the
// graphics, messages and payment links of e-mailed documents, the card
// holder's details, the reshaped variable-data options, the price of extra
// options in the screen database, the bindery constants and groups, and the
// structure-level stamp that closes the upgrade.
#include "upgrade/Groups.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "conversions/Settings.h"
#include "engine/Engine.h"
#include "platform/PathMap.h"
#include "platform/Variant.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

using upgrade::FieldStep;

constexpr FieldStep kEmailFields[] = {
    {"Defaults", "DefaultEnvPrn", dbText, 50},
    {"GlobalEMailSettings", "EmailTopGraphic", dbText, 100},
    {"GlobalEMailSettings", "EmailTopGraphicAlign", dbText, 1},
    {"GlobalEMailSettings", "EmailBottomGraphic", dbText, 100},
    {"GlobalEMailSettings", "EmailBottomGraphicAlign", dbText, 1},
    {"GlobalEMailSettings", "DefaultHTMLEmail", dbBoolean, 1},
    {"GlobalEMailSettings", "EmailClick2Pay", dbBoolean, 1},
    {"GlobalEMailSettings", "CCProc_ID", dbText, 100},
    {"GlobalEMailSettings", "DefaultQuoteMsg", dbMemo, 10},
    {"GlobalEMailSettings", "DefaultInvoiceMsg", dbMemo, 10},
    {"GlobalEMailSettings", "TopWidth", dbLong, 0},
    {"GlobalEMailSettings", "TopHeight", dbLong, 0},
    {"GlobalEMailSettings", "BottomWidth", dbLong, 0},
    {"GlobalEMailSettings", "BottomHeight", dbLong, 0},
    // The second set of graphics, for the other e-mailed documents.
    {"GlobalEMailSettings", "OtherEmailTopGraphic", dbText, 100},
    {"GlobalEMailSettings", "OtherEmailTopGraphicAlign", dbText, 1},
    {"GlobalEMailSettings", "OtherEmailBottomGraphic", dbText, 100},
    {"GlobalEMailSettings", "OtherEmailBottomGraphicAlign", dbText, 1},
    {"GlobalEMailSettings", "OtherTopWidth", dbLong, 0},
    {"GlobalEMailSettings", "OtherTopHeight", dbLong, 0},
    {"GlobalEMailSettings", "OtherBottomWidth", dbLong, 0},
    {"GlobalEMailSettings", "OtherBottomHeight", dbLong, 0},
    {"GlobalEMailSettings", "payFromPayNowButtonURL", dbText, 250},
    {"GlobalEMailSettings", "payFromProcessCreditCardURL", dbText, 250},
    {"Customer", "NameOnCard", dbText, 100},
    {"Customer", "AddressOnCard", dbText, 250},
    {"Customer", "ZipOnCard", dbText, 20},
};

constexpr FieldStep kBinderyFields[] = {
    {"rPaper2Bindery", "Constant", dbLong, 10},
    {"rEnvelope2Bindery", "Constant", dbLong, 10},
    {"BinderyOptions", "Group", dbLong, 0},
};

constexpr const char* kScreenFileName = "QRWSCREEN.MDB";

// The screen database counts only as a plain file of that name in the data
// folder; a folder of that name, or nothing at all, skips the step. The name
// is compared as found on disk, in any letter case.
bool ScreenDatabaseFound(const std::string& pathText) {
  const std::filesystem::path native = MapPath(pathText);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(native, ec)) return false;
  return text::UCase(native.filename().string()) == kScreenFileName;
}

// The price of extra options becomes a Double with six decimals. Opening
// the file traps nothing: a screen database that is there but cannot be
// opened stops the run before the stamp, so the next run tries again.
void RetypeScreenPrices() {
  const std::string path = DataPath + "\\QRWScreen.mdb";
  if (!ScreenDatabaseFound(path)) return;
  Database screen = DBEngine().OpenDatabase(path);
  ModField(screen, "ExtraOptions", "PriceEach", "PriceEach", dbDouble, 6);
  screen.Clear();
}

}  // namespace

void UpgradeOptionsAndLevelStamp() {
  AddIndex("OrderHeader", "Contact", "Contact", false);
  upgrade::AddFields(kEmailFields);

  ModField(DataDb, "VDOptions", "VDType", "VDType", dbText, 50);
  ModField(DataDb, "VDOptions", "NameRows", "NameRows", dbText, 50);
  ModField(DataDb, "VDOptions", "NameColumns", "NameColumns", dbText, 50);
  ModField(DataDb, "VDOptions", "RequestQuantity", "DefaultQuantity", dbLong, 0);
  AddField("VDOptions", "Notes", dbMemo, 10);

  RetypeScreenPrices();

  upgrade::AddFields(kBinderyFields);

  // The last step of the upgrade: the level the database now has.
  StampDataLevel("40252");
}

}  // namespace qrw
