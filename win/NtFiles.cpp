#include "win/NtFiles.h"

#include <winternl.h>

#include <cstring>
#include <vector>

#include "win/WideText.h"

namespace {

typedef LONG(NTAPI* NtCreateFileProc)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                      PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
typedef LONG(NTAPI* NtSetInformationFileProc)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);

// FILE_INFORMATION_CLASS values and the structures they take (ntifs.h).
const ULONG kFileRenameInformation = 10;
const ULONG kFileDispositionInformation = 13;
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

bool GetFileIdentity(HANDLE file, BY_HANDLE_FILE_INFORMATION& identity) {
    return GetFileInformationByHandle(file, &identity) != FALSE;
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

bool GetPathIdentity(const WidePath& path, FileIdentity& identity) {
    FileHandle file(CreateFileW(WideChars(LongPathForm(path)), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    identity = IdentityOf(information);
    return true;
}
