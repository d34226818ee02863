// The macro player: turns a macro string into key, mouse and sleep effects.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace fennick::macro {

// Flag and key values are those of the Win32 API, so the shell passes them through unchanged.
inline constexpr std::uint32_t kKeyExtended = 0x0001;  // KEYEVENTF_EXTENDEDKEY
inline constexpr std::uint32_t kKeyUp = 0x0002;        // KEYEVENTF_KEYUP
inline constexpr std::uint32_t kMouseLeftDown = 0x0002;
inline constexpr std::uint32_t kMouseLeftUp = 0x0004;
inline constexpr std::uint32_t kMouseRightDown = 0x0008;
inline constexpr std::uint32_t kMouseRightUp = 0x0010;
inline constexpr std::uint8_t kVkShift = 0x10;
inline constexpr std::uint8_t kVkControl = 0x11;
inline constexpr std::uint8_t kVkMenu = 0x12;  // Alt

// What the player does to the system, and the keyboard-layout questions it asks.
class MacroEffects {
public:
    virtual ~MacroEffects() = default;
    virtual void key(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) = 0;
    virtual void mouse(std::uint32_t flags) = 0;
    virtual void sleep(std::uint32_t ms) = 0;
    // Virtual key in the low byte and the modifiers in the high byte (0x100 Shift,
    // 0x200 Ctrl, 0x400 Alt); negative when the layout has no key for the character.
    virtual std::int16_t keyForCharacter(char c) = 0;
    // Scan code of a virtual key on the layout (0 when it has none).
    virtual std::uint32_t scanCodeForKey(std::uint32_t vk) = 0;
};

// Plays a macro string synchronously. With delayMs > 0 it sleeps that long after every
// item, pauses included. Every modifier it pressed is up again when it returns.
void playMacro(std::string_view macro, std::int32_t delayMs, MacroEffects& effects);

// Keys and mouse buttons that are down because of the player. When a macro is cut
// short (its thread ended with the process), releaseAll lets them go again.
class HeldInputLedger {
public:
    void keyDown(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags);
    void keyUp(std::uint8_t vk);
    void mouse(std::uint32_t flags);
    bool empty() const { return count_ == 0 && !left_ && !right_; }
    // Key-ups in the reverse order of the presses, then the mouse buttons; empties the ledger.
    void releaseAll(MacroEffects& effects);

private:
    struct HeldKey {
        std::uint8_t vk;
        std::uint8_t scan;
        std::uint32_t flags;
    };
    HeldKey keys_[256] = {};
    std::size_t count_ = 0;
    bool left_ = false;
    bool right_ = false;
};

// Passes every effect on and keeps the ledger up to date. A press is noted before it
// is sent and a release after, so a cut-short macro never leaves a key unnoted.
class LedgerEffects : public MacroEffects {
public:
    LedgerEffects(MacroEffects& inner, HeldInputLedger& ledger) : inner_(inner), ledger_(ledger) {}
    void key(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    void mouse(std::uint32_t flags) override;
    void sleep(std::uint32_t ms) override { inner_.sleep(ms); }
    std::int16_t keyForCharacter(char c) override { return inner_.keyForCharacter(c); }
    std::uint32_t scanCodeForKey(std::uint32_t vk) override { return inner_.scanCodeForKey(vk); }

private:
    MacroEffects& inner_;
    HeldInputLedger& ledger_;
};

}  // namespace fennick::macro
