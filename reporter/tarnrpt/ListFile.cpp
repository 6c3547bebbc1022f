#include "reporter/tarnrpt/ListFile.h"

#include "reporter/core/UploadList.h"
#include "reporter/win/FileHandle.h"

namespace {

// ntdll's FILE_INFORMATION_CLASS value and structures for NtSetInformationFile.
const int kFileDispositionInformation = 13;
struct IoStatusBlock {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
struct FileDispositionInformation {
    BOOLEAN deleteFile;
};

// How long deletion waits for another process's handle to go, and in what steps.
const DWORD kSharingRetryStepMs = 50;
const int kSharingRetrySteps = 60;

bool IsPlainDiskFile(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return GetFileInformationByHandle(file, &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
               0 &&
           GetFileType(file) == FILE_TYPE_DISK;
}

template <typename Pointer>
void Bind(const char* module, const char* name, Pointer& pointer) {
    // Both libraries are loaded in every process: taking their handles searches nowhere.
    HMODULE handle = GetModuleHandleA(module);
    pointer =
        handle == nullptr
            ? nullptr
            : reinterpret_cast<Pointer>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

}  // namespace

const FileDisposition& FileDisposition::OfThisSystem() {
    static const FileDisposition disposition = [] {
        FileDisposition bound;
        Bind("kernel32.dll", "SetFileInformationByHandle", bound.setFileInformationByHandle);
        Bind("ntdll.dll", "NtSetInformationFile", bound.ntSetInformationFile);
        return bound;
    }();
    return disposition;
}

bool FileDisposition::MarkForDeletion(HANDLE file) const {
    if (setFileInformationByHandle != nullptr) {
        FILE_DISPOSITION_INFO disposition = {};
        disposition.DeleteFile = TRUE;
        return setFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                          sizeof(disposition)) != FALSE;
    }
    if (ntSetInformationFile != nullptr) {
        IoStatusBlock status = {};
        FileDispositionInformation disposition = {TRUE};
        // An NTSTATUS below zero is an error.
        return ntSetInformationFile(file, &status, &disposition, sizeof(disposition),
                                    kFileDispositionInformation) >= 0;
    }
    return false;
}

ListFile::OpenResult ListFile::Open(const std::string& path) {
    Close();
    // No write sharing: nobody changes the file while it is held. Delete sharing lets the
    // reporter reopen it for deletion later; the identity check then stands in for it.
    handle_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? OpenResult::Missing
                   : OpenResult::Unreadable;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!IsPlainDiskFile(handle_, info) || info.nFileSizeHigh != 0 ||
        info.nFileSizeLow > reporter::kMaxUploadListBytes) {
        Close();
        return OpenResult::Unreadable;
    }
    bytes_.assign(info.nFileSizeLow, '\0');
    DWORD filled = 0;
    while (filled < info.nFileSizeLow) {
        DWORD read = 0;
        if (!ReadFile(handle_, &bytes_[filled], info.nFileSizeLow - filled, &read, nullptr)) {
            Close();
            return OpenResult::Unreadable;
        }
        if (read == 0)
            break;
        filled += read;
    }
    bytes_.resize(filled);
    // A second name could be a hard link to someone else's file: read it, never delete it.
    deletable_ = info.nNumberOfLinks == 1;
    path_ = path;
    identity_ = info;
    return OpenResult::Opened;
}

bool ListFile::Delete() {
    if (handle_ == INVALID_HANDLE_VALUE || !deletable_) {
        Close();
        return false;
    }
    HANDLE opened = INVALID_HANDLE_VALUE;
    for (int step = 0;; ++step) {
        opened = CreateFileA(path_.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (opened != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION ||
            step == kSharingRetrySteps) {
            break;
        }
        Sleep(kSharingRetryStepMs);
    }
    reporter::FileHandle target(opened);
    BY_HANDLE_FILE_INFORMATION info;
    // The name may have been pointed at another file since it was read: delete only the same
    // file (volume and file index), still with a single name.
    const bool sameFile = target.IsValid() && IsPlainDiskFile(target.Get(), info) &&
                          info.nNumberOfLinks == 1 &&
                          info.dwVolumeSerialNumber == identity_.dwVolumeSerialNumber &&
                          info.nFileIndexHigh == identity_.nFileIndexHigh &&
                          info.nFileIndexLow == identity_.nFileIndexLow;
    const bool marked = sameFile && disposition_.MarkForDeletion(target.Get());
    target.Close();
    Close();
    return marked;
}

void ListFile::Close() {
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    deletable_ = false;
}
