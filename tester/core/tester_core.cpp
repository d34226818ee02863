// State word, joystick zones, shape geometry and query reply of the device tester.
#include "tester_core.h"

#include <cstring>

namespace fennick::tester {

uint32_t applyPortByte(uint32_t state, uint8_t byte, bool joystickMode)
{
    switch (byte) {
    case 'D': return state | kBitDown;
    case 'd': return state & ~kBitDown;
    case 'L': return state | kBitLeft;
    case 'l': return state & ~kBitLeft;
    case 'U': return state | kBitUp;
    case 'u': return state & ~kBitUp;
    case 'R': return state | kBitRight;
    case 'r': return state & ~kBitRight;
    case 'J': return state | (joystickMode ? kBitCentre : kBitLeft);
    case 'j': return state & ~(joystickMode ? kBitCentre : kBitLeft);
    default: return state;
    }
}

// One axis: the high zone lights `high`, the low zone `low`, the centre clears both.
static uint32_t applyAxis(uint32_t state, uint32_t value, uint32_t min, uint32_t max, uint32_t low, uint32_t high)
{
    switch (axisZone(value, min, max)) {
    case AxisZone::High: return (state & ~low) | high;
    case AxisZone::Low: return (state & ~high) | low;
    case AxisZone::Centre: break;
    }
    return state & ~(low | high);
}

static uint32_t setOrClear(uint32_t state, uint32_t bit, bool on) { return on ? state | bit : state & ~bit; }

uint32_t JoystickTracker::apply(uint32_t state, const JoystickReading& reading)
{
    if (axisMoved(reading.x, lastX_)) {
        state = applyAxis(state, reading.x, range_.xMin, range_.xMax, kBitLeft, kBitRight);
        lastX_ = reading.x;
    }
    if (axisMoved(reading.y, lastY_)) {
        state = applyAxis(state, reading.y, range_.yMin, range_.yMax, kBitUp, kBitDown);
        lastY_ = reading.y;
    }
    uint32_t buttons = reading.buttons;
    uint32_t changed = buttons ^ lastButtons_;
    if (changed) {
        // Buttons 1 and 2 share the centre; button 2 counts only when button 1 did not change.
        if (changed & 0x01)
            state = setOrClear(state, kBitCentre, buttons & 0x01);
        else if (changed & 0x02)
            state = setOrClear(state, kBitCentre, buttons & 0x02);
        struct {
            uint32_t button, bit;
        } const others[] = {{0x40, kBitCentre}, {0x04, kBitDown}, {0x08, kBitLeft}, {0x10, kBitUp}, {0x20, kBitRight}};
        for (const auto& other : others)
            if (changed & other.button)
                state = setOrClear(state, other.bit, buttons & other.button);
        lastButtons_ = buttons;
    }
    return state;
}

// ---- geometry -----------------------------------------------------------------

ShapeGeometry computeGeometry(int width, int height)
{
    ShapeGeometry g{};
    const int cx = width / 2, cy = height / 2;
    const int a = (height - 120) / 2, half = a / 2;

    const Point up[7] = {{cx, 20},           {cx + 30, 20 + half}, {cx + 15, 20 + half}, {cx + 15, 20 + a},
                         {cx - 15, 20 + a},  {cx - 15, 20 + half}, {cx - 30, 20 + half}};
    for (int i = 0; i < 7; ++i) {
        g.up[i] = up[i];
        g.down[i] = {up[i].x, height - up[i].y};
    }
    const int x0 = cx - 30 - a - 10;
    const int x1 = cx + 30 + a + 10;
    const struct {
        int dx, dy;
    } arrow[7] = {{0, 0}, {half, 30}, {half, 15}, {a, 15}, {a, -15}, {half, -15}, {half, -30}};
    for (int i = 0; i < 7; ++i) {
        g.left[i] = {x0 + arrow[i].dx, cy + arrow[i].dy};
        g.right[i] = {x1 - arrow[i].dx, cy + arrow[i].dy};
    }
    g.centre = {cx - 30, cy - 30, cx + 30, cy + 30};

    const int d1 = (width - 90) / 5, d2 = height - 40;
    int d, gap, top;
    if (d1 < d2) {
        d = d1;
        gap = 15;
        top = (height - d1) / 2;
    } else {
        d = d2;
        gap = (width - 5 * d2) / 6;
        top = 15;
    }
    for (int i = 0; i < 5; ++i)
        g.circles[i] = {(i + 1) * gap + i * d, top, (i + 1) * (gap + d), top + d};
    const int l = (width - 2 * d - 50) / 2;
    g.pair[0] = {l, top, l + d, top + d};
    g.pair[1] = {l + d + 50, top, l + 2 * d + 50, top + d};
    return g;
}

static Shape polygon(const Point* points, bool lit) { return Shape{true, points, Box{0, 0, 0, 0}, lit}; }
static Shape circle(const Box& box, bool lit) { return Shape{false, nullptr, box, lit}; }

int shapesToDraw(const ShapeGeometry& g, bool joystickMode, uint32_t model, uint32_t state, Shape out[5])
{
    if (joystickMode) {
        out[0] = polygon(g.up, state & kBitUp);
        out[1] = polygon(g.down, state & kBitDown);
        out[2] = polygon(g.left, state & kBitLeft);
        out[3] = polygon(g.right, state & kBitRight);
        out[4] = circle(g.centre, state & kBitCentre);
        return 5;
    }
    if (model == kModelSerial) {
        out[0] = circle(g.pair[0], state & kBitDown);
        out[1] = circle(g.pair[1], state & kBitLeft);
        return 2;
    }
    for (int i = 0; i < 5; ++i)
        out[i] = circle(g.circles[i], state & (1u << i));
    return 5;
}

// ---- device query -------------------------------------------------------------

void ReplyBuffer::clear()
{
    std::memset(bytes_, 0, sizeof(bytes_));
    received_ = 0;
}

void ReplyBuffer::append(uint8_t byte)
{
    if (received_ < kCapacity)
        bytes_[received_] = byte;
    ++received_;
}

std::string ReplyBuffer::text() const
{
    const char* begin = reinterpret_cast<const char*>(bytes_);
    const void* zero = std::memchr(bytes_, 0, stored());
    size_t length = zero ? static_cast<const uint8_t*>(zero) - bytes_ : stored();
    std::string reply(begin, length);
    repairLineEnding(reply);
    return reply;
}

void repairLineEnding(std::string& reply)
{
    size_t n = reply.size();
    if (n >= 2 && reply[n - 2] == '\n' && reply[n - 1] == '\r') {
        reply[n - 2] = '\r';
        reply[n - 1] = '\n';
    }
}

}  // namespace fennick::tester
