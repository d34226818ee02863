// Loading the language module that belongs to a language code.
#include "fennick_key/language_module.h"

#include "command_list.h"

namespace fennick::key {

HMODULE LoadLanguageModule(const char* languageCode)
{
    return LoadLibraryA(LanguageModuleFileName(languageCode ? languageCode : ""));
}

}  // namespace fennick::key
