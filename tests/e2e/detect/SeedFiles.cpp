#include "e2e/detect/SeedFiles.h"

#include <cstdio>

#include "detect/PeBuilder.h"
#include "support/WinFiles.h"

namespace seed {

std::string SystemDirectory() {
    char buffer[MAX_PATH];
    const UINT length = GetSystemDirectoryA(buffer, sizeof(buffer));
    return length > 0 && length < sizeof(buffer) ? std::string(buffer, length) : std::string();
}

std::vector<unsigned char> LibraryImage(const char* firstSection) {
    testpe::PeBuilder builder;
    builder.Add(firstSection, std::vector<unsigned char>(0x200, 0))
        .Add(".rsrc", std::vector<unsigned char>(0x200, 0));
    return builder.BuildFile();
}

bool SeededTree::File(const std::string& relative, const std::vector<unsigned char>& bytes) {
    const std::string path = Path(relative);
    const bool ok = WriteWholeFile(path, bytes);
    created_.push_back({Kind::File, path, std::string()});
    return ok;
}

bool SeededTree::Directory(const std::string& relative) {
    const std::string path = Path(relative);
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    created_.push_back({Kind::Directory, path, std::string()});
    return true;
}

bool SeededTree::DirectoryLink(const std::string& relative, const std::string& target) {
    const std::string path = Path(relative);
    const std::string unixParent = UnixPath(path.substr(0, path.rfind('\\')));
    if (unixParent.empty())
        return false;
    const std::string unixLink = unixParent + "/" + path.substr(path.rfind('\\') + 1);
    if (!RunUnixCommand("Z:\\bin\\ln -sfn " + target + " " + unixLink))
        return false;
    created_.push_back({Kind::Link, unixLink, path});
    return WaitForAttributes(path, true);
}

bool SeededTree::RenameBeyondMaxPath(const std::string& relative, const std::string& newName) {
    const std::string path = Path(relative);
    const std::string unixPath = UnixPath(path);
    if (unixPath.empty())
        return false;
    const std::string unixTarget = unixPath.substr(0, unixPath.rfind('/') + 1) + newName;
    if (!RunUnixCommand("Z:\\bin\\mv " + unixPath + " " + unixTarget) ||
        !WaitForAttributes(path, false))
        return false;
    for (auto& entry : created_) {
        if (entry.kind == Kind::File && entry.path == path) {
            entry = {Kind::Link, unixTarget, std::string()};
            break;
        }
    }
    return true;
}

void SeededTree::Remove() {
    for (auto entry = created_.rbegin(); entry != created_.rend(); ++entry) {
        switch (entry->kind) {
            case Kind::File:
                SetFileAttributesA(entry->path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(entry->path.c_str());
                break;
            case Kind::Directory:
                // A native program removing something inside may not have finished yet.
                for (int i = 0; i < 250 && !RemoveDirectoryA(entry->path.c_str()) &&
                                GetLastError() != ERROR_FILE_NOT_FOUND &&
                                GetLastError() != ERROR_PATH_NOT_FOUND;
                     ++i)
                    Sleep(20);
                break;
            case Kind::Link:
                // Removing the link itself; Win32 calls would act on the directory behind it.
                RunUnixCommand("Z:\\bin\\rm -f " + entry->path);
                if (!entry->windowsPath.empty())
                    WaitForAttributes(entry->windowsPath, false);
                break;
        }
    }
    created_.clear();
}

}  // namespace seed
