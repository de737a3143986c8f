// Group 5: the e-mail settings and stock messages (new tables with one
// starting row each), the scratch folder, the customers' name for the
// accounting link, default bindery and pre-press names, the pre-press
// option group and the customers' instruction notes.
#include <filesystem>
#include <system_error>

#include "engine/Engine.h"
#include "platform/PathMap.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Groups.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

using upgrade::FieldStep;

constexpr FieldStep kNewEmailSettingsFields[] = {
    {"GlobalEMailSettings", "SendServer", dbText, 50},
    {"GlobalEMailSettings", "UserEmail", dbText, 50},
    {"GlobalEMailSettings", "PasswordEmail", dbText, 50},
    {"GlobalEMailSettings", "Auth", dbBoolean, 0},
    {"GlobalEMailSettings", "SSL", dbBoolean, 0},
    {"GlobalEMailSettings", "Protocol", dbText, 50},
    {"GlobalEMailSettings", "Charset", dbText, 50},
    {"GlobalEMailSettings", "Sign", dbBoolean, 0},
    {"GlobalEMailSettings", "Encrypt", dbBoolean, 0},
    {"GlobalEMailSettings", "Provider", dbText, 50},
    {"GlobalEMailSettings", "Port", dbLong, 0},
};

constexpr FieldStep kLaterEmailSettingsFields[] = {
    {"GlobalEMailSettings", "SavePDF", dbBoolean, 0},
    {"GlobalEMailSettings", "EditBeforeSending", dbBoolean, 0},
    {"GlobalEMailSettings", "SelectFolderEachTime", dbBoolean, 0},
    {"GlobalEMailSettings", "DefaultFolder", dbText, 100},
    {"GlobalEMailSettings", "SalutationPrefix", dbText, 50},
    {"GlobalEMailSettings", "UsePrefixSalutation", dbBoolean, 0},
    {"GlobalEMailSettings", "DefaultPDFProgram", dbText, 100},
};

constexpr FieldStep kDefaultNameFields[] = {
    {"Defaults", "DefaultBindery", dbText, 50},
    {"Defaults", "DefaultPrePress", dbText, 50},
    {"PrePressOptions", "Group", dbText, 50},
    {"Customer", "QuoteInstructions", dbMemo, 50},
    {"Customer", "InvoiceInstructions", dbMemo, 50},
};

// The starting rows go in only when the table is created in the same run,
// so a second run never adds a second settings row or message.
void CreateEmailSettings() {
  upgrade::CreateEmptyLike("GlobalEMailSettings", "AdjReasons");
  ModField(DataDb, "GlobalEMailSettings", "Reasons", "FromEmail", dbText, 50);
  upgrade::AddFields(kNewEmailSettingsFields);
  DataDb->GetTableDefs().Refresh();
  DataDb->Execute(
      "Insert Into GlobalEMailSettings (FromEmail, Provider) Values ('Your email address', 'Outlook')");
}

void CreateEmailMessages() {
  upgrade::CreateEmptyLike("EmailMessages", "AdjReasons");
  ModField(DataDb, "EmailMessages", "Reasons", "Code", dbLong, 0);
  AddField("EmailMessages", "Message", dbMemo, 50);
  AddField("EmailMessages", "Graphic", dbText, 250);
  DataDb->GetTableDefs().Refresh();
  DataDb->Execute(
      "Insert Into EmailMessages (Code, Message) Values (10, 'Thank you for the opportunity to quote this job "
      "for you.')");
}

}  // namespace

void MakeScratchFolder() {
  const std::filesystem::path folder = MapPath("c:\\temp\\temp");
  std::error_code ec;
  if (std::filesystem::is_directory(folder, ec)) return;
  // "c:\temp" itself is missing on a fresh machine here; create every
  // missing level rather than stop the run on it.
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder)) rt::Raise(75);  // path/file access error
}

void UpgradeEmailAndCustomers() {
  if (!TableExists("GlobalEMailSettings", DataDb)) upgrade::AllOrNothing(CreateEmailSettings);
  if (!TableExists("EmailMessages", DataDb)) upgrade::AllOrNothing(CreateEmailMessages);

  MakeScratchFolder();
  upgrade::AddFields(kLaterEmailSettingsFields);

  // Filled once from the company name; later edits of either field are the
  // product's business.
  if (!FieldExists("Customer", "QBCustomerName", DataDb)) {
    upgrade::AllOrNothing([] {
      AddField("Customer", "QBCustomerName", dbText, 50);
      DataDb->GetTableDefs().Refresh();
      DataDb->Execute("Update Customer Set QBCustomerName = bCOMPANY");
    });
  }

  upgrade::AddFields(kDefaultNameFields);
}

}  // namespace qrw
