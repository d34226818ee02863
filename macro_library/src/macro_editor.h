// The macro editor dialog behind ComposeMacro.
#pragma once
#include <windows.h>

#include <string>

namespace fennick::macro {

struct EditorRequest {
    HMODULE module = nullptr;  // holds the dialogs, strings and icons
    HWND owner = nullptr;
    std::string caption;     // title of every message box
    const char* initialMacro = nullptr;
    std::string storePath;   // the custom macro file; empty for none
};

// Runs the editor modally. True with the new macro string in `result` when the user chose
// OK; false after Cancel or closing. The custom macro store is written either way, unless
// it could not be read completely.
bool RunMacroEditor(const EditorRequest& request, std::string& result);

}  // namespace fennick::macro
