#pragma once
#include <windows.h>

// The six WINTRUST.DLL entry points, bound by name at run time so that the program starts
// where they are missing. Binding is tried once; afterwards the library is either available
// with all six or unavailable.
class WintrustLibrary {
  public:
    enum State { kNotTried = 0, kAvailable = 1, kUnavailable = 2 };

    typedef BOOL(WINAPI* AcquireContextFn)(HANDLE* catAdmin, const GUID* subsystem, DWORD flags);
    typedef BOOL(WINAPI* ReleaseContextFn)(HANDLE catAdmin, DWORD flags);
    typedef BOOL(WINAPI* CalcHashFromFileHandleFn)(HANDLE file, DWORD* hashSize, BYTE* hash,
                                                   DWORD flags);
    typedef HANDLE(WINAPI* EnumCatalogFromHashFn)(HANDLE catAdmin, BYTE* hash, DWORD hashSize,
                                                  DWORD flags, HANDLE* previousCatalog);
    typedef BOOL(WINAPI* ReleaseCatalogContextFn)(HANDLE catAdmin, HANDLE catalog, DWORD flags);
    typedef LONG(WINAPI* WinVerifyTrustFn)(HWND window, GUID* action, void* data);

    // libraryPath: the DLL to bind, or nullptr for WINTRUST.DLL in the system directory.
    explicit WintrustLibrary(const wchar_t* libraryPath) : libraryPath_(libraryPath) {}
    WintrustLibrary(const WintrustLibrary&) = delete;
    WintrustLibrary& operator=(const WintrustLibrary&) = delete;

    // Binds on the first call; true when all six entry points are there.
    bool Bind();
    State CurrentState() const { return state_; }
    int LoadAttempts() const { return loadAttempts_; }

    // The process-wide binding of the system's WINTRUST.DLL.
    static WintrustLibrary& System();

    AcquireContextFn acquireContext = nullptr;
    ReleaseContextFn releaseContext = nullptr;
    CalcHashFromFileHandleFn calcHashFromFileHandle = nullptr;
    EnumCatalogFromHashFn enumCatalogFromHash = nullptr;
    ReleaseCatalogContextFn releaseCatalogContext = nullptr;
    WinVerifyTrustFn winVerifyTrust = nullptr;

  private:
    HMODULE Load();

    const wchar_t* libraryPath_;
    State state_ = kNotTried;
    int loadAttempts_ = 0;
};

// Is a file vouched for by a valid publisher signature, or listed in the system's catalogs?
// Holds the catalog admin context from its first successful acquisition until destruction.
class TrustChecker {
  public:
    explicit TrustChecker(WintrustLibrary& library) : library_(library) {}
    TrustChecker(const TrustChecker&) = delete;
    TrustChecker& operator=(const TrustChecker&) = delete;
    virtual ~TrustChecker();

    // Non-zero when trusted. Any failure answers not trusted.
    int IsTrusted(const char* ansiPath);
    int IsTrusted(const wchar_t* widePath);

    // The one checker of the program, alive until the process ends.
    static TrustChecker& Process();

  private:
    LONG VerifySignature(const wchar_t* widePath);
    bool CalcFileHash(const wchar_t* widePath, DWORD* size, BYTE** buffer);
    bool IsListedInCatalog(const wchar_t* widePath);

    WintrustLibrary& library_;
    HANDLE catAdmin_ = nullptr;
};
