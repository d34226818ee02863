// How a Windows-1252 letter without a key of its own is typed: an accent dead key and a base letter.
#pragma once
#include <cstdint>

namespace fennick::macro {

// The spacing accents that layouts with dead keys turn into dead keys.
inline constexpr char kGrave = '\x60';
inline constexpr char kAcute = '\xB4';
inline constexpr char kCircumflex = '\x5E';
inline constexpr char kTilde = '\x7E';
inline constexpr char kDiaeresis = '\xA8';

// Up to two characters typed in order in place of one: the accent (when there is
// one) first, then the base letter; or two letters ("AE", "ae", "ss"). Zero
// characters for those that type nothing and for every character outside 0xC0..0xFF.
struct Composition {
    char chars[2] = {0, 0};
    std::uint8_t count = 0;
};

Composition composeCharacter(unsigned char c);

}  // namespace fennick::macro
