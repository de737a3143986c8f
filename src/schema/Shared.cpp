// The one open product database and its data folder, shared by every
// procedure of a run.
#include "schema/Shared.h"

namespace qrw {

Database DataDb;
std::string DataPath;

}  // namespace qrw
