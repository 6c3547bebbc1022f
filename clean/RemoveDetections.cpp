#include "clean/RemoveDetections.h"

#include <windows.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "clean/PrivateFolder.h"
#include "detect/NameTest.h"
#include "win/FinalPath.h"
#include "win/HeldFolders.h"
#include "win/NtFiles.h"
#include "win/UniqueHandle.h"
#include "win/WidePath.h"
#include "win/WideText.h"

namespace {

const char16_t kRemoved[] = u" 成功\r\n";
const char16_t kScheduled[] = u" 【需要重启】\r\n";
const char16_t kFailed[] = u" 失败\r\n";

const char kDriverFolder[] = "drivers";
const char kDriverName[] = "comint32.sys";

// Whether no user can change the file's path before the restart, so that it may be scheduled
// as it is: the driver file, a file in the system directory itself, or one in a folder below it
// that the scan's walk enters. Every folder of the path is held, so the system directory is
// recognised by its identity, whatever spelling the path uses.
bool MayScheduleInPlace(const HeldFolders& folders, const DrivePathParts& parts,
                        const FileIdentity* system) {
    if (system == nullptr)
        return false;
    for (size_t held = 0; held < folders.Count(); ++held) {
        if (folders.Identity(held) != *system)
            continue;
        const size_t below = held;  // parts.folders[below] is the first folder below it
        if (below + 1 == parts.folders.size() &&
            EqualsAsciiNoCase(parts.folders[below], kDriverFolder) &&
            EqualsAsciiNoCase(parts.name, kDriverName)) {
            return true;
        }
        for (size_t i = below; i < parts.folders.size(); ++i) {
            if (!IsWalkedFolderName(parts.folders[i]))
                return false;
        }
        return true;
    }
    return false;
}

// Private folders on each volume that hold files moved aside for deletion at the restart, made
// on first need: under the Windows directory's Temp on its volume, at the root elsewhere.
class RestartFolders {
  public:
    RestartFolders() {
        haveTemp_ = OpenWindowsTemp(temp_) && GetFileIdentity(temp_.handle.Get(), tempIdentity_);
    }
    // Moves the open file (DELETE, WRITE_DAC and WRITE_OWNER access) out of its held folders
    // into the private folder of its volume, with the folder's owner and DACL; `moved` receives
    // its new path.
    bool MoveAside(HANDLE file, const DrivePathParts& parts, WidePath& moved) {
        FileIdentity identity;
        if (!GetFileIdentity(file, identity))
            return false;
        Entry* entry = FolderOnVolume(identity.volume, parts.drive);
        // Its former owner could otherwise still open it by its new name and change its DACL.
        if (entry == nullptr || !ProtectMovedFile(file))
            return false;
        const WidePath name = WidenAscii(std::to_string(entry->moved + 1).c_str());
        if (!MoveOpenFileInto(file, entry->folder.handle.Get(), name))
            return false;
        ++entry->moved;
        moved = entry->folder.path + u"\\" + name;
        return true;
    }
    // After the files: each folder is removed at the restart too, after the files in it, or at
    // once when it is empty. Nothing else removes a restart folder: an upload's clean-up takes
    // only its own name form.
    void ScheduleFolders() {
        for (Entry& entry : entries_) {
            if (entry.moved == 0)
                MarkOpenFileForDeletion(entry.folder.handle.Get());
            else
                MoveFileExW(WideChars(entry.folder.path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        }
    }

  private:
    struct Entry {
        DWORD volume = 0;
        OpenFolder folder;
        unsigned moved = 0;
    };
    Entry* FolderOnVolume(DWORD volume, char16_t drive) {
        for (Entry& entry : entries_) {
            if (entry.volume == volume)
                return &entry;
        }
        OpenFolder root;
        const OpenFolder* parent = &temp_;
        if (!haveTemp_ || tempIdentity_.volume != volume) {
            if (!OpenDriveRoot(drive, root))
                return nullptr;
            parent = &root;
        }
        // A folder on a volume without ACLs, or in one whose users may remove its entries, would
        // let a user replace the scheduled path before the restart.
        Entry entry;
        entry.volume = volume;
        if (!KeepsPrivateFolders(*parent) ||
            !CreatePrivateFolder(*parent, PrivateFolderKind::Restart, entry.folder)) {
            return nullptr;
        }
        entries_.push_back(std::move(entry));
        return &entries_.back();
    }

    bool haveTemp_ = false;
    OpenFolder temp_;
    FileIdentity tempIdentity_;
    std::vector<Entry> entries_;
};

// Opens `name` in the held folder with `access`, and keeps it open only when it is the file the
// scan read there: one put in its place since (a user may rename and replace files in a folder
// of theirs) is never touched.
bool OpenScannedFile(HANDLE folder, const WidePath& name, ACCESS_MASK access,
                     const FileIdentity& scanned, FileHandle& file) {
    file.Reset(OpenInFolder(folder, name, access | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kNtFileOpen,
                            kNtNonDirectoryFile));
    FileIdentity identity;
    if (file.IsValid() && GetFileIdentity(file.Get(), identity) && identity == scanned)
        return true;
    file.Close();
    return false;
}

// The path the open file has on disk. Where the system names no path that long (Wine's
// GetFinalPathNameByHandleW stops near MAX_PATH), the innermost held folder it can name is
// resolved and the names below it appended: each of those folders is held, and the file was
// opened by its name inside the last, so those names lead to the file.
bool GetScheduledPath(HANDLE file, const HeldFolders& folders, const DrivePathParts& parts,
                      WidePath& path) {
    if (GetHeldFilePath(file, path))
        return true;
    for (size_t held = folders.Count(); held-- > 0;) {
        if (!GetHeldFilePath(folders.Handle(held), path))
            continue;
        if (path.empty() || path.back() != u'\\')
            path += u'\\';
        for (size_t below = held; below < parts.folders.size(); ++below)
            path += parts.folders[below] + u"\\";
        path += parts.name;
        return true;
    }
    return false;
}

// Schedules the open file for deletion at the restart under the name it has on disk. The text
// of its path may name another file at boot: a 32-bit program on 64-bit Windows sees SysWOW64
// where its path says system32, and the native system deleting at boot does not.
bool ScheduleHeldFile(HANDLE file, const HeldFolders& folders, const DrivePathParts& parts) {
    WidePath held;
    return GetScheduledPath(file, folders, parts, held) &&
           MoveFileExW(WideChars(LongPathForm(held)), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// What one Clean needs for every file: the system directory's identity and the restart folders.
struct CleanContext {
    CleanContext() {
        wchar_t path[MAX_PATH];
        const UINT length = GetSystemDirectoryW(path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return;
        bool isFolder = false;
        haveSystem = GetPathIdentity(WidePath(reinterpret_cast<const char16_t*>(path), length),
                                     system, isFolder) &&
                     isFolder;
    }
    const FileIdentity* System() const { return haveSystem ? &system : nullptr; }

    bool haveSystem = false;
    FileIdentity system;
    RestartFolders restart;
};

// Deletes the file, or failing that schedules it for deletion at the next restart, and names
// the outcome. The path is the scan's UTF-16 path as the system named it, split as it is; its
// folders are held throughout, a path through a link is not touched, and only the file the scan
// identified is dealt with. A restart deletion runs by path, as SYSTEM: a file that a user's
// folder leads to is first moved, under the held folders, into a private folder, and that path
// is scheduled instead.
const char16_t* RemoveFile(const WidePath& path, const FileIdentity& scanned,
                           CleanContext& context) {
    DrivePathParts parts;
    if (!SplitDrivePath(path, parts))
        return kFailed;
    HeldFolders folders;
    if (!folders.Hold(parts))
        return kFailed;
    FileHandle file;
    // Looked up inside the held folder and deleted when closed. A file whose image is mapped
    // cannot be marked, and goes on to the restart's roads.
    if (OpenScannedFile(folders.Innermost(), parts.name, DELETE, scanned, file) &&
        MarkOpenFileForDeletion(file.Get())) {
        return kRemoved;
    }
    // Read access for XP's mapping name; a file its holder shares with no reader still gives
    // its final name (Vista and later) through a handle that may only read attributes.
    if (MayScheduleInPlace(folders, parts, context.System())) {
        const bool opened =
            OpenScannedFile(folders.Innermost(), parts.name, FILE_READ_DATA, scanned, file) ||
            OpenScannedFile(folders.Innermost(), parts.name, 0, scanned, file);
        return opened && ScheduleHeldFile(file.Get(), folders, parts) ? kScheduled : kFailed;
    }
    WidePath moved;
    if (!OpenScannedFile(folders.Innermost(), parts.name, DELETE | WRITE_DAC | WRITE_OWNER,
                         scanned, file) ||
        !context.restart.MoveAside(file.Get(), parts, moved)) {
        return kFailed;
    }
    return MoveFileExW(WideChars(moved), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? kScheduled
                                                                               : kFailed;
}

const char16_t* RemoveFileOrFail(const WidePath& path, const FileIdentity& scanned,
                                 CleanContext& context) {
    try {
        return RemoveFile(path, scanned, context);
    } catch (const std::bad_alloc&) {
        return kFailed;
    }
}

}  // namespace

void RemoveDetections(DetectionReport& report) {
    DetectionList& detections = report.Detections();
    if (detections.IsEmpty())
        return;
    WidePath text;
    bool reportComplete = true;
    try {
        text = u"\r\n清除木马:\r\n";
    } catch (const std::bad_alloc&) {
        reportComplete = false;
    }
    std::unique_ptr<CleanContext> context;
    try {
        context.reset(new CleanContext);
    } catch (const std::bad_alloc&) {
        // Without it no file can be dealt with safely: each is reported as failed.
    }
    for (size_t i = 0; i < detections.Count(); ++i) {
        const WidePath& path = detections.At(i);
        const char16_t* outcome =
            context ? RemoveFileOrFail(path, detections.IdentityAt(i), *context) : kFailed;
        // Every file is still removed when memory for the report runs out.
        if (!reportComplete)
            continue;
        try {
            text += path;
            text += outcome;
        } catch (const std::bad_alloc&) {
            reportComplete = false;
        }
    }
    if (context)
        context->restart.ScheduleFolders();
    context.reset();
    if (reportComplete) {
        try {
            text += u"清除完成!\r\n";
            report.UpdateStatus(text.c_str());
        } catch (const std::bad_alloc&) {
            // The status keeps its text; the files are dealt with all the same.
        }
    }
    detections.Clear();
}
