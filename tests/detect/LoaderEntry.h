#pragma once
// Rewrites the path or the size this process's own loader list gives for one of its modules, as
// a process would that wants another file listed in its place or a module left uninspected:
// module snapshots (Toolhelp) taken by other processes then report the claimed values. The
// mapping itself is untouched.
#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <string>

namespace testpe {

class ClaimedLoaderPath {
  public:
    ClaimedLoaderPath() = default;
    ClaimedLoaderPath(const ClaimedLoaderPath&) = delete;
    ClaimedLoaderPath& operator=(const ClaimedLoaderPath&) = delete;
    ~ClaimedLoaderPath() {
        RestoreSize();
        Restore();
    }

    // Points the entry of module at `path` (full and base name). False when the entry is not
    // found or the path is empty.
    bool Claim(HMODULE module, const std::wstring& path) {
        Restore();
        if (path.empty())
            return false;
        LDR_DATA_TABLE_ENTRY* entry = FindEntry(module);
        if (entry == nullptr)
            return false;
        claimed_ = path;
        entry_ = entry;
        savedFull_ = entry->FullDllName;
        std::memcpy(&savedBase_, entry->Reserved4, sizeof(savedBase_));
        const size_t slash = claimed_.find_last_of(L'\\');
        const size_t baseStart = slash == std::wstring::npos ? 0 : slash + 1;
        UNICODE_STRING full;
        full.Buffer = &claimed_[0];
        full.Length = static_cast<USHORT>(claimed_.size() * sizeof(wchar_t));
        full.MaximumLength = static_cast<USHORT>(full.Length + sizeof(wchar_t));
        UNICODE_STRING base;  // BaseDllName follows FullDllName in the entry
        base.Buffer = &claimed_[baseStart];
        base.Length = static_cast<USHORT>((claimed_.size() - baseStart) * sizeof(wchar_t));
        base.MaximumLength = static_cast<USHORT>(base.Length + sizeof(wchar_t));
        entry->FullDllName = full;
        std::memcpy(entry->Reserved4, &base, sizeof(base));
        return true;
    }
    // Points the entry's SizeOfImage (the second field after DllBase) at `size`.
    bool ClaimSize(HMODULE module, ULONG size) {
        RestoreSize();
        LDR_DATA_TABLE_ENTRY* entry = FindEntry(module);
        if (entry == nullptr)
            return false;
        sizeEntry_ = entry;
        savedSize_ = entry->Reserved3[1];
        entry->Reserved3[1] = reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(size));
        return true;
    }
    void RestoreSize() {
        if (sizeEntry_ != nullptr)
            sizeEntry_->Reserved3[1] = savedSize_;
        sizeEntry_ = nullptr;
    }
    void Restore() {
        if (entry_ == nullptr)
            return;
        entry_->FullDllName = savedFull_;
        std::memcpy(entry_->Reserved4, &savedBase_, sizeof(savedBase_));
        entry_ = nullptr;
    }

  private:
    static LDR_DATA_TABLE_ENTRY* FindEntry(HMODULE module) {
        PEB* peb = OwnPeb();
        if (peb == nullptr)
            return nullptr;
        LIST_ENTRY* head = &peb->Ldr->InMemoryOrderModuleList;
        for (LIST_ENTRY* link = head->Flink; link != head; link = link->Flink) {
            LDR_DATA_TABLE_ENTRY* entry =
                CONTAINING_RECORD(link, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
            if (entry->DllBase == module)
                return entry;
        }
        return nullptr;
    }

    // Through ntdll rather than the TEB intrinsic, which GCC's bounds warning misreads.
    static PEB* OwnPeb() {
        typedef LONG(NTAPI * QueryFn)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
        const QueryFn query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
        PROCESS_BASIC_INFORMATION basic = {};
        if (query == nullptr || query(GetCurrentProcess(), ProcessBasicInformation, &basic,
                                      sizeof(basic), nullptr) != 0) {
            return nullptr;
        }
        return basic.PebBaseAddress;
    }

    std::wstring claimed_;
    LDR_DATA_TABLE_ENTRY* entry_ = nullptr;
    UNICODE_STRING savedFull_ = {};
    UNICODE_STRING savedBase_ = {};
    LDR_DATA_TABLE_ENTRY* sizeEntry_ = nullptr;
    PVOID savedSize_ = nullptr;
};

}  // namespace testpe
