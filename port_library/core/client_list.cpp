// Client-list operations: compaction, search, activation order, removal, the port-switch merge.
#include "client_list.h"

namespace swibus {

namespace {
std::int32_t clampCount(std::int32_t count)
{
    if (count < 0)
        return 0;
    return count > kMaxClients ? kMaxClients : count;
}
}  // namespace

std::int32_t compactList(ClientList& list, std::int32_t count)
{
    count = clampCount(count);
    std::int32_t kept = 0;
    for (int i = 0; i < count; ++i)
        if (list.entry[i] != 0)
            list.entry[kept++] = list.entry[i];
    for (int i = kept; i < kMaxClients; ++i)
        list.entry[i] = 0;
    return kept;
}

int findUsed(const ClientList& list, std::int32_t count, WindowId window)
{
    count = clampCount(count);
    for (int i = 0; i < count; ++i)
        if (list.entry[i] == window)
            return i;
    return -1;
}

int findAny(const ClientList& list, WindowId window)
{
    for (int i = 0; i < kMaxClients; ++i)
        if (list.entry[i] == window)
            return i;
    return -1;
}

void moveToEnd(ClientList& list, std::int32_t count, int index)
{
    count = clampCount(count);
    if (index < 0 || index >= count)
        return;
    WindowId window = list.entry[index];
    for (int i = index; i < count - 1; ++i)
        list.entry[i] = list.entry[i + 1];
    list.entry[count - 1] = window;
}

bool appendWindow(ClientList& list, std::int32_t& count, WindowId window)
{
    count = clampCount(count);
    if (count >= kMaxClients)
        return false;
    list.entry[count++] = window;
    return true;
}

void removeAt(ClientList& list, std::int32_t& count, int index)
{
    if (index < 0 || index >= kMaxClients)
        return;
    count = clampCount(count);
    int last = count > index ? count - 1 : index;  // a stray entry beyond the used part is just cleared
    for (int i = index; i < last; ++i)
        list.entry[i] = list.entry[i + 1];
    list.entry[last] = 0;
    if (count > index)
        --count;
}

WindowId activeWindow(const ClientList& list, std::int32_t count)
{
    count = clampCount(count);
    return count > 0 ? list.entry[count - 1] : 0;
}

int mergeForPortSwitch(ClientList& from, std::int32_t& fromCount, ClientList& to, std::int32_t& toCount)
{
    // Build the merged order bottom to top in a list large enough for both.
    WindowId merged[2 * kMaxClients];
    int size = 0;
    std::int32_t fromUsed = clampCount(fromCount);
    std::int32_t toUsed = clampCount(toCount);
    for (int i = toUsed - 1; i >= 0; --i) {
        WindowId w = to.entry[i];
        if (w != 0 && findUsed(from, fromUsed, w) < 0)
            merged[size++] = w;
    }
    for (int i = 0; i < fromUsed; ++i)
        if (from.entry[i] != 0)
            merged[size++] = from.entry[i];

    int skipped = size > kMaxClients ? size - kMaxClients : 0;
    for (int i = 0; i < kMaxClients; ++i)
        to.entry[i] = (i + skipped < size) ? merged[i + skipped] : 0;
    toCount = size - skipped;
    for (auto& e : from.entry)
        e = 0;
    fromCount = 0;
    return skipped;
}

}  // namespace swibus
