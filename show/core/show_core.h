// Platform-free decisions of the cause-and-effect show: input letters, the make rules, the joystick
// direction table and buttons, the actions dialog's row rules, paths, profile names and picture placement.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fennick/joystick.h"

namespace fennick::show {

inline constexpr int kSlotCount = 5;
// Path buffers hold 259 characters and a terminator.
inline constexpr size_t kPathCapacity = 260;
inline constexpr size_t kMaxPathLength = kPathCapacity - 1;

enum Action : int32_t {
    kNoAction = 0,
    kShowPicture = 1,
    kPlaySound = 2,
    kRunProgram = 3,
    kPictureAndSound = 4,
};

struct Slot {
    int32_t action = kNoAction;
    std::string first;   // picture, sound or program path
    std::string second;  // sound path of action 4
};

// ---- input letters ----------------------------------------------------------
// "D", "U", "R", "L", "J" are the makes of slots 0..4, the lower-case letters their breaks.
struct InputLetter {
    int slot;  // -1: not a letter of the show
    bool make;
};
InputLetter lookupInput(uint8_t byte);
char makeLetter(int slot);
char breakLetter(int slot);

// ---- the switch event -------------------------------------------------------
// What a make or the fade asks of the window.
class ShowEffects {
public:
    virtual ~ShowEffects() = default;
    virtual void restartFadeTimer(int32_t milliseconds) = 0;
    virtual void stopFadeTimer() = 0;
    // Erase the whole client area at once, so the previous picture is gone before anything else.
    virtual void clearScreen() = 0;
    virtual void drawPicture(const std::string& path) = 0;
    virtual void playSound(const std::string& path) = 0;
    virtual void runProgram(const std::string& path) = 0;
};

inline constexpr int32_t kFadeNever = -1;

class ShowEngine {
public:
    Slot& slot(int index) { return slots_[index]; }
    const Slot& slot(int index) const { return slots_[index]; }
    void clearSlots();
    int currentSlot() const { return current_; }
    // The picture the window should draw when it repaints: the current slot's, or empty.
    const std::string* currentPicture() const;
    void setFadeTime(int32_t milliseconds) { fadeMs_ = milliseconds; }
    int32_t fadeTime() const { return fadeMs_; }

    // One input byte through the one switch path (port, keyboard and joystick alike).
    void onByte(uint8_t byte, ShowEffects& effects);
    // Timer 1: the picture fades.
    void onFade(ShowEffects& effects);

private:
    Slot slots_[kSlotCount];
    int current_ = -1;
    int32_t fadeMs_ = kFadeNever;
};

// ---- keyboard ---------------------------------------------------------------
// Arrow keys and the space bar as switches; 0 for any other key. Virtual-key codes as Windows numbers them.
char keyLetter(unsigned virtualKey, bool down);

// ---- joystick ---------------------------------------------------------------
enum Direction : int { kCentre = 0, kLeft = 1, kRight = 2, kUp = 3, kDown = 4 };

// Turns successive readings of joystick 1 into the show's letters, at most 7 per poll.
class JoystickDirections {
public:
    static constexpr int kMaxLetters = 7;
    void setRange(const JoystickRange& range) { range_ = range; }
    // Writes the letters to send, in order, and returns how many.
    int apply(const JoystickReading& reading, char out[kMaxLetters]);
    int lastDirection() const { return lastDirection_; }

private:
    JoystickRange range_;
    uint32_t lastX_ = 0, lastY_ = 0, lastButtons_ = 0;
    int lastDirection_ = kCentre;
};

// The one letter (or 0) a change of direction sends.
char directionChange(int newDirection, int lastDirection);

// ---- actions dialog rows ----------------------------------------------------
enum class TextKind { None, Picture, Sound, Program };

struct RowState {
    std::string first, second;
    TextKind firstKind = TextKind::None;
    bool firstVisible = false, secondVisible = false;
};

// A row's look for an action: which trios show and which icon stands before the first text.
RowState rowLook(int32_t action, RowState row);
// The user chose `newAction` in a row whose last chosen action was `oldAction`: texts move, empty or stay.
RowState changeRowAction(int32_t oldAction, int32_t newAction, RowState row);
// The file picker's kind for a row's first text (None: no picker opens).
TextKind pickerKind(int32_t action);

// ---- paths ------------------------------------------------------------------
// "\\server\..." and "X:\..." are used unchanged.
bool isAbsolutePath(std::string_view path);
// A slot's path against the program folder. False when the result would not fit the
// 260-character buffer: such a path is refused, never cut into another file's name.
bool resolvePath(std::string_view folder, std::string_view path, std::string* out);
// A picked file inside the program folder (compared without regard to case) becomes relative to it.
std::string relativeToFolder(std::string_view folder, std::string_view picked);

// ---- profiles ---------------------------------------------------------------
enum class NameCheck { Ok, Empty, ForbiddenCharacter };
NameCheck checkProfileName(std::string_view name);
// The section body as the profile file holds it: three NUL-separated lines and a closing NUL.
std::string sectionText(const Slot& slot);
// "Button%d" for n = 1..5.
std::string sectionName(int slot);
// The file name of a path without its folder and without ".bd2" (the last four characters).
std::string profileName(std::string_view path);
// "FennickShow", or "FennickShow - name" while a profile is loaded.
std::string windowTitle(std::string_view profilePath);

// ---- pictures ---------------------------------------------------------------
// Larger files are refused before they are read: a 4K picture stored as an uncompressed
// 24-bit BMP (about 25 MB) still fits; a runaway file cannot fill the memory.
inline constexpr uint64_t kMaxPictureBytes = 32ull * 1024 * 1024;

enum class PictureKind { NotAPicture, Bitmap, Gif, Jpeg, Icon, Metafile };
// What the first bytes of a file say it is (at least 2 bytes; 44 recognise every kind).
PictureKind sniffPicture(const uint8_t* bytes, size_t count);

struct Placement {
    bool draw = false;
    int x = 0, y = 0, width = 0, height = 0;
};
// Natural size, centred; a larger picture gets negative offsets and is cropped equally on both sides.
Placement placePicture(int clientWidth, int clientHeight, int32_t himetricWidth, int32_t himetricHeight, int dpiX,
                       int dpiY);
// a * b / c rounded to the nearest, as the platform's MulDiv does (-1 when c is 0).
int32_t mulDiv(int32_t a, int32_t b, int32_t c);

}  // namespace fennick::show
