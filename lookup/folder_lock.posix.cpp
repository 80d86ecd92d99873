#include "folder_lock.h"

namespace keil {

// On Linux the exchange helper takes the folder's lock (flock on the folder
// itself) when it makes the exchange files and holds it until it removes
// them, so that a clerk's own helper waits its turn like everybody's; the
// run's wait for it is bounded there (see exchange_helper.posix.h).
FolderLock::FolderLock(const std::string&, std::chrono::milliseconds) : handle_(kNoHandle) {}

FolderLock::~FolderLock() = default;

}  // namespace keil
