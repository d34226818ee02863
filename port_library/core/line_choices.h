// The line-setting lists of the settings sheet and how their items map to a port's settings.
#pragma once
#include <cstdint>

namespace swibus {

// A port's line settings as the sheet edits them.
struct LineSettings {
    std::uint32_t baudRate;
    std::uint8_t parity;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t byteSize;  // 4..8
    std::uint8_t stopBits;  // 0 one, 1 one and a half, 2 two
    std::uint8_t flowCtrl;  // 1 DTR/DSR, 2 RTS/CTS, 4 XON/XOFF
};

inline constexpr int kBaudChoices = 15;
extern const std::uint32_t kBaudRates[kBaudChoices];
extern const char* const kBaudTexts[kBaudChoices];
inline constexpr int kParityChoices = 5;
extern const char* const kParityTexts[kParityChoices];
inline constexpr int kDataBitChoices = 5;
extern const char* const kDataBitTexts[kDataBitChoices];
inline constexpr int kStopBitChoices = 3;
extern const char* const kStopBitTexts[kStopBitChoices];
inline constexpr int kFlowChoices = 3;
extern const char* const kFlowTexts[kFlowChoices];

inline constexpr LineSettings kDefaultLine = {9600, 0, 8, 0, 4};
inline constexpr std::uint32_t kHighestBaudRate = 4000000;

// Settings outside their ranges (possible only through an edited registry) are replaced by their
// defaults, each on its own, so a port is never set up into a line that cannot work.
void replaceAbsurdValues(LineSettings& settings);

// Selected item of each list for these settings; -1 = no item matches (the list shows no selection).
struct LineSelection {
    int baud, parity, dataBits, stopBits, flow;
};
LineSelection selectionFor(const LineSettings& settings);

// Stores the selected items; a list without a selection (-1) leaves its field unchanged.
void applySelection(const LineSelection& selection, LineSettings& settings);

}  // namespace swibus
