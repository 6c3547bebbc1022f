#include "win/NtFiles.h"

#include <winternl.h>

#include <cstring>
#include <vector>

#include "win/WideText.h"

namespace {

typedef LONG(NTAPI* NtCreateFileProc)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                      PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
typedef LONG(NTAPI* NtSetInformationFileProc)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);
typedef LONG(NTAPI* NtQueryDirectoryFileProc)(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK, PVOID,
                                              ULONG, ULONG, BOOLEAN, PUNICODE_STRING, BOOLEAN);

// FILE_INFORMATION_CLASS values and the structures they take (ntifs.h).
const ULONG kFileRenameInformation = 10;
const ULONG kFileDispositionInformation = 13;
// FileDirectoryInformation: FILE_DIRECTORY_INFORMATION records, each at NextEntryOffset from the
// one before (0 for the last), with FileAttributes at 56, FileNameLength (bytes) at 60 and the
// name from 64.
const ULONG kFileDirectoryInformation = 1;
const size_t kDirectoryRecordNameOffset = 64;
const LONG kStatusNoMoreFiles = LONG(0x80000006);
struct RenameRequest {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;  // bytes
    WCHAR fileName[1];
};

const ULONG kSynchronousIo = 0x00000020;     // FILE_SYNCHRONOUS_IO_NONALERT
const ULONG kOpenForBackup = 0x00004000;     // FILE_OPEN_FOR_BACKUP_INTENT
const ULONG kOpenReparsePoint = 0x00200000;  // FILE_OPEN_REPARSE_POINT

template <typename Proc>
Proc BindNtdll(const char* name) {
    // ntdll is mapped into every process: taking its handle searches nowhere.
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll == nullptr
               ? nullptr
               : reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(ntdll, name)));
}

}  // namespace

HANDLE OpenInFolder(HANDLE folder, const WidePath& name, ACCESS_MASK access, ULONG share,
                    ULONG disposition, ULONG options, PSECURITY_DESCRIPTOR security) {
    static const NtCreateFileProc create = BindNtdll<NtCreateFileProc>("NtCreateFile");
    const size_t maxBytes = 0xFFFE;
    if (create == nullptr || name.empty() || name.size() * sizeof(WCHAR) > maxBytes)
        return INVALID_HANDLE_VALUE;
    UNICODE_STRING unicodeName;
    unicodeName.Buffer = const_cast<PWSTR>(WideChars(name));
    unicodeName.Length = static_cast<USHORT>(name.size() * sizeof(WCHAR));
    unicodeName.MaximumLength = unicodeName.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &unicodeName, OBJ_CASE_INSENSITIVE, folder, security);
    IO_STATUS_BLOCK status = {};
    HANDLE handle = nullptr;
    const LONG result = create(
        &handle, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, share,
        disposition, options | kSynchronousIo | kOpenReparsePoint | kOpenForBackup, nullptr, 0);
    return result < 0 || handle == nullptr ? INVALID_HANDLE_VALUE : handle;
}

bool MoveOpenFileInto(HANDLE file, HANDLE target, const WidePath& name) {
    static const NtSetInformationFileProc setInformation =
        BindNtdll<NtSetInformationFileProc>("NtSetInformationFile");
    if (setInformation == nullptr || name.empty() || name.size() > MAX_PATH)
        return false;
    const size_t nameBytes = name.size() * sizeof(WCHAR);
    std::vector<unsigned char> buffer(sizeof(RenameRequest) + nameBytes, 0);
    RenameRequest* request = reinterpret_cast<RenameRequest*>(buffer.data());
    request->replaceIfExists = FALSE;
    request->rootDirectory = target;
    request->fileNameLength = static_cast<ULONG>(nameBytes);
    std::memcpy(request->fileName, name.data(), nameBytes);
    IO_STATUS_BLOCK status = {};
    return setInformation(file, &status, request, static_cast<ULONG>(buffer.size()),
                          kFileRenameInformation) >= 0;
}

bool ListOpenFolder(HANDLE folder, std::vector<FolderEntry>& entries) {
    static const NtQueryDirectoryFileProc query =
        BindNtdll<NtQueryDirectoryFileProc>("NtQueryDirectoryFile");
    entries.clear();
    if (query == nullptr)
        return false;
    // ULONGLONG elements: the records hold LARGE_INTEGERs and start 8-byte aligned.
    std::vector<ULONGLONG> buffer(64 * 1024 / sizeof(ULONGLONG));
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
    const size_t size = buffer.size() * sizeof(ULONGLONG);
    for (BOOLEAN restart = TRUE;; restart = FALSE) {
        IO_STATUS_BLOCK status = {};
        const LONG result = query(folder, nullptr, nullptr, nullptr, &status, buffer.data(),
                                  ULONG(size), kFileDirectoryInformation, FALSE, nullptr, restart);
        if (result == kStatusNoMoreFiles)
            return true;
        if (result < 0)
            return false;
        const size_t filled = status.Information < size ? size_t(status.Information) : size;
        for (size_t offset = 0;;) {
            if (kDirectoryRecordNameOffset > filled || offset > filled - kDirectoryRecordNameOffset)
                return false;
            ULONG next = 0, attributes = 0, nameBytes = 0;
            std::memcpy(&next, bytes + offset, sizeof(next));
            std::memcpy(&attributes, bytes + offset + 56, sizeof(attributes));
            std::memcpy(&nameBytes, bytes + offset + 60, sizeof(nameBytes));
            const size_t nameStart = offset + kDirectoryRecordNameOffset;
            if (nameBytes % sizeof(WCHAR) != 0 || nameBytes > filled - nameStart)
                return false;
            WidePath name(nameBytes / sizeof(WCHAR), u'\0');
            std::memcpy(&name[0], bytes + nameStart, nameBytes);
            if (name != u"." && name != u"..")
                entries.push_back(FolderEntry{name, attributes});
            if (next == 0)
                break;
            offset += next;
        }
    }
}

bool MarkOpenFileForDeletion(HANDLE file) {
    static const NtSetInformationFileProc setInformation =
        BindNtdll<NtSetInformationFileProc>("NtSetInformationFile");
    if (setInformation == nullptr)
        return false;
    BOOLEAN deleteFile = TRUE;  // FILE_DISPOSITION_INFORMATION
    IO_STATUS_BLOCK status = {};
    return setInformation(file, &status, &deleteFile, sizeof(deleteFile),
                          kFileDispositionInformation) >= 0;
}

bool IsLinkOrUnknown(HANDLE file, const wchar_t* path) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return true;
    }
    const DWORD attributes = GetFileAttributesW(path);
    return attributes == INVALID_FILE_ATTRIBUTES ||
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

namespace {

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& information) {
    FileIdentity identity;
    identity.volume = information.dwVolumeSerialNumber;
    identity.indexHigh = information.nFileIndexHigh;
    identity.indexLow = information.nFileIndexLow;
    return identity;
}

}  // namespace

bool GetFileIdentity(HANDLE file, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information))
        return false;
    identity = IdentityOf(information);
    return true;
}

bool GetPathIdentity(const WidePath& path, FileIdentity& identity, bool& isFolder) {
    FileHandle file(CreateFileW(WideChars(LongPathForm(path)), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &information))
        return false;
    identity = IdentityOf(information);
    isFolder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

bool GetPathIdentity(const WidePath& path, FileIdentity& identity) {
    bool isFolder = false;
    return GetPathIdentity(path, identity, isFolder) && !isFolder;
}
