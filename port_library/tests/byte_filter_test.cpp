// Received-byte routing, the make/break filter with its held slots, translation and wake-up.
#include "byte_filter.h"

#include <gtest/gtest.h>
#include <cstring>
#include <string>

using namespace swibus;

namespace {

const auto* kLetters = reinterpret_cast<const std::uint8_t*>(kDefaultCodes);

// Feeds a byte sequence through the filter with switch processing on and returns, in order,
// what a client would receive (translated bytes of the Client route only).
struct Feed {
    std::string codes = kDefaultCodes;
    HeldCodes held{};

    std::string run(const std::string& bytes)
    {
        std::string delivered;
        for (unsigned char b : bytes) {
            ByteDecision d = routeByte(b, true, reinterpret_cast<const std::uint8_t*>(codes.data()), kLetters, held);
            if (d.route == ByteRoute::Client)
                delivered += char(d.value);
        }
        return delivered;
    }
};

}  // namespace

TEST(MakeBreakFilter, PressAndReleasePassAndRepeatedMakeIsDropped)
{
    Feed f;
    EXPECT_EQ(f.run("DDd"), "Dd");
    EXPECT_EQ(f.run("LRlr"), "LRlr");
    // Nothing is left held after matched releases.
    for (int i = 0; i < kHeldSlots; ++i)
        EXPECT_EQ(f.held.slot[i], 0) << i;
}

TEST(MakeBreakFilter, UnmatchedBreakIsDroppedAndClearingHeldDropsTheRelease)
{
    Feed f;
    EXPECT_EQ(f.run("u"), "");
    EXPECT_EQ(f.run("U"), "U");
    clearHeld(f.held);  // an activation change
    EXPECT_EQ(f.run("u"), "");
}

TEST(MakeBreakFilter, SeventhMakeIsDeliveredButNotHeldSoItsBreakIsDropped)
{
    // Only six make positions exist, so a seventh held code needs a change of the configured
    // codes while six are still held (breaks that never match keep them held).
    Feed f;
    f.codes = "ABCDFGHIJKLM";  // makes A C F H J L; their upper-case breaks never match
    EXPECT_EQ(f.run("ACFHJL"), "LRUDJD");
    f.codes = "ABCDFGHIJKNn";  // Switch 2 reconfigured to N/n while all six slots are taken
    EXPECT_EQ(f.run("N"), "D") << "seventh make must be delivered";
    EXPECT_EQ(f.run("n"), "") << "its break finds no slot";
    EXPECT_EQ(f.run("N"), "D") << "not held, so pressing it again is no repeat";
    EXPECT_EQ(f.run("A"), "") << "the six held codes are still held";
}

TEST(MakeBreakFilter, NonLetterPairsReleaseTheirOwnPress)
{
    Feed f;
    f.codes = "LlRrUuDd12Dd";  // Fire: make '1', break '2'
    EXPECT_EQ(f.run("1212"), "JjJj") << "every press and release of a digit pair";
    EXPECT_EQ(f.run("2"), "") << "a break whose press is not held is still dropped";
    f.codes = "LlRrUu+-12*/";  // Down and Switch 2 on symbols
    EXPECT_EQ(f.run("+1-2*/"), "DJdjDd");
    for (int i = 0; i < kHeldSlots; ++i)
        EXPECT_EQ(f.held.slot[i], 0) << i;
    // A break releases only the press of its own pair (or a letter of its lower-case form).
    EXPECT_EQ(f.run("1-"), "J");
    EXPECT_EQ(f.run("1"), "") << "'1' is still held";
}

TEST(MakeBreakFilter, ByteThatIsBothMakeAndBreakCountsAsMake)
{
    Feed f;
    f.codes = "LlRrUuDdJLDd";  // 'L' is Left's make and Fire's break
    EXPECT_EQ(f.run("L"), "L");
    EXPECT_EQ(f.run("L"), "") << "second 'L' is a repeated make, not a release";
    EXPECT_EQ(f.run("l"), "l");
}

TEST(Translation, ConfiguredCodesBecomeTheSwitchLettersAndOthersPassUnchanged)
{
    std::string codes = "abcdefghijkl";
    auto c = reinterpret_cast<const std::uint8_t*>(codes.data());
    EXPECT_EQ(translateByte('a', c, kLetters), 'L');
    EXPECT_EQ(translateByte('j', c, kLetters), 'j');
    EXPECT_EQ(translateByte('k', c, kLetters), 'D');  // Switch 2 make
    EXPECT_EQ(translateByte('1', c, kLetters), '1');
    EXPECT_EQ(translateByte(0xE9, c, kLetters), 0xE9);
    // The first matching position wins when a code is configured twice.
    codes = "LlRrUuDdJjLl";
    EXPECT_EQ(translateByte('L', c, kLetters), 'L');
}

TEST(Routing, SpecialBytesAndRawPorts)
{
    HeldCodes held{};
    auto c = kLetters;
    ByteDecision e = routeByte('E', true, c, kLetters, held);
    EXPECT_EQ(e.route, ByteRoute::DeviceEvent);
    EXPECT_EQ(e.deviceEvent, 0);
    EXPECT_TRUE(e.keepAwake);
    EXPECT_EQ(routeByte('e', true, c, kLetters, held).deviceEvent, 1);
    for (char b : std::string("VWXYZvwxyz")) {
        ByteDecision d = routeByte(std::uint8_t(b), true, c, kLetters, held);
        EXPECT_EQ(d.route, ByteRoute::OutsideWindow) << b;
        EXPECT_EQ(d.value, std::uint8_t(b)) << "outside windows get the byte untranslated";
    }
    EXPECT_EQ(routeByte('U', true, c, kLetters, held).route, ByteRoute::Client);
    // Raw: everything, 'E' included, passes unchanged, nothing held, nothing kept awake.
    HeldCodes before = held;
    for (int b : {int('E'), int('V'), int('U'), int('U'), int('u'), 0, 255}) {
        ByteDecision d = routeByte(std::uint8_t(b), false, c, kLetters, held);
        EXPECT_EQ(d.route, ByteRoute::Raw);
        EXPECT_EQ(d.value, std::uint8_t(b));
        EXPECT_FALSE(d.keepAwake);
    }
    EXPECT_EQ(0, memcmp(&before, &held, sizeof held));
}

TEST(WakeUp, SaverRunningFirstPressOnlyWakesAndItsReleaseIsSwallowed)
{
    std::uint8_t wake = 0;
    WakeDecision d = decideWake({true, false, true}, 'D', false, kLetters, wake);
    EXPECT_EQ(d.action, WakeAction::WakeScreen);
    EXPECT_TRUE(d.endSaver);
    EXPECT_FALSE(d.clearMonitorOff);
    EXPECT_EQ(wake, 'D');
    // The shell cleared SaverActive; the release is swallowed once.
    EXPECT_EQ(decideWake({true, false, false}, 'd', true, kLetters, wake).action, WakeAction::SwallowWakeRelease);
    EXPECT_EQ(wake, 0);
    d = decideWake({true, false, false}, 'D', false, kLetters, wake);
    EXPECT_EQ(d.action, WakeAction::Deliver);
    EXPECT_TRUE(d.restartIdleTimers);
}

TEST(WakeUp, ReleaseOfADeliveredPressIsDeliveredWhenTheSaverStartedInBetween)
{
    // "D" delivered, the saver starts, then "d u U ..." (here through the filter as the reader does).
    Feed f;
    std::uint8_t wake = 0;
    ScreenState screen{true, false, false};
    std::string delivered;
    auto feed = [&](char b) {
        ByteDecision r = routeByte(std::uint8_t(b), true, kLetters, kLetters, f.held);
        if (r.route != ByteRoute::Client)
            return;
        WakeDecision d = decideWake(screen, std::uint8_t(b), r.release, kLetters, wake);
        if (d.action == WakeAction::Deliver || d.action == WakeAction::DeliverAndWake)
            delivered += char(r.value);
        if (d.endSaver)
            screen.saverActive = false;
    };
    feed('D');
    screen.saverActive = true;
    for (char b : std::string("dUuDd"))
        feed(b);
    EXPECT_EQ(delivered, "DdUuDd");
    EXPECT_EQ(wake, 0) << "a release never becomes the waking code";
    EXPECT_FALSE(screen.saverActive) << "the release also woke the screen";
    // A press that wakes the screen is swallowed with its release, and nothing after them is.
    screen.saverActive = true;
    for (char b : std::string("JjJj"))
        feed(b);
    EXPECT_EQ(delivered, "DdUuDdJj");
}

TEST(WakeUp, MonitorOffAndWakeUpSwitchedOff)
{
    std::uint8_t wake = 0;
    WakeDecision d = decideWake({true, true, false}, 'J', false, kLetters, wake);
    EXPECT_EQ(d.action, WakeAction::WakeScreen);
    EXPECT_TRUE(d.clearMonitorOff);
    EXPECT_FALSE(d.endSaver);
    // Another byte than the waking code's release is delivered.
    EXPECT_EQ(decideWake({true, false, false}, 'L', false, kLetters, wake).action, WakeAction::Deliver);
    EXPECT_EQ(wake, 'J');
    // With wake-up off a sleeping screen does not stop delivery and timers are left alone.
    std::uint8_t none = 0;
    d = decideWake({false, true, true}, 'D', false, kLetters, none);
    EXPECT_EQ(d.action, WakeAction::Deliver);
    EXPECT_FALSE(d.restartIdleTimers);
    EXPECT_EQ(none, 0);
}

// What the reader does with each byte, the wake code kept in the held codes' wake slot as the
// shell keeps it; `activate` stands for another window becoming the port's active one.
struct WakeReplay {
    const std::uint8_t* codes;
    HeldCodes held{};
    ScreenState screen{true, false, false};
    std::string delivered;

    void feed(const std::string& bytes)
    {
        for (char c : bytes) {
            std::uint8_t b = std::uint8_t(c);
            ByteDecision r = routeByte(b, true, codes, kLetters, held);
            if (r.route != ByteRoute::Client)
                continue;
            WakeDecision d = decideWake(screen, b, r.release, codes, held.slot[kWakeSlot]);
            if (d.action == WakeAction::Deliver || d.action == WakeAction::DeliverAndWake)
                delivered += char(r.value);
            if (d.endSaver)
                screen.saverActive = false;
        }
    }
    void activate() { clearHeld(held); }
};

TEST(WakeUp, AnActivationChangeForgetsTheWakeCodeSoNoDeliveredReleaseIsSwallowed)
{
    WakeReplay r{kLetters, {}, {true, false, false}, {}};
    r.screen.saverActive = true;
    r.feed("J");  // wakes the screen only
    r.activate();
    r.feed("jJj");  // the orphan release is dropped; the next press and its release are the user's
    EXPECT_EQ(r.delivered, "Jj");
}

TEST(WakeUp, TheWakeReleaseIsMatchedByItsOwnCodeNotByItsLetter)
{
    // Switch 2 sends "S"/"s" and reaches clients as Down's letter: waking with "S" must not swallow
    // Down's own release.
    static const std::uint8_t codes[] = "LlRrUuDdJjSs";
    WakeReplay r{codes, {}, {true, false, false}, {}};
    r.screen.saverActive = true;
    r.feed("S");
    r.screen.saverActive = false;
    r.feed("Dd");
    EXPECT_EQ(r.delivered, "Dd");
    r.feed("sDd");  // its own release is swallowed, nothing else
    EXPECT_EQ(r.delivered, "DdDd");
}
