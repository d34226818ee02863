// What happens to one byte received from the switch device: routing, make/break filter, translation, wake-up.
#pragma once
#include <cstdint>

namespace swibus {

inline constexpr int kCodeCount = 12;       // make/break codes, Left Right Up Down Fire Switch2
inline constexpr int kHeldSlots = 6;        // make codes remembered as held
inline constexpr char kDefaultCodes[] = "LlRrUuDdJjDd";

// Make codes currently held down; one set for all ports (0 = empty slot).
struct HeldCodes {
    std::uint8_t slot[8];  // 6 held codes, the wake code, 1 reserved to keep the shared layout aligned
};
// The make code of the press that only woke the screen (0: none). It lives with the held codes so
// that it is forgotten with them when the active window changes: a stale one would swallow the
// release of a later press that was delivered.
inline constexpr int kWakeSlot = 6;

// Whether break code b releases a press of make code `make`: the make of b's own pair, or a code
// whose lower-case form b is (so "d" also releases a "D" held through Switch 2's pair).
bool releasesMake(std::uint8_t b, std::uint8_t make, const std::uint8_t* codes);

void clearHeld(HeldCodes& held);

// 'A'..'Z' to lower case; every other byte unchanged.
constexpr std::uint8_t lowerLetter(std::uint8_t b) { return (b >= 'A' && b <= 'Z') ? std::uint8_t(b + 32) : b; }

enum class ByteRoute {
    Raw,            // switch processing off: deliver the byte as it is, nothing else
    DeviceEvent,    // "E"/"e": to the server only
    OutsideWindow,  // "V".."Z"/"v".."z": to the first existing outside window class, untranslated
    Dropped,        // repeated make or unmatched break
    Client,         // deliver `value` (translated) subject to the wake-up decision
};

struct ByteDecision {
    ByteRoute route;
    std::uint8_t value;     // byte to deliver (translated for Client)
    int deviceEvent;        // DeviceEvent: 0 for "E", 1 for "e"
    bool keepAwake;         // keep the system and display awake before anything else
    bool release;           // Client: a break that released a held press
    bool orphanBreak = false;  // Dropped: a break code whose press is not held (here any more)
};

// codes: the 12 configured codes (PortInput); letters: what clients get (DefaultInput).
ByteDecision routeByte(std::uint8_t b, bool switchProcessing, const std::uint8_t* codes, const std::uint8_t* letters,
                       HeldCodes& held);

// First configured position holding b gives the letter at that position; no match keeps b.
std::uint8_t translateByte(std::uint8_t b, const std::uint8_t* codes, const std::uint8_t* letters);

// ---- wake-up -----------------------------------------------------------------
struct ScreenState {
    bool doWakeUp;
    bool monitorOff;
    bool saverActive;
};

enum class WakeAction {
    Deliver,             // send the byte to the receiver
    SwallowWakeRelease,  // release of the press that woke the screen (wakes a screen asleep again)
    WakeScreen,          // screen asleep: this press only wakes it
    DeliverAndWake,      // screen asleep: a release whose press was delivered still goes out, and wakes
};

struct WakeDecision {
    WakeAction action;
    bool restartIdleTimers;  // Deliver with wake-up on: restart the low-power and saver timers
    bool clearMonitorOff;    // the screen was asleep: clear the monitor flag
    bool endSaver;           // the screen was asleep: end the screen saver (middle click) and clear its flag
};

// wakeCode: the received make code of the press that woke the screen (the held codes' wake slot).
// Only a press sets it; a release (`release`, from routeByte) is swallowed only when its received
// code releases that very press, so a key pressed before the screen went to sleep is always let go,
// and a switch whose code shares a letter with another's never swallows the other's release.
WakeDecision decideWake(const ScreenState& screen, std::uint8_t received, bool release, const std::uint8_t* codes,
                        std::uint8_t& wakeCode);

}  // namespace swibus
