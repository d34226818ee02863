// Port settings in the registry: load at first library load, save from the settings sheet.
#include "shared_block.h"

#include "line_choices.h"

#include <stdio.h>
#include <string.h>

namespace swibus {

namespace {

constexpr char kMainKey[] = "Software\\Velmora\\Swibus";
constexpr char kComPortValue[] = "ComPort";
constexpr char kPortInputValue[] = "PortInput";
constexpr char kDoWakeUpValue[] = "DoWakeUp";
constexpr char kBaudRateValue[] = "BaudRate";
constexpr char kParityValue[] = "Parity";
constexpr char kByteSizeValue[] = "ByteSize";
constexpr char kStopBitsValue[] = "StopBits";
constexpr char kFlowCtrlValue[] = "FlowCtrl";
constexpr char kSwitchesValue[] = "Switches";

// A registry key that closes itself. On failure every read leaves its output unchanged.
class RegKey {
public:
    RegKey() = default;
    ~RegKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    bool open(const char* path) { return RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key_) == ERROR_SUCCESS; }
    bool create(const char* path)
    {
        return RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                               &key_, nullptr) == ERROR_SUCCESS;
    }
    // Value types are not checked: the raw bytes count.
    bool readBytes(const char* name, void* out, DWORD size)
    {
        return RegQueryValueExA(key_, name, nullptr, nullptr, static_cast<BYTE*>(out), &size) == ERROR_SUCCESS;
    }
    // The low bytes of a stored value of up to 4 bytes; false (value unchanged) when unreadable.
    bool readDword(const char* name, DWORD* value)
    {
        DWORD raw = 0;
        if (!readBytes(name, &raw, sizeof(raw)))
            return false;
        *value = raw;
        return true;
    }
    void writeDword(const char* name, DWORD value)
    {
        RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
    void writeCodes(const char* name, const std::uint8_t* codes)
    {
        RegSetValueExA(key_, name, 0, REG_SZ, codes, kCodeCount);
    }

private:
    HKEY key_ = nullptr;
};

void PortKeyPath(int port, char* out, size_t size)
{
    snprintf(out, size, "%s\\COM%d", kMainKey, port);
}

void SetDefaultCodes(std::uint8_t* codes)
{
    memcpy(codes, kDefaultCodes, kCodeCount + 1);
}

void LoadPort(int port)
{
    PortRecord& rec = portRecord(port);
    rec.BaudRate = 9600;
    rec.Connected = 0;
    rec.FlowCtrl = 4;
    rec.Switches = port == g_shared.ComPort ? 1 : 0;
    rec.Parity = 0;
    rec.ByteSize = 8;
    rec.StopBits = 0;

    char path[64];
    PortKeyPath(port, path, sizeof(path));
    RegKey key;
    if (!key.open(path))
        return;
    DWORD value = 9600;
    rec.BaudRate = key.readDword(kBaudRateValue, &value) ? value : 9600;
    value = 0;
    rec.Parity = key.readDword(kParityValue, &value) ? std::uint8_t(value) : 0;
    rec.ByteSize = key.readDword(kByteSizeValue, &value) ? std::uint8_t(value) : 8;
    rec.StopBits = key.readDword(kStopBitsValue, &value) ? std::uint8_t(value) : 0;
    rec.FlowCtrl = key.readDword(kFlowCtrlValue, &value) ? std::uint8_t(value) : 4;
    // An existing subkey without the value means a plain data port, even for the current port.
    rec.Switches = key.readDword(kSwitchesValue, &value) ? std::uint8_t(value) : 0;
    LineSettings line = {rec.BaudRate, rec.Parity, rec.ByteSize, rec.StopBits, rec.FlowCtrl};
    replaceAbsurdValues(line);
    rec.BaudRate = line.baudRate;
    rec.Parity = line.parity;
    rec.ByteSize = line.byteSize;
    rec.StopBits = line.stopBits;
    rec.FlowCtrl = line.flowCtrl;
}

}  // namespace

void LoadSettings()
{
    SetDefaultCodes(g_shared.PortInput);
    SetDefaultCodes(g_shared.DefaultInput);
    g_shared.ComPort = 1;
    {
        RegKey key;
        if (key.open(kMainKey)) {
            DWORD value = 1;
            g_shared.ComPort = key.readDword(kComPortValue, &value) && value <= kPortCount ? std::int32_t(value) : 1;
            // A shorter stored text replaces only the leading codes (its zero lands after them).
            if (!key.readBytes(kPortInputValue, g_shared.PortInput, kCodeCount + 1))
                SetDefaultCodes(g_shared.PortInput);
            g_shared.PortInput[kCodeCount] = 0;
            g_shared.DoWakeUp = key.readDword(kDoWakeUpValue, &value) ? std::int32_t(value) : 1;
        }
    }
    for (int port = 1; port <= kPortCount; ++port)
        LoadPort(port);
}

void SaveComPort()
{
    RegKey key;
    if (key.create(kMainKey))
        key.writeDword(kComPortValue, DWORD(g_shared.ComPort));
}

void SavePortInput()
{
    RegKey key;
    if (key.create(kMainKey))
        key.writeCodes(kPortInputValue, g_shared.PortInput);
}

void SaveSettings()
{
    {
        RegKey key;
        if (key.create(kMainKey)) {
            key.writeDword(kComPortValue, DWORD(g_shared.ComPort));
            key.writeCodes(kPortInputValue, g_shared.PortInput);
        }
    }
    for (int port = 1; port <= kPortCount; ++port) {
        char path[64];
        PortKeyPath(port, path, sizeof(path));
        RegKey key;
        if (!key.create(path))
            continue;
        const PortRecord& rec = portRecord(port);
        key.writeDword(kBaudRateValue, rec.BaudRate);
        key.writeDword(kParityValue, rec.Parity);
        key.writeDword(kByteSizeValue, rec.ByteSize);
        key.writeDword(kStopBitsValue, rec.StopBits);
        key.writeDword(kFlowCtrlValue, rec.FlowCtrl);
        key.writeDword(kSwitchesValue, rec.Switches);
    }
}

}  // namespace swibus
