// The key mapper's commands carried out with the Win32 API.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "fennick/mcx_api.h"
#include "key_services.h"
#include "switch_events.h"

namespace fennick::key {

// A target application that does not answer within this time is given up on.
inline constexpr UINT kTargetTimeoutMs = 2000;
inline constexpr unsigned kJoystickPeriodMs = 10;

struct EffectsContext {
    HWND window = nullptr;
    HMODULE languageModule = nullptr;
    RunMacroProc runMacro = nullptr;
    KeyServices services = {};
    std::function<void(const std::string&)> switchProfile;
};

class Win32Effects final : public CommandEffects {
public:
    explicit Win32Effects(const EffectsContext& context) : context_(context) {}
    void keyDown(uint8_t vk) override;
    void keyUp(uint8_t vk) override;
    void playMacro(const std::string& macro) override;
    void playSound(const std::string& path) override;
    void startProgram(const std::string& text) override;
    void stepVolume(bool up) override;
    void sendDeviceByte(char byte) override;
    void playClick() override;
    void sendTargetCommand(const char* windowClass, uint32_t message, int32_t value) override;
    void switchProfile(const std::string& name) override;

private:
    void recaptureJoystick();
    const EffectsContext& context_;
};

// Master volume of mixer 0's first destination line.
struct MasterVolume {
    DWORD value, minimum, maximum, steps;
};
bool ReadMasterVolume(MasterVolume* volume);
// One step up or down; false when there is no mixer or no volume control. *set receives the
// reading the step started from, with the value written in place of the one read.
bool StepMasterVolume(bool up, MasterVolume* set = nullptr);

}  // namespace fennick::key
