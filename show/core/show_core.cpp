// Input letters, make rules, joystick directions, row rules, paths, profile names and placement of the show.
#include "show_core.h"

#include <cstdlib>
#include <cstring>

namespace fennick::show {

namespace {

constexpr char kMakes[kSlotCount + 1] = "DURLJ";
constexpr char kBreaks[kSlotCount + 1] = "durlj";

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (lowerAscii(text[i]) != lowerAscii(prefix[i]))
            return false;
    return true;
}

}  // namespace

// ---- input letters ----------------------------------------------------------

InputLetter lookupInput(uint8_t byte)
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (byte == static_cast<uint8_t>(kMakes[slot]))
            return {slot, true};
        if (byte == static_cast<uint8_t>(kBreaks[slot]))
            return {slot, false};
    }
    return {-1, false};
}

char makeLetter(int slot) { return slot >= 0 && slot < kSlotCount ? kMakes[slot] : 0; }
char breakLetter(int slot) { return slot >= 0 && slot < kSlotCount ? kBreaks[slot] : 0; }

// ---- the switch event -------------------------------------------------------

void ShowEngine::clearSlots()
{
    for (Slot& slot : slots_)
        slot = Slot();
}

const std::string* ShowEngine::currentPicture() const
{
    if (current_ < 0)
        return nullptr;
    const Slot& slot = slots_[current_];
    if ((slot.action == kShowPicture || slot.action == kPictureAndSound) && !slot.first.empty())
        return &slot.first;
    return nullptr;
}

void ShowEngine::onByte(uint8_t byte, ShowEffects& effects)
{
    InputLetter input = lookupInput(byte);
    if (input.slot < 0 || !input.make)
        return;
    int previous = current_;
    current_ = input.slot;
    if (fadeMs_ != kFadeNever)
        effects.restartFadeTimer(fadeMs_);
    bool changed = previous != current_;
    if (changed)
        effects.clearScreen();

    const Slot& slot = slots_[current_];
    if (slot.first.empty())
        return;  // no action can run without its first text; action 4 plays no sound either
    switch (slot.action) {
    case kShowPicture:
    case kPictureAndSound:
        // A repeated make of the switch whose picture shows does not redraw it, but plays the sound again.
        if (changed)
            effects.drawPicture(slot.first);
        if (slot.action == kPictureAndSound && !slot.second.empty())
            effects.playSound(slot.second);
        break;
    case kPlaySound: effects.playSound(slot.first); break;
    case kRunProgram: effects.runProgram(slot.first); break;
    default: break;
    }
}

void ShowEngine::onFade(ShowEffects& effects)
{
    effects.stopFadeTimer();
    current_ = -1;
    effects.clearScreen();
}

// ---- keyboard ---------------------------------------------------------------

char keyLetter(unsigned virtualKey, bool down)
{
    int slot;
    switch (virtualKey) {
    case 0x28: slot = 0; break;  // Down arrow
    case 0x26: slot = 1; break;  // Up arrow
    case 0x27: slot = 2; break;  // Right arrow
    case 0x25: slot = 3; break;  // Left arrow
    case 0x20: slot = 4; break;  // Space bar
    default: return 0;
    }
    return down ? makeLetter(slot) : breakLetter(slot);
}

// ---- joystick ---------------------------------------------------------------

namespace {

constexpr char kDirectionMakes[] = {0, 'L', 'R', 'U', 'D'};
constexpr char kDirectionBreaks[] = {0, 'l', 'r', 'u', 'd'};

int zoneDirection(AxisZone zone, int low, int high)
{
    switch (zone) {
    case AxisZone::High: return high;
    case AxisZone::Low: return low;
    case AxisZone::Centre: break;
    }
    return kCentre;
}

}  // namespace

char directionChange(int newDirection, int lastDirection)
{
    if (newDirection == lastDirection || newDirection < kCentre || newDirection > kDown || lastDirection < kCentre ||
        lastDirection > kDown)
        return 0;
    // From one direction straight to another only the old one is released.
    if (lastDirection != kCentre)
        return kDirectionBreaks[lastDirection];
    return kDirectionMakes[newDirection];
}

int JoystickDirections::apply(const JoystickReading& reading, char out[kMaxLetters])
{
    int count = 0;
    int direction = kCentre;
    if (axisMoved(reading.x, lastX_)) {
        direction = zoneDirection(axisZone(reading.x, range_.xMin, range_.xMax), kLeft, kRight);
        lastX_ = reading.x;
    }
    if (axisMoved(reading.y, lastY_)) {
        direction = zoneDirection(axisZone(reading.y, range_.yMin, range_.yMax), kUp, kDown);
        lastY_ = reading.y;
    }
    if (char letter = directionChange(direction, lastDirection_))
        out[count++] = letter;
    lastDirection_ = direction;

    uint32_t changed = reading.buttons ^ lastButtons_;
    if (changed) {
        auto press = [&](uint32_t bit, char make) {
            out[count++] = (reading.buttons & bit) ? make : static_cast<char>(make - 'A' + 'a');
        };
        // Button 3 counts only in a poll where button 1 did not change; button 2 is not used.
        if (changed & 0x01)
            press(0x01, 'J');
        else if (changed & 0x04)
            press(0x04, 'D');
        const struct {
            uint32_t bit;
            char make;
        } others[] = {{0x08, 'U'}, {0x10, 'R'}, {0x20, 'L'}, {0x40, 'J'}};
        for (const auto& other : others)
            if (changed & other.bit)
                press(other.bit, other.make);
        lastButtons_ = reading.buttons;
    }
    return count;
}

// ---- actions dialog rows ----------------------------------------------------

TextKind pickerKind(int32_t action)
{
    switch (action) {
    case kShowPicture:
    case kPictureAndSound: return TextKind::Picture;
    case kPlaySound: return TextKind::Sound;
    case kRunProgram: return TextKind::Program;
    default: return TextKind::None;
    }
}

RowState rowLook(int32_t action, RowState row)
{
    row.firstKind = pickerKind(action);
    row.firstVisible = row.firstKind != TextKind::None;
    row.secondVisible = action == kPictureAndSound;
    return row;
}

RowState changeRowAction(int32_t oldAction, int32_t newAction, RowState row)
{
    switch (newAction) {
    case kPictureAndSound:
        if (oldAction == kPlaySound) {  // the sound path moves down
            row.second = row.first;
            row.first.clear();
        } else if (oldAction == kRunProgram) {
            row.first.clear();
            row.second.clear();
        }
        break;
    case kShowPicture:
        if (oldAction != kPictureAndSound)  // the picture path stays
            row.first.clear();
        break;
    case kPlaySound:
        if (oldAction == kPictureAndSound) {  // the sound path moves up
            row.first = row.second;
            row.second.clear();
        } else {
            row.first.clear();
        }
        break;
    case kRunProgram:
        row.first.clear();
        row.second.clear();
        break;
    default: break;
    }
    return rowLook(newAction, row);
}

// ---- paths ------------------------------------------------------------------

bool isAbsolutePath(std::string_view path)
{
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\')
        return true;
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\';
}

bool resolvePath(std::string_view folder, std::string_view path, std::string* out)
{
    std::string joined;
    if (!isAbsolutePath(path))
        joined.assign(folder);
    joined.append(path);
    if (joined.size() > kMaxPathLength)
        return false;
    *out = std::move(joined);
    return true;
}

std::string relativeToFolder(std::string_view folder, std::string_view picked)
{
    if (!folder.empty() && startsWithNoCase(picked, folder))
        return std::string(picked.substr(folder.size()));
    return std::string(picked);
}

// ---- profiles ---------------------------------------------------------------

NameCheck checkProfileName(std::string_view name)
{
    if (name.empty())
        return NameCheck::Empty;
    if (name.find_first_of("\\/:*?<>|\"") != std::string_view::npos)
        return NameCheck::ForbiddenCharacter;
    return NameCheck::Ok;
}

std::string sectionText(const Slot& slot)
{
    std::string text = "BtCmd=" + std::to_string(slot.action);
    text += '\0';
    text += "BtCmdText1=" + slot.first;
    text += '\0';
    text += "BtCmdText2=" + slot.second;
    text += '\0';
    return text;
}

std::string sectionName(int slot) { return "Button" + std::to_string(slot + 1); }

std::string profileName(std::string_view path)
{
    size_t slash = path.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (name.size() >= 4)
        name.remove_suffix(4);
    return std::string(name);
}

std::string windowTitle(std::string_view profilePath)
{
    if (profilePath.empty())
        return "FennickShow";
    return "FennickShow - " + profileName(profilePath);
}

// ---- pictures ---------------------------------------------------------------

PictureKind sniffPicture(const uint8_t* bytes, size_t count)
{
    auto starts = [&](const char* magic, size_t length) { return count >= length && memcmp(bytes, magic, length) == 0; };
    if (starts("BM", 2))
        return PictureKind::Bitmap;
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return PictureKind::Gif;
    if (starts("\xFF\xD8\xFF", 3))
        return PictureKind::Jpeg;
    if (starts("\x00\x00\x01\x00", 4))
        return PictureKind::Icon;
    if (starts("\xD7\xCD\xC6\x9A", 4))  // placeable metafile
        return PictureKind::Metafile;
    if (starts("\x01\x00\x00\x00", 4) && count >= 44 && memcmp(bytes + 40, " EMF", 4) == 0)
        return PictureKind::Metafile;
    return PictureKind::NotAPicture;
}

int32_t mulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    int64_t product = static_cast<int64_t>(a) * b;
    bool negative = (product < 0) != (c < 0);
    uint64_t magnitude = static_cast<uint64_t>(product < 0 ? -product : product);
    uint64_t divisor = static_cast<uint64_t>(c < 0 ? -static_cast<int64_t>(c) : c);
    uint64_t quotient = (magnitude + divisor / 2) / divisor;  // halves round away from zero
    if (quotient > 0x7FFFFFFF)
        return -1;
    return negative ? -static_cast<int32_t>(quotient) : static_cast<int32_t>(quotient);
}

Placement placePicture(int clientWidth, int clientHeight, int32_t himetricWidth, int32_t himetricHeight, int dpiX,
                       int dpiY)
{
    Placement placement;
    if (clientWidth == 0 || clientHeight == 0 || himetricWidth == 0 || himetricHeight == 0)
        return placement;
    placement.width = mulDiv(himetricWidth, dpiX, 2540);
    placement.height = mulDiv(himetricHeight, dpiY, 2540);
    placement.x = (clientWidth - placement.width) / 2;
    placement.y = (clientHeight - placement.height) / 2;
    placement.draw = true;
    return placement;
}

}  // namespace fennick::show
