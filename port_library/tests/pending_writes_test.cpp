// The pending-write buffer's bound and content, the line choices' mapping, the write timeout.
#include "line_choices.h"
#include "pending_writes.h"

#include <gtest/gtest.h>
#include <string>

using namespace swibus;

TEST(PendingWrites, ThreeWritesBecomeOneBlockWithTheTerminatingZero)
{
    PendingWrites p;
    clearPending(p);
    EXPECT_EQ(p.state, 0);
    ASSERT_TRUE(appendPending(p, "A", 1));
    EXPECT_EQ(p.state, 1);
    ASSERT_TRUE(appendPending(p, "B", 1));
    ASSERT_TRUE(appendPending(p, "C", 1));
    EXPECT_EQ(pendingBlockSize(p), 4u);
    EXPECT_EQ(std::string(p.data, 4), std::string("ABC\0", 4));
}

TEST(PendingWrites, ZeroBytesInsideAWriteAreKept)
{
    PendingWrites p;
    clearPending(p);
    ASSERT_TRUE(appendPending(p, "\x01\x00\x02", 3));
    ASSERT_TRUE(appendPending(p, "Z", 1));
    EXPECT_EQ(std::string(p.data, pendingBlockSize(p)), std::string("\x01\x00\x02Z\0", 5));
}

TEST(PendingWrites, AWriteThatDoesNotFitIsRefusedWhole)
{
    PendingWrites p;
    clearPending(p);
    std::string big(kPendingCapacity, 'x');
    EXPECT_FALSE(appendPending(p, (big + "y").data(), big.size() + 1)) << "1024 bytes never fit";
    EXPECT_EQ(p.state, 0) << "a refused first write marks nothing as waiting";
    ASSERT_TRUE(appendPending(p, big.data(), big.size() - 1));
    EXPECT_TRUE(appendPending(p, "y", 1)) << "exactly 1023 bytes fit";
    EXPECT_FALSE(appendPending(p, "z", 1));
    EXPECT_EQ(p.length, kPendingCapacity);
    EXPECT_EQ(p.data[kPendingCapacity], '\0');
    EXPECT_EQ(p.data[kPendingCapacity - 1], 'y');
    // A huge count must not wrap around the bound check.
    EXPECT_FALSE(appendPending(p, "z", static_cast<std::size_t>(-1)));
}

TEST(PendingWrites, DamagedLengthAndNullBytesAreRefused)
{
    PendingWrites p;
    clearPending(p);
    EXPECT_FALSE(appendPending(p, nullptr, 3));
    EXPECT_TRUE(appendPending(p, nullptr, 0));
    p.length = 5000;  // another process scribbled on the block
    EXPECT_FALSE(appendPending(p, "a", 1));
    EXPECT_EQ(pendingBlockSize(p), kPendingCapacity + 1) << "never send past the buffer";
}

TEST(WriteTimeout, PerByteTimeoutFromTheLineSpeed)
{
    EXPECT_EQ(writeTimeoutMultiplier(9600), 2u);
    EXPECT_EQ(writeTimeoutMultiplier(110), 174u);
    EXPECT_EQ(writeTimeoutMultiplier(38400), 0u);
    EXPECT_EQ(writeTimeoutMultiplier(0), 2u) << "an edited registry's 0 counts as 9600";
}

TEST(LineChoices, ListsHoldTheDocumentedItems)
{
    EXPECT_EQ(kBaudRates[0], 110u);
    EXPECT_EQ(kBaudRates[kBaudChoices - 1], 256000u);
    for (int i = 0; i < kBaudChoices; ++i)
        EXPECT_EQ(std::to_string(kBaudRates[i]), kBaudTexts[i]);
    EXPECT_STREQ(kFlowTexts[0], "Xon/Xoff");
    EXPECT_STREQ(kStopBitTexts[1], "1.5");
}

TEST(LineChoices, SelectionRoundTripAndValuesWithoutAnItem)
{
    LineSettings s{9600, 0, 8, 0, 4};
    LineSelection sel = selectionFor(s);
    EXPECT_EQ(sel.baud, 6);
    EXPECT_EQ(sel.dataBits, 4);
    EXPECT_EQ(sel.flow, 0);

    LineSettings odd{1000, 9, 3, 7, 1};  // edited registry: nothing matches
    sel = selectionFor(odd);
    EXPECT_EQ(sel.baud, -1);
    EXPECT_EQ(sel.parity, -1);
    EXPECT_EQ(sel.dataBits, -1);
    EXPECT_EQ(sel.stopBits, -1);
    EXPECT_EQ(sel.flow, -1);
    applySelection(sel, odd);
    EXPECT_EQ(odd.baudRate, 1000u) << "a list without a selection leaves its field unchanged";
    EXPECT_EQ(odd.parity, 9);
    EXPECT_EQ(odd.byteSize, 3);
    EXPECT_EQ(odd.stopBits, 7);
    EXPECT_EQ(odd.flowCtrl, 1);

    applySelection({12, 2, 0, 2, 1}, odd);
    EXPECT_EQ(odd.baudRate, 115200u);
    EXPECT_EQ(odd.parity, 2);
    EXPECT_EQ(odd.byteSize, 4);
    EXPECT_EQ(odd.stopBits, 2);
    EXPECT_EQ(odd.flowCtrl, 2);
    applySelection({-1, -1, -1, -1, 2}, odd);
    EXPECT_EQ(odd.flowCtrl, 0);
}

TEST(LineChoices, AbsurdValuesFallBackEachOnItsOwn)
{
    LineSettings s = {0, 7, 0, 3, 8};
    replaceAbsurdValues(s);
    EXPECT_EQ(s.baudRate, 9600u);
    EXPECT_EQ(s.parity, 0);
    EXPECT_EQ(s.byteSize, 8);
    EXPECT_EQ(s.stopBits, 0);
    EXPECT_EQ(s.flowCtrl, 4);
    LineSettings fine = {115200, 4, 4, 2, 7};
    replaceAbsurdValues(fine);
    EXPECT_EQ(fine.baudRate, 115200u);
    EXPECT_EQ(fine.parity, 4);
    EXPECT_EQ(fine.byteSize, 4);
    EXPECT_EQ(fine.stopBits, 2);
    EXPECT_EQ(fine.flowCtrl, 7);
}
