#include "win/DevicePath.h"

#include <cstdio>
#include <cstring>

namespace {

// Devices of the network redirectors: files behind them live on another machine.
const char* const kNetworkDevices[] = {"\\Device\\Mup", "\\Device\\LanmanRedirector",
                                       "\\Device\\WebDavRedirector"};

template <typename Char>
Char FoldAscii(Char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<Char>(c - 'a' + 'A') : c;
}

template <typename Char>
bool IsDriveLetter(Char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Length of prefix when name starts with it (ASCII letters folded) followed by a backslash,
// else 0.
template <typename Char>
std::size_t MatchDevicePrefix(const Char* name, const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
        if (FoldAscii<Char>(name[i]) != FoldAscii<Char>(static_cast<unsigned char>(prefix[i])))
            return 0;
    }
    return name[i] == '\\' ? i : 0;
}

template <typename Char>
bool IsNetworkDevice(const Char* deviceName) {
    for (const char* network : kNetworkDevices) {
        const std::size_t length = std::strlen(network);
        std::size_t i = 0;
        while (i < length && FoldAscii<Char>(deviceName[i]) == FoldAscii<Char>(network[i]))
            ++i;
        if (i == length && (deviceName[i] == '\0' || deviceName[i] == '\\'))
            return true;
    }
    return false;
}

// The name converted as DevicePathToDrivePath describes, as "X:" and the rest; false when it
// has no drive path.
template <typename Char>
bool SplitMappedName(const Char* mappedName, const DriveDeviceTable& drives, char* letter,
                     const Char** rest) {
    if (mappedName == nullptr)
        return false;
    if (mappedName[0] == '\\' && mappedName[1] == '?' && mappedName[2] == '?' &&
        mappedName[3] == '\\') {
        const Char* drive = mappedName + 4;
        if (!IsDriveLetter(drive[0]) || drive[1] != ':' || drive[2] != '\\')
            return false;
        *letter = FoldAscii(static_cast<char>(drive[0]));
        *rest = drive + 2;
        return true;
    }
    if (IsNetworkDevice(mappedName))
        return false;
    for (int index = 0; index < DriveDeviceTable::kLetterCount; ++index) {
        const char* device = drives.Device(index);
        if (device[0] == '\0' || IsNetworkDevice(device))
            continue;
        const std::size_t length = MatchDevicePrefix(mappedName, device);
        if (length != 0) {
            *letter = static_cast<char>('A' + index);
            *rest = mappedName + length;
            return true;
        }
    }
    return false;
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
    char letter = 0;
    const char* rest = nullptr;
    if (!SplitMappedName(mappedName, drives, &letter, &rest))
        return false;
    const int written = std::snprintf(path, size, "%c:%s", letter, rest);
    if (written < 0 || static_cast<std::size_t>(written) >= size) {
        path[0] = '\0';
        return false;
    }
    return true;
}

bool DevicePathToDrivePath(const WidePath& mappedName, const DriveDeviceTable& drives,
                           WidePath& path) {
    path.clear();
    char letter = 0;
    const char16_t* rest = nullptr;
    if (!SplitMappedName(mappedName.c_str(), drives, &letter, &rest))
        return false;
    path = WidePath{char16_t(letter), u':'} + rest;
    return true;
}
