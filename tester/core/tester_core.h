// Platform-free decisions of the device tester: state word, joystick zones, shape geometry, query reply.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "fennick/dialog_position.h"
#include "fennick/joystick.h"

namespace fennick::tester {

// Bits of the state word: one per shape that can light.
enum StateBit : uint32_t {
    kBitDown = 0x01,    // down arrow / circle 1 / left circle of the serial model
    kBitLeft = 0x02,    // left arrow / circle 2 / right circle of the serial model
    kBitUp = 0x04,      // up arrow / circle 3
    kBitRight = 0x08,   // right arrow / circle 4
    kBitCentre = 0x10,  // centre circle / circle 5
};

enum Model : uint32_t { kModelUsb = 0, kModelSerial = 1 };

// A switch byte from the port monitor. In switch mode "J"/"j" act on the
// second circle, so the serial model's Switch 1 and Fire share one circle.
uint32_t applyPortByte(uint32_t state, uint8_t byte, bool joystickMode);

using fennick::JoystickRange;
using fennick::JoystickReading;

// Turns successive joystick readings into state-word changes. An axis only
// counts when it moved more than 200 units from the last recorded value, in
// unsigned 32-bit arithmetic: while the recorded value is below 200 the lower
// bound wraps round, so every reading counts as moved.
class JoystickTracker {
public:
    static constexpr uint32_t kDeadBand = kJoystickDeadBand;

    void setRange(const JoystickRange& range) { range_ = range; }
    const JoystickRange& range() const { return range_; }
    uint32_t apply(uint32_t state, const JoystickReading& reading);

private:
    JoystickRange range_;
    uint32_t lastX_ = 0, lastY_ = 0, lastButtons_ = 0;
};

// ---- geometry -----------------------------------------------------------------
struct Point {
    int x, y;
};
inline bool operator==(const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; }

struct Box {
    int left, top, right, bottom;
};
inline bool operator==(const Box& a, const Box& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct ShapeGeometry {
    Point up[7], down[7], left[7], right[7];
    Box centre;
    Box circles[5];  // switch mode, USB model
    Box pair[2];     // switch mode, serial model
};

// Computed once from the client area (width, height).
ShapeGeometry computeGeometry(int width, int height);

struct Shape {
    bool polygon;         // arrow (7 points) or circle (box)
    const Point* points;  // polygon only
    Box box;              // circle only
    bool lit;
};

// The shapes of the current display, in drawing order; returns how many (at most 5).
int shapesToDraw(const ShapeGeometry& geometry, bool joystickMode, uint32_t model, uint32_t state, Shape out[5]);

// A dialog's origin on one axis: centred on the owner's centre, kept on the screen.
using fennick::centredOrigin;

// ---- device query -------------------------------------------------------------
// Bytes the device answers to a query. The buffer holds 128 bytes; later bytes
// are counted but dropped, never written past the end.
class ReplyBuffer {
public:
    static constexpr size_t kCapacity = 128;

    void clear();
    void append(uint8_t byte);
    size_t received() const { return received_; }
    size_t stored() const { return received_ < kCapacity ? received_ : kCapacity; }
    // The reply up to its first zero byte, with a closing "\n\r" turned into "\r\n".
    std::string text() const;

private:
    uint8_t bytes_[kCapacity] = {};
    size_t received_ = 0;
};

// Swaps a closing line feed + carriage return into carriage return + line feed.
void repairLineEnding(std::string& reply);

}  // namespace fennick::tester
