// The custom macro store's file ("custom.mcr"): loading and saving through Win32 file calls.
#pragma once
#include "custom_macro_store.h"

namespace fennick::macro {

// Fills the store with the complete records of the file. A null or empty path, or a
// file that cannot be opened, leaves the store empty.
LoadReport LoadCustomMacroFile(const char* path, CustomMacroStore& store);

// Rewrites the file from the store. The records go to a sibling file first, which then
// replaces the old one, so a failed save leaves the old file exactly as it was. False
// for a null or empty path and for every failure.
bool SaveCustomMacroFile(const char* path, const CustomMacroStore& store);

}  // namespace fennick::macro
