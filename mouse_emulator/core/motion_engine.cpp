// Direction tables, the speed-up, click modes and the dwell cycle of the mouse emulator.
#include "motion_engine.h"

namespace fennick::mouse {

namespace {

// A direction split into its two axes: -1 left/up, +1 right/down, 0 still.
struct Axes {
    int h = 0, v = 0;
};

Axes axesOf(Direction direction)
{
    switch (direction) {
    case Direction::Left: return {-1, 0};
    case Direction::Right: return {1, 0};
    case Direction::Up: return {0, -1};
    case Direction::Down: return {0, 1};
    case Direction::UpRight: return {1, -1};
    case Direction::UpLeft: return {-1, -1};
    case Direction::DownRight: return {1, 1};
    case Direction::DownLeft: return {-1, 1};
    case Direction::None: break;
    }
    return {};
}

Direction directionOf(Axes axes)
{
    static constexpr Direction kByAxes[3][3] = {
        // h = -1, 0, +1
        {Direction::UpLeft, Direction::Up, Direction::UpRight},        // v = -1
        {Direction::Left, Direction::None, Direction::Right},          // v = 0
        {Direction::DownLeft, Direction::Down, Direction::DownRight},  // v = +1
    };
    return kByAxes[axes.v + 1][axes.h + 1];
}

// The joystick's way: a direction on an axis that is still joins the other axis; the
// opposite direction stops the pointer; the same direction again changes nothing.
Direction joystickPress(Direction current, Axes pressed)
{
    Axes axes = axesOf(current);
    int& axis = pressed.h ? axes.h : axes.v;
    int wanted = pressed.h ? pressed.h : pressed.v;
    if (axis == -wanted)
        return Direction::None;
    axis = wanted;
    return directionOf(axes);
}

// Letting go of a direction leaves the other axis moving.
Direction releaseAxis(Direction current, Axes released)
{
    Axes axes = axesOf(current);
    if (released.h && axes.h == released.h)
        axes.h = 0;
    if (released.v && axes.v == released.v)
        axes.v = 0;
    return directionOf(axes);
}

constexpr Axes kLeft{-1, 0}, kRight{1, 0}, kUp{0, -1}, kDown{0, 1};

constexpr uint32_t buttonBit(int number) { return 1u << (number - 1); }

bool pressed(uint32_t buttons, uint32_t before, int number)
{
    return (buttons & buttonBit(number)) && !(before & buttonBit(number));
}

bool released(uint32_t buttons, uint32_t before, int number)
{
    return !(buttons & buttonBit(number)) && (before & buttonBit(number));
}

}  // namespace

int stepForDivisor(int divisor)
{
    if (divisor >= MotionEngine::kBaseDivisor)
        return 4;
    // Single precision on purpose: it decides where the truncation falls (13 px at divisor 15).
    float factor = 50.0f / static_cast<float>(divisor);
    return static_cast<int>(factor * 4.0f);
}

Direction directionAfterSwitch(Direction current, uint8_t letter)
{
    Axes axes = axesOf(current);
    // A press only sets an axis that is still, so the opposite switch is ignored while one is held.
    switch (letter) {
    case 'L': if (!axes.h) axes.h = -1; break;
    case 'R': if (!axes.h) axes.h = 1; break;
    case 'U': if (!axes.v) axes.v = -1; break;
    case 'D': if (!axes.v) axes.v = 1; break;
    case 'l': return releaseAxis(current, kLeft);
    case 'r': return releaseAxis(current, kRight);
    case 'u': return releaseAxis(current, kUp);
    case 'd': return releaseAxis(current, kDown);
    default: break;
    }
    return directionOf(axes);
}

Direction directionAfterStickX(Direction current, AxisZone zone)
{
    switch (zone) {
    case AxisZone::High: return joystickPress(current, kRight);
    case AxisZone::Low: return joystickPress(current, kLeft);
    case AxisZone::Centre: break;
    }
    Axes axes = axesOf(current);
    axes.h = 0;
    return directionOf(axes);
}

Direction directionAfterStickY(Direction current, AxisZone zone)
{
    switch (zone) {
    case AxisZone::High: return joystickPress(current, kDown);
    case AxisZone::Low: return joystickPress(current, kUp);
    case AxisZone::Centre: break;
    }
    Axes axes = axesOf(current);
    axes.v = 0;
    return directionOf(axes);
}

// ---- buttons ------------------------------------------------------------------

void MotionEngine::leftDown()
{
    leftIsDown_ = true;
    effects_.mouseButton(ButtonEvent::LeftDown);
}

void MotionEngine::leftUp()
{
    leftIsDown_ = false;
    effects_.mouseButton(ButtonEvent::LeftUp);
}

void MotionEngine::rightDown()
{
    rightIsDown_ = true;
    effects_.mouseButton(ButtonEvent::RightDown);
}

void MotionEngine::rightUp()
{
    rightIsDown_ = false;
    effects_.mouseButton(ButtonEvent::RightUp);
}

void MotionEngine::sendLeft(ButtonEvent event)
{
    leftIsDown_ = event == ButtonEvent::LeftDown;
    effects_.mouseButton(event);
}

// Down with no press waiting for its release: picked up by a drag (or left by a press whose
// release will never come), not a switch the user still holds.
bool MotionEngine::dragHeld() const
{
    return leftIsDown_ && pending(Device::Switches) != PendingRelease::LeftUp &&
           pending(Device::Joystick) != PendingRelease::LeftUp;
}

void MotionEngine::putDragDown()
{
    if (dragHeld())
        leftUp();
}

void MotionEngine::clickByMode()
{
    switch (mode_) {
    case ClickMode::None:
    case ClickMode::Left:
        sendLeft(ButtonEvent::LeftDown);
        sendLeft(ButtonEvent::LeftUp);
        break;
    case ClickMode::Double:
        for (int i = 0; i < 2; ++i) {
            sendLeft(ButtonEvent::LeftDown);
            sendLeft(ButtonEvent::LeftUp);
        }
        break;
    case ClickMode::Right:
        rightDown();
        rightUp();
        break;
    case ClickMode::Drag: {
        // The first press picks up, the second puts down where the pointer now is.
        bool puttingDown = leftIsDown_;
        sendLeft(ButtonEvent::LeftDown);
        if (puttingDown)
            sendLeft(ButtonEvent::LeftUp);
        break;
    }
    }
}

void MotionEngine::fireDown(Device device)
{
    if (mode_ == ClickMode::None) {
        leftDown();  // held as long as the switch: moving meanwhile drags
        pending(device) = PendingRelease::LeftUp;
        return;
    }
    switch (effects_.targetUnderPointer()) {
    case PointerTarget::ModeButton:
        // Fire on a mode button only takes the mode away; its release must not click.
        effects_.uncheckModeButtons(kAllModeButtons);
        pending(device) = PendingRelease::Nothing;
        mode_ = ClickMode::None;
        putDragDown();  // a drag picked up and not yet put down ends here rather than never
        return;
    case PointerTarget::OptionsButton:
        // The coming release makes an ordinary click on the options button.
        effects_.uncheckModeButtons(kAllModeButtons);
        mode_ = ClickMode::None;
        leftDown();
        pending(device) = PendingRelease::LeftUp;
        return;
    case PointerTarget::Elsewhere: break;
    }
    clickByMode();
    pending(device) = PendingRelease::Nothing;
    if (mode_ == ClickMode::Drag && leftIsDown_)
        return;  // drag mode stays selected until the second press
    effects_.uncheckModeButtons(kAllModeButtons);
    mode_ = ClickMode::None;
}

void MotionEngine::fireUp(Device device)
{
    PendingRelease owed = pending(device);
    pending(device) = PendingRelease::NoPress;
    switch (owed) {
    case PendingRelease::LeftUp: leftUp(); return;
    case PendingRelease::Nothing: return;
    case PendingRelease::NoPress: break;
    }
    // A release without a press seen: with no click mode it is the left button's release.
    if (mode_ == ClickMode::None)
        leftUp();
}

void MotionEngine::switchByte(uint8_t byte)
{
    if (byte == 'J') {
        fireDown(Device::Switches);
        return;
    }
    if (byte == 'j') {
        fireUp(Device::Switches);
        return;
    }
    setDirection(directionAfterSwitch(direction_, byte), Device::Switches);
}

void MotionEngine::setDirection(Direction next, Device device)
{
    Axes before = axesOf(direction_), after = axesOf(next);
    if (after.h && after.h != before.h)
        horizontalBy_ = device;
    if (after.v && after.v != before.v)
        verticalBy_ = device;
    direction_ = next;
}

void MotionEngine::forgetDirectionOf(Device device)
{
    Axes axes = axesOf(direction_);
    if (horizontalBy_ == device)
        axes.h = 0;
    if (verticalBy_ == device)
        axes.v = 0;
    direction_ = directionOf(axes);
}

// ---- joystick -----------------------------------------------------------------

// Returns the changed buttons that were not acted on: they are left for the next poll.
uint32_t MotionEngine::buttonChanges(uint32_t buttons)
{
    uint32_t before = lastButtons_;
    uint32_t changed = buttons ^ before;
    uint32_t waiting = 0;
    // Fire and right button: only the first change found acts in one poll.
    if (pressed(buttons, before, 1))
        fireDown(Device::Joystick);
    else if (released(buttons, before, 1))
        fireUp(Device::Joystick);
    else if (pressed(buttons, before, 2))
        rightDown();
    else if (released(buttons, before, 2))
        rightUp();
    else if (pressed(buttons, before, 7))
        fireDown(Device::Joystick);
    else if (released(buttons, before, 7))
        fireUp(Device::Joystick);
    if (changed & buttonBit(1))
        waiting |= changed & (buttonBit(2) | buttonBit(7));
    else if (changed & buttonBit(2))
        waiting |= changed & buttonBit(7);

    if (pressed(buttons, before, 3))
        setDirection(joystickPress(direction_, kDown), Device::Joystick);
    else if (released(buttons, before, 3))
        setDirection(releaseAxis(direction_, kDown), Device::Joystick);

    if (pressed(buttons, before, 4))
        setDirection(joystickPress(direction_, kLeft), Device::Joystick);
    else if (released(buttons, before, 4))
        setDirection(releaseAxis(direction_, kLeft), Device::Joystick);

    // Up and right share one chain: right is looked at only when up did not change.
    if (pressed(buttons, before, 5))
        setDirection(joystickPress(direction_, kUp), Device::Joystick);
    else if (released(buttons, before, 5))
        setDirection(releaseAxis(direction_, kUp), Device::Joystick);
    else if (pressed(buttons, before, 6))
        setDirection(joystickPress(direction_, kRight), Device::Joystick);
    else if (released(buttons, before, 6))
        setDirection(releaseAxis(direction_, kRight), Device::Joystick);
    if (changed & buttonBit(5))
        waiting |= changed & buttonBit(6);
    return waiting;
}

void MotionEngine::joystickPoll(const JoystickReading& reading)
{
    if (axisMoved(reading.x, lastX_)) {
        setDirection(directionAfterStickX(direction_, axisZone(reading.x, range_.xMin, range_.xMax)), Device::Joystick);
        lastX_ = reading.x;
    }
    if (axisMoved(reading.y, lastY_)) {
        setDirection(directionAfterStickY(direction_, axisZone(reading.y, range_.yMin, range_.yMax)), Device::Joystick);
        lastY_ = reading.y;
    }
    if (reading.buttons != lastButtons_) {
        // A change not acted on keeps its old value, so the next poll still sees it: a button
        // let go beside another must not stay down, nor a direction run on.
        uint32_t notTaken = buttonChanges(reading.buttons);
        lastButtons_ = reading.buttons ^ notTaken;
    }
}

void MotionEngine::stopJoystick()
{
    if (pending(Device::Joystick) != PendingRelease::NoPress)
        fireUp(Device::Joystick);
    if (rightIsDown_)
        rightUp();  // only joystick button 2 holds it
    forgetDirectionOf(Device::Joystick);
    lastButtons_ = 0;
    // Centred, not 0: a centred reading later must not count as a move, which would stop a
    // direction the box's switches hold.
    lastX_ = range_.xMin + (range_.xMax - range_.xMin) / 2;
    lastY_ = range_.yMin + (range_.yMax - range_.yMin) / 2;
}

void MotionEngine::switchesForgotten()
{
    if (pending(Device::Switches) != PendingRelease::NoPress) {
        fireUp(Device::Switches);
        // The port monitor may still hand the switch's release to this window, which no longer
        // holds anything for it: that release must not become a left-button release of its own.
        pending(Device::Switches) = PendingRelease::Nothing;
    }
    forgetDirectionOf(Device::Switches);
}

bool MotionEngine::joystickHolds() const
{
    Axes axes = axesOf(direction_);
    return pending(Device::Joystick) != PendingRelease::NoPress || rightIsDown_ ||
           (axes.h && horizontalBy_ == Device::Joystick) || (axes.v && verticalBy_ == Device::Joystick);
}

// ---- motion and dwell ---------------------------------------------------------

void MotionEngine::resetSpeed()
{
    divisor_ = kBaseDivisor;
    step_ = stepForDivisor(divisor_);
}

void MotionEngine::move(Direction direction)
{
    Axes axes = axesOf(direction);
    effects_.movePointer(axes.h * step_, axes.v * step_);
}

void MotionEngine::tick()
{
    if (direction_ == Direction::None) {
        resetSpeed();
        sameDirectionTicks_ = 0;
        lastDirection_ = Direction::None;
        if (!dwellActive_ && settings_.method == kMethodDwell) {
            dwellActive_ = true;
            effects_.startDwellTimer(settings_.dwellTime);
        }
        return;
    }
    if (direction_ == lastDirection_ && settings_.increaseSpeed) {
        if (sameDirectionTicks_ < kTicksBeforeSpeedUp + 1)  // counted only as far as it matters
            ++sameDirectionTicks_;
        if (sameDirectionTicks_ > kTicksBeforeSpeedUp && divisor_ > kFastestDivisor) {
            divisor_ = divisor_ - 5 < kFastestDivisor ? kFastestDivisor : divisor_ - 5;
            step_ = stepForDivisor(divisor_);
        }
    } else {
        resetSpeed();
        lastDirection_ = direction_;
        sameDirectionTicks_ = 0;
    }
    move(direction_);
    if (dwellActive_)
        endDwell();
}

void MotionEngine::endDwell()
{
    if (!dwellActive_)
        return;
    dwellActive_ = false;
    mode_ = ClickMode::None;
    effects_.stopDwellTimer();
    effects_.restoreCursors();
}

void MotionEngine::optionsOpening()
{
    putDragDown();
    endDwell();
}

void MotionEngine::dwellTimer()
{
    effects_.stopDwellTimer();
    static constexpr struct {
        ClickMode next;
        int cursor;
    } kCycle[] = {
        {ClickMode::Left, kCursorLeftClick},     // after none
        {ClickMode::Double, kCursorDoubleClick}, // after left click
        {ClickMode::Right, kCursorRightClick},   // after double click
        {ClickMode::Drag, kCursorDrag},          // after right click
        {ClickMode::Left, kCursorLeftClick},     // after drag
    };
    const auto& step = kCycle[static_cast<int>(mode_)];
    mode_ = step.next;
    effects_.showCursor(step.cursor);
    effects_.startDwellTimer(settings_.cursorInterval);
}

// ---- bar ----------------------------------------------------------------------

void MotionEngine::barCommand(int id)
{
    struct ModeButton {
        int id;
        ClickMode mode;
    };
    static constexpr ModeButton kModeButtons[] = {
        {kDoubleClickButton, ClickMode::Double}, {kRightClickButton, ClickMode::Right}, {kDragButton, ClickMode::Drag}};
    for (const ModeButton& button : kModeButtons) {
        if (button.id != id)
            continue;
        // The pressed button checked or unchecked itself; the other two go out.
        effects_.uncheckModeButtons(id);
        mode_ = mode_ == button.mode ? ClickMode::None : button.mode;
        return;
    }
    if (id == kOptionsButton) {
        putDragDown();
        mode_ = ClickMode::None;
        effects_.uncheckModeButtons(kAllModeButtons);
        effects_.openOptions();
    }
}

void MotionEngine::releaseEverything()
{
    if (leftIsDown_)
        sendLeft(ButtonEvent::LeftUp);
    if (rightIsDown_)
        rightUp();
    dwellActive_ = false;
    effects_.stopDwellTimer();
    effects_.restoreCursors();
}

}  // namespace fennick::mouse
