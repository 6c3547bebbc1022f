#include "clean/PrivateFolder.h"

#include <sddl.h>

#include <cstdint>
#include <vector>

#include "clean/PrivateFolderName.h"
#include "win/NtFiles.h"
#include "win/SystemLibrary.h"
#include "win/Wine.h"
#include "win/WideText.h"

namespace {

// Owner Administrators; full control for SYSTEM and Administrators and no one else (the
// reporter runs with the program's elevated token); "P": inherited entries of the parent never
// apply. The owner matters as much as the entries: an owner may always rewrite the DACL.
const wchar_t kPrivateSecurity[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
const int kCreateAttempts = 4;
const DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_ADD_FILE |
                            FILE_ADD_SUBDIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL;
const DWORD kPrivateFolderAccess = kFolderAccess | DELETE;

// The protected descriptor, made once per use.
class PrivateSecurity {
  public:
    PrivateSecurity() {
        ConvertStringSecurityDescriptorToSecurityDescriptorW(kPrivateSecurity, SDDL_REVISION_1,
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

// Administrators or SYSTEM: owners a process without administrator rights cannot give a folder.
bool IsAdministratorsSid(PSID sid) {
    return sid != nullptr && IsValidSid(sid) &&
           (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
            IsWellKnownSid(sid, WinLocalSystemSid));
}

// Whether the ACE at `index` allows exactly full control, inherited by files and folders, to
// the well-known SID `expected`.
bool IsFullControlFor(PACL dacl, DWORD index, WELL_KNOWN_SID_TYPE expected) {
    void* ace = nullptr;
    if (!GetAce(dacl, index, &ace))
        return false;
    const ACE_HEADER* header = static_cast<const ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE ||
        header->AceFlags != (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) ||
        header->AceSize < sizeof(ACCESS_ALLOWED_ACE)) {
        return false;
    }
    ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    PSID sid = &allowed->SidStart;
    return allowed->Mask == FILE_ALL_ACCESS && IsValidSid(sid) &&
           header->AceSize >= sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid) &&
           IsWellKnownSid(sid, expected);
}

// Deletes every plain entry of an open folder, each opened inside it as itself; a link is
// removed as the link. Subfolders (the program makes none) are left, so the folder stays. The
// entries are listed through the handle: the folder is held without delete sharing, and Wine's
// FindFirstFileW, which opens it again by its path without that sharing, is refused.
void EmptyFolder(HANDLE folder) {
    std::vector<FolderEntry> entries;
    ListOpenFolder(folder, entries);
    for (const FolderEntry& entry : entries) {
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            continue;
        FileHandle file(OpenInFolder(folder, entry.name, DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     kNtFileOpen, kNtNonDirectoryFile | kNtDeleteOnClose));
    }
}

// The owner and DACL of an open object (READ_CONTROL), through the handle alone:
// GetSecurityInfo would load ntmarta.dll by its bare name, which is no known DLL.
bool ReadOwnerAndDacl(HANDLE object, std::vector<std::uint8_t>& descriptor) {
    const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    GetKernelObjectSecurity(object, wanted, nullptr, 0, &size);
    if (size == 0 || size > 64 * 1024)
        return false;
    descriptor.resize(size);
    return GetKernelObjectSecurity(object, wanted, descriptor.data(), size, &size) != FALSE;
}

}  // namespace

bool HasPrivateSecurity(HANDLE object) {
    // Wine reports no descriptor that was set: there the folder's name form alone decides.
    if (IsRunningOnWine())
        return true;
    std::vector<std::uint8_t> buffer;
    if (!ReadOwnerAndDacl(object, buffer))
        return false;
    PSECURITY_DESCRIPTOR descriptor = buffer.data();
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    PSID owner = nullptr;
    BOOL ownerDefaulted = FALSE;
    BOOL daclPresent = FALSE;
    BOOL daclDefaulted = FALSE;
    PACL dacl = nullptr;
    ACL_SIZE_INFORMATION aclSize = {};
    return GetSecurityDescriptorControl(descriptor, &control, &revision) &&
           (control & SE_DACL_PROTECTED) != 0 &&
           GetSecurityDescriptorOwner(descriptor, &owner, &ownerDefaulted) &&
           IsAdministratorsSid(owner) &&
           GetSecurityDescriptorDacl(descriptor, &daclPresent, &dacl, &daclDefaulted) &&
           daclPresent && dacl != nullptr &&
           GetAclInformation(dacl, &aclSize, sizeof(aclSize), AclSizeInformation) &&
           aclSize.AceCount == 2 && IsFullControlFor(dacl, 0, WinLocalSystemSid) &&
           IsFullControlFor(dacl, 1, WinBuiltinAdministratorsSid);
}

namespace {

// Rights on a folder that let their holder remove or rename its entries, or give itself those
// rights. DELETE: the folder itself renamed away, and a look-alike put in its place.
const ACCESS_MASK kTakeOverRights =
    FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;
// NT SERVICE\TrustedInstaller, which owns much of the system volume from Vista on.
const wchar_t kTrustedInstaller[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

class TrustedInstallerSid {
  public:
    TrustedInstallerSid() { ConvertStringSidToSidW(kTrustedInstaller, &sid_); }
    ~TrustedInstallerSid() {
        if (sid_ != nullptr)
            LocalFree(sid_);
    }
    TrustedInstallerSid(const TrustedInstallerSid&) = delete;
    TrustedInstallerSid& operator=(const TrustedInstallerSid&) = delete;
    PSID Get() const { return sid_; }

  private:
    PSID sid_ = nullptr;
};

bool IsSystemSid(PSID sid, const TrustedInstallerSid& trustedInstaller) {
    return IsAdministratorsSid(sid) || (sid != nullptr && trustedInstaller.Get() != nullptr &&
                                        EqualSid(sid, trustedInstaller.Get()));
}

}  // namespace

bool KeepsPrivateFolders(const OpenFolder& parent) {
    if (parent.path.size() < 2 || parent.path[1] != u':')
        return false;
    // FAT volumes keep no ACLs: anyone could remove anything from a folder made there.
    const WidePath root = parent.path.substr(0, 2) + u"\\";
    DWORD flags = 0;
    if (!GetVolumeInformationW(WideChars(root), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
        (flags & FILE_PERSISTENT_ACLS) == 0) {
        return false;
    }
    // Wine makes the folder's descriptor up from its Unix mode.
    if (IsRunningOnWine())
        return true;
    std::vector<std::uint8_t> buffer;
    if (!ReadOwnerAndDacl(parent.handle.Get(), buffer))
        return false;
    PSECURITY_DESCRIPTOR descriptor = buffer.data();
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    BOOL daclPresent = FALSE;
    PACL dacl = nullptr;
    ACL_SIZE_INFORMATION aclSize = {};
    TrustedInstallerSid trustedInstaller;
    // A missing (null) DACL grants everyone everything.
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !IsSystemSid(owner, trustedInstaller) ||
        !GetSecurityDescriptorDacl(descriptor, &daclPresent, &dacl, &defaulted) || !daclPresent ||
        dacl == nullptr ||
        !GetAclInformation(dacl, &aclSize, sizeof(aclSize), AclSizeInformation)) {
        return false;
    }
    for (DWORD i = 0; i < aclSize.AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            return false;
        const ACE_HEADER* header = static_cast<const ACE_HEADER*>(ace);
        // Entries only for what is made inside (CREATOR OWNER's) do not apply to the folder;
        // denials only take rights away.
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0 || header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE ||
            header->AceSize < sizeof(ACCESS_ALLOWED_ACE))
            return false;
        ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if ((allowed->Mask & kTakeOverRights) != 0 &&
            !IsSystemSid(&allowed->SidStart, trustedInstaller)) {
            return false;
        }
    }
    return true;
}

bool ProtectMovedFile(HANDLE file) {
    PrivateSecurity security;
    if (security.Get() == nullptr)
        return false;
    // Wine keeps no descriptor of a file, and may refuse the owner as well.
    return SetKernelObjectSecurity(file,
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                       PROTECTED_DACL_SECURITY_INFORMATION,
                                   security.Get()) ||
           IsRunningOnWine();
}

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

bool CreatePrivateFolder(const OpenFolder& parent, PrivateFolderKind kind, OpenFolder& folder) {
    PrivateSecurity security;
    if (security.Get() == nullptr)
        return false;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::uint8_t random[kPrivateFolderRandomBytes];
        if (!SystemRandom(random, sizeof(random)))
            return false;
        const WidePath name = FormatPrivateFolderName(kind, random);
        // FILE_CREATE: a name someone made first (a folder or a link) is never taken over.
        FileHandle made(OpenInFolder(parent.handle.Get(), name, kPrivateFolderAccess,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, kNtFileCreate,
                                     kNtDirectoryFile, security.Get()));
        if (!made.IsValid())
            continue;
        const WidePath path = parent.path + u"\\" + name;
        // The owner is read back: a token that may not name Administrators as owner, or a
        // file system that keeps no descriptors, gives a folder that is not private.
        if (IsLinkOrUnknown(made.Get(), WideChars(path)) || !HasPrivateSecurity(made.Get())) {
            MarkOpenFileForDeletion(made.Get());
            return false;
        }
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
            !IsPrivateFolderName(PrivateFolderKind::Upload, name)) {
            continue;
        }
        // Held without delete sharing: while it is emptied nobody renames or replaces it.
        FileHandle folder(OpenInFolder(
            parent.handle.Get(), name,
            DELETE | FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL,
            FILE_SHARE_READ | FILE_SHARE_WRITE, kNtFileOpen, kNtDirectoryFile));
        const WidePath path = parent.path + u"\\" + name;
        if (!folder.IsValid() || IsLinkOrUnknown(folder.Get(), WideChars(path)) ||
            !HasPrivateSecurity(folder.Get())) {
            continue;
        }
        EmptyFolder(folder.Get());
        // Only an empty folder goes; one whose files are still in use stays until a later run.
        MarkOpenFileForDeletion(folder.Get());
    } while (FindNextFileW(search.Get(), &entry));
}
