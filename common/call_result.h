// What a platform operation that can fail gives back, in both deliverables' seams.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tallyhorn {

// Whether the call succeeded; if not, the system error code, read straight after the
// failing call so that no later call can change it; and what the call counted (bytes
// taken or waiting), where it counts anything.
struct CallResult {
    bool succeeded = true;
    std::uint32_t error = 0;
    std::size_t count = 0;
};

inline CallResult Failure(std::uint32_t error) { return {false, error, 0}; }

}  // namespace tallyhorn
