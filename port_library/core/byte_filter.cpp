// Routing, make/break filtering, translation and the wake-up decision for received bytes.
#include "byte_filter.h"

namespace swibus {

void clearHeld(HeldCodes& held)
{
    for (auto& s : held.slot)
        s = 0;
}

namespace {

bool isMake(std::uint8_t b, const std::uint8_t* codes)
{
    for (int k = 0; k < kCodeCount; k += 2)
        if (codes[k] == b)
            return true;
    return false;
}

bool isBreak(std::uint8_t b, const std::uint8_t* codes)
{
    for (int k = 1; k < kCodeCount; k += 2)
        if (codes[k] == b)
            return true;
    return false;
}

// false: the byte is dropped by the filter.
bool passMakeBreakFilter(std::uint8_t b, const std::uint8_t* codes, HeldCodes& held)
{
    if (isMake(b, codes)) {
        for (int i = 0; i < kHeldSlots; ++i)
            if (held.slot[i] == b)
                return false;  // repeated make
        for (int i = 0; i < kHeldSlots; ++i) {
            if (held.slot[i] == 0) {
                held.slot[i] = b;
                break;
            }
        }
        return true;  // all slots taken: delivered but not held
    }
    if (isBreak(b, codes)) {
        for (int i = 0; i < kHeldSlots; ++i) {
            if (held.slot[i] != 0 && lowerLetter(held.slot[i]) == b) {
                held.slot[i] = 0;
                return true;
            }
        }
        return false;  // break without its make
    }
    return true;
}

}  // namespace

std::uint8_t translateByte(std::uint8_t b, const std::uint8_t* codes, const std::uint8_t* letters)
{
    for (int k = 0; k < kCodeCount; ++k)
        if (codes[k] == b)
            return letters[k];
    return b;
}

ByteDecision routeByte(std::uint8_t b, bool switchProcessing, const std::uint8_t* codes, const std::uint8_t* letters,
                       HeldCodes& held)
{
    if (!switchProcessing)
        return {ByteRoute::Raw, b, 0, false};
    if (b == 'E' || b == 'e')
        return {ByteRoute::DeviceEvent, b, b == 'E' ? 0 : 1, true};
    if ((b >= 'V' && b <= 'Z') || (b >= 'v' && b <= 'z'))
        return {ByteRoute::OutsideWindow, b, 0, true};
    if (!passMakeBreakFilter(b, codes, held))
        return {ByteRoute::Dropped, b, 0, true};
    return {ByteRoute::Client, translateByte(b, codes, letters), 0, true};
}

WakeDecision decideWake(const ScreenState& screen, std::uint8_t translated, std::uint8_t& wakeCode)
{
    if (!screen.doWakeUp)
        return {WakeAction::Deliver, false, false, false};
    if (!screen.monitorOff && !screen.saverActive) {
        if (wakeCode != 0 && lowerLetter(wakeCode) == translated) {
            wakeCode = 0;
            return {WakeAction::SwallowWakeRelease, false, false, false};
        }
        return {WakeAction::Deliver, true, false, false};
    }
    wakeCode = translated;
    return {WakeAction::WakeScreen, false, screen.monitorOff, screen.saverActive};
}

}  // namespace swibus
