// The button table and the platform-free rules of profile files: paths, display names, section texts.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace fennick::key {

inline constexpr int kSwitchCount = 5;
inline constexpr size_t kMaxButtonText = 1023;
inline constexpr char kProfileExtension[] = ".bpf";

struct ButtonDef {
    int32_t BtCmd = 0;
    int32_t BtCmdVal = 0;
    char BtCmdText[kMaxButtonText + 1] = {};
};
using ButtonTable = std::array<ButtonDef, kSwitchCount>;

// Every entry BtCmd 0, BtCmdVal 0, empty text: the table at start and after a missing profile.
void ClearButtonTable(ButtonTable& table);
// Bounded copy into BtCmdText; returns false when the text was cut to kMaxButtonText.
bool SetButtonText(ButtonDef& button, std::string_view text);

// "Button1" .. "Button5" for switch numbers 1 .. 5.
std::string ButtonSectionName(int switchNumber);

// The value written after "BtCmdText=" so that reading it back gives the same text:
// line breaks would start new lines (and could forge keys or sections), so they become
// spaces; texts that the private-profile reader would trim (surrounding blanks) or
// unquote (surrounding quotes) are wrapped in double quotes, which the reader removes.
std::string StoredButtonText(std::string_view text);

// The whole section as handed to WritePrivateProfileSectionA: the three lines
// separated by NULs, the last one followed by two NULs.
std::string ButtonSectionText(const ButtonDef& button);

// Where a profile given by name or path lives. `folder` is the program folder with its
// trailing backslash; `exists` says whether a file exists. Loading and saving use this one
// rule, so that what was read is what gets written:
//  - empty text: no file (empty result);
//  - a text with a folder part or a drive ("\", "/" or ":") is a file path; a relative one is
//    taken in the program folder;
//  - a bare name is a profile display name in the program folder: folder + name + ".bpf",
//    also when it holds a dot ("a.b" is a.b.bpf);
//  - a bare name already ending in ".bpf" is that file in the program folder, unless a
//    profile of exactly that display name exists (x.bpf.bpf for "x.bpf").
using FileExists = std::function<bool(const std::string& path)>;
std::string ResolveProfilePath(std::string_view nameOrPath, std::string_view folder, const FileExists& exists);

// True when `fileName` is a profile file name: it ends in ".bpf" (any case) and has a name before it.
bool IsProfileFileName(std::string_view fileName);

// Display name of a profile from its file name, its full path or a bare name: the part after
// the last backslash or slash, without a trailing ".bpf" (any case). A bare name without
// the extension comes back unchanged, so "Reading" and "C:\x\Reading.bpf" both give "Reading".
std::string ProfileDisplayName(std::string_view nameOrPath);

// A new profile name may hold none of \ / : * ? < > | " (they cannot stand in a file name).
bool HasForbiddenProfileCharacter(std::string_view name);

}  // namespace fennick::key
