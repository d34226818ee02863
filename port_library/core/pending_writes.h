// Bytes written while the port is closed, kept until the server opens it.
#pragma once
#include <cstddef>
#include <cstdint>

namespace swibus {

inline constexpr std::uint32_t kPendingCapacity = 1023;  // bytes, plus one terminating zero

// Lives in the shared block. state 0 = nothing buffered; 1 = bytes wait for the port to open.
struct PendingWrites {
    std::int32_t state;
    char data[kPendingCapacity + 1];
    std::uint32_t length;
};

void clearPending(PendingWrites& pending);

// Stores `count` bytes after those already waiting (zero bytes included: the buffer counts bytes,
// it is not a string) and marks the buffer as waiting. Returns false and changes nothing when they
// do not fit, when bytes is null with a non-zero count, or when the stored length is damaged.
bool appendPending(PendingWrites& pending, const void* bytes, std::size_t count);

// What the open sends: the buffered bytes and the terminating zero after them.
std::size_t pendingBlockSize(const PendingWrites& pending);

// Write timeout per byte for a line speed: 19200 / baud in ms, a missing speed counting as 9600.
std::uint32_t writeTimeoutMultiplier(std::uint32_t baudRate);

}  // namespace swibus
