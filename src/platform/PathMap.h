// Path texts as the product writes them ("C:\Program Files\Quarrow",
// "c:\temp\temp", "QRWdata.MDB" in any letter case) are turned into paths of
// this file system here, and nowhere else. The text itself is kept unchanged
// wherever the program stores or builds it (DataPath); only what goes to the
// file system or the engine is mapped.
#pragma once

#include <string>

namespace qrw {

// Maps a path text to a native path:
//  - backslashes and slashes are both separators; runs of them count as one;
//  - a leading drive "X:" stands for the folder
//    ${XDG_DATA_HOME:-$HOME/.local/share}/Quarrow/drive_x (letter in lower
//    case), and a text starting with a single backslash for the root of
//    drive C;
//  - a text starting with "/" is a native path; any other text is relative to
//    the current folder;
//  - each name that does not exist exactly is replaced by an existing name of
//    the same folder that differs from it only in letter case, so lookups
//    behave as on a file system that ignores case. Names that do not exist
//    in any case are kept as written.
std::string MapPath(const std::string& text);

// The folder that stands for drive `letter` (any case), without creating it.
std::string DriveFolder(char letter);

}  // namespace qrw
