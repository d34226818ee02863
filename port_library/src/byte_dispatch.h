// Delivery of one received byte to its receiver.
#pragma once
#include <cstdint>

namespace swibus {

// Runs on the port's reader thread.
void DispatchByte(int port, std::uint8_t byte);

// Tries again to deliver bytes that a window did not take (it was hung); true while some are
// still waiting. Runs on the port's reader thread.
bool RetryOwedBytes(int port);

// Longest wait for a client window to take one message: a hung program never holds up the switch
// path (or a registration) for longer.
inline constexpr unsigned kClientSendBoundMs = 1000;

}  // namespace swibus
