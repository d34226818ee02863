// Switch events of the key mapper: decoding, the command of each press, the keys held.
#include "switch_events.h"

#include <cstring>

namespace fennick::key {

namespace {

// Make codes of switches 1..5 in the device's and the joystick's alphabets; breaks are lower case.
constexpr char kDeviceMakes[] = "DJULR";
constexpr char kJoystickMakes[] = "ZYXWV";
constexpr uint32_t kJoystickFirstBit = 0x04;

bool isFullPath(std::string_view text)
{
    return (text.size() >= 2 && text[0] == '\\' && text[1] == '\\') ||
           (text.size() >= 3 && text[1] == ':' && text[2] == '\\');
}

}  // namespace

std::optional<SwitchEvent> DecodeSwitchByte(uint32_t byte)
{
    if (byte == 0 || byte > 0x7F)
        return std::nullopt;
    for (int i = 0; i < kSwitchCount; ++i) {
        for (char make : {kDeviceMakes[i], kJoystickMakes[i]}) {
            if (byte == static_cast<uint32_t>(make))
                return SwitchEvent{i + 1, true};
            if (byte == static_cast<uint32_t>(make - 'A' + 'a'))
                return SwitchEvent{i + 1, false};
        }
    }
    return std::nullopt;
}

std::optional<std::string> SoundFilePath(std::string_view text, std::string_view programFolder)
{
    std::string path = isFullPath(text) ? std::string(text) : std::string(programFolder) + std::string(text);
    if (path.size() > kMaxPathLength)
        return std::nullopt;
    return path;
}

std::string ProgramStartFolder(std::string_view fullPath)
{
    size_t slash = fullPath.find_last_of('\\');
    if (slash == std::string_view::npos)
        return std::string(fullPath);
    return std::string(fullPath.substr(0, slash + 1));
}

uint32_t VolumeAfterStep(uint32_t current, uint32_t minimum, uint32_t maximum, uint32_t steps, bool up)
{
    if (maximum <= minimum)
        return minimum;
    uint32_t range = maximum - minimum;
    if (steps == 0)
        steps = range;
    uint32_t step = (range / steps) * steps / 10;
    if (up)
        return current > maximum - step ? maximum : current + step;
    return current > minimum + step ? current - step : minimum;
}

WindowsFunctionAction WindowsFunctionFor(int32_t number)
{
    switch (number) {
    case 0: return {+1, 0, true};
    case 1: return {-1, 0, true};
    case 2: return {0, 'U', true};
    case 3: return {0, 'D', true};
    case 4: return {0, 'R', false};
    case 5: return {0, 'G', false};
    case 6: return {0, 'T', false};
    default: return {};
    }
}

TargetApplication TargetApplicationFor(int32_t btCmd)
{
    switch (btCmd) {
    case kCogniva: return {"Cogniva", 0x804B};
    case kParlora: return {"Parlora", 0x805B};
    case kHopla: return {"Hopla", 0x8049};
    default: return {nullptr, 0};
    }
}

std::vector<uint8_t> JoystickSwitchBytes(uint32_t before, uint32_t after)
{
    std::vector<uint8_t> bytes;
    uint32_t changed = before ^ after;
    for (int i = 0; i < kSwitchCount; ++i) {
        uint32_t bit = kJoystickFirstBit << i;
        if (!(changed & bit))
            continue;
        char make = kJoystickMakes[i];
        bytes.push_back(static_cast<uint8_t>((after & bit) ? make : make - 'A' + 'a'));
    }
    return bytes;
}

SwitchDispatcher::SwitchDispatcher()
{
    held_.fill(-1);
    heldByBox_.fill(false);
}

int SwitchDispatcher::heldKey(int switchNumber) const
{
    if (switchNumber < 1 || switchNumber > kSwitchCount)
        return -1;
    return held_[switchNumber - 1];
}

bool SwitchDispatcher::onByte(uint32_t byte, const ButtonTable& table, std::string_view programFolder,
                              CommandEffects& effects)
{
    std::optional<SwitchEvent> event = DecodeSwitchByte(byte);
    if (!event)
        return false;
    int index = event->switchNumber - 1;
    if (event->make) {
        make(index, table[index], programFolder, effects);
        heldByBox_[index] = byte == static_cast<uint32_t>(kDeviceMakes[index]);
    } else {
        release(index, effects);
    }
    return true;
}

void SwitchDispatcher::make(int index, const ButtonDef& button, std::string_view programFolder,
                            CommandEffects& effects)
{
    size_t textLength = strnlen(button.BtCmdText, sizeof(button.BtCmdText));
    std::string text(button.BtCmdText, textLength);
    switch (button.BtCmd) {
    case kMacro: effects.playMacro(text); break;
    case kVirtualKey: {
        int vk = button.BtCmdVal & 0xFF;
        // The same switch pressed again (two sources, or a make without its break) keeps one
        // key down; a different key takes the place of the old one.
        if (held_[index] >= 0 && held_[index] != vk)
            effects.keyUp(static_cast<uint8_t>(held_[index]));
        held_[index] = vk;
        effects.keyDown(static_cast<uint8_t>(vk));
        break;
    }
    case kSound:
        if (std::optional<std::string> path = SoundFilePath(text, programFolder))
            effects.playSound(*path);
        break;
    case kProgram:
        if (!text.empty())
            effects.startProgram(text);
        break;
    case kWindowsFunction: {
        WindowsFunctionAction action = WindowsFunctionFor(button.BtCmdVal);
        if (action.volume)
            effects.stepVolume(action.volume > 0);
        if (action.deviceByte)
            effects.sendDeviceByte(action.deviceByte);
        if (action.clickSound)
            effects.playClick();
        break;
    }
    case kCogniva:
    case kParlora:
    case kHopla: {
        TargetApplication target = TargetApplicationFor(button.BtCmd);
        effects.sendTargetCommand(target.windowClass, target.message, button.BtCmdVal);
        break;
    }
    case kSwitchProfile: effects.switchProfile(text); break;
    default: break;  // Tastra and unknown types do nothing
    }
}

void SwitchDispatcher::release(int index, CommandEffects& effects)
{
    if (held_[index] < 0)
        return;
    int vk = held_[index];
    held_[index] = -1;
    effects.keyUp(static_cast<uint8_t>(vk));
}

void SwitchDispatcher::releaseAll(CommandEffects& effects)
{
    for (int index = 0; index < kSwitchCount; ++index)
        release(index, effects);
}

void SwitchDispatcher::releaseHeldByBox(CommandEffects& effects)
{
    for (int index = 0; index < kSwitchCount; ++index)
        if (heldByBox_[index])
            release(index, effects);
}

}  // namespace fennick::key
