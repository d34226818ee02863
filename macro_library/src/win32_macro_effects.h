// The player's effects on the real system: keybd_event, mouse_event, Sleep and the thread's layout.
#pragma once
#include <windows.h>

#include "macro_player.h"

namespace fennick::macro {

class Win32MacroEffects : public MacroEffects {
public:
    // The calling thread's keyboard layout, taken once per macro like the modifier scan codes.
    Win32MacroEffects() : layout_(GetKeyboardLayout(0)) {}

    void key(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override
    {
        keybd_event(vk, scan, flags, 0);
    }
    void mouse(std::uint32_t flags) override { mouse_event(flags, 0, 0, 0, 0); }
    void sleep(std::uint32_t ms) override { Sleep(ms); }
    std::int16_t keyForCharacter(char c) override { return VkKeyScanExA(c, layout_); }
    std::uint32_t scanCodeForKey(std::uint32_t vk) override { return MapVirtualKeyExA(vk, MAPVK_VK_TO_VSC, layout_); }

private:
    HKL layout_;
};

}  // namespace fennick::macro
