#include "detect/ScanDirectory.h"

#include <windows.h>
#include <mbstring.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "detect/DetectionReport.h"
#include "detect/NameTest.h"
#include "detect/UpackImage.h"
#include "win/UniqueHandle.h"

namespace {

const char kSearchMask[] = "*.dll";
const char kCompanionExtension[] = ".cfg";
const char kFileProgressPrefix[] = "正在扫描磁盘文件 ";

// The directories walked in one scan, by volume and file index, so that a link pointing back
// up the tree (or anywhere already seen) ends there instead of looping.
class VisitedDirectories {
  public:
    // False when the directory was walked before in this scan.
    bool Enter(const char* directory) {
        FileHandle handle(CreateFileA(directory, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        BY_HANDLE_FILE_INFORMATION info;
        // Without an identity the directory is still walked; the working path's length then
        // bounds the depth of a loop.
        if (!handle.IsValid() || !GetFileInformationByHandle(handle.Get(), &info))
            return true;
        const Identity identity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
        for (const Identity& seen : seen_) {
            if (seen.volume == identity.volume && seen.indexHigh == identity.indexHigh &&
                seen.indexLow == identity.indexLow)
                return false;
        }
        try {
            seen_.push_back(identity);
        } catch (const std::bad_alloc&) {
        }
        return true;
    }

  private:
    struct Identity {
        DWORD volume;
        DWORD indexHigh;
        DWORD indexLow;
    };
    std::vector<Identity> seen_;
};

void ShowFileProgress(DetectionReport& report, const char* path) {
    char message[sizeof(kFileProgressPrefix) + MAX_PATH];
    std::snprintf(message, sizeof(message), "%s%s", kFileProgressPrefix, path);
    report.UpdateStatus(message);
}

// path holds directory + "\" + name of a file entry.
void ScanFile(DetectionReport& report, char* path, const char* name) {
    // Every other file or so, chosen by the clock, so progress costs little.
    if (GetTickCount() & 1)
        ShowFileProgress(report, path);
    if (!PassesNameTest(name))
        return;
    if (!IsUpackImage(path))
        return;
    report.Detections().Add(path);

    unsigned char* dot = _mbsrchr(reinterpret_cast<unsigned char*>(path), '.');
    if (dot == nullptr)
        return;
    const std::size_t dotPosition = dot - reinterpret_cast<unsigned char*>(path);
    if (dotPosition + sizeof(kCompanionExtension) > MAX_PATH)
        return;
    std::memcpy(path + dotPosition, kCompanionExtension, sizeof(kCompanionExtension));
    if (FileExists(path))
        report.Detections().Add(path);
}

void ScanLevel(DetectionReport& report, const char* directory, VisitedDirectories& visited) {
    if (!visited.Enter(directory))
        return;
    // One working path per level: directory, a backslash, then each entry's name in turn.
    char path[MAX_PATH];
    const int prefixLength = std::snprintf(path, sizeof(path), "%s\\", directory);
    if (prefixLength < 0 || static_cast<std::size_t>(prefixLength) + sizeof(kSearchMask) > MAX_PATH)
        return;
    const std::size_t nameStart = static_cast<std::size_t>(prefixLength);
    std::memcpy(path + nameStart, kSearchMask, sizeof(kSearchMask));

    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA(path, &entry));
    if (!search.IsValid())
        return;
    do {
        const std::size_t nameLength = std::strlen(entry.cFileName);
        // An entry whose full path would not fit the working path is passed over.
        if (nameStart + nameLength >= MAX_PATH)
            continue;
        std::memcpy(path + nameStart, entry.cFileName, nameLength + 1);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (entry.cFileName[0] != '.')
                ScanLevel(report, path, visited);
            continue;
        }
        ScanFile(report, path, entry.cFileName);
    } while (FindNextFileA(search.Get(), &entry));
}

}  // namespace

bool FileExists(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void ScanDirectory(DetectionReport& report, const char* directory) {
    VisitedDirectories visited;
    ScanLevel(report, directory, visited);
}
