// Delivery of one received byte to its receiver.
#pragma once
#include <cstdint>

namespace swibus {

// Runs on the port's reader thread; wakeCode belongs to that thread.
void DispatchByte(int port, std::uint8_t byte, std::uint8_t& wakeCode);

}  // namespace swibus
