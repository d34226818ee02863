// What the settings dialogs decide, apart from their windows: the command types offered, which
// profile of the list is the current one, what a button becomes from its controls, whether a new
// profile name or a link may be kept, and the text of a link's row.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app_links.h"
#include "profile_rules.h"

namespace fennick::key {

// One item of a command type combo box: the language string naming it and the BtCmd it stands for.
struct CommandTypeItem {
    int stringId;
    int32_t btCmd;
};
// The nine types a person can choose, in combo order (strings 4..12; type 8 is not offered).
const std::vector<CommandTypeItem>& OfferedCommandTypes();
// Macros, sounds and programs are typed (or browsed) as text; every other type is chosen from a list.
bool CommandTakesText(int32_t btCmd);

// Index of `name` in `names` (compared without regard to case, as file names are), or -1.
// An exact comparison: "Rea" never stands for "Reading".
int FindProfileName(const std::vector<std::string>& names, std::string_view name);
// The list entry of the current profile, whether it is a full path, a file name or a bare name
// that a link or a switch made current; -1 when the list does not hold it.
int FindCurrentProfile(const std::vector<std::string>& names, std::string_view currentProfile);

// The profile a start with no current profile stored begins on: the ready-made "Space and Enter"
// when the folder holds it (switch 1 Space, switch 2 Enter: what switch software expects), else
// the first of `names`. -1 when there is none.
inline constexpr char kStarterProfile[] = "Space and Enter";
int StartProfileIndex(const std::vector<std::string>& names);

// What one switch row of the settings dialog shows when collected.
struct ButtonControls {
    bool present = true;     // the row's type combo and text field exist
    int32_t typeData = 0;    // item data of the type combo's selection (-1 when none is selected)
    std::string text;        // the text field
    std::string listText;    // the command list's selected text
    int32_t listValue = -1;  // item data of the command list's selection (-1 when none)
    bool listChosen = false; // the command list has a selection
};
// The row's command. `shown` is what the row was filled from, when known: a list row left
// without a selection (its stored number or profile is not in the list) keeps what it held,
// so that OK never turns a working command into nothing.
ButtonDef CollectButton(const ButtonControls& controls, const ButtonDef* shown = nullptr);

// Why a new profile name is refused, by the language string that says so; 0 when it is accepted.
inline constexpr int kNameAccepted = 0;
inline constexpr int kNameEmpty = 33;
inline constexpr int kNameForbiddenCharacter = 34;
inline constexpr int kNameExists = 35;
inline constexpr int kNameTooLong = 38;
// A profile's path is kept in 259 characters (the registry value, the dialogs, the file
// functions): folder + name + ".bpf" must fit, or the profile's edits would go nowhere.
inline constexpr size_t kMaxProfilePathLength = 259;
int CheckNewProfileName(std::string_view name, bool fileExists, std::string_view folder = {});

// Why a link is refused, by the language string that says so; 0 when it is accepted.
inline constexpr int kLinkAccepted = 0;
inline constexpr int kLinkNoType = 17;
inline constexpr int kLinkEmptyName = 18;
inline constexpr int kLinkNoProfile = 20;
int CheckLink(int32_t type, std::string_view name, std::string_view profile);

// The first column of a link's row in the link list. The formats are the language's strings for
// program-file and window-title links; their one "%s" takes the link's name (any other
// "%" is shown as it stands, so a translation can never make the row read past its text).
std::string LinkRowText(const ProfileLink& link, const std::vector<KnownApp>& apps, std::string_view byProgramFormat,
                        std::string_view byTitleFormat);
// The application name LINKEDIT shows for a link by application: the known name of its class,
// else the name it holds.
std::string LinkApplicationName(const ProfileLink& link, const std::vector<KnownApp>& apps);

}  // namespace fennick::key
