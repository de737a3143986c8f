// Turning the product's path texts (drive letters, backslashes, any letter
// case) into paths of this file system. Drive letters live under the data
// home, so a run never writes outside the user's own folders; the letter
// case of a name is matched against what is on disk.
#include "platform/PathMap.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <vector>

namespace qrw {
namespace {

bool IsSep(char c) { return c == '\\' || c == '/'; }

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
    return pw->pw_dir;
  return ".";
}

std::string DataHome() {
  // Only an absolute XDG_DATA_HOME counts; anything else falls back to the
  // default location, as the base-directory convention asks.
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  return HomeFolder() + "/.local/share";
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// The name to use for `name` inside `folder`: the name itself when it exists,
// else an entry that differs only in letter case (the smallest such entry when
// there are several, so the choice does not depend on directory order), else
// the name as written.
std::string ResolveName(const std::string& folder, const std::string& name) {
  if (name == "." || name == ".." || Exists(Join(folder, name))) return name;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return name;
  std::string best;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view candidate(entry->d_name);
    if (SameIgnoringCase(candidate, name) && (best.empty() || candidate < best))
      best = candidate;
  }
  ::closedir(dir);
  return best.empty() ? name : best;
}

}  // namespace

std::string DriveFolder(char letter) {
  return DataHome() + "/Quarrow/drive_" + std::string(1, Lower(letter));
}

std::string MapPath(const std::string& text) {
  if (text.empty()) return text;

  std::string base;  // the folder the names below are relative to
  size_t pos = 0;
  const bool hasDrive = text.size() >= 2 && text[1] == ':' &&
                        ((text[0] >= 'A' && text[0] <= 'Z') ||
                         (text[0] >= 'a' && text[0] <= 'z'));
  if (hasDrive) {
    // "C:name" (relative to the drive's current folder) is taken from the
    // drive's root: there is no current folder per drive here.
    base = DriveFolder(text[0]);
    pos = 2;
  } else if (text[0] == '/') {
    base = "/";
  } else if (text[0] == '\\') {
    // Rooted on the current drive, which for the product is always C.
    base = DriveFolder('c');
  }

  const bool driveBased = !base.empty() && base != "/";
  std::vector<std::string> names;
  while (pos < text.size()) {
    while (pos < text.size() && IsSep(text[pos])) ++pos;
    size_t end = pos;
    while (end < text.size() && !IsSep(text[end])) ++end;
    if (end > pos) {
      std::string name = text.substr(pos, end - pos);
      if (driveBased && name == ".") {
        // the same folder
      } else if (driveBased && name == "..") {
        // Resolved by name, and never above the drive's root, as the
        // product's platform does; the drive folder cannot be left.
        if (!names.empty()) names.pop_back();
      } else {
        names.push_back(std::move(name));
      }
    }
    pos = end;
  }

  std::string result = base;
  bool resolving = true;  // once a name is missing, nothing below it exists
  for (const std::string& name : names) {
    std::string use = name;
    if (resolving) {
      use = ResolveName(result, name);
      resolving = Exists(Join(result, use));
    }
    result = Join(result, use);
  }
  if (IsSep(text.back()) && !result.empty() && result.back() != '/')
    result += '/';
  return result;
}

}  // namespace qrw
