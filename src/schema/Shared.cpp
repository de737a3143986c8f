#include "schema/Shared.h"

namespace qrw {

Database DataDb;
std::string DataPath;

}  // namespace qrw
