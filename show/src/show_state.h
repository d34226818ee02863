// State of the running show shared by its window and its dialogs (one instance per process).
#pragma once
#include <windows.h>
#include <string>

#include "picture.h"
#include "show_core.h"
#include "show_settings.h"
#include "show_window.h"

namespace fennick::show {

struct Show {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HWND child = nullptr;
    ShowServices services = {};
    ShowEngine engine;
    ShowSettings settings;
    HBRUSH brush = nullptr;
    bool fullScreen = false;
    DWORD model = 0;
    // The stored model is a value the show does not know (it runs as the USB model): another
    // program may know it, so it is written back only once the user chose a model here.
    bool modelLeftAlone = false;
    bool ended = false;  // the port and joystick let go and the settings saved, at close or log-off
    std::string folder;   // program folder, ending in a backslash
    std::string profile;  // full path of the current ".bd2", or empty
    JoystickDirections joystick;
    PictureCache pictures;
    int pictureDraws = 0;
    PictureLoad lastLoad = PictureLoad::None;
    // The action the user last chose in each row of the actions dialog during this run.
    int32_t chosenActions[kSlotCount] = {};
    COLORREF customColours[16] = {};
};

extern Show g;

void RepaintShow();
void UpdateTitle();
void RemakeBackgroundBrush();
using fennick::CentreOverOwner;
std::string LoadText(UINT id);

// The dialogs; each modal and owned by the main window.
void OpenButtonActions();
void OpenOptions();
void OpenDeviceModel();

}  // namespace fennick::show
