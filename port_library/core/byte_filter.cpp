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

}  // namespace

bool releasesMake(std::uint8_t b, std::uint8_t heldCode, const std::uint8_t* codes)
{
    if (lowerLetter(heldCode) == b)
        return true;
    for (int k = 1; k < kCodeCount; k += 2)
        if (codes[k] == b && codes[k - 1] == heldCode)
            return true;
    return false;
}

namespace {

enum class Filtered { Drop, Pass, Release };

Filtered passMakeBreakFilter(std::uint8_t b, const std::uint8_t* codes, HeldCodes& held)
{
    if (isMake(b, codes)) {
        for (int i = 0; i < kHeldSlots; ++i)
            if (held.slot[i] == b)
                return Filtered::Drop;  // repeated make
        for (int i = 0; i < kHeldSlots; ++i) {
            if (held.slot[i] == 0) {
                held.slot[i] = b;
                break;
            }
        }
        return Filtered::Pass;  // all slots taken: delivered but not held
    }
    if (isBreak(b, codes)) {
        for (int i = 0; i < kHeldSlots; ++i) {
            if (held.slot[i] != 0 && releasesMake(b, held.slot[i], codes)) {
                held.slot[i] = 0;
                return Filtered::Release;
            }
        }
        return Filtered::Drop;  // break without its make
    }
    return Filtered::Pass;
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
        return {ByteRoute::Raw, b, 0, false, false};
    if (b == 'E' || b == 'e')
        return {ByteRoute::DeviceEvent, b, b == 'E' ? 0 : 1, true, false};
    if ((b >= 'V' && b <= 'Z') || (b >= 'v' && b <= 'z'))
        return {ByteRoute::OutsideWindow, b, 0, true, false};
    Filtered filtered = passMakeBreakFilter(b, codes, held);
    if (filtered == Filtered::Drop)
        return {ByteRoute::Dropped, b, 0, true, false, !isMake(b, codes)};
    return {ByteRoute::Client, translateByte(b, codes, letters), 0, true, filtered == Filtered::Release};
}

WakeDecision decideWake(const ScreenState& screen, std::uint8_t received, bool release, const std::uint8_t* codes,
                        std::uint8_t& wakeCode)
{
    if (!screen.doWakeUp)
        return {WakeAction::Deliver, false, false, false};
    bool asleep = screen.monitorOff || screen.saverActive;
    if (wakeCode != 0 && release && releasesMake(received, wakeCode, codes)) {
        // The release of the press that only woke the screen: its client never saw that press.
        wakeCode = 0;
        return {WakeAction::SwallowWakeRelease, false, asleep && screen.monitorOff, asleep && screen.saverActive};
    }
    if (!asleep)
        return {WakeAction::Deliver, true, false, false};
    if (release)
        return {WakeAction::DeliverAndWake, false, screen.monitorOff, screen.saverActive};
    wakeCode = received;
    return {WakeAction::WakeScreen, false, screen.monitorOff, screen.saverActive};
}

}  // namespace swibus
