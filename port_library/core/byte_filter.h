// What happens to one byte received from the switch device: routing, make/break filter, translation, wake-up.
#pragma once
#include <cstdint>

namespace swibus {

inline constexpr int kCodeCount = 12;       // make/break codes, Left Right Up Down Fire Switch2
inline constexpr int kHeldSlots = 6;        // make codes remembered as held
inline constexpr char kDefaultCodes[] = "LlRrUuDdJjDd";

// Make codes currently held down; one set for all ports (0 = empty slot).
struct HeldCodes {
    std::uint8_t slot[8];  // 6 used, 2 reserved to keep the shared layout aligned
};

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

// wakeCode belongs to the reader thread: the translated code of the press that woke the screen.
// Only a press sets it; a release (`release`, from routeByte) is never swallowed unless it belongs
// to that press, so a key pressed before the screen went to sleep is always let go.
WakeDecision decideWake(const ScreenState& screen, std::uint8_t translated, bool release, std::uint8_t& wakeCode);

}  // namespace swibus
