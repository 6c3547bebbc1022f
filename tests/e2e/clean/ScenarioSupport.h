#pragma once
// Building blocks of the removal scenarios: seeded files, the stand-in WINTRUST.DLL given to
// vormak.exe alone, helper processes that keep files busy, an independent MD5, and a launcher
// that runs vormak.exe under the test as debugger so that the reporter it starts can be looked
// at before it runs a single instruction.
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/WinFiles.h"

namespace scenario {

std::string SystemDirectory();
std::string TempDirectory();  // with its trailing backslash, as GetTempPathA gives it
// The Windows directory's Temp, without a trailing backslash.
std::string WindowsTempDirectory();
// The folders there whose names begin with the program's private prefix ("vormak-"), by path.
std::vector<std::string> PrivateFolders();
// A private folder that is not in `before`, or empty.
std::string NewPrivateFolder(const std::vector<std::string>& before);

// A PE header whose first section is ".Upack" (not loadable).
std::string UpackImage();
// A loadable DLL (a copy of `dllBytes`) whose first section is renamed ".Upack".
std::string WithUpackFirstSection(std::string dllBytes);

// MD5 through the system's CryptoAPI, in lower-case hex; empty on failure.
std::string CryptoApiMd5(const std::string& bytes);

// Content fingerprints of every file below a folder, by path.
std::map<std::string, unsigned long long> FingerprintTree(const std::string& folder);

// Installs the stand-in as the system directory's WINTRUST.DLL for vormak.exe only (Wine's
// per-application DLL override) and undoes both on Uninstall.
class WintrustStandIn {
  public:
    bool Install();
    void Uninstall();
    std::string SystemCopy() const { return SystemDirectory() + "\\wintrust.dll"; }

  private:
    std::string backup_;
    bool installed_ = false;
};

// A helper process keeping one file busy ("open": without FILE_SHARE_DELETE, "load": as a
// loaded DLL) until it is ended.
class BusyFile {
  public:
    BusyFile() = default;
    BusyFile(const BusyFile&) = delete;
    BusyFile& operator=(const BusyFile&) = delete;
    ~BusyFile() { End(); }
    bool Start(const char* mode, const std::string& path);
    void End();

  private:
    PROCESS_INFORMATION process_ = {};
};

// The non-empty strings of PendingFileRenameOperations; Clear removes the value.
std::vector<std::string> PendingRenames();
void ClearPendingRenames();

// Command line of another process, read from its process parameters.
bool ReadCommandLine(HANDLE process, std::wstring* commandLine);
// Current directory and environment block (its "NAME=value" entries) of another process, read
// from its process parameters.
bool ReadDirectoryAndEnvironment(HANDLE process, std::wstring* directory,
                                 std::vector<std::wstring>* environment);

// Ends every running process whose executable has the given file name (case-insensitive), such
// as a reporter that an upload started on its own. Returns how many were ended.
int EndProcessesNamed(const char* exeName);
// The id of a running process whose executable has the given file name, or 0.
DWORD FindProcessNamed(const char* exeName);

// Starts vormak.exe under this test as debugger, on a thread of its own. Every process the
// program starts is reported to onChildStarted while it is still suspended at its creation;
// the callback may end it. The child then runs on undebugged. Other debug events are passed on
// as if no debugger were there.
class DebugLauncher {
  public:
    using ChildCallback = std::function<void(HANDLE process, DWORD processId)>;
    explicit DebugLauncher(ChildCallback onChildStarted) : onChild_(std::move(onChildStarted)) {}
    ~DebugLauncher();
    // Returns the started program's handles (owned by the caller afterwards).
    bool Start(const std::string& appPath, PROCESS_INFORMATION* started);

  private:
    static DWORD WINAPI ThreadMain(void* self);
    void Loop();

    ChildCallback onChild_;
    std::string appPath_;
    HANDLE thread_ = nullptr;
    HANDLE startedEvent_ = nullptr;
    PROCESS_INFORMATION started_ = {};
    bool startOk_ = false;
};

}  // namespace scenario
