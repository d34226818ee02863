// The macro editor's command list: rows between two markers, insertion point, moves, drags,
// deleting, serialising and the internal clipboard, without any window.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fennick::macro {

// Kinds as the list view keeps them in each row's item data. CustomStart and CustomEnd
// are the bounds of an inserted custom macro: shown as "-- <start> <name> --", saved as
// "{MACRO name}" / "{/MACRO name}", which the player skips.
enum class RowKind : std::uint8_t { Text = 1, Key = 2, Pause = 3, CustomStart = 4, CustomEnd = 5 };

// What a person may type: the text field and a text row hold 127 characters, a pause 6
// digits, a custom macro name 46 characters. The text Add keeps the field's first 126.
inline constexpr std::size_t kMaxRowTextLength = 127;
inline constexpr std::size_t kMaxAddedTextLength = 126;
inline constexpr std::size_t kMaxPauseDigits = 6;
inline constexpr std::size_t kMaxCustomNameLength = 46;

struct MacroRow {
    std::string text;  // as shown; for an item its text with "$" written once
    RowKind kind = RowKind::Text;
    std::string name;  // the custom macro's name, CustomStart and CustomEnd only
    bool selected = false;
};

// The named keys the editor offers, in the order of its key list, with the string that
// names each in the user's language.
struct KeyListEntry {
    const char* name;  // as in "{" + name + "}"
    std::uint16_t stringId;
};
inline constexpr std::size_t kKeyListSize = 61;
extern const std::array<KeyListEntry, kKeyListSize> kKeyList;

struct EditorButtons {
    bool edit = false;
    bool remove = false;
    bool up = false;
    bool down = false;
};

class MacroList {
public:
    // The words of the markers in the user's language ("Macro start", "Macro end").
    MacroList(std::string startWord, std::string endWord);

    std::size_t size() const { return rows_.size(); }
    const MacroRow& row(std::size_t i) const { return rows_[i]; }
    std::size_t endMarker() const { return rows_.size() - 1; }
    bool isMarker(std::size_t i) const { return i == 0 || i == endMarker(); }
    bool hasItems() const { return rows_.size() > 2; }
    int focus() const { return focus_; }
    std::size_t selectedCount() const;

    // Selection and focus as the list view holds them (a person clicks there).
    void select(std::size_t i, bool selected);
    void setFocus(int i) { focus_ = i >= 0 && static_cast<std::size_t>(i) < rows_.size() ? i : -1; }
    void selectOnly(std::size_t i);
    void clearSelection();

    // New rows go in front of the first selected row (which stays selected), right after
    // the start marker when that is selected, and in front of the end marker otherwise.
    std::size_t insertionPoint() const;
    std::size_t insertRow(std::string text, RowKind kind, std::string name = {});

    // The Add buttons. Each returns false, inserting nothing, for an empty field; a pause
    // must be 1 to 6 digits. Text beyond 126 characters is not taken.
    bool addText(std::string_view field);
    bool addPause(std::string_view digits);
    bool addKey(std::size_t keyListRow);

    // Every item of a macro string becomes a row at the insertion point; text after the
    // last "$" is dropped, and a text written in two items (see serialise) is one row again.
    // Returns the number of rows inserted.
    std::size_t insertMacro(std::string_view macro);
    // A custom macro framed by its start and end rows.
    std::size_t insertCustomMacro(std::string_view name, std::string_view macro);

    bool canMoveUp() const;
    bool canMoveDown() const;
    bool moveUp();
    bool moveDown();

    // Deletes the selected rows (never the markers) and selects the row now standing where
    // the focused one stood, or the last item when that is the end marker.
    bool deleteSelected();
    // Only the two markers remain.
    void clear();

    // The rows between the markers as a macro string: each item with "$" doubled, then "$".
    // A text row the player would not type as it stands ("{MACRO x}", "{ENTER}") is written as
    // its text without the closing "}", then "}": two text items that type exactly the row.
    std::string serialise() const;
    std::string serialiseSelected() const;
    // The bytes a serialisation needs, terminator included, counted before writing it.
    std::size_t serialisedSize(bool selectedOnly) const;

    // Ctrl+C: the selected items become the clipboard (none selected empties it). Ctrl+V:
    // with something on the clipboard, everything is deselected, the items are inserted at
    // the insertion point, and no row is left selected or focused.
    void copy();
    bool paste();
    const std::string& clipboard() const { return clipboard_; }

    // Dragging: only one selected item row can be dragged. A drop on a marker, on a
    // selected row (itself) or on no row (target -1) changes nothing; otherwise the row
    // takes the target's place and is the only selected, focused row.
    bool canDrag() const;
    bool drop(int target);

    // In-place editing: text rows and pauses only. A pause shows and takes its digits.
    bool canEdit(std::size_t i) const;
    std::string editText(std::size_t i) const;
    bool acceptEdit(std::size_t i, std::string_view edited);

    EditorButtons buttons() const;
    // Shown in grey: markers, custom macro bounds and any text row "--...--" longer than 4.
    bool isGrey(std::size_t i) const;

private:
    int singleSelected() const;
    std::string startText(std::string_view name) const;
    std::string endText(std::string_view name) const;

    std::string startWord_;
    std::string endWord_;
    std::vector<MacroRow> rows_;
    int focus_ = -1;
    std::string clipboard_;
};

// The resource language the editor shows for a user interface language: German, French,
// Italian, Dutch (Belgian Dutch has its own copy of the Dutch texts), Norwegian and
// Swedish of any region; English (UK) for every other language, US English included.
std::uint16_t editorLanguageFor(std::uint16_t userLanguage);

}  // namespace fennick::macro
