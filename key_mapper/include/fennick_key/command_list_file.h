// Command-list files ("FennickKey_" + language code + ".ini") in the program folder.
#pragma once
#include <string>
#include <vector>

#include "command_list.h"

namespace fennick::key {

// The entries of one section of a command-list file; empty when the file or section is missing.
std::vector<CommandEntry> ReadCommandListFile(const char* path, const char* section);

// The entries a command type offers (BtCmd 1, 4..8), read from the language's file in the
// program folder; empty for the types that take text.
std::vector<CommandEntry> ReadCommandsFor(const char* programFolder, const char* languageCode, int32_t btCmd);

}  // namespace fennick::key
