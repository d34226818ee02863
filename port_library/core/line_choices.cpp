// Item tables of the line-setting lists and their mapping both ways.
#include "line_choices.h"

namespace swibus {

const std::uint32_t kBaudRates[kBaudChoices] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                                19200, 38400, 56000, 57600, 115200, 128000, 256000};
const char* const kBaudTexts[kBaudChoices] = {"110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",  "14400",
                                              "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
const char* const kParityTexts[kParityChoices] = {"None", "Odd", "Even", "Mark", "Space"};
const char* const kDataBitTexts[kDataBitChoices] = {"4", "5", "6", "7", "8"};
const char* const kStopBitTexts[kStopBitChoices] = {"1", "1.5", "2"};
const char* const kFlowTexts[kFlowChoices] = {"Xon/Xoff", "Hardware", "None"};

namespace {
const std::uint8_t kFlowValues[kFlowChoices] = {4, 2, 0};

int inRange(int item, int count) { return item >= 0 && item < count ? item : -1; }
}  // namespace

LineSelection selectionFor(const LineSettings& s)
{
    LineSelection sel{-1, -1, -1, -1, -1};
    for (int i = 0; i < kBaudChoices; ++i)
        if (kBaudRates[i] == s.baudRate)
            sel.baud = i;
    sel.parity = inRange(s.parity, kParityChoices);
    sel.dataBits = inRange(int(s.byteSize) - 4, kDataBitChoices);
    sel.stopBits = inRange(s.stopBits, kStopBitChoices);
    for (int i = 0; i < kFlowChoices; ++i)
        if (kFlowValues[i] == s.flowCtrl)
            sel.flow = i;
    return sel;
}

void applySelection(const LineSelection& sel, LineSettings& s)
{
    if (inRange(sel.baud, kBaudChoices) >= 0)
        s.baudRate = kBaudRates[sel.baud];
    if (inRange(sel.parity, kParityChoices) >= 0)
        s.parity = std::uint8_t(sel.parity);
    if (inRange(sel.dataBits, kDataBitChoices) >= 0)
        s.byteSize = std::uint8_t(sel.dataBits + 4);
    if (inRange(sel.stopBits, kStopBitChoices) >= 0)
        s.stopBits = std::uint8_t(sel.stopBits);
    if (inRange(sel.flow, kFlowChoices) >= 0)
        s.flowCtrl = kFlowValues[sel.flow];
}

void replaceAbsurdValues(LineSettings& s)
{
    if (s.baudRate == 0 || s.baudRate > kHighestBaudRate)
        s.baudRate = kDefaultLine.baudRate;
    if (s.parity > 4)
        s.parity = kDefaultLine.parity;
    if (s.byteSize < 4 || s.byteSize > 8)
        s.byteSize = kDefaultLine.byteSize;
    if (s.stopBits > 2)
        s.stopBits = kDefaultLine.stopBits;
    if (s.flowCtrl > 7)
        s.flowCtrl = kDefaultLine.flowCtrl;
}

}  // namespace swibus
