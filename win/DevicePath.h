#pragma once
// The names the system gives a mapped file (GetMappedFileNameW, converted exactly to ANSI)
// turned into drive paths. No Win32 here: the drive table is filled by the caller
// (win/MappedModule.cpp).
#include <cstddef>

#include "win/WidePath.h"

// The device each drive letter stands for, as QueryDosDeviceA gives it for "C:" and so on
// (for example "\Device\HarddiskVolume1"); letters without a usable device stay empty.
class DriveDeviceTable {
  public:
    static const std::size_t kDeviceNameSize = 260;

    // Records letter's device. False (and nothing recorded) for a letter outside A-Z or a-z,
    // or an empty name or one that does not fit kDeviceNameSize.
    bool Set(char letter, const char* deviceName);
    // The device recorded for the upper-case letter 'A' + index, or "".
    const char* Device(int index) const { return devices_[index]; }
    static const int kLetterCount = 26;

  private:
    char devices_[kLetterCount][kDeviceNameSize] = {};
};

// Converts a mapped file's name into the path "X:\..." that names the same file:
//  - "\??\X:\rest" (what Wine answers) gives "X:\rest";
//  - "<device>\rest" gives "X:\rest" for the drive X whose device is exactly <device> (the next
//    byte must be the backslash, so "\Device\HarddiskVolume1" does not match a name on
//    "\Device\HarddiskVolume10"); device names compare with ASCII letters folded.
// Network names ("\??\UNC\", "\Device\Mup\", "\Device\LanmanRedirector\", and drives whose
// device is one of those) and every other form give no drive path. Returns false and leaves
// path empty when there is none or it does not fit `size` bytes.
bool DevicePathToDrivePath(const char* mappedName, const DriveDeviceTable& drives, char* path,
                           std::size_t size);

// The same in UTF-16, for names taken from the system as they are.
bool DevicePathToDrivePath(const WidePath& mappedName, const DriveDeviceTable& drives,
                           WidePath& path);
