#include "reporter/tarnrpt/ListFile.h"

#include "reporter/core/UploadList.h"

ListFile::OpenResult ListFile::Open(const std::string& path) {
    Close();
    // No write or delete sharing: nobody can change or swap the file while it is held.
    handle_ = CreateFileA(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // Without delete access (a read-only list) it can still be read, just not removed.
        handle_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                       ? OpenResult::Missing
                       : OpenResult::Unreadable;
        }
    } else {
        deletable_ = true;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle_, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        GetFileType(handle_) != FILE_TYPE_DISK) {
        Close();
        return OpenResult::Unreadable;
    }
    // A second name could be a hard link to someone else's file: read it, never delete it.
    if (info.nNumberOfLinks != 1)
        deletable_ = false;
    if (info.nFileSizeHigh != 0 || info.nFileSizeLow > reporter::kMaxUploadListBytes) {
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
    return OpenResult::Opened;
}

bool ListFile::Delete() {
    if (handle_ == INVALID_HANDLE_VALUE || !deletable_) {
        Close();
        return false;
    }
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    const bool marked = SetFileInformationByHandle(handle_, FileDispositionInfo, &disposition,
                                                   sizeof(disposition)) != FALSE;
    Close();
    return marked;
}

void ListFile::Close() {
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    deletable_ = false;
}
