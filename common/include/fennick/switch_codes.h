// Switch messages and letters that every program of the suite shares.
#pragma once

// WM_APP + 100: wParam = port 1..16 (0 or 0xFFFFFFFF when a client sends it to itself), lParam = byte.
#define WM_SWITCH_BYTE 0x8064
// WM_APP + 101: wParam 1 = now active, 0 = no longer active; lParam = port.
#define WM_SWITCH_ACTIVATE 0x8065

#ifdef __cplusplus
namespace fennick {

// Codes clients receive after translation: make/break pairs of Left, Right, Up,
// Down, Fire/Switch 1 and Switch 2 (which shares Down's letters).
inline constexpr char kSwitchLetters[] = "LlRrUuDdJjDd";
inline constexpr int kSwitchCodeCount = 12;

enum class SwitchInput { Left = 0, Right = 1, Up = 2, Down = 3, Fire = 4, Switch2 = 5 };

constexpr char makeCode(SwitchInput input) { return kSwitchLetters[static_cast<int>(input) * 2]; }
constexpr char breakCode(SwitchInput input) { return kSwitchLetters[static_cast<int>(input) * 2 + 1]; }

}  // namespace fennick
#endif
