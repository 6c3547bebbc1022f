#include "clean/UploadList.h"

#include <tlhelp32.h>

#include <new>
#include <string>
#include <vector>

#include "win/HeldFolders.h"
#include "win/MappedModule.h"
#include "win/NtFiles.h"
#include "win/UniqueHandle.h"
#include "win/WideText.h"

namespace {

const DWORD kHashBlockSize = 4096;
const char kListPrefix[] = "vexlor";
// Non-zero, so the system only forms the name and creates no file: the same name every run.
const UINT kListUniqueNumber = 0x76697275;

bool IsUploadCandidate(const WidePath& path, const UploadCandidateList& list,
                       TrustChecker& checker) {
    // Checked before the file system is touched: a UNC name would reach out to another machine.
    if (!IsUploadablePath(path) || list.Contains(path))
        return false;
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExW(WideChars(path), GetFileExInfoStandard, &attributes))
        return false;
    if (!IsWithinUploadSizeLimit(attributes.nFileSizeHigh, attributes.nFileSizeLow)) {
        return false;
    }
    return checker.IsTrusted(WideChars(path)) == 0;
}

// Each module is named by the file the system mapped at its base, not by the path in the
// snapshot, which the process itself can rewrite. Process 0, the walk's first entry, stands for
// the program's own process, as it does for CreateToolhelp32Snapshot: the list begins with the
// program's own modules.
void AddModulesOfProcess(DWORD processId, const DriveDeviceTable& drives, UploadCandidateList& list,
                         TrustChecker& checker) {
    ProcessHandle opened;
    if (processId != 0) {
        opened.Reset(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
        if (!opened.IsValid())
            return;
    }
    const HANDLE process = processId == 0 ? GetCurrentProcess() : opened.Get();
    FileHandle modules(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (!modules.IsValid())
        return;
    MODULEENTRY32 module;
    module.dwSize = sizeof(module);
    for (BOOL more = Module32First(modules.Get(), &module); more;
         more = Module32Next(modules.Get(), &module)) {
        WidePath path;
        if (!IsImageBase(process, module.modBaseAddr) ||
            !GetMappedModulePath(process, module.modBaseAddr, drives, path)) {
            continue;
        }
        if (IsUploadCandidate(path, list, checker))
            list.Add(path);
    }
}

}  // namespace

size_t CollectUploadCandidates(UploadCandidateList& list, TrustChecker& checker) {
    FileHandle processes(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!processes.IsValid())
        return list.Count();
    DriveDeviceTable drives;
    LoadDriveDevices(drives);
    PROCESSENTRY32 process;
    process.dwSize = sizeof(process);
    try {
        // Windows lists process 0 first. Where a system does not (Wine), the walk still starts
        // with the program's own process; its own entry later adds nothing new.
        AddModulesOfProcess(0, drives, list, checker);
        for (BOOL more = Process32First(processes.Get(), &process); more;
             more = Process32Next(processes.Get(), &process)) {
            if (process.th32ProcessID != 0)
                AddModulesOfProcess(process.th32ProcessID, drives, list, checker);
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: what was collected so far is still a sound list.
    }
    return list.Count();
}

int CopyAndHash(HANDLE source, HANDLE copy, std::uint8_t digest[Md5::kDigestSize]) {
    std::vector<std::uint8_t> block;
    try {
        block.resize(kHashBlockSize);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    // Every block read is written before the next is read: the digest covers exactly the copy.
    auto copyBlock = [source, copy](std::uint8_t* buffer, std::size_t size,
                                    std::size_t* delivered) {
        DWORD read = 0;
        if (!ReadFile(source, buffer, static_cast<DWORD>(size), &read, nullptr))
            return false;
        DWORD written = 0;
        if (read != 0 && (!WriteFile(copy, buffer, read, &written, nullptr) || written != read))
            return false;
        *delivered = read;
        return true;
    };
    return Md5OfBlocks(copyBlock, block.data(), block.size(), digest) ? 1 : 0;
}

namespace {

// Copies the file at `path` into `folder` as `copyName`. The file is looked up inside its held
// folders and opened as itself, never through a link, with writing denied while it is copied:
// the copy holds the bytes of the file the path named when the list was written, or there is no
// copy.
bool CopyCandidate(const WidePath& path, const OpenFolder& folder, const WidePath& copyName,
                   std::uint8_t digest[Md5::kDigestSize]) {
    DrivePathParts parts;
    if (!SplitDrivePath(path, parts))
        return false;
    HeldFolders folders;
    if (!folders.Hold(parts))
        return false;
    FileHandle source(OpenInFolder(folders.Innermost(), parts.name, GENERIC_READ, FILE_SHARE_READ,
                                   kNtFileOpen, kNtNonDirectoryFile));
    LARGE_INTEGER size;
    if (!source.IsValid() || IsLinkOrUnknown(source.Get(), WideChars(path)) ||
        !GetFileSizeEx(source.Get(), &size) ||
        !IsWithinUploadSizeLimit(std::uint32_t(size.QuadPart >> 32),
                                 std::uint32_t(size.QuadPart))) {
        return false;
    }
    FileHandle copy(OpenInFolder(folder.handle.Get(), copyName, GENERIC_WRITE | DELETE, 0,
                                 kNtFileCreate, kNtNonDirectoryFile));
    if (!copy.IsValid())
        return false;
    if (!CopyAndHash(source.Get(), copy.Get(), digest)) {
        MarkOpenFileForDeletion(copy.Get());
        return false;
    }
    return true;
}

}  // namespace

int WriteUploadListItems(const OpenFolder& folder, const char* listPath, const char* tag,
                         const UploadCandidateList& candidates) {
    int item = 0;
    unsigned copies = 0;
    for (size_t i = 0; i < candidates.Count(); ++i) {
        const WidePath& path = candidates.At(i);
        DrivePathParts parts;
        if (!IsUploadablePath(path) || !SplitDrivePath(path, parts))
            continue;
        // "ext" keeps the code page's spelling of the name where it has one, "name" otherwise.
        std::string name;
        std::string baseName;
        if (!FormatListName(parts.name, name))
            continue;
        if (!WideToAnsiExact(WideChars(parts.name), baseName))
            baseName = name;
        char section[32];
        char ext[kUploadBufferSize];
        if (!FormatSectionName(item, section, sizeof(section)) ||
            !FormatExtValue(tag, baseName.c_str(), ext, sizeof(ext))) {
            continue;
        }
        // A number is never used twice: a copy that failed may still be there.
        const WidePath copyName = WidenAscii(std::to_string(++copies).c_str());
        std::string copyPath;
        std::uint8_t digest[Md5::kDigestSize];
        if (!WideToAnsiExact(WideChars(folder.path + u"\\" + copyName), copyPath) ||
            !CopyCandidate(path, folder, copyName, digest)) {
            continue;
        }
        char md5Text[33];
        FormatMd5Hex(digest, md5Text);
        // A section that could not be written makes the whole list unusable.
        if (!WritePrivateProfileStringA(section, "file", copyPath.c_str(), listPath) ||
            !WritePrivateProfileStringA(section, "md5", md5Text, listPath) ||
            !WritePrivateProfileStringA(section, "ext", ext, listPath) ||
            !WritePrivateProfileStringA(section, "name", name.c_str(), listPath)) {
            return 0;
        }
        ++item;
    }
    // Flush the profile cache, so that the file on disk is complete before anyone reads it.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, listPath);
    return item;
}

int WriteUploadList(const OpenFolder& folder, const char* tag, char* listPath,
                    TrustChecker& checker) {
    std::string folderPath;
    if (!WideToAnsiExact(WideChars(folder.path), folderPath))
        return 0;
    UploadCandidateList candidates;
    try {
        if (CollectUploadCandidates(candidates, checker) == 0)
            return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (GetTempFileNameA(folderPath.c_str(), kListPrefix, kListUniqueNumber, listPath) == 0)
        return 0;
    // The name is the same every run: start from an empty file, or sections of an earlier,
    // longer list would be handed on as this run's. A list that cannot be removed is not used.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, listPath);
    WidePath list;
    if (!AnsiToWideExact(listPath, list) ||
        (!DeleteFileW(WideChars(list)) &&
         GetFileAttributesW(WideChars(list)) != INVALID_FILE_ATTRIBUTES)) {
        return 0;
    }
    return WriteUploadListItems(folder, listPath, tag, candidates) != 0;
}
