// The custom macro store's file ("custom.mcr"): loading and saving through Win32 file calls.
#pragma once
#include "custom_macro_store.h"

namespace fennick::macro {

enum class CustomFileLoad {
    Loaded,      // every record was read
    Missing,     // no path, or no file there yet: the store is empty and may be saved
    Unreadable,  // the file is there but could not be read (locked, no access, a folder)
    Damaged,     // read up to a record that is cut short or too long; the rest is not in the store
};

// Fills the store with the complete records of the file. After Unreadable or Damaged the
// store does not hold everything the file holds: saving it would destroy the rest, so
// callers must not save it over that file.
CustomFileLoad LoadCustomMacroFile(const char* path, CustomMacroStore& store);

// Rewrites the file from the store. The records go to a sibling file first, which then
// replaces the old one, so a failed save leaves the old file exactly as it was; the old
// file's attributes (hidden, say) stay. Paths near or beyond MAX_PATH work too. False for
// a null or empty path, a read-only file and every failure.
bool SaveCustomMacroFile(const char* path, const CustomMacroStore& store);

}  // namespace fennick::macro
