#include <windows.h>
#include <winternl.h>

#include <new>
#include <string>

#include "app/MainDialog.h"
#include "app/PathCompare.h"
#include "app/UniqueHandle.h"
#include "clean/UploadSamples.h"
#include "res/resource.h"

namespace {

const char kUploadQuestion[] =
    "上传可疑文件将会更有利于我们及时的更新和有力的查杀，是否将这些可疑文件上传？";
const char kUploadTitle[] = "温馨提示?";
const char kTrojanTag[] = "Vormak";
const char kRemoved[] = " 成功\r\n";
const char kScheduled[] = " 【需要重启】\r\n";
const char kFailed[] = " 失败\r\n";

// A MAX_PATH path has at most this many folders below its drive's root.
const int kMostFolders = MAX_PATH / 2;

typedef LONG(NTAPI* NtCreateFileFn)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                    PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);

// Opens one name inside an open folder. The name is looked up in that folder itself, so a
// folder swapped for a link after it was opened changes nothing, and a link at the name is
// opened as the link, never followed (on Windows; Wine follows links it made from Unix ones).
HANDLE OpenInFolder(NtCreateFileFn create, HANDLE folder, const char* name, int length,
                    ACCESS_MASK access, ULONG share, ULONG options) {
    WCHAR wideName[MAX_PATH];
    const int wideLength =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, length, wideName, MAX_PATH);
    if (wideLength <= 0)
        return INVALID_HANDLE_VALUE;
    UNICODE_STRING unicodeName;
    unicodeName.Buffer = wideName;
    unicodeName.Length = static_cast<USHORT>(wideLength * sizeof(WCHAR));
    unicodeName.MaximumLength = unicodeName.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &unicodeName, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK status = {};
    HANDLE handle = nullptr;
    const LONG result =
        create(&handle, access | SYNCHRONIZE, &attributes, &status, nullptr, 0, share, FILE_OPEN,
               options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT |
                   FILE_OPEN_FOR_BACKUP_INTENT,
               nullptr, 0);
    return result < 0 || handle == nullptr ? INVALID_HANDLE_VALUE : handle;
}

bool IsReparsePoint(HANDLE folder, const char* path) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(folder, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return true;
    }
    // Wine opens the directory behind a link made from a Unix symbolic link, and only the
    // attributes found through the path show the link.
    const DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES ||
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Every folder of a "X:\..." path, from the drive's root down to the file's own folder, each
// opened inside the one above it and held without delete sharing: while they are held none of
// them can be renamed, removed or replaced, and none of them is a junction or symbolic link.
class HeldFolders {
  public:
    // False when the path is no drive path, names "." or "..", or a folder cannot be held or is
    // a link. baseName then points at the file's name within path.
    bool Hold(const char* path) {
        create_ = reinterpret_cast<NtCreateFileFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtCreateFile")));
        if (create_ == nullptr || lstrlenA(path) >= MAX_PATH)
            return false;
        const char letter = path[0];
        if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) ||
            path[1] != ':' || path[2] != '\\') {
            return false;
        }
        char prefix[MAX_PATH];
        lstrcpyA(prefix, path);
        prefix[3] = '\0';
        folders_[0].Reset(CreateFileA(prefix, GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!folders_[0].IsValid())
            return false;
        count_ = 1;
        const char* name = path + 3;
        for (const char* p = name; *p != '\0'; ++p) {
            if (IsCp936LeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') {
                ++p;  // a trail byte of 0x5C is no separator
                continue;
            }
            if (*p != '\\')
                continue;
            if (!HoldFolder(path, name, static_cast<int>(p - name)))
                return false;
            name = p + 1;
        }
        baseName = name;
        return IsPlainName(baseName, lstrlenA(baseName));
    }
    HANDLE Innermost() const { return folders_[count_ - 1].Get(); }
    NtCreateFileFn Create() const { return create_; }
    const char* baseName = nullptr;

  private:
    static bool IsPlainName(const char* name, int length) {
        if (length == 0 || (length == 1 && name[0] == '.'))
            return false;
        return !(length == 2 && name[0] == '.' && name[1] == '.');
    }
    bool HoldFolder(const char* path, const char* name, int length) {
        if (count_ == kMostFolders || !IsPlainName(name, length))
            return false;
        FileHandle folder(OpenInFolder(create_, Innermost(), name, length,
                                       FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_DIRECTORY_FILE));
        if (!folder.IsValid())
            return false;
        char prefix[MAX_PATH];
        lstrcpynA(prefix, path, static_cast<int>(name - path) + length + 1);
        if (IsReparsePoint(folder.Get(), prefix))
            return false;
        folders_[count_++] = std::move(folder);
        return true;
    }

    NtCreateFileFn create_ = nullptr;
    FileHandle folders_[kMostFolders];
    int count_ = 0;
};

// Deletes the file, or failing that schedules it for deletion at the next restart, and names
// the outcome. Its folders are held throughout, and a path through a link is not touched.
const char* RemoveFile(const char* path) {
    HeldFolders folders;
    if (!folders.Hold(path))
        return kFailed;
    // Deleted on close, as DeleteFileA does it, but looked up inside the held folder.
    FileHandle file(OpenInFolder(folders.Create(), folders.Innermost(), folders.baseName,
                                 lstrlenA(folders.baseName), DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 FILE_NON_DIRECTORY_FILE | FILE_DELETE_ON_CLOSE));
    if (file.IsValid())
        return kRemoved;
    if (MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        return kScheduled;
    return kFailed;
}

}  // namespace

INT_PTR MainDialog::RemoveDetections() {
    HWND window = Window();
    DetectionList& detections = Detections();
    if (!detections.IsEmpty()) {
        std::string report;
        bool reportComplete = true;
        try {
            report = "\r\n清除木马:\r\n";
        } catch (const std::bad_alloc&) {
            reportComplete = false;
        }
        for (size_t i = 0; i < detections.Count(); ++i) {
            const char* path = detections.At(i);
            const char* outcome = RemoveFile(path);
            // Every file is still removed when memory for the report runs out.
            if (!reportComplete)
                continue;
            try {
                report += path;
                report += outcome;
            } catch (const std::bad_alloc&) {
                reportComplete = false;
            }
        }
        if (reportComplete) {
            try {
                report += "清除完成!\r\n";
                UpdateStatus(report.c_str());
            } catch (const std::bad_alloc&) {
                // The box keeps its text; the files are dealt with all the same.
            }
        }
        detections.Clear();
        if (MessageBoxA(window, kUploadQuestion, kUploadTitle, MB_YESNO | MB_ICONWARNING) ==
            IDYES) {
            ShowWindow(window, SW_HIDE);
            // With the reporter up the window comes back behind it, without taking the
            // reporter's place in front of the user.
            const bool reporterStarted = UploadSamples(kTrojanTag);
            ShowWindow(window, reporterStarted ? SW_SHOWNA : SW_SHOW);
        }
    }
    EnableWindow(GetDlgItem(window, IDC_CLEAN), FALSE);
    return 0;
}
