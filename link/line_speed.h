#pragma once
// The speed a serial device really runs at, as the kernel reports it. Drivers that cannot do
// a rate clip it or keep the old one and still report success, so this is the only way to
// know whether the rate asked for was taken.

#include <cstdint>
#include <optional>

namespace qz {

// Output speed in baud of the open terminal device fd; nothing when the device cannot tell.
[[nodiscard]] std::optional<std::int64_t> deviceLineSpeed(int fd);

}  // namespace qz
