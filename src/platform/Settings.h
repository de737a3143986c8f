// The per-user settings store: one INI file per application,
// ${XDG_CONFIG_HOME:-$HOME/.config}/<application>/settings.ini.
#pragma once

#include <string>

namespace qrw {

// The value of `key` in `[section]` of the application's settings file, or
// `defaultValue` when the file, the section or the key is missing. Section
// and key names match without regard to letter case; the first occurrence of
// a key wins. A value standing between double quotes loses the quotes.
std::string GetSetting(const std::string& application,
                       const std::string& section, const std::string& key,
                       const std::string& defaultValue);

// Where the settings file of `application` lives (whether or not it exists).
std::string SettingsFile(const std::string& application);

}  // namespace qrw
