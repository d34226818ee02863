// The player's exact effect sequences: modifiers and their latches, named keys, mouse, pauses, delays, text, composition.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "macro_player.h"

using namespace fennick::macro;
using Events = std::vector<std::string>;

namespace {

// A US-like layout: letters and digits on their keys, capitals and "$" with Shift,
// "{" and "}" with Shift on 0xDB/0xDD, no key for accents or letters above 0x7F unless
// a test adds one. Scan codes are fixed per key. Every effect is written as one line:
//   "Shift down 2a", "A up 1e", "Home down e047" (e = extended), "mouse 2", "sleep 500".
class FakeSystem : public MacroEffects {
public:
    FakeSystem()
    {
        for (char c = 'a'; c <= 'z'; ++c)
            keys[c] = static_cast<std::int16_t>(c - 'a' + 'A');
        for (char c = 'A'; c <= 'Z'; ++c)
            keys[c] = static_cast<std::int16_t>(0x100 | c);
        for (char c = '0'; c <= '9'; ++c)
            keys[c] = c;
        keys[' '] = 0x20;
        keys['$'] = 0x134;
        keys['{'] = 0x1DB;
        keys['}'] = 0x1DD;
        keys['@'] = 0x632;  // Ctrl+Alt+2, as on layouts with AltGr
    }

    void key(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override
    {
        char line[64];
        std::snprintf(line, sizeof(line), "%s %s %s%02x", name(vk).c_str(), (flags & kKeyUp) ? "up" : "down",
                      (flags & kKeyExtended) ? "e0" : "", scan);
        events.push_back(line);
        if (flags & ~(kKeyUp | kKeyExtended))
            events.push_back("unexpected key flags");
    }
    void mouse(std::uint32_t flags) override { events.push_back("mouse " + std::to_string(flags)); }
    void sleep(std::uint32_t ms) override { events.push_back("sleep " + std::to_string(ms)); }
    std::int16_t keyForCharacter(char c) override
    {
        auto found = keys.find(c);
        return found == keys.end() ? -1 : found->second;
    }
    std::uint32_t scanCodeForKey(std::uint32_t vk) override
    {
        static const std::map<std::uint32_t, std::uint32_t> scans = {
            {0x10, 0x2A}, {0x11, 0x1D}, {0x12, 0x38}, {'A', 0x1E}, {'B', 0x30}, {'C', 0x2E}, {'E', 0x12},
            {'H', 0x23}, {'L', 0x26}, {'O', 0x18}, {'S', 0x1F}, {'X', 0x2D}, {'4', 0x05}, {'2', 0x03},
            {0x24, 0x147}, {0x0D, 0x1C}, {0xDB, 0x1A}, {0xDD, 0x1B}, {0x6F, 0x35}, {0xDE, 0x28}};
        auto found = scans.find(vk);
        return found == scans.end() ? 0x77 : found->second;
    }

    static std::string name(std::uint8_t vk)
    {
        switch (vk) {
        case 0x10: return "Shift";
        case 0x11: return "Ctrl";
        case 0x12: return "Alt";
        case 0x0D: return "Enter";
        case 0x24: return "Home";
        case 0x20: return "Space";
        default: break;
        }
        if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
            return std::string(1, static_cast<char>(vk));
        char hex[8];
        std::snprintf(hex, sizeof(hex), "vk%02x", vk);
        return hex;
    }

    std::map<char, std::int16_t> keys;
    Events events;
};

Events play(const std::string& macro, int delay = 0, FakeSystem system = FakeSystem())
{
    playMacro(macro, delay, system);
    return system.events;
}

}  // namespace

TEST(MacroPlayer, TextIsTypedOnlyWhenTerminated)
{
    EXPECT_EQ(play("Hello$"), Events({"Shift down 2a", "H down 23", "H up 23", "Shift up 2a", "E down 12",
                                      "E up 12", "L down 26", "L up 26", "L down 26", "L up 26", "O down 18",
                                      "O up 18"}));
    EXPECT_EQ(play("Hello"), Events());
    EXPECT_EQ(play("a$b"), Events({"A down 1e", "A up 1e"}));
}

TEST(MacroPlayer, DoubleDollarTypesADollarInsideTheItem)
{
    EXPECT_EQ(play("a$$b$"), Events({"A down 1e", "A up 1e", "Shift down 2a", "4 down 05", "4 up 05",
                                     "Shift up 2a", "B down 30", "B up 30"}));
}

TEST(MacroPlayer, ModifierNamesIgnoreCaseAndOneShotCoversTheNextItem)
{
    EXPECT_EQ(play("{ctrl}$x$"), Events({"Ctrl down 1d", "X down 2d", "X up 2d", "Ctrl up 1d"}));
    EXPECT_EQ(play("{SHIFT}$a$b$"),
              Events({"Shift down 2a", "A down 1e", "A up 1e", "Shift up 2a", "B down 30", "B up 30"}));
}

TEST(MacroPlayer, SecondModifierItemHoldsUntilTheThird)
{
    EXPECT_EQ(play("{SHIFT}${SHIFT}$a$b${SHIFT}$c$"),
              Events({"Shift down 2a", "A down 1e", "A up 1e", "B down 30", "B up 30", "Shift up 2a",
                      "C down 2e", "C up 2e"}));
}

TEST(MacroPlayer, CustomMacroBoundsDoNothingAndAreNoStep)
{
    // Neither typed nor delayed, and a one-shot Shift still covers the next real item.
    EXPECT_EQ(play("{SHIFT}${MACRO Sign}$a${/MACRO Sign}$b$", 100),
              Events({"Shift down 2a", "sleep 100", "A down 1e", "A up 1e", "Shift up 2a", "sleep 100",
                      "B down 30", "B up 30", "sleep 100"}));
}

TEST(MacroPlayer, LatchedModifiersAreReleasedAtTheEnd)
{
    EXPECT_EQ(play("{ALT}$"), Events({"Alt down 38", "Alt up 38"}));
    // Held and one-shot alike, in the order Alt, Ctrl, Shift.
    EXPECT_EQ(play("{SHIFT}${SHIFT}${CTRL}${ALT}${ALT}$"),
              Events({"Shift down 2a", "Ctrl down 1d", "Alt down 38", "Alt up 38", "Ctrl up 1d", "Shift up 2a"}));
    // Released by the third item: nothing more at the end.
    EXPECT_EQ(play("{CTRL}${CTRL}${CTRL}$"), Events({"Ctrl down 1d", "Ctrl up 1d"}));
}

TEST(MacroPlayer, PausesSleepAndLeaveOneShotModifiersDown)
{
    EXPECT_EQ(play("{SHIFT}${PAUSE 500}$a$"),
              Events({"Shift down 2a", "sleep 500", "A down 1e", "A up 1e", "Shift up 2a"}));
    EXPECT_EQ(play("{PAUSE }$"), Events({"sleep 0"}));
    EXPECT_EQ(play("{pause 25}$"), Events({"sleep 25"}));
}

TEST(MacroPlayer, MalformedPauseIsTypedAsText)
{
    Events expected = {"Shift down 2a", "vkdb down 1a", "vkdb up 1a", "Shift up 2a"};
    Events events = play("{PAUSE 12x}$");
    // "{", then P A U S E with Shift, a space, 1, 2, x, then "}".
    ASSERT_EQ(events.size(), 4u + 5 * 4 + 2 + 2 + 2 + 2 + 4);
    EXPECT_EQ(Events(events.begin(), events.begin() + 4), expected);
    EXPECT_EQ(events[events.size() - 6], "X down 2d");
    EXPECT_EQ(events[events.size() - 3], "vkdd down 1b");
    for (const std::string& event : events)
        EXPECT_EQ(event.find("sleep"), std::string::npos);
}

TEST(MacroPlayer, UnknownNameInBracesIsTypedAsText)
{
    Events events = play("{xo}$");
    EXPECT_EQ(events, Events({"Shift down 2a", "vkdb down 1a", "vkdb up 1a", "Shift up 2a", "X down 2d",
                              "X up 2d", "O down 18", "O up 18", "Shift down 2a", "vkdd down 1b",
                              "vkdd up 1b", "Shift up 2a"}));
}

TEST(MacroPlayer, DelayFollowsEveryItemPausesAndModifiersIncluded)
{
    EXPECT_EQ(play("a$b$", 100), Events({"A down 1e", "A up 1e", "sleep 100", "B down 30", "B up 30", "sleep 100"}));
    EXPECT_EQ(play("{SHIFT}${PAUSE 5}$a$", 10),
              Events({"Shift down 2a", "sleep 10", "sleep 5", "sleep 10", "A down 1e", "A up 1e", "Shift up 2a",
                      "sleep 10"}));
    EXPECT_EQ(play("a$", 0), Events({"A down 1e", "A up 1e"}));
    EXPECT_EQ(play("a$", -5), Events({"A down 1e", "A up 1e"}));
}

TEST(MacroPlayer, NamedKeysCarryTheirScanCodeAndExtendedFlag)
{
    // Scan codes come from the layout for the key's own virtual key, cut to a byte.
    EXPECT_EQ(play("{HOME}$"), Events({"Home down e047", "Home up e047"}));
    EXPECT_EQ(play("{NUMPADOFF7}$"), Events({"Home down 47", "Home up 47"}));
    EXPECT_EQ(play("{LF}$"), Events({"Enter down 1c", "Enter up 1c"}));
    EXPECT_EQ(play("{NUMPADENTER}$"), Events({"Enter down e01c", "Enter up e01c"}));
    EXPECT_EQ(play("{DIVIDE}$"), Events({"vk6f down 35", "vk6f up 35"}));
    EXPECT_EQ(play("{ALT}${F4}$"), Events({"Alt down 38", "vk73 down 77", "vk73 up 77", "Alt up 38"}));
}

TEST(MacroPlayer, MouseActionsAtThePointerThenOneShotRelease)
{
    EXPECT_EQ(play("{MouseClickLeft}$"), Events({"mouse 2", "mouse 4"}));
    EXPECT_EQ(play("{mouseclickright}$"), Events({"mouse 8", "mouse 16"}));
    EXPECT_EQ(play("{CTRL}${MouseDoubleClick}$a$"),
              Events({"Ctrl down 1d", "mouse 2", "mouse 4", "mouse 2", "mouse 4", "Ctrl up 1d", "A down 1e",
                      "A up 1e"}));
}

TEST(MacroPlayer, CharacterModifiersDownInOrderShiftCtrlAltAndUpInTheSameOrder)
{
    FakeSystem system;
    system.keys['#'] = 0x733;  // Shift+Ctrl+Alt+3
    EXPECT_EQ(play("#$", 0, system), Events({"Shift down 2a", "Ctrl down 1d", "Alt down 38", "3 down 77", "3 up 77",
                                             "Shift up 2a", "Ctrl up 1d", "Alt up 38"}));
    EXPECT_EQ(play("@$"), Events({"Ctrl down 1d", "Alt down 38", "2 down 03", "2 up 03", "Ctrl up 1d", "Alt up 38"}));
}

TEST(MacroPlayer, LatchedModifierIsNotPressedOrReleasedAgainByACharacter)
{
    // Releasing the held Shift for the capital would type the rest in lower case.
    EXPECT_EQ(play("{SHIFT}${SHIFT}$Ab$c${SHIFT}$"),
              Events({"Shift down 2a", "A down 1e", "A up 1e", "B down 30", "B up 30", "C down 2e", "C up 2e",
                      "Shift up 2a"}));
    // One-shot Shift: the whole item is shifted, whether its first letter is a capital or not.
    EXPECT_EQ(play("{SHIFT}$Ab$"), play("{SHIFT}$ab$"));
    // A one-shot Ctrl with a capital: Shift is still pressed for the capital alone.
    EXPECT_EQ(play("{CTRL}$A$"), Events({"Ctrl down 1d", "Shift down 2a", "A down 1e", "A up 1e", "Shift up 2a",
                                         "Ctrl up 1d"}));
}

TEST(MacroPlayer, ComposedCharactersOnALayoutWithDeadKeys)
{
    FakeSystem deadKeys;
    deadKeys.keys['\xB4'] = 0xDE;   // acute dead key
    deadKeys.keys['\xA8'] = 0x1DE;  // diaeresis with Shift
    EXPECT_EQ(play("\xE9$", 0, deadKeys), Events({"vkde down 28", "vkde up 28", "E down 12", "E up 12"}));
    EXPECT_EQ(play("\xEB$", 0, deadKeys), Events({"Shift down 2a", "vkde down 28", "vkde up 28", "Shift up 2a",
                                                  "E down 12", "E up 12"}));
    // A layout with its own key for the letter types it directly.
    deadKeys.keys['\xE9'] = 0x32;
    EXPECT_EQ(play("\xE9$", 0, deadKeys), Events({"2 down 03", "2 up 03"}));
}

TEST(MacroPlayer, CompositionPartsWithoutAKeyAreSkipped)
{
    // No acute key on this layout: only the base letter remains.
    EXPECT_EQ(play("\xE9$"), Events({"E down 12", "E up 12"}));
    EXPECT_EQ(play("\xC6$"), Events({"Shift down 2a", "A down 1e", "A up 1e", "Shift up 2a", "Shift down 2a",
                                     "E down 12", "E up 12", "Shift up 2a"}));
    EXPECT_EQ(play("\xDF$"), Events({"S down 1f", "S up 1f", "S down 1f", "S up 1f"}));
}

TEST(MacroPlayer, CharactersThatTypeNothing)
{
    // Multiplication, thorns, division, and characters outside the composition range.
    EXPECT_EQ(play("\xD7\xDE\xF7\xFE\x80\xA9\x01$"), Events());
    // Still an item: the one-shot release and the delay follow it.
    EXPECT_EQ(play("{SHIFT}$\xD7$a$", 3), Events({"Shift down 2a", "sleep 3", "Shift up 2a", "sleep 3", "A down 1e",
                                                  "A up 1e", "sleep 3"}));
}

TEST(MacroPlayer, OverlongItemIsTypedWholeAsOneTextItem)
{
    std::string text(600, 'a');
    Events events = play("{SHIFT}$" + text + "$b$", 7);
    ASSERT_EQ(events.size(), 2u + 600 * 2 + 1 + 1 + 2 + 1);
    EXPECT_EQ(events[0], "Shift down 2a");
    EXPECT_EQ(events[1], "sleep 7");
    EXPECT_EQ(std::count(events.begin(), events.end(), std::string("A down 1e")), 600);
    // One release and one delay after the whole item, not after each piece.
    EXPECT_EQ(Events(events.end() - 5, events.end()), Events({"Shift up 2a", "sleep 7", "B down 30", "B up 30",
                                                             "sleep 7"}));
    EXPECT_EQ(std::count(events.begin(), events.end(), std::string("sleep 7")), 3);
}

TEST(MacroPlayer, OverlongPauseIsTextNotAPause)
{
    std::string pause = "{PAUSE " + std::string(300, '0') + "1}";
    Events events = play(pause + "$");
    EXPECT_EQ(std::count(events.begin(), events.end(), std::string("sleep 1")), 0);
    EXPECT_EQ(std::count(events.begin(), events.end(), std::string("vk30 down 77")), 0);
    EXPECT_EQ(std::count(events.begin(), events.end(), std::string("0 down 77")), 300);
}

TEST(MacroPlayer, ModifierScanCodesAreTakenOncePerMacro)
{
    class Counting : public FakeSystem {
    public:
        std::uint32_t scanCodeForKey(std::uint32_t vk) override
        {
            if (vk == kVkShift)
                ++shiftLookups;
            return FakeSystem::scanCodeForKey(vk);
        }
        int shiftLookups = 0;
    } system;
    playMacro("ABC${SHIFT}$x$", 0, system);
    EXPECT_EQ(system.shiftLookups, 1);
}

namespace {

// Delivers effects to a FakeSystem until the given count, then stops the macro the
// way the end of the process stops its thread.
class DyingSystem : public FakeSystem {
public:
    explicit DyingSystem(int lifetime) : lifetime_(lifetime) {}
    void key(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override
    {
        die();
        FakeSystem::key(vk, scan, flags);
        down[vk] = !(flags & kKeyUp);
    }
    void mouse(std::uint32_t flags) override
    {
        die();
        FakeSystem::mouse(flags);
        if (flags & kMouseLeftDown) left = true;
        if (flags & kMouseLeftUp) left = false;
    }
    void sleep(std::uint32_t ms) override
    {
        die();
        FakeSystem::sleep(ms);
    }
    void revive() { lifetime_ = 1 << 30; }
    bool anythingDown() const
    {
        for (bool d : down)
            if (d)
                return true;
        return left;
    }

private:
    void die()
    {
        if (lifetime_-- <= 0)
            throw std::runtime_error("thread ended");
    }
    int lifetime_;
    bool down[256] = {};
    bool left = false;
};

}  // namespace

TEST(HeldInputLedger, MacroCutShortAtAnyPointLeavesNothingDownAfterReleaseAll)
{
    const std::string macro = "{SHIFT}${SHIFT}$Ab${CTRL}${HOME}${ALT}${MouseClickLeft}$@${PAUSE 5}${SHIFT}$x$";
    FakeSystem whole;
    playMacro(macro, 0, whole);
    ASSERT_GT(whole.events.size(), 20u);
    for (std::size_t cut = 0; cut <= whole.events.size(); ++cut) {
        DyingSystem system(static_cast<int>(cut));
        HeldInputLedger ledger;
        LedgerEffects tracked(system, ledger);
        try {
            playMacro(macro, 0, tracked);
        } catch (const std::runtime_error&) {
        }
        system.revive();
        ledger.releaseAll(system);
        EXPECT_FALSE(system.anythingDown()) << "cut after " << cut << " effects";
        EXPECT_TRUE(ledger.empty());
    }
}

TEST(HeldInputLedger, ReleasesInReverseOrderWithTheExtendedFlagThenButtons)
{
    HeldInputLedger ledger;
    FakeSystem system;
    ledger.keyDown(0x10, 0x2A, 0);
    ledger.keyDown(0x24, 0x47, kKeyExtended);
    ledger.keyDown(0x10, 0x2A, 0);  // twice down is still one key
    ledger.keyDown(0x11, 0x1D, 0);
    ledger.keyUp(0x11);
    ledger.mouse(kMouseLeftDown);
    ledger.mouse(kMouseRightDown);
    ledger.mouse(kMouseRightUp);
    EXPECT_FALSE(ledger.empty());
    ledger.releaseAll(system);
    EXPECT_EQ(system.events, Events({"Home up e047", "Shift up 2a", "mouse 4"}));
    EXPECT_TRUE(ledger.empty());
    system.events.clear();
    ledger.releaseAll(system);
    EXPECT_EQ(system.events, Events());
}

TEST(HeldInputLedger, CompleteMacroLeavesTheLedgerEmpty)
{
    FakeSystem system;
    HeldInputLedger ledger;
    LedgerEffects tracked(system, ledger);
    playMacro("{ALT}${ALT}$x${MouseClickRight}${SHIFT}$", 0, tracked);
    EXPECT_TRUE(ledger.empty());
    EXPECT_EQ(Events(system.events.end() - 2, system.events.end()), Events({"Alt up 38", "Shift up 2a"}));
}
