#include "win/DevicePath.h"

#include <cstdio>
#include <cstring>

namespace {

// Devices of the network redirectors: files behind them live on another machine.
const char* const kNetworkDevices[] = {"\\Device\\Mup", "\\Device\\LanmanRedirector",
                                       "\\Device\\WebDavRedirector"};

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Length of prefix when name starts with it (ASCII letters folded) followed by a backslash,
// else 0.
std::size_t MatchDevicePrefix(const char* name, const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
        if (FoldAscii(name[i]) != FoldAscii(prefix[i]))
            return 0;
    }
    return name[i] == '\\' ? i : 0;
}

bool IsNetworkDevice(const char* deviceName) {
    for (const char* network : kNetworkDevices) {
        const std::size_t length = std::strlen(network);
        std::size_t i = 0;
        while (i < length && FoldAscii(deviceName[i]) == FoldAscii(network[i]))
            ++i;
        if (i == length && (deviceName[i] == '\0' || deviceName[i] == '\\'))
            return true;
    }
    return false;
}

bool FormatDrivePath(char letter, const char* rest, char* path, std::size_t size) {
    const int written = std::snprintf(path, size, "%c:%s", FoldAscii(letter), rest);
    if (written < 0 || static_cast<std::size_t>(written) >= size) {
        path[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace

bool DriveDeviceTable::Set(char letter, const char* deviceName) {
    if (!IsDriveLetter(letter) || deviceName == nullptr || deviceName[0] == '\0' ||
        std::strlen(deviceName) >= kDeviceNameSize) {
        return false;
    }
    std::strcpy(devices_[FoldAscii(letter) - 'A'], deviceName);
    return true;
}

bool DevicePathToDrivePath(const char* mappedName, const DriveDeviceTable& drives, char* path,
                           std::size_t size) {
    if (path == nullptr || size == 0)
        return false;
    path[0] = '\0';
    if (mappedName == nullptr)
        return false;
    if (std::strncmp(mappedName, "\\??\\", 4) == 0) {
        const char* drive = mappedName + 4;
        if (IsDriveLetter(drive[0]) && drive[1] == ':' && drive[2] == '\\')
            return FormatDrivePath(drive[0], drive + 2, path, size);
        return false;
    }
    if (IsNetworkDevice(mappedName))
        return false;
    for (int index = 0; index < DriveDeviceTable::kLetterCount; ++index) {
        const char* device = drives.Device(index);
        if (device[0] == '\0' || IsNetworkDevice(device))
            continue;
        const std::size_t length = MatchDevicePrefix(mappedName, device);
        if (length != 0)
            return FormatDrivePath(static_cast<char>('A' + index), mappedName + length, path, size);
    }
    return false;
}
