// The tester's decisions without Windows: switch bytes, joystick readings, shapes, query replies.
#include "tester_core.h"

#include <gtest/gtest.h>

#include <string>

using namespace fennick::tester;

namespace {

uint32_t feed(uint32_t state, const char* bytes, bool joystickMode)
{
    for (const char* p = bytes; *p; ++p)
        state = applyPortByte(state, static_cast<uint8_t>(*p), joystickMode);
    return state;
}

TEST(PortByte, EachLetterSetsAndClearsItsShape)
{
    EXPECT_EQ(feed(0, "D", true), kBitDown);
    EXPECT_EQ(feed(0, "L", true), kBitLeft);
    EXPECT_EQ(feed(0, "U", true), kBitUp);
    EXPECT_EQ(feed(0, "R", true), kBitRight);
    EXPECT_EQ(feed(0, "J", true), kBitCentre);
    EXPECT_EQ(feed(0, "DLURJ", true), 0x1Fu);
    EXPECT_EQ(feed(0x1F, "dlurj", true), 0u);
    // Releases touch only their own bit.
    EXPECT_EQ(feed(0x1F, "u", true), 0x1Fu & ~kBitUp);
}

TEST(PortByte, InSwitchModeFireAndLeftShareTheSerialModelsRightCircle)
{
    EXPECT_EQ(feed(0, "J", false), kBitLeft);
    EXPECT_EQ(feed(0, "L", false), kBitLeft);
    EXPECT_EQ(feed(kBitLeft, "j", false), 0u);
    EXPECT_EQ(feed(kBitLeft, "l", false), 0u);
    EXPECT_EQ(feed(0, "DJ", false), kBitDown | kBitLeft);
    EXPECT_EQ(feed(0, "J", false) & kBitCentre, 0u);
}

TEST(PortByte, OtherBytesChangeNothing)
{
    for (int byte = 0; byte < 256; ++byte) {
        if (std::string("DdLlUuRrJj").find(static_cast<char>(byte)) != std::string::npos || byte == 0)
            continue;
        EXPECT_EQ(applyPortByte(0x15, static_cast<uint8_t>(byte), true), 0x15u) << byte;
        EXPECT_EQ(applyPortByte(0x0A, static_cast<uint8_t>(byte), false), 0x0Au) << byte;
    }
    EXPECT_EQ(applyPortByte(0x15, 0, true), 0x15u);
}

// A typical stick: 0..65535 on both axes, 25 % at 16383, 75 % at 49151.
class Joystick : public ::testing::Test {
protected:
    void SetUp() override { tracker.setRange({0, 65535, 0, 65535}); }
    uint32_t read(uint32_t x, uint32_t y, uint32_t buttons = 0)
    {
        state = tracker.apply(state, {x, y, buttons});
        return state;
    }
    JoystickTracker tracker;
    uint32_t state = 0;
};

TEST_F(Joystick, ZonesOfEachAxis)
{
    EXPECT_EQ(read(32767, 32767), 0u);
    EXPECT_EQ(read(65535, 32767), kBitRight);
    EXPECT_EQ(read(32767, 32767), 0u);
    EXPECT_EQ(read(0, 32767), kBitLeft);
    EXPECT_EQ(read(32767, 65535), kBitDown);
    EXPECT_EQ(read(32767, 0), kBitUp);
    // Exactly on the 75 % point is not beyond it.
    EXPECT_EQ(read(49151, 32767), 0u);
    EXPECT_EQ(read(49152 + 300, 32767), kBitRight);
}

TEST_F(Joystick, DiagonalLightsTwoArrows)
{
    EXPECT_EQ(read(65535, 0), kBitRight | kBitUp);
    EXPECT_EQ(read(0, 65535), kBitLeft | kBitDown);
}

TEST_F(Joystick, FarLeftToFarRightInOneReading)
{
    read(0, 32767);
    ASSERT_EQ(state, kBitLeft);
    EXPECT_EQ(read(65535, 32767), kBitRight);
}

TEST_F(Joystick, SmallMovesAreIgnoredOnceTheRecordedValueIsAbove200)
{
    read(60000, 32767);
    ASSERT_EQ(state, kBitRight);
    // Near the 75 % point a drift of up to 200 keeps the arrow as it is.
    read(49300, 32767);  // moved > 200: still right of 75 %
    EXPECT_EQ(state, kBitRight);
    read(49100, 32767);  // only 200 below the recorded 49300: not a move, stays lit
    EXPECT_EQ(state, kBitRight);
    read(49099, 32767);  // 201 below: a move, now in the middle zone
    EXPECT_EQ(state, 0u);
}

TEST_F(Joystick, BelowTwoHundredEveryReadingCountsAsMoved)
{
    // Recorded X starts at 0, so the unsigned lower bound wraps: the same value counts again.
    read(100, 32767);
    ASSERT_EQ(state, kBitLeft);
    state = 0;  // the display was reset (mode change); a still stick at 100 lights again
    EXPECT_EQ(read(100, 32767), kBitLeft);
    // Above 200 the same reading is not a move any more.
    read(5000, 32767);
    state = 0;
    EXPECT_EQ(read(5000, 32767), 0u);
}

TEST_F(Joystick, ZonesFollowAnOffsetRange)
{
    tracker.setRange({1000, 3000, 1000, 3000});  // 25 % = 1500, 75 % = 2500
    EXPECT_EQ(read(2600, 2000), kBitRight);
    EXPECT_EQ(read(1400, 2000), kBitLeft);
    EXPECT_EQ(read(2000, 2600), kBitDown);
}

TEST_F(Joystick, ButtonsOneTwoAndSevenLightTheCentre)
{
    const uint32_t centre[] = {0x01, 0x02, 0x40};
    for (uint32_t button : centre) {
        EXPECT_EQ(read(32767, 32767, button), kBitCentre) << button;
        EXPECT_EQ(read(32767, 32767, 0), 0u) << button;
    }
}

TEST_F(Joystick, ButtonsThreeToSixLightDownLeftUpRight)
{
    EXPECT_EQ(read(32767, 32767, 0x04), kBitDown);
    EXPECT_EQ(read(32767, 32767, 0x08), kBitLeft);
    EXPECT_EQ(read(32767, 32767, 0x10), kBitUp);
    EXPECT_EQ(read(32767, 32767, 0x20), kBitRight);
    EXPECT_EQ(read(32767, 32767, 0x3C), kBitDown | kBitLeft | kBitUp | kBitRight);
    EXPECT_EQ(read(32767, 32767, 0), 0u);
}

TEST_F(Joystick, ButtonTwoIsIgnoredWhenButtonOneChangesInTheSameReading)
{
    read(32767, 32767, 0x02);
    ASSERT_EQ(state, kBitCentre);
    // Button 1 pressed and button 2 released at once: button 1 decides.
    EXPECT_EQ(read(32767, 32767, 0x01), kBitCentre);
    // Button 1 released, button 2 pressed at once: button 1 decides, the centre goes out.
    EXPECT_EQ(read(32767, 32767, 0x02), 0u);
}

TEST_F(Joystick, UnchangedButtonsLeaveTheButtonBitsAlone)
{
    read(32767, 32767, 0x04);
    ASSERT_EQ(state, kBitDown);
    // The Y axis clears down, the held button 3 does not light it again until it changes.
    EXPECT_EQ(read(32767, 0, 0x04), kBitUp);
    EXPECT_EQ(read(32767, 32767, 0x04), 0u);
}

TEST(Geometry, TheWindowsClientAreaGivesTheseShapes)
{
    // 490 x 300 window with thin borders: a 484 x 294 client area.
    ShapeGeometry g = computeGeometry(484, 294);
    const int a = 87, cx = 242, cy = 147;
    EXPECT_EQ(g.up[0], (Point{cx, 20}));
    EXPECT_EQ(g.up[1], (Point{cx + 30, 20 + a / 2}));
    EXPECT_EQ(g.up[3], (Point{cx + 15, 20 + a}));
    EXPECT_EQ(g.up[6], (Point{cx - 30, 20 + a / 2}));
    EXPECT_EQ(g.down[0], (Point{cx, 294 - 20}));
    EXPECT_EQ(g.down[4], (Point{cx - 15, 294 - 20 - a}));
    const int x0 = cx - 30 - a - 10;
    EXPECT_EQ(g.left[0], (Point{x0, cy}));
    EXPECT_EQ(g.left[1], (Point{x0 + a / 2, cy + 30}));
    EXPECT_EQ(g.left[4], (Point{x0 + a, cy - 15}));
    const int x1 = cx + 30 + a + 10;
    EXPECT_EQ(g.right[0], (Point{x1, cy}));
    EXPECT_EQ(g.right[3], (Point{x1 - a, cy + 15}));
    EXPECT_EQ(g.centre, (Box{cx - 30, cy - 30, cx + 30, cy + 30}));
    // Five circles: d = (484 - 90) / 5 = 78, gap 15, top (294 - 78) / 2 = 108.
    EXPECT_EQ(g.circles[0], (Box{15, 108, 93, 186}));
    EXPECT_EQ(g.circles[4], (Box{75 + 312, 108, 465, 186}));
    // Two circles centred with 50 between them.
    EXPECT_EQ(g.pair[0], (Box{139, 108, 217, 186}));
    EXPECT_EQ(g.pair[1], (Box{267, 108, 345, 186}));
}

TEST(Geometry, ArrowsDoNotOverlapTheCentreAndCirclesStayInside)
{
    for (int width : {300, 484, 800}) {
        for (int height : {200, 294, 600}) {
            ShapeGeometry g = computeGeometry(width, height);
            EXPECT_LT(g.left[3].x, g.centre.left) << width << "x" << height;
            EXPECT_GT(g.right[3].x, g.centre.right) << width << "x" << height;
            EXPECT_LE(g.up[3].y, g.down[3].y) << width << "x" << height;
            for (const Box& c : g.circles) {
                EXPECT_GE(c.left, 0);
                EXPECT_LE(c.right, width);
                EXPECT_GE(c.top, 0);
                EXPECT_LE(c.bottom, height);
                EXPECT_EQ(c.right - c.left, c.bottom - c.top);
            }
            EXPECT_LT(g.pair[0].right, g.pair[1].left);
        }
    }
}

TEST(Geometry, WideAndLowAreaUsesTheHeightForTheDiameter)
{
    ShapeGeometry g = computeGeometry(1000, 140);  // d1 = 182 >= d2 = 100
    EXPECT_EQ(g.circles[0], (Box{83, 15, 183, 115}));  // gap (1000 - 500) / 6 = 83
    EXPECT_EQ(g.circles[4].right, 5 * (83 + 100));
}

TEST(Shapes, EachDisplayDrawsItsShapesAndLightsTheRightOnes)
{
    ShapeGeometry g = computeGeometry(484, 294);
    Shape shapes[5];

    ASSERT_EQ(shapesToDraw(g, true, kModelUsb, kBitUp | kBitCentre, shapes), 5);
    EXPECT_TRUE(shapes[0].polygon && shapes[0].points == g.up && shapes[0].lit);
    EXPECT_FALSE(shapes[1].lit || shapes[2].lit || shapes[3].lit);
    EXPECT_TRUE(!shapes[4].polygon && shapes[4].box == g.centre && shapes[4].lit);

    // The joystick figure is the same for the serial model.
    ASSERT_EQ(shapesToDraw(g, true, kModelSerial, kBitDown, shapes), 5);
    EXPECT_TRUE(shapes[1].points == g.down && shapes[1].lit);

    ASSERT_EQ(shapesToDraw(g, false, kModelUsb, kBitCentre | kBitDown, shapes), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(shapes[i].box, g.circles[i]);
        EXPECT_EQ(shapes[i].lit, i == 0 || i == 4) << i;
    }

    ASSERT_EQ(shapesToDraw(g, false, kModelSerial, applyPortByte(0, 'J', false), shapes), 2);
    EXPECT_TRUE(shapes[0].box == g.pair[0] && !shapes[0].lit);
    EXPECT_TRUE(shapes[1].box == g.pair[1] && shapes[1].lit);
}

TEST(DialogPlacement, CentredButKeptOnTheScreen)
{
    EXPECT_EQ(centredOrigin(640, 200, 1280), 540);
    EXPECT_EQ(centredOrigin(50, 200, 1280), 0);
    EXPECT_EQ(centredOrigin(1250, 200, 1280), 1080);
}

TEST(Reply, ClosingLineFeedCarriageReturnIsRepaired)
{
    ReplyBuffer reply;
    for (char c : std::string("Fennick serial 2.1\n\r"))
        reply.append(static_cast<uint8_t>(c));
    EXPECT_EQ(reply.received(), 20u);
    EXPECT_EQ(reply.text(), "Fennick serial 2.1\r\n");
}

TEST(Reply, OnlyAClosingPairIsSwapped)
{
    std::string text = "a\n\rb";
    repairLineEnding(text);
    EXPECT_EQ(text, "a\n\rb");
    text = "ok\r\n";
    repairLineEnding(text);
    EXPECT_EQ(text, "ok\r\n");
    text = "\n\r";
    repairLineEnding(text);
    EXPECT_EQ(text, "\r\n");
    text = "\r";
    repairLineEnding(text);
    EXPECT_EQ(text, "\r");
}

TEST(Reply, TextEndsAtTheFirstZeroByte)
{
    ReplyBuffer reply;
    for (char c : std::string("ab\n\r", 4))
        reply.append(static_cast<uint8_t>(c));
    reply.append(0);
    reply.append('z');
    EXPECT_EQ(reply.received(), 6u);
    EXPECT_EQ(reply.text(), "ab\r\n");
}

TEST(Reply, AReplyThatFillsTheBufferKeepsTheFirst128BytesAndDropsTheRest)
{
    ReplyBuffer reply;
    std::string sent;
    for (int i = 0; i < 300; ++i)
        sent += static_cast<char>('A' + i % 26);
    for (char c : sent)
        reply.append(static_cast<uint8_t>(c));
    EXPECT_EQ(reply.received(), 300u);
    EXPECT_EQ(reply.stored(), ReplyBuffer::kCapacity);
    EXPECT_EQ(reply.text(), sent.substr(0, 128));

    // Exactly full, ending in "\n\r": repaired like any other reply.
    reply.clear();
    std::string full(126, 'x');
    full += "\n\r";
    for (char c : full)
        reply.append(static_cast<uint8_t>(c));
    EXPECT_EQ(reply.text(), std::string(126, 'x') + "\r\n");

    reply.clear();
    EXPECT_EQ(reply.received(), 0u);
    EXPECT_EQ(reply.text(), "");
}

}  // namespace
