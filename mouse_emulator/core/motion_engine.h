// Platform-free decisions of the mouse emulator: direction, speed, clicks, dwell cycle.
#pragma once
#include <cstdint>

#include "fennick/joystick.h"

namespace fennick::mouse {

// The numbers double as the pointer action codes of the moves (5 is the click).
enum class Direction : uint8_t {
    None = 0, Left = 1, Right = 2, Up = 3, Down = 4, UpRight = 6, UpLeft = 7, DownRight = 8, DownLeft = 9
};

enum class ClickMode : uint8_t { None = 0, Left = 1, Double = 2, Right = 3, Drag = 4 };

enum class ButtonEvent : uint8_t { LeftDown, LeftUp, RightDown, RightUp };

// What lies under the pointer when the fire switch goes down with a click mode selected.
enum class PointerTarget : uint8_t { Elsewhere, ModeButton, OptionsButton };

// Cursor resources shown during the dwell cycle, one per click mode.
inline constexpr int kCursorLeftClick = 178;
inline constexpr int kCursorRightClick = 179;
inline constexpr int kCursorDoubleClick = 180;
inline constexpr int kCursorDrag = 181;

// Bar button ids: the three mode buttons and the options button.
inline constexpr int kDoubleClickButton = 0;
inline constexpr int kRightClickButton = 1;
inline constexpr int kDragButton = 2;
inline constexpr int kOptionsButton = 3;
inline constexpr int kAllModeButtons = -1;

// Method: how the user clicks.
inline constexpr uint32_t kMethodHiddenBar = 0;
inline constexpr uint32_t kMethodButtonBar = 1;
inline constexpr uint32_t kMethodDwell = 2;

struct MotionSettings {
    bool increaseSpeed = true;
    uint32_t method = kMethodButtonBar;
    uint32_t dwellTime = 2000;
    uint32_t cursorInterval = 1000;
};

// Everything the engine makes happen goes through here; the Win32 shell turns it into API calls.
class MotionEffects {
public:
    virtual ~MotionEffects() = default;
    virtual void movePointer(int dx, int dy) = 0;
    virtual void mouseButton(ButtonEvent event) = 0;
    virtual PointerTarget targetUnderPointer() = 0;
    // Unchecks every mode button except `keep` (kAllModeButtons: all three).
    virtual void uncheckModeButtons(int keep) = 0;
    virtual void showCursor(int cursorResource) = 0;
    virtual void restoreCursors() = 0;
    virtual void startDwellTimer(uint32_t milliseconds) = 0;
    virtual void stopDwellTimer() = 0;
    virtual void openOptions() = 0;
};

// Pixels per tick for a speed divisor: 4 at the base divisor 50, more as it falls.
int stepForDivisor(int divisor);

// Switch letters ("LlRrUuDd") and the joystick's axis zones and direction buttons, as pure tables.
Direction directionAfterSwitch(Direction current, uint8_t letter);
Direction directionAfterStickX(Direction current, AxisZone zone);
Direction directionAfterStickY(Direction current, AxisZone zone);

class MotionEngine {
public:
    static constexpr int kBaseDivisor = 50;
    static constexpr int kFastestDivisor = 10;
    static constexpr int kTicksBeforeSpeedUp = 5;

    MotionEngine(MotionEffects& effects, const MotionSettings& settings) : effects_(effects), settings_(settings) {}

    void setSettings(const MotionSettings& settings) { settings_ = settings; }
    const MotionSettings& settings() const { return settings_; }
    void setJoystickRange(const JoystickRange& range) { range_ = range; }

    // A translated switch byte from the port monitor (or a joystick fire button).
    void switchByte(uint8_t byte);
    // One joystick reading (every 10 ms while the USB model is in use).
    void joystickPoll(const JoystickReading& reading);
    // The 50 ms motion timer.
    void tick();
    // The dwell timer: offer the next click mode.
    void dwellTimer();
    // A bar button (ids 0..3).
    void barCommand(int id);
    // The options dialog is opening: no dwell cycle may run behind it.
    void endDwell();
    // The options dialog is opening: the dwell cycle ends and a drag picked up is put down, as
    // the dialog leaves click mode 0, in which nothing stays down but a switch held.
    void optionsOpening();
    // The program is ending (or dying): no button may stay down, the user's cursors come back.
    void releaseEverything();
    // The joystick is no longer read (another device model was chosen) or can no longer be read
    // (unplugged): what it holds is let go as if released (its fire press, the right button, the
    // directions it gave); the box's switches keep theirs. The stick counts as centred, so a
    // reading again later acts on what is held then.
    void stopJoystick();
    // The port monitor no longer counts the switches held (another program became the active
    // one): their releases will never come, so what they hold is let go as if they had been (the
    // fire press, the directions they gave); the joystick keeps its own. A drag between two
    // presses goes on.
    void switchesForgotten();
    // Something is held through the joystick that only a reading of it can let go.
    bool joystickHolds() const;

    Direction direction() const { return direction_; }
    ClickMode clickMode() const { return mode_; }
    bool leftIsDown() const { return leftIsDown_; }
    bool rightIsDown() const { return rightIsDown_; }
    bool dwellActive() const { return dwellActive_; }
    int step() const { return step_; }

private:
    // Where a press came from, so that losing one device lets go of its presses only.
    enum class Device : uint8_t { Switches = 0, Joystick = 1 };

    void fireDown(Device device);
    void fireUp(Device device);
    void setDirection(Direction next, Device device);
    void forgetDirectionOf(Device device);
    void clickByMode();
    void leftDown();
    void leftUp();
    void rightDown();
    void rightUp();
    void sendLeft(ButtonEvent event);
    bool dragHeld() const;
    void putDragDown();
    void move(Direction direction);
    void resetSpeed();
    uint32_t buttonChanges(uint32_t buttons);

    MotionEffects& effects_;
    MotionSettings settings_;
    JoystickRange range_;
    Direction direction_ = Direction::None;
    // The device that set each axis of the direction; meaningful while that axis moves.
    Device horizontalBy_ = Device::Switches, verticalBy_ = Device::Switches;
    Direction lastDirection_ = Direction::None;
    ClickMode mode_ = ClickMode::None;
    // The left button as the system has it: also the drag flag, so that a click in the middle of
    // a drag (it lets the button go) leaves no drag believed held.
    bool leftIsDown_ = false;
    bool rightIsDown_ = false;
    // What the release of each device's last fire press owes. Settled at the press, because the
    // click mode can change while the switch is held (the dwell cycle goes on) and must not change
    // the answer.
    enum class PendingRelease : uint8_t { NoPress, LeftUp, Nothing };
    PendingRelease pendingRelease_[2] = {PendingRelease::NoPress, PendingRelease::NoPress};
    PendingRelease& pending(Device device) { return pendingRelease_[static_cast<int>(device)]; }
    PendingRelease pending(Device device) const { return pendingRelease_[static_cast<int>(device)]; }
    bool dwellActive_ = false;
    int divisor_ = kBaseDivisor;
    int step_ = 4;
    int sameDirectionTicks_ = 0;
    uint32_t lastX_ = 0, lastY_ = 0, lastButtons_ = 0;
};

}  // namespace fennick::mouse
