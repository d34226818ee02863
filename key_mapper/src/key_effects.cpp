// The key mapper's commands: keys, macros, sounds, programs, master volume, device bytes, targets.
#include "key_effects.h"

#include <mmsystem.h>
#include <shellapi.h>

#include "fennick_key/language_resources.h"

namespace fennick::key {

namespace {

BYTE scanCodeOf(uint8_t vk) { return static_cast<BYTE>(MapVirtualKeyExA(vk, 0, GetKeyboardLayout(0))); }

// Opens mixer 0 and finds the volume control of its first destination line.
class MasterVolumeControl {
public:
    MasterVolumeControl()
    {
        if (mixerOpen(&mixer_, 0, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) {
            mixer_ = nullptr;
            return;
        }
        MIXERLINEA line = {};
        line.cbStruct = sizeof(line);
        line.dwDestination = 0;
        if (mixerGetLineInfoA(object(), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION) !=
            MMSYSERR_NOERROR)
            return;
        MIXERLINECONTROLSA controls = {};
        controls.cbStruct = sizeof(controls);
        controls.dwLineID = line.dwLineID;
        controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
        controls.cControls = 1;
        controls.cbmxctrl = sizeof(control_);
        controls.pamxctrl = &control_;
        found_ = mixerGetLineControlsA(object(), &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) ==
                 MMSYSERR_NOERROR;
    }
    ~MasterVolumeControl()
    {
        if (mixer_)
            mixerClose(mixer_);
    }

    bool read(MasterVolume* volume)
    {
        MIXERCONTROLDETAILS_UNSIGNED value = {};
        MIXERCONTROLDETAILS details = describe(&value);
        if (!found_ || mixerGetControlDetailsA(object(), &details, MIXER_OBJECTF_HMIXER |
                                                                         MIXER_GETCONTROLDETAILSF_VALUE) !=
                           MMSYSERR_NOERROR)
            return false;
        *volume = {value.dwValue, control_.Bounds.dwMinimum, control_.Bounds.dwMaximum, control_.Metrics.cSteps};
        return true;
    }

    bool write(DWORD newValue)
    {
        MIXERCONTROLDETAILS_UNSIGNED value = {newValue};
        MIXERCONTROLDETAILS details = describe(&value);
        return found_ && mixerSetControlDetails(object(), &details, MIXER_OBJECTF_HMIXER |
                                                                        MIXER_SETCONTROLDETAILSF_VALUE) ==
                             MMSYSERR_NOERROR;
    }

private:
    HMIXEROBJ object() const { return reinterpret_cast<HMIXEROBJ>(mixer_); }
    MIXERCONTROLDETAILS describe(MIXERCONTROLDETAILS_UNSIGNED* value) const
    {
        MIXERCONTROLDETAILS details = {};
        details.cbStruct = sizeof(details);
        details.dwControlID = control_.dwControlID;
        details.cChannels = 1;  // one uniform value for every channel
        details.cbDetails = sizeof(*value);
        details.paDetails = value;
        return details;
    }

    HMIXER mixer_ = nullptr;
    MIXERCONTROLA control_ = {};
    bool found_ = false;
};

}  // namespace

bool ReadMasterVolume(MasterVolume* volume) { return MasterVolumeControl().read(volume); }

bool StepMasterVolume(bool up, MasterVolume* set)
{
    MasterVolumeControl control;
    MasterVolume volume;
    if (!control.read(&volume))
        return false;
    volume.value = VolumeAfterStep(volume.value, volume.minimum, volume.maximum, volume.steps, up);
    if (set)
        *set = volume;
    return control.write(volume.value);
}

void Win32Effects::keyDown(uint8_t vk) { keybd_event(vk, scanCodeOf(vk), 0, 0); }

void Win32Effects::keyUp(uint8_t vk) { keybd_event(vk, scanCodeOf(vk), KEYEVENTF_KEYUP, 0); }

void Win32Effects::playMacro(const std::string& macro)
{
    if (context_.runMacro)
        context_.runMacro(macro.c_str(), 0);
}

void Win32Effects::playSound(const std::string& path)
{
    PlaySoundA(path.c_str(), nullptr, SND_FILENAME | SND_ASYNC);
    recaptureJoystick();
}

void Win32Effects::startProgram(const std::string& text)
{
    char fullPath[MAX_PATH];
    DWORD length = GetFullPathNameA(text.c_str(), sizeof(fullPath), fullPath, nullptr);
    if (length == 0 || length >= sizeof(fullPath))
        return;  // a name whose full path does not fit is not started
    std::string folder = ProgramStartFolder(fullPath);
    char previous[MAX_PATH];
    DWORD previousLength = GetCurrentDirectoryA(sizeof(previous), previous);
    bool restore = previousLength > 0 && previousLength < sizeof(previous);
    SetCurrentDirectoryA(folder.c_str());
    UINT started = WinExec(text.c_str(), SW_SHOWNORMAL);
    if (restore)
        SetCurrentDirectoryA(previous);
    // Documents open in the program associated with them.
    if (started < 32)
        ShellExecuteA(context_.window, nullptr, text.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
}

void Win32Effects::stepVolume(bool up) { StepMasterVolume(up); }

void Win32Effects::sendDeviceByte(char byte)
{
    if (context_.services.port)
        context_.services.port->write(&byte, 1);
}

void Win32Effects::playClick()
{
    if (!context_.languageModule)
        return;
    PlaySoundA(MAKEINTRESOURCEA(IDR_CLICK_SOUND), context_.languageModule, SND_RESOURCE | SND_ASYNC);
    recaptureJoystick();
}

void Win32Effects::sendTargetCommand(const char* windowClass, uint32_t message, int32_t value)
{
    HWND target = FindWindowA(windowClass, nullptr);
    if (!target)
        return;
    // A hung application is given up on. Switch bytes sent to us meanwhile are handled inside
    // this call (the dispatcher takes them re-entrantly): a switch let go while the application
    // is slow to answer must let go of its key now, not when the wait ends.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(target, message, static_cast<WPARAM>(value), 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                        kTargetTimeoutMs, &result);
}

void Win32Effects::switchProfile(const std::string& name)
{
    if (context_.switchProfile)
        context_.switchProfile(name);
}

void Win32Effects::recaptureJoystick()
{
    // Playing a sound can end the joystick capture on some drivers; take it again.
    if (context_.services.joystick)
        context_.services.joystick->capture(context_.window, kJoystickPeriodMs);
}

}  // namespace fennick::key
