// Button profile files (".bpf") in the program folder: load, save, list, and where a name lives.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "profile_rules.h"

namespace fennick::key {

enum class ProfileLoad {
    Loaded,      // the file was read
    Missing,     // no such file (or no name): the table holds the defaults
    Unreadable,  // the file exists but could not be opened: the table holds the defaults
};

// The profiles of one program folder. Loading and saving resolve names by the same rule
// (ResolveProfilePath), so a table is always written back to the file it was read from.
//
// A profile that exists but could not be read is never written over: after such a load the
// table holds only defaults, and saving it would destroy the user's set-up. That file stays
// protected until a later load of it succeeds.
class ProfileStore {
public:
    // `programFolder` ends in a backslash (ProgramFolder gives it).
    explicit ProfileStore(const char* programFolder);

    // The file a profile name or path stands for; empty for an empty name.
    std::string PathOf(const char* nameOrPath) const;

    // Reads the five sections into `table`; a missing file or key gives the defaults
    // (BtCmd 0, BtCmdVal 0, empty text); texts are cut to 1023 characters.
    ProfileLoad Load(const char* nameOrPath, ButtonTable& table);

    // Writes the five sections, each whole. False when nothing could be written, when the
    // name is empty, or when the file is protected after a failed load.
    bool Save(const char* nameOrPath, const ButtonTable& table);

    // Display names of the folder's "*.bpf" files (no folders), sorted without regard to case.
    std::vector<std::string> List() const;

    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;
    std::vector<std::string> protected_;  // paths whose last load found them unreadable
};

}  // namespace fennick::key
