// Client-list operations: compaction, activation order, removal and the port-switch merge.
#include "client_list.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

using namespace swibus;

namespace {

ClientList listOf(std::initializer_list<WindowId> windows)
{
    ClientList list{};
    int i = 0;
    for (WindowId w : windows)
        list.entry[i++] = w;
    return list;
}

// All 16 entries, so stray values beyond the used part show up in failures.
std::vector<WindowId> entries(const ClientList& list) { return {list.entry, list.entry + kMaxClients}; }

std::vector<WindowId> padded(std::initializer_list<WindowId> windows)
{
    std::vector<WindowId> v(windows);
    v.resize(kMaxClients, 0);
    return v;
}

}  // namespace

TEST(ClientList, CompactionDropsNullsAndClearsEverythingBeyond)
{
    ClientList list = listOf({0, 11, 0, 12, 13, 0, 99});
    EXPECT_EQ(compactList(list, 6), 3);
    EXPECT_EQ(entries(list), padded({11, 12, 13})) << "99 lay beyond the count and is cleared";
    // A damaged count is clamped, never read past 16.
    ClientList full = listOf({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    EXPECT_EQ(compactList(full, 1000), 16);
    EXPECT_EQ(compactList(full, -5), 0);
    EXPECT_EQ(entries(full), padded({}));
}

TEST(ClientList, AppendMoveToEndAndActiveWindow)
{
    ClientList list{};
    std::int32_t count = 0;
    EXPECT_EQ(activeWindow(list, count), 0u);
    for (WindowId w = 1; w <= 16; ++w)
        ASSERT_TRUE(appendWindow(list, count, w));
    EXPECT_FALSE(appendWindow(list, count, 17)) << "a 17th window does not fit";
    EXPECT_EQ(count, 16);
    EXPECT_EQ(findUsed(list, count, 17), -1);
    EXPECT_EQ(activeWindow(list, count), 16u);

    moveToEnd(list, count, findUsed(list, count, 3));
    EXPECT_EQ(activeWindow(list, count), 3u);
    EXPECT_EQ(list.entry[2], 4u);
    EXPECT_EQ(list.entry[14], 16u);
    moveToEnd(list, count, 15);  // already active: unchanged
    EXPECT_EQ(activeWindow(list, count), 3u);
    moveToEnd(list, count, 16);  // out of range: unchanged
    EXPECT_EQ(list.entry[15], 3u);
}

TEST(ClientList, RemovalClosesTheGapAndClearsTheFormerLastEntry)
{
    ClientList list = listOf({21, 22, 23});
    std::int32_t count = 3;
    removeAt(list, count, findAny(list, 22));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(entries(list), padded({21, 23}));
    removeAt(list, count, findAny(list, 23));
    EXPECT_EQ(entries(list), padded({21}));
    EXPECT_EQ(activeWindow(list, count), 21u);
    removeAt(list, count, 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(findAny(list, 21), -1);
}

TEST(ClientList, StrayEntryBeyondTheCountIsFoundAndClearedWithoutChangingTheCount)
{
    ClientList list = listOf({31, 32, 0, 0, 77});
    std::int32_t count = 2;
    int at = findAny(list, 77);
    ASSERT_EQ(at, 4);
    EXPECT_EQ(findUsed(list, count, 77), -1);
    removeAt(list, count, at);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(entries(list), padded({31, 32}));
}

TEST(PortSwitchMerge, NewPortWindowsGoBelowAndTheActiveWindowStaysActive)
{
    // COM1: A (bottom), B (active). COM3: C.
    ClientList com1 = listOf({0xA, 0xB}), com3 = listOf({0xC});
    std::int32_t n1 = 2, n3 = 1;
    EXPECT_EQ(mergeForPortSwitch(com1, n1, com3, n3), 0);
    EXPECT_EQ(entries(com3), padded({0xC, 0xA, 0xB}));
    EXPECT_EQ(n3, 3);
    EXPECT_EQ(entries(com1), padded({}));
    EXPECT_EQ(n1, 0);
}

TEST(PortSwitchMerge, LastInsertedEndsFirstAndSharedWindowsAreNotDuplicated)
{
    ClientList from = listOf({1, 2}), to = listOf({5, 2, 6});
    std::int32_t nf = 2, nt = 3;
    mergeForPortSwitch(from, nf, to, nt);
    EXPECT_EQ(entries(to), padded({6, 5, 1, 2}));
}

TEST(PortSwitchMerge, MoreThanSixteenKeepsTheActiveAndMostRecentWindows)
{
    ClientList from{}, to{};
    std::int32_t nf = 0, nt = 0;
    for (WindowId w = 101; w <= 110; ++w)
        appendWindow(from, nf, w);  // 110 active
    for (WindowId w = 201; w <= 210; ++w)
        appendWindow(to, nt, w);
    EXPECT_EQ(mergeForPortSwitch(from, nf, to, nt), 4);
    EXPECT_EQ(nt, 16);
    // Merged bottom-up: 210..201 then 101..110; the four lowest (210..207) are left out.
    EXPECT_EQ(entries(to), std::vector<WindowId>({206, 205, 204, 203, 202, 201, 101, 102, 103, 104, 105, 106, 107,
                                                  108, 109, 110}));
    EXPECT_EQ(activeWindow(to, nt), 110u);
    EXPECT_EQ(nf, 0);
}
