#pragma once
#include <windows.h>

#include <vector>

#include "win/NtFiles.h"
#include "win/UniqueHandle.h"
#include "win/WidePath.h"
#include "win/WideText.h"

// A path of the longest the file system takes (32,767 units) has at most this many folders
// below its drive's root.
const size_t kMostFolders = 32767 / 2;

// Every folder of a drive path, from the drive's root down to the file's own folder, each
// opened inside the one above it and held without delete sharing: while they are held none of
// them can be renamed, removed or replaced, and none of them is a junction or symbolic link.
class HeldFolders {
  public:
    // False when a folder cannot be held or is a link.
    bool Hold(const DrivePathParts& parts) {
        if (parts.folders.size() >= kMostFolders)
            return false;
        WidePath path = WidePath(1, parts.drive) + u":\\";
        if (!Add(CreateFileW(WideChars(path), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr))) {
            return false;
        }
        path.pop_back();
        for (const WidePath& name : parts.folders) {
            path += u"\\" + name;
            FileHandle folder(OpenInFolder(
                Innermost(), name, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                FILE_SHARE_READ | FILE_SHARE_WRITE, kNtFileOpen, kNtDirectoryFile));
            if (!folder.IsValid() || IsLinkOrUnknown(folder.Get(), WideChars(LongPathForm(path))) ||
                !Add(folder.Release())) {
                return false;
            }
        }
        return true;
    }
    HANDLE Innermost() const { return folders_.back().handle.Get(); }
    size_t Count() const { return folders_.size(); }
    // Folder 0 is the drive's root, folder i > 0 the path's folder i - 1.
    HANDLE Handle(size_t i) const { return folders_[i].handle.Get(); }
    const FileIdentity& Identity(size_t i) const { return folders_[i].identity; }

  private:
    struct Folder {
        FileHandle handle;
        FileIdentity identity;
    };
    bool Add(HANDLE handle) {
        Folder folder;
        folder.handle.Reset(handle);
        if (!folder.handle.IsValid() || !GetFileIdentity(handle, folder.identity))
            return false;
        folders_.push_back(std::move(folder));
        return true;
    }
    std::vector<Folder> folders_;
};
