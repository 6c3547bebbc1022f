#include "clean/PrivateFolder.h"

#include <aclapi.h>
#include <sddl.h>
#include <wincrypt.h>

#include "clean/PrivateFolderName.h"
#include "win/NtFiles.h"
#include "win/WideText.h"

namespace {

// Read and execute for the user (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE); full control for
// SYSTEM and Administrators; "P": inherited entries of the parent never apply.
const wchar_t kDaclHead[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;";
const int kCreateAttempts = 4;
const DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_ADD_FILE |
                            FILE_ADD_SUBDIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL;
const DWORD kPrivateFolderAccess = kFolderAccess | DELETE;

// The owner the private folders are given where the token may set it. Windows XP gives an
// administrator's new objects the user as owner by default, and the removal of earlier folders
// takes only folders owned by Administrators or SYSTEM.
const wchar_t kAdministratorsOwner[] = L"O:BA";

// The protected descriptor, with the process's user in it, and Administrators as owner when
// asked.
class PrivateSecurity {
  public:
    explicit PrivateSecurity(bool administratorsOwner) {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return;
        UniqueHandle<KernelObjectTraits> tokenHandle(token);
        union {
            TOKEN_USER user;
            unsigned char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        } user;
        DWORD size = 0;
        LPWSTR sidText = nullptr;
        if (!GetTokenInformation(token, TokenUser, &user, sizeof(user), &size) ||
            !ConvertSidToStringSidW(user.user.User.Sid, &sidText)) {
            return;
        }
        std::wstring text = administratorsOwner ? kAdministratorsOwner : L"";
        text += kDaclHead;
        text += sidText;
        text += L")";
        LocalFree(sidText);
        ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1,
                                                             &descriptor_, nullptr);
    }
    ~PrivateSecurity() {
        if (descriptor_ != nullptr)
            LocalFree(descriptor_);
    }
    PrivateSecurity(const PrivateSecurity&) = delete;
    PrivateSecurity& operator=(const PrivateSecurity&) = delete;
    PSECURITY_DESCRIPTOR Get() const { return descriptor_; }

  private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

bool RandomBytes(std::uint8_t* bytes, DWORD size) {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        return false;
    }
    const bool filled = CryptGenRandom(provider, size, bytes) != FALSE;
    CryptReleaseContext(provider, 0);
    return filled;
}

// Administrators or SYSTEM: owners a process without administrator rights cannot give a folder.
bool IsOwnedByAdministrators(HANDLE folder) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const bool administrators =
        owner != nullptr && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                             IsWellKnownSid(owner, WinLocalSystemSid));
    LocalFree(descriptor);
    return administrators;
}

// Deletes every plain entry of an open folder, each opened inside it as itself; a link is
// removed as the link. Subfolders (the program makes none) are left, so the folder stays.
void EmptyFolder(HANDLE folder, const WidePath& path) {
    const WidePath mask = path + u"\\*";
    WIN32_FIND_DATAW entry;
    FindHandle search(FindFirstFileW(WideChars(mask), &entry));
    if (!search.IsValid())
        return;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            continue;
        const WidePath name(reinterpret_cast<const char16_t*>(entry.cFileName));
        FileHandle file(OpenInFolder(folder, name, DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     kNtFileOpen, kNtNonDirectoryFile | kNtDeleteOnClose));
    } while (FindNextFileW(search.Get(), &entry));
}

}  // namespace

bool OpenDriveRoot(char16_t drive, OpenFolder& root) {
    const WidePath path = WidePath(1, drive) + u":";
    const WidePath rootPath = path + u"\\";
    FileHandle folder(CreateFileW(WideChars(rootPath), kFolderAccess,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.IsValid())
        return false;
    root.handle = std::move(folder);
    root.path = path;
    return true;
}

bool OpenWindowsTemp(OpenFolder& temp) {
    wchar_t windows[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    WidePath path(reinterpret_cast<const char16_t*>(windows), length);
    if (!path.empty() && path.back() == u'\\')
        path.pop_back();
    path += u"\\Temp";
    FileHandle folder(
        CreateFileW(WideChars(path), kFolderAccess,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder.IsValid() || IsLinkOrUnknown(folder.Get(), WideChars(path)))
        return false;
    temp.handle = std::move(folder);
    temp.path = path;
    return true;
}

bool CreatePrivateFolder(const OpenFolder& parent, OpenFolder& folder) {
    PrivateSecurity ownedByAdministrators(true);
    PrivateSecurity ownedByDefault(false);
    if (ownedByAdministrators.Get() == nullptr || ownedByDefault.Get() == nullptr)
        return false;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::uint8_t random[kPrivateFolderRandomBytes];
        if (!RandomBytes(random, sizeof(random)))
            return false;
        const WidePath name = FormatPrivateFolderName(random);
        // FILE_CREATE: a name someone made first (a folder or a link) is never taken over. A
        // token that may not name Administrators as owner makes the folder with its default
        // owner; such a folder is not removed by a later run, but is private all the same.
        FileHandle made;
        for (const PrivateSecurity* security : {&ownedByAdministrators, &ownedByDefault}) {
            made = FileHandle(OpenInFolder(parent.handle.Get(), name, kPrivateFolderAccess,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, kNtFileCreate,
                                           kNtDirectoryFile, security->Get()));
            if (made.IsValid())
                break;
        }
        if (!made.IsValid())
            continue;
        const WidePath path = parent.path + u"\\" + name;
        if (IsLinkOrUnknown(made.Get(), WideChars(path)))
            return false;
        folder.handle = std::move(made);
        folder.path = path;
        return true;
    }
    return false;
}

void RemoveEarlierPrivateFolders(const OpenFolder& parent) {
    const WidePath mask = parent.path + u"\\" + WidenAscii(kPrivateFolderPrefix) + u"*";
    WIN32_FIND_DATAW entry;
    FindHandle search(FindFirstFileW(WideChars(mask), &entry));
    if (!search.IsValid())
        return;
    do {
        const WidePath name(reinterpret_cast<const char16_t*>(entry.cFileName));
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
            !IsPrivateFolderName(name)) {
            continue;
        }
        // Held without delete sharing: while it is emptied nobody renames or replaces it.
        FileHandle folder(OpenInFolder(
            parent.handle.Get(), name,
            DELETE | FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL,
            FILE_SHARE_READ | FILE_SHARE_WRITE, kNtFileOpen, kNtDirectoryFile));
        const WidePath path = parent.path + u"\\" + name;
        if (!folder.IsValid() || IsLinkOrUnknown(folder.Get(), WideChars(path)) ||
            !IsOwnedByAdministrators(folder.Get())) {
            continue;
        }
        EmptyFolder(folder.Get(), path);
        // Only an empty folder goes; one whose files are still in use stays until a later run.
        MarkOpenFileForDeletion(folder.Get());
    } while (FindNextFileW(search.Get(), &entry));
}
