// Switch events of the key mapper: which byte is which switch, what a press and a release do.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile_rules.h"

namespace fennick::key {

// BtCmd values.
enum ButtonCommand : int32_t {
    kMacro = 0,
    kVirtualKey = 1,
    kSound = 2,
    kProgram = 3,
    kWindowsFunction = 4,
    kCogniva = 5,
    kParlora = 6,
    kHopla = 7,
    kTastra = 8,
    kSwitchProfile = 9,
};

struct SwitchEvent {
    int switchNumber;  // 1..5
    bool make;         // press; false for the release
};

// Two alphabets reach the five switches: the device's letters D J U L R and the joystick's
// Z Y X W V, upper case for the press and lower case for the release. Other bytes are no event.
std::optional<SwitchEvent> DecodeSwitchByte(uint32_t byte);

// Longest path a sound file, a program's folder or a profile may have (the API's MAX_PATH buffer).
inline constexpr size_t kMaxPathLength = 259;

// Where a sound file lives: a text starting "\\" or "X:\" is a path already, anything else is
// taken in the program folder. Nothing when the joined path would not fit in a path buffer.
std::optional<std::string> SoundFilePath(std::string_view text, std::string_view programFolder);

// The folder a program starts in: its full path cut after the last backslash (the whole path
// when it has no backslash at all).
std::string ProgramStartFolder(std::string_view fullPath);

// One master volume step: a tenth of the control's range, truncated to whole steps first;
// the result stays within [minimum, maximum]. A control that reports no steps is treated as
// having one step per unit.
uint32_t VolumeAfterStep(uint32_t current, uint32_t minimum, uint32_t maximum, uint32_t steps, bool up);

// What a WindowsFunction number does.
struct WindowsFunctionAction {
    int volume = 0;         // +1 up, -1 down, 0 none
    char deviceByte = 0;    // byte for the device, 0 none
    bool clickSound = false;
};
WindowsFunctionAction WindowsFunctionFor(int32_t number);

// The target applications: window class and message of BtCmd 5..7; null class for the others.
struct TargetApplication {
    const char* windowClass;
    uint32_t message;
};
TargetApplication TargetApplicationFor(int32_t btCmd);

// Joystick buttons 3 to 7 feed switches 1 to 5: the bytes for the buttons that changed between
// two masks, lowest bit first, upper case for pressed and lower case for let go.
std::vector<uint8_t> JoystickSwitchBytes(uint32_t before, uint32_t after);

// What the key mapper does, as the dispatcher decides it.
class CommandEffects {
public:
    virtual ~CommandEffects() = default;
    virtual void keyDown(uint8_t vk) = 0;
    virtual void keyUp(uint8_t vk) = 0;
    virtual void playMacro(const std::string& macro) = 0;
    virtual void playSound(const std::string& path) = 0;
    virtual void startProgram(const std::string& text) = 0;
    virtual void stepVolume(bool up) = 0;
    virtual void sendDeviceByte(char byte) = 0;
    virtual void playClick() = 0;
    virtual void sendTargetCommand(const char* windowClass, uint32_t message, int32_t value) = 0;
    virtual void switchProfile(const std::string& name) = 0;
};

// Turns switch bytes into commands of the current button table. A VirtualKey switch remembers
// the key its press sent, and its release lets go of exactly that key, whatever the table holds
// by then: a profile change while the switch is held must not leave a key down.
class SwitchDispatcher {
public:
    SwitchDispatcher();
    // Returns false when the byte is no switch event.
    bool onByte(uint32_t byte, const ButtonTable& table, std::string_view programFolder, CommandEffects& effects);
    // Lets go of every key still held by a switch (shut-down).
    void releaseAll(CommandEffects& effects);
    // Lets go of the keys held by the box's switches only (another program took the box over):
    // what a joystick button holds stays down until that button is let go.
    void releaseHeldByBox(CommandEffects& effects);
    // The key switch n (1..5) holds down, or -1.
    int heldKey(int switchNumber) const;

private:
    void make(int index, const ButtonDef& button, std::string_view programFolder, CommandEffects& effects);
    void release(int index, CommandEffects& effects);
    std::array<int, kSwitchCount> held_;
    std::array<bool, kSwitchCount> heldByBox_;  // the held key's press came from the box's letters
};

}  // namespace fennick::key
