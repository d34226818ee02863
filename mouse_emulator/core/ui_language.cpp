// The string-table language for a user's language: Dutch, Italian, or English for all others.
#include "ui_language.h"

namespace fennick::mouse {

uint16_t stringLanguageFor(uint16_t userLanguage)
{
    constexpr uint16_t kPrimaryDutch = 0x13, kPrimaryItalian = 0x10;
    switch (userLanguage & 0x3FF) {
    case kPrimaryDutch: return kLanguageDutch;
    case kPrimaryItalian: return kLanguageItalian;
    default: return kLanguageEnglishUk;
    }
}

}  // namespace fennick::mouse
