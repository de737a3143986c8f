// Reading one value from the per-user settings store (an INI file read with
// inih). Lines longer than the parser's buffer are taken whole, because a
// data folder cut short would point the program at the wrong database.
#include "platform/Settings.h"

#include <ini.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>

namespace qrw {
namespace {

bool SameIgnoringCase(const char* a, const std::string& b) {
  return ::strcasecmp(a, b.c_str()) == 0;
}

std::string ConfigHome() {
  // Only an absolute XDG_CONFIG_HOME counts, as the base-directory
  // convention asks; anything else means the default.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.config";
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
    return std::string(pw->pw_dir) + "/.config";
  return ".config";
}

// What the parser works through. The parser's line buffer has a fixed size;
// the reader hands it each physical line (cut to fit) and keeps the whole
// line, so that a value on a line longer than the buffer is taken in full
// instead of being silently shortened.
struct Lookup {
  std::ifstream in;
  const std::string* section = nullptr;
  const std::string* key = nullptr;
  std::string fullLine;      // the physical line last handed to the parser
  const char* buffer = nullptr;  // the parser's buffer it went into
  bool lineCut = false;
  std::optional<std::string> value;
};

char* ReadLine(char* str, int num, void* stream) {
  auto* lookup = static_cast<Lookup*>(stream);
  if (!std::getline(lookup->in, lookup->fullLine)) return nullptr;
  const size_t room = num > 1 ? static_cast<size_t>(num - 1) : 0;
  const size_t n = std::min(room, lookup->fullLine.size());
  std::memcpy(str, lookup->fullLine.data(), n);
  str[n] = '\0';
  lookup->buffer = str;
  lookup->lineCut = n < lookup->fullLine.size();
  return str;
}

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' ||
                        s.back() == '\r' || s.back() == '\n'))
    s.pop_back();
  return s;
}

// The rest of a value whose line did not fit the parser's buffer: the value
// starts where the parser found it and runs to the end of the line or to an
// inline comment (a ';' after white space), as for a short line.
std::string WholeValue(const Lookup& lookup, const char* value) {
  const size_t start = static_cast<size_t>(value - lookup.buffer);
  std::string rest = lookup.fullLine.substr(start);
  for (size_t i = 1; i < rest.size(); ++i) {
    if (rest[i] == ';' && (rest[i - 1] == ' ' || rest[i - 1] == '\t')) {
      rest.resize(i);
      break;
    }
  }
  return TrimRight(rest);
}

int OnEntry(void* user, const char* section, const char* name,
            const char* value) {
  auto* lookup = static_cast<Lookup*>(user);
  if (lookup->value) return 1;  // the first occurrence wins
  if (!SameIgnoringCase(section, *lookup->section) ||
      !SameIgnoringCase(name, *lookup->key))
    return 1;
  std::string text = value;
  if (lookup->lineCut && lookup->buffer && value >= lookup->buffer)
    text = WholeValue(*lookup, value);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    text = text.substr(1, text.size() - 2);
  lookup->value = std::move(text);
  return 1;
}

}  // namespace

std::string SettingsFile(const std::string& application) {
  return ConfigHome() + "/" + application + "/settings.ini";
}

std::string GetSetting(const std::string& application,
                       const std::string& section, const std::string& key,
                       const std::string& defaultValue) {
  Lookup lookup;
  lookup.in.open(SettingsFile(application), std::ios::binary);
  if (!lookup.in) return defaultValue;
  lookup.section = &section;
  lookup.key = &key;
  // Lines the parser cannot make sense of are passed over; a value found
  // elsewhere in the file still counts.
  ::ini_parse_stream(&ReadLine, &lookup, &OnEntry, &lookup);
  return lookup.value ? *lookup.value : defaultValue;
}

}  // namespace qrw
