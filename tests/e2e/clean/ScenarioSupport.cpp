#include "ScenarioSupport.h"


#include <wincrypt.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>

#include "e2e/harness/AppDriver.h"

namespace scenario {

std::string SystemDirectory() {
    char path[MAX_PATH] = {};
    GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

std::string TempDirectory() {
    char path[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, path);
    return path;
}

std::string WindowsTempDirectory() {
    char path[MAX_PATH] = {};
    GetSystemWindowsDirectoryA(path, MAX_PATH);
    return std::string(path) + "\\Temp";
}

std::vector<std::string> PrivateFolders() {
    std::vector<std::string> folders;
    const std::string temp = WindowsTempDirectory();
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((temp + "\\vormak-*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return folders;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.push_back(temp + "\\" + entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return folders;
}

std::string NewPrivateFolder(const std::vector<std::string>& before) {
    for (const std::string& folder : PrivateFolders()) {
        if (std::find(before.begin(), before.end(), folder) == before.end())
            return folder;
    }
    return std::string();
}

namespace {

void Put16(std::string& image, size_t offset, unsigned value) {
    image[offset] = char(value & 0xFF);
    image[offset + 1] = char((value >> 8) & 0xFF);
}

void Put32(std::string& image, size_t offset, unsigned long value) {
    Put16(image, offset, unsigned(value & 0xFFFF));
    Put16(image, offset + 2, unsigned(value >> 16));
}

unsigned long Get32(const std::string& image, size_t offset) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(image.data()) + offset;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<unsigned long>(p[3]) << 24);
}

}  // namespace

std::string UpackImage() {
    std::string image(0x400, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, 0x80);
    Put32(image, 0x80, 0x00004550);
    Put16(image, 0x84, 0x14C);  // i386
    Put16(image, 0x86, 1);      // one section
    Put16(image, 0x94, 224);    // size of the optional header
    Put16(image, 0x98, 0x10B);  // PE32
    std::memcpy(&image[0x98 + 224], ".Upack", 6);
    return image;
}

std::string WithUpackFirstSection(std::string dll) {
    if (dll.size() < 0x40)
        return std::string();
    const unsigned long peOffset = Get32(dll, 0x3C);
    if (peOffset + 24 > dll.size())
        return std::string();
    const unsigned optionalSize = static_cast<unsigned char>(dll[peOffset + 20]) |
                                  (static_cast<unsigned char>(dll[peOffset + 21]) << 8);
    const size_t section = peOffset + 24 + optionalSize;
    if (section + 40 > dll.size())
        return std::string();
    std::memcpy(&dll[section], ".Upack\0\0", 8);
    return dll;
}

std::string CryptoApiMd5(const std::string& bytes) {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        return std::string();
    }
    std::string text;
    HCRYPTHASH hash = 0;
    if (CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
        BYTE digest[16];
        DWORD size = sizeof(digest);
        if (CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()), DWORD(bytes.size()),
                          0) &&
            CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == 16) {
            static const char kHex[] = "0123456789abcdef";
            for (BYTE b : digest) {
                text += kHex[b >> 4];
                text += kHex[b & 15];
            }
        }
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    return text;
}

namespace {

unsigned long long FingerprintFile(const std::string& path) {
    unsigned long long hash = 1469598103934665603ull;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    static std::vector<unsigned char> buffer(1 << 20);
    DWORD read = 0;
    unsigned long long size = 0;
    while (ReadFile(file, buffer.data(), DWORD(buffer.size()), &read, nullptr) && read != 0) {
        for (DWORD i = 0; i < read; ++i)
            hash = (hash ^ buffer[i]) * 1099511628211ull;
        size += read;
    }
    CloseHandle(file);
    return hash ^ (size << 1);
}

void FingerprintInto(const std::string& folder, std::map<std::string, unsigned long long>& out) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            FingerprintInto(path, out);
        } else {
            std::string key = path;
            CharLowerA(&key[0]);
            out[key] = FingerprintFile(path);
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

const char kOverrideKey[] = "Software\\Wine\\AppDefaults\\vormak.exe\\DllOverrides";

}  // namespace

std::map<std::string, unsigned long long> FingerprintTree(const std::string& folder) {
    std::map<std::string, unsigned long long> fingerprints;
    FingerprintInto(folder, fingerprints);
    return fingerprints;
}

bool WintrustStandIn::Install() {
    backup_ = TempDirectory() + "vormak-e2e-wintrust-original.dll";
    if (!CopyFileA(SystemCopy().c_str(), backup_.c_str(), FALSE))
        return false;
    installed_ = true;
    if (!CopyFileA(WindowsPathOf(STUB_WINTRUST_PATH).c_str(), SystemCopy().c_str(), FALSE)) {
        return false;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kOverrideKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    static const char kNative[] = "native";
    const LONG result = RegSetValueExA(key, "wintrust", 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(kNative), sizeof(kNative));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

void WintrustStandIn::Uninstall() {
    if (!installed_)
        return;
    RegDeleteKeyA(HKEY_CURRENT_USER, kOverrideKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\vormak.exe");
    CopyFileA(backup_.c_str(), SystemCopy().c_str(), FALSE);
    DeleteFileA(backup_.c_str());
    installed_ = false;
}

bool BusyFile::Start(const char* mode, const std::string& path) {
    static LONG counter = 0;
    const std::string eventName = "vormak-e2e-busy-" + std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(InterlockedIncrement(&counter));
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    if (ready == nullptr)
        return false;
    const std::string holder = WindowsPathOf(HOLDER_PATH);
    std::string commandLine = "\"" + holder + "\" " + mode + " \"" + path + "\" " + eventName;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    bool ok = CreateProcessA(holder.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process_) != FALSE;
    if (ok) {
        HANDLE waits[2] = {ready, process_.hProcess};
        ok = WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
    }
    CloseHandle(ready);
    return ok;
}

void BusyFile::End() {
    if (process_.hProcess == nullptr)
        return;
    TerminateProcess(process_.hProcess, 0);
    WaitForSingleObject(process_.hProcess, e2e::ScaledTimeout(10000));
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = PROCESS_INFORMATION{};
}

namespace {
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";
}  // namespace

std::vector<std::string> PendingRenames() {
    std::vector<std::string> entries;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return entries;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, kPendingValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        size != 0) {
        std::vector<char> data(size + 2, '\0');
        if (RegQueryValueExA(key, kPendingValue, nullptr, &type,
                             reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS) {
            // Source and target alternate; a deletion has an empty target, so empty strings
            // do not end the list here.
            for (size_t offset = 0; offset < size;) {
                std::string entry = &data[offset];
                offset += entry.size() + 1;
                if (!entry.empty())
                    entries.push_back(entry);
            }
        }
    }
    RegCloseKey(key);
    return entries;
}

void ClearPendingRenames() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, kPendingValue);
        RegCloseKey(key);
    }
}

namespace {

// The address of the process's RTL_USER_PROCESS_PARAMETERS (32-bit layout: PEB.ProcessParameters
// at 0x10), read from its memory.
bool ReadProcessParametersAddress(HANDLE process, void** parameters) {
    typedef LONG(NTAPI * QueryFn)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    QueryFn query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    if (query == nullptr)
        return false;
    PROCESS_BASIC_INFORMATION basic = {};
    if (query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0 ||
        basic.PebBaseAddress == nullptr) {
        return false;
    }
    const char* peb = reinterpret_cast<const char*>(basic.PebBaseAddress);
    SIZE_T read = 0;
    *parameters = nullptr;
    return ReadProcessMemory(process, peb + 0x10, parameters, sizeof(*parameters), &read) &&
           *parameters != nullptr;
}

}  // namespace

bool ReadCommandLine(HANDLE process, std::wstring* commandLine) {
    // The parameters' CommandLine is at 0x40.
    void* parameters = nullptr;
    SIZE_T read = 0;
    if (!ReadProcessParametersAddress(process, &parameters))
        return false;
    UNICODE_STRING line = {};
    if (!ReadProcessMemory(process, static_cast<const char*>(parameters) + 0x40, &line,
                           sizeof(line), &read) ||
        line.Buffer == nullptr || line.Length == 0) {
        return false;
    }
    std::vector<wchar_t> text(line.Length / 2 + 1, L'\0');
    if (!ReadProcessMemory(process, line.Buffer, text.data(), line.Length, &read))
        return false;
    commandLine->assign(text.data(), line.Length / 2);
    return true;
}

bool ReadDirectoryAndEnvironment(HANDLE process, std::wstring* directory,
                                 std::vector<std::wstring>* environment) {
    // The parameters' CurrentDirectory.DosPath is at 0x24, Environment at 0x48.
    void* parameters = nullptr;
    SIZE_T read = 0;
    if (!ReadProcessParametersAddress(process, &parameters))
        return false;
    UNICODE_STRING path = {};
    const wchar_t* block = nullptr;
    if (!ReadProcessMemory(process, static_cast<const char*>(parameters) + 0x24, &path,
                           sizeof(path), &read) ||
        !ReadProcessMemory(process, static_cast<const char*>(parameters) + 0x48, &block,
                           sizeof(block), &read) ||
        path.Buffer == nullptr || block == nullptr) {
        return false;
    }
    std::vector<wchar_t> text(path.Length / 2 + 1, L'\0');
    if (!ReadProcessMemory(process, path.Buffer, text.data(), path.Length, &read))
        return false;
    directory->assign(text.data(), path.Length / 2);
    // Entry by entry up to the empty one that ends the block; at most 64 K characters.
    environment->clear();
    std::wstring entry;
    for (size_t i = 0; i < 65536; ++i) {
        wchar_t unit = 0;
        if (!ReadProcessMemory(process, block + i, &unit, sizeof(unit), &read))
            return false;
        if (unit != L'\0') {
            entry += unit;
            continue;
        }
        if (entry.empty())
            return true;
        environment->push_back(entry);
        entry.clear();
    }
    return false;
}

DebugLauncher::~DebugLauncher() {
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, e2e::ScaledTimeout(20000));
        CloseHandle(thread_);
    }
    if (startedEvent_ != nullptr)
        CloseHandle(startedEvent_);
}

bool DebugLauncher::Start(const std::string& appPath, PROCESS_INFORMATION* started) {
    appPath_ = appPath;
    startedEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    if (thread_ == nullptr)
        return false;
    WaitForSingleObject(startedEvent_, e2e::ScaledTimeout(20000));
    if (!startOk_)
        return false;
    *started = started_;
    return true;
}

DWORD WINAPI DebugLauncher::ThreadMain(void* self) {
    static_cast<DebugLauncher*>(self)->Loop();
    return 0;
}

void DebugLauncher::Loop() {
    // The debugger must be the thread that started the program.
    std::string commandLine = "\"" + appPath_ + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startOk_ = CreateProcessA(appPath_.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                              DEBUG_PROCESS, nullptr, nullptr, &startup, &started_) != FALSE;
    SetEvent(startedEvent_);
    if (!startOk_)
        return;
    const DWORD programId = started_.dwProcessId;
    for (;;) {
        DEBUG_EVENT event = {};
        if (!WaitForDebugEvent(&event, 60000))
            return;
        DWORD status = DBG_CONTINUE;
        bool letGo = false;
        switch (event.dwDebugEventCode) {
            case CREATE_PROCESS_DEBUG_EVENT:
                if (event.u.CreateProcessInfo.hFile != nullptr) {
                    CloseHandle(event.u.CreateProcessInfo.hFile);
                }
                if (event.dwProcessId != programId) {
                    onChild_(event.u.CreateProcessInfo.hProcess, event.dwProcessId);
                    // Seen at its start, the child runs on undebugged: once this loop ends, a
                    // debuggee would stop at its next event for ever. (Wine starts its desktop
                    // process, which serves the desktop shell to every later program, as a
                    // child of the first program that needs it.)
                    letGo = true;
                }
                break;
            case LOAD_DLL_DEBUG_EVENT:
                if (event.u.LoadDll.hFile != nullptr)
                    CloseHandle(event.u.LoadDll.hFile);
                break;
            case EXCEPTION_DEBUG_EVENT:
                // The program's own handlers deal with its exceptions; breakpoints of the
                // loader are simply passed.
                if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                    status = DBG_EXCEPTION_NOT_HANDLED;
                }
                break;
            default:
                break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
        if (letGo)
            DebugActiveProcessStop(event.dwProcessId);
        if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT && event.dwProcessId == programId) {
            return;
        }
    }
}

namespace {

// Ids of the running processes whose executable has the given file name (case-insensitive).
std::vector<DWORD> ProcessIdsNamed(const char* exeName) {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, exeName) == 0)
            ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

}  // namespace

DWORD FindProcessNamed(const char* exeName) {
    const std::vector<DWORD> ids = ProcessIdsNamed(exeName);
    return ids.empty() ? 0 : ids.front();
}

int EndProcessesNamed(const char* exeName) {
    int ended = 0;
    for (DWORD id : ProcessIdsNamed(exeName)) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (process == nullptr)
            continue;
        if (TerminateProcess(process, 0)) {
            WaitForSingleObject(process, e2e::ScaledTimeout(5000));
            ++ended;
        }
        CloseHandle(process);
    }
    return ended;
}

}  // namespace scenario
