// Joystick 1 readings and the axis rules every program of the suite applies to them (no Windows types).
#pragma once
#include <cstdint>

namespace fennick {

struct JoystickRange {
    uint32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

struct JoystickReading {
    uint32_t x = 0, y = 0, buttons = 0;
};

// Small stick movements are noise: an axis counts as moved only beyond this many units.
inline constexpr uint32_t kJoystickDeadBand = 200;

// Unsigned on purpose: while `last` is below the dead band the lower bound wraps round,
// so every reading counts as moved (the first poll after start always evaluates).
constexpr bool axisMoved(uint32_t value, uint32_t last)
{
    return value > last + kJoystickDeadBand || value < last - kJoystickDeadBand;
}

enum class AxisZone { Low, Centre, High };

// Above the 75 % point of the range is high, below the 25 % point low, between is centre.
inline AxisZone axisZone(uint32_t value, uint32_t min, uint32_t max)
{
    uint32_t range = max - min;
    if (value > min + static_cast<uint32_t>(0.75 * range))
        return AxisZone::High;
    if (value < min + static_cast<uint32_t>(0.25 * range))
        return AxisZone::Low;
    return AxisZone::Centre;
}

}  // namespace fennick
