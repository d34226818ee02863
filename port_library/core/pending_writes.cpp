// The pending-write buffer and the line's write timeout.
#include "pending_writes.h"

#include <cstring>

namespace swibus {

void clearPending(PendingWrites& pending)
{
    pending.state = 0;
    pending.length = 0;
    std::memset(pending.data, 0, sizeof(pending.data));
}

bool appendPending(PendingWrites& pending, const void* bytes, std::size_t count)
{
    if (count != 0 && bytes == nullptr)
        return false;
    if (pending.length > kPendingCapacity)
        return false;
    if (count > kPendingCapacity - pending.length)
        return false;
    if (count)
        std::memcpy(pending.data + pending.length, bytes, count);
    pending.length += static_cast<std::uint32_t>(count);
    pending.data[pending.length] = '\0';
    pending.state = 1;
    return true;
}

std::size_t pendingBlockSize(const PendingWrites& pending)
{
    std::uint32_t length = pending.length > kPendingCapacity ? kPendingCapacity : pending.length;
    return length + 1;
}

std::uint32_t writeTimeoutMultiplier(std::uint32_t baudRate)
{
    return 19200u / (baudRate == 0 ? 9600u : baudRate);
}

}  // namespace swibus
