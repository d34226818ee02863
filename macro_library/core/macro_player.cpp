// The macro player: latch states of Alt, Ctrl and Shift, named keys, text and composition.
#include "macro_player.h"

#include "composition.h"
#include "macro_items.h"

namespace fennick::macro {

namespace {

// Latch states of a modifier.
enum Latch : std::uint8_t { kReleased = 0, kOneShot = 1, kHeld = 2 };

// The three modifiers in the order the player releases them: Alt, Ctrl, Shift.
enum Modifier { kAlt = 0, kCtrl = 1, kShift = 2, kModifierCount = 3 };
constexpr std::uint8_t kModifierVk[kModifierCount] = {kVkMenu, kVkControl, kVkShift};
// Bits of a character's key code asking for each modifier.
constexpr std::int16_t kModifierBit[kModifierCount] = {0x400, 0x200, 0x100};
// A character presses and releases its modifiers in this order.
constexpr Modifier kCharacterOrder[kModifierCount] = {kShift, kCtrl, kAlt};

class Player {
public:
    explicit Player(MacroEffects& effects) : effects_(effects)
    {
        for (int m = 0; m < kModifierCount; ++m)
            scan_[m] = scanOf(kModifierVk[m]);
    }

    void play(std::string_view macro, std::int32_t delayMs)
    {
        ItemSplitter splitter(macro);
        ItemPiece piece;
        while (splitter.next(piece)) {
            if (piece.first && piece.last) {
                if (!playItem(piece.text))
                    continue;  // a custom macro bound is no step of the macro: no delay either
            } else {
                // An item too long for the item buffer is text, typed piece by piece;
                // the one-shot release and the delay follow the whole item.
                typeText(piece.text);
                if (!piece.last)
                    continue;
                releaseOneShots();
            }
            if (delayMs > 0)
                effects_.sleep(static_cast<std::uint32_t>(delayMs));
        }
        for (int m = 0; m < kModifierCount; ++m) {
            if (latch_[m] != kReleased)
                modifierUp(static_cast<Modifier>(m));
            latch_[m] = kReleased;
        }
    }

private:
    std::uint8_t scanOf(std::uint32_t vk) { return static_cast<std::uint8_t>(effects_.scanCodeForKey(vk) & 0xFF); }
    void modifierDown(Modifier m) { effects_.key(kModifierVk[m], scan_[m], 0); }
    void modifierUp(Modifier m) { effects_.key(kModifierVk[m], scan_[m], kKeyUp); }

    // False for an item that is only a mark (a custom macro bound): nothing happens.
    bool playItem(std::string_view item)
    {
        ItemClass kind = classifyItem(item);
        switch (kind.kind) {
        case ItemKind::Pause:
            effects_.sleep(kind.pauseMs);  // a pause leaves the latches alone
            return true;
        case ItemKind::NamedKey:
            playNamedKey(kNamedKeys[static_cast<std::size_t>(kind.keyIndex)]);
            return true;
        case ItemKind::Text:
            typeText(item);
            releaseOneShots();
            return true;
        case ItemKind::CustomStart:
        case ItemKind::CustomEnd:
            return false;  // latches untouched: "{SHIFT}${MACRO x}$a$" types a shifted a
        }
        return true;
    }

    void playNamedKey(const NamedKey& key)
    {
        switch (key.role) {
        case KeyRole::Modifier:
            toggleLatch(key.vk);
            return;  // a modifier item is not followed by the one-shot release
        case KeyRole::MouseLeft:
            click(kMouseLeftDown, kMouseLeftUp);
            break;
        case KeyRole::MouseRight:
            click(kMouseRightDown, kMouseRightUp);
            break;
        case KeyRole::MouseDouble:
            click(kMouseLeftDown, kMouseLeftUp);
            click(kMouseLeftDown, kMouseLeftUp);
            break;
        case KeyRole::Plain:
        case KeyRole::Extended: {
            std::uint32_t flags = key.role == KeyRole::Extended ? kKeyExtended : 0;
            std::uint8_t scan = scanOf(key.vk);
            effects_.key(key.vk, scan, flags);
            effects_.key(key.vk, scan, flags | kKeyUp);
            break;
        }
        }
        releaseOneShots();
    }

    void click(std::uint32_t down, std::uint32_t up)
    {
        effects_.mouse(down);
        effects_.mouse(up);
    }

    void toggleLatch(std::uint8_t vk)
    {
        Modifier m = vk == kVkMenu ? kAlt : vk == kVkControl ? kCtrl : kShift;
        switch (latch_[m]) {
        case kReleased:
            modifierDown(m);
            latch_[m] = kOneShot;
            break;
        case kOneShot:
            latch_[m] = kHeld;
            break;
        default:
            modifierUp(m);
            latch_[m] = kReleased;
            break;
        }
    }

    void releaseOneShots()
    {
        for (int m = 0; m < kModifierCount; ++m) {
            if (latch_[m] == kOneShot) {
                modifierUp(static_cast<Modifier>(m));
                latch_[m] = kReleased;
            }
        }
    }

    void typeText(std::string_view text)
    {
        for (char c : text) {
            if (typeWithKey(c))
                continue;
            Composition parts = composeCharacter(static_cast<unsigned char>(c));
            for (std::uint8_t i = 0; i < parts.count; ++i)
                typeWithKey(parts.chars[i]);  // a part without a key is skipped
        }
    }

    // Types one character through its key on the layout; false when it has none.
    bool typeWithKey(char c)
    {
        std::int16_t code = effects_.keyForCharacter(c);
        if (code < 0)
            return false;
        // A modifier that a latch already holds is neither pressed nor released
        // again: releasing it would end the latch early ("{SHIFT}${SHIFT}$Ab$").
        bool pressed[kModifierCount] = {};
        for (Modifier m : kCharacterOrder) {
            if ((code & kModifierBit[m]) && latch_[m] == kReleased) {
                modifierDown(m);
                pressed[m] = true;
            }
        }
        std::uint8_t vk = static_cast<std::uint8_t>(code & 0xFF);
        // The scan code of the key itself: the modifier bits are not part of a key code.
        std::uint8_t scan = scanOf(vk);
        effects_.key(vk, scan, 0);
        effects_.key(vk, scan, kKeyUp);
        for (Modifier m : kCharacterOrder) {
            if (pressed[m])
                modifierUp(m);
        }
        return true;
    }

    MacroEffects& effects_;
    std::uint8_t scan_[kModifierCount] = {};
    std::uint8_t latch_[kModifierCount] = {kReleased, kReleased, kReleased};
};

}  // namespace

void playMacro(std::string_view macro, std::int32_t delayMs, MacroEffects& effects)
{
    Player(effects).play(macro, delayMs);
}

void HeldInputLedger::keyDown(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags)
{
    for (std::size_t i = 0; i < count_; ++i) {
        if (keys_[i].vk == vk)
            return;  // one key-up releases a key however often it went down
    }
    if (count_ < sizeof(keys_) / sizeof(keys_[0]))
        keys_[count_++] = HeldKey{vk, scan, flags & kKeyExtended};
}

void HeldInputLedger::keyUp(std::uint8_t vk)
{
    for (std::size_t i = 0; i < count_; ++i) {
        if (keys_[i].vk != vk)
            continue;
        for (std::size_t j = i + 1; j < count_; ++j)
            keys_[j - 1] = keys_[j];
        --count_;
        return;
    }
}

void HeldInputLedger::mouse(std::uint32_t flags)
{
    if (flags & kMouseLeftDown)
        left_ = true;
    if (flags & kMouseLeftUp)
        left_ = false;
    if (flags & kMouseRightDown)
        right_ = true;
    if (flags & kMouseRightUp)
        right_ = false;
}

void HeldInputLedger::releaseAll(MacroEffects& effects)
{
    while (count_ > 0) {
        const HeldKey& key = keys_[--count_];
        effects.key(key.vk, key.scan, key.flags | kKeyUp);
    }
    if (left_)
        effects.mouse(kMouseLeftUp);
    if (right_)
        effects.mouse(kMouseRightUp);
    left_ = right_ = false;
}

void LedgerEffects::key(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags)
{
    if (flags & kKeyUp) {
        inner_.key(vk, scan, flags);
        ledger_.keyUp(vk);
    } else {
        ledger_.keyDown(vk, scan, flags);
        inner_.key(vk, scan, flags);
    }
}

void LedgerEffects::mouse(std::uint32_t flags)
{
    bool releases = flags & (kMouseLeftUp | kMouseRightUp);
    if (!releases)
        ledger_.mouse(flags);
    inner_.mouse(flags);
    if (releases)
        ledger_.mouse(flags);
}

}  // namespace fennick::macro
