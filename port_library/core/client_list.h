// One port's ordered list of registered client windows: the last used entry is the active window.
#pragma once
#include <cstdint>

namespace swibus {

using WindowId = std::uintptr_t;  // a window handle as a number; 0 = none
inline constexpr int kMaxClients = 16;
inline constexpr int kPortCount = 16;

// Kept in the shared block, so plain data only. Invariants after compact():
// used entries are 0..count-1, contiguous, each window at most once, the rest 0.
struct ClientList {
    WindowId entry[kMaxClients];
};

// Keeps the non-null entries among the first `count` in order, clears the rest; returns the new count.
// A count outside 0..16 (a damaged block) is clamped first.
std::int32_t compactList(ClientList& list, std::int32_t count);

// Index of the window among the used entries, or -1.
int findUsed(const ClientList& list, std::int32_t count, WindowId window);
// Index of the window among all 16 entries, or -1.
int findAny(const ClientList& list, WindowId window);

// Moves entry `index` to the active position (the end of the used entries).
void moveToEnd(ClientList& list, std::int32_t count, int index);

// Appends the window as the new active one; false (nothing changed) when the list is full.
bool appendWindow(ClientList& list, std::int32_t& count, WindowId window);

// Removes entry `index`, closing the gap; clears the former last used entry.
void removeAt(ClientList& list, std::int32_t& count, int index);

// Window at the active position, or 0.
WindowId activeWindow(const ClientList& list, std::int32_t count);

// A port switch: the windows of `to` that are not in `from` go below `from`'s windows (the last
// of them lowest), and the result becomes `to`'s list, with `from` emptied. The active window of
// `from` stays active. When more than 16 windows would result, the lowest ones are left out: the
// active window and the most recently registered ones stay. Returns how many were left out.
int mergeForPortSwitch(ClientList& from, std::int32_t& fromCount, ClientList& to, std::int32_t& toCount);

}  // namespace swibus
