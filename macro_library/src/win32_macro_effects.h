// The player's effects on the real system: keybd_event, mouse_event, Sleep and the thread's layout.
#pragma once
#include <windows.h>

#include "macro_player.h"

namespace fennick::macro {

class Win32MacroEffects : public MacroEffects {
public:
    // The calling thread's keyboard layout, taken once per macro like the modifier scan codes.
    Win32MacroEffects() : layout_(GetKeyboardLayout(0))
    {
        for (int i = 0; i < 256; ++i)
            keys_[i] = scans_[i] = kUnknown;
    }

    void key(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override
    {
        keybd_event(vk, scan, flags, 0);
    }
    void mouse(std::uint32_t flags) override { mouse_event(flags, 0, 0, 0, 0); }
    void sleep(std::uint32_t ms) override { Sleep(ms); }
    // The layout is fixed for the whole macro, so each answer is asked for once per macro:
    // under Wine every lookup is a trip into the system.
    std::int16_t keyForCharacter(char c) override
    {
        std::int32_t& known = keys_[static_cast<unsigned char>(c)];
        if (known == kUnknown)
            known = VkKeyScanExA(c, layout_);
        return static_cast<std::int16_t>(known);
    }
    std::uint32_t scanCodeForKey(std::uint32_t vk) override
    {
        if (vk > 0xFF)
            return MapVirtualKeyExA(vk, MAPVK_VK_TO_VSC, layout_);
        std::int32_t& known = scans_[vk];
        if (known == kUnknown)
            known = static_cast<std::int32_t>(MapVirtualKeyExA(vk, MAPVK_VK_TO_VSC, layout_));
        return static_cast<std::uint32_t>(known);
    }

private:
    static constexpr std::int32_t kUnknown = -0x10000;  // neither a key code nor a scan code
    HKL layout_;
    std::int32_t keys_[256];
    std::int32_t scans_[256];
};

}  // namespace fennick::macro
