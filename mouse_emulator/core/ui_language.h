// Which of the program's string-table languages a user gets.
#pragma once
#include <cstdint>

namespace fennick::mouse {

inline constexpr uint16_t kLanguageEnglishUk = 2057;
inline constexpr uint16_t kLanguageDutch = 1043;
inline constexpr uint16_t kLanguageItalian = 1040;

// Dutch and Italian speakers (any country) get their own texts; everybody else English,
// US English included, which the program does not carry under its own number.
uint16_t stringLanguageFor(uint16_t userLanguage);

}  // namespace fennick::mouse
