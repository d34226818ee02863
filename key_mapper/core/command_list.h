// Command lists: the named numbers offered for the command types that take a number.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fennick::key {

struct CommandEntry {
    std::string name;
    int32_t value;
};

// One section of a command-list file, as the private-profile reader sees it.
class CommandListSource {
public:
    virtual ~CommandListSource() = default;
    virtual int32_t integer(const std::string& key, int32_t fallback) const = 0;
    virtual std::string text(const std::string& key) const = 0;
};

// A count larger than this is a damaged file, not a list a person could choose from.
inline constexpr int32_t kMaxCommandEntries = 1000;

// The entries 1 .. NumOfFunctions in file order, without those whose CmdVal is missing (-1)
// or whose CmdName is empty.
std::vector<CommandEntry> ReadCommandList(const CommandListSource& source);

// Index of the first entry with this number, or -1 when none has it.
int FindCommandByValue(const std::vector<CommandEntry>& entries, int32_t value);

// The section that lists the numbers of a command type, or nullptr for types that take text.
const char* CommandListSection(int32_t btCmd);

// "FennickKey_" + language code + ".ini"
std::string CommandListFileName(std::string_view languageCode);

// Language codes compare without regard to case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// The language module for a language code: FRF, DUB and ITI (any case) have their own,
// every other code uses the English one.
const char* LanguageModuleFileName(std::string_view languageCode);

}  // namespace fennick::key
