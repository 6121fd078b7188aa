// The result file held open while the hook checks whom it belongs to and reads it.
#pragma once

#include <memory>
#include <string>

#include "hook/hook_platform.h"

namespace tallyhorn::hook::win {

// Opens the file for reading, sharing reading only, not following a reparse point at its
// name, and reads its links and owner through that handle; null (and the system error)
// when it cannot be opened or its handle tells nothing.
std::unique_ptr<HeldFile> HoldFileOpen(const std::string& path, CallResult& opened);

}  // namespace tallyhorn::hook::win
