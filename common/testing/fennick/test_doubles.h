// For Windows tests: a port monitor that records the calls made to it, and joystick 1 with scripted readings.
#pragma once
#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "fennick/joystick_reader.h"
#include "fennick/port_monitor.h"

namespace fennick::testing {

class RecordingPort : public PortMonitor {
public:
    int isRegistered(HWND window) override { return window && window == registered; }
    int registerWindow(HWND window) override
    {
        ++registrations;
        registered = window;
        return 1;
    }
    int unregisterWindow(HWND window) override
    {
        ++removals;
        if (window == registered)
            registered = nullptr;
        return 1;
    }
    int showSettings() override { return ++settingsShown; }
    int write(const char* bytes, int count) override
    {
        writes.emplace_back(bytes, count);
        return 1;
    }

    HWND registered = nullptr;
    int registrations = 0, removals = 0, settingsShown = 0;
    std::vector<std::string> writes;
};

// Each reading is taken once; an empty script or a `kFailure` entry makes the read fail.
class ScriptedJoystick : public JoystickReader {
public:
    bool capture(HWND window, unsigned periodMs) override
    {
        captured = window;
        period = periodMs;
        ++captures;
        return true;
    }
    void release() override { released = true; }
    bool capabilities(JoystickRange* out) override
    {
        *out = range;
        return true;
    }
    bool read(JoystickReading* reading) override
    {
        if (script.empty())
            return false;
        JoystickReading next = script.front();
        script.pop_front();
        if (next.buttons == kFailure)
            return false;
        *reading = next;
        return true;
    }

    static constexpr uint32_t kFailure = 0xFFFFFFFF;
    JoystickRange range{0, 65535, 0, 65535};
    std::deque<JoystickReading> script;
    HWND captured = nullptr;
    unsigned period = 0;
    int captures = 0;
    bool released = false;
};

}  // namespace fennick::testing
