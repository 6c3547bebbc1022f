// The scan as a user meets it: a system directory seeded with the trojan's files and with
// look-alikes that must not be listed, a desktop shell with an infected library loaded, the
// exact summary, the buttons afterwards, closing the window in the middle of a long scan, and
// Clean against a shell that lies about its modules, writes code into genuine libraries, and a
// folder swapped for a link. The stand-in WINTRUST.DLL (tests/support/wintrust_stub) is given to
// vormak.exe alone, so that a file is vouched for only as it would be on Windows.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/StatusBanner.h"
#include "detect/NameTest.h"
#include "support/wintrust_stub/StubWintrust.h"
#include "e2e/clean/ScenarioSupport.h"
#include "e2e/detect/ExitProbe.h"
#include "e2e/detect/SeedFiles.h"
#include "e2e/harness/AppDriver.h"
#include "support/WinFiles.h"

namespace {

const int kScan = 1001;
const int kClean = 1002;
const DWORD kScanTimeoutMs = 120000;

std::string TestDirectory() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string directory(path, length);
    return directory.substr(0, directory.rfind('\\'));
}

// The stand-in desktop shell with the given libraries loaded; ended on destruction.
class FakeShell {
  public:
    // The libraries' paths in ANSI, then any in UTF-16 alone.
    bool Start(const std::vector<std::string>& libraries,
               const std::vector<std::wstring>& wideLibraries = {}) {
        std::wstring line = L"\"" + Widen(TestDirectory()) + L"\\vt_fake_shell.exe\"";
        for (const std::string& library : libraries)
            line += L" \"" + Widen(library) + L"\"";
        for (const std::wstring& library : wideLibraries)
            line += L" \"" + library + L"\"";
        std::vector<wchar_t> mutableLine(line.begin(), line.end());
        mutableLine.push_back(L'\0');
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process_))
            return false;
        return e2e::WaitUntil([] { return FindWindowA("Progman", "Program Manager") != nullptr; },
                              20000);
    }
    ~FakeShell() { End(); }
    DWORD ProcessId() const { return process_.dwProcessId; }
    void End() {
        if (process_.hProcess == nullptr)
            return;
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, e2e::ScaledTimeout(10000));
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
        process_ = PROCESS_INFORMATION{};
    }

  private:
    PROCESS_INFORMATION process_ = {};
};

std::string Summary(const std::vector<std::string>& paths) {
    std::string text = StatusBanner() + "\r\n发现木马:\r\n";
    for (const std::string& path : paths)
        text += path + "\r\n";
    return text + "请确认后点击清除!";
}

bool ScanAndWait(e2e::App& app, const std::string& expected) {
    // Scan is enabled before the press too: only once the press has been handled does an
    // enabled Scan mean the scan has ended.
    return app.Press(kScan) &&
           e2e::WaitUntil([&] { return app.IsEnabled(kScan) && app.StatusText() == expected; },
                          kScanTimeoutMs);
}

// The negatives every scan meets: each is listed nowhere.
void SeedNegatives(seed::SeededTree& tree) {
    const auto upack = seed::LibraryImage(".Upack");
    ASSERT_TRUE(tree.File("GDXI32.DLL", upack));   // upper-case prefix
    ASSERT_TRUE(tree.File("Bj1rl.dll", upack));    // upper-case prefix
    ASSERT_TRUE(tree.File("xgd1i32.dll", upack));  // prefix not at the start
    ASSERT_TRUE(tree.File("gdtext.dll", seed::LibraryImage(".text")));
    ASSERT_TRUE(tree.File("gdtext.cfg", {'x'}));  // its library was not listed
    ASSERT_TRUE(tree.File("gdlong.dll", seed::LibraryImage(".Upackxx")));
    ASSERT_TRUE(tree.File("gdtiny.dll", {'M', 'Z'}));  // truncated
    ASSERT_TRUE(tree.Directory(".x.dll"));             // dot directory: never entered
    ASSERT_TRUE(tree.File(".x.dll\\gddot.dll", upack));
    ASSERT_TRUE(tree.Directory("vtplain"));  // not named *.dll: never entered
    ASSERT_TRUE(tree.File("vtplain\\gdplain.dll", upack));
}

// The size a process's module snapshot gives for one of its modules, or 0.
DWORD SnapshotModuleSize(DWORD processId, const std::string& path) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    DWORD size = 0;
    MODULEENTRY32 module = {};
    module.dwSize = sizeof(module);
    for (BOOL more = Module32First(snapshot, &module); more && size == 0;
         more = Module32Next(snapshot, &module)) {
        if (lstrcmpiA(module.szExePath, path.c_str()) == 0)
            size = module.modBaseSize;
    }
    CloseHandle(snapshot);
    return size;
}

scenario::WintrustStandIn g_standIn;

// The shared block of the exit probe (ExitProbe.h) and the hook that loads it into the program.
class ExitProbe {
  public:
    ExitProbe() {
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(exitprobe::Block), exitprobe::kMappingName);
        if (mapping_ != nullptr)
            block_ =
                static_cast<exitprobe::Block*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0));
        module_ = LoadLibraryA(e2e::ToWindowsPath(EXIT_PROBE_PATH).c_str());
        if (module_ != nullptr)
            proc_ = reinterpret_cast<HOOKPROC>(
                reinterpret_cast<void*>(GetProcAddress(module_, exitprobe::kHookProcName)));
    }
    ~ExitProbe() {
        Unhook();
        if (block_ != nullptr)
            UnmapViewOfFile(block_);
        if (mapping_ != nullptr)
            CloseHandle(mapping_);
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    bool IsReady() const { return block_ != nullptr && proc_ != nullptr; }
    // Starts the program with the probe hooked into its UI thread, and waits until it is loaded.
    bool Start(e2e::App& app) {
        Unhook();
        block_->loadedIn = 0;
        block_->detachedIn = 0;
        block_->statusPaintMs = 0;
        if (!app.Start(20000, [&](DWORD threadId) {
                hook_ = SetWindowsHookExA(WH_CALLWNDPROC, proc_, module_, threadId);
            }))
            return false;
        return hook_ != nullptr &&
               e2e::WaitUntil([&] { return DWORD(block_->loadedIn) == app.ProcessId(); }, 10000);
    }
    bool DetachRanIn(DWORD processId) const { return DWORD(block_->detachedIn) == processId; }
    // From now on each paint of the status box takes at least this long.
    void SlowStatusPaints(DWORD ms) { block_->statusPaintMs = LONG(ms); }

  private:
    void Unhook() {
        if (hook_ != nullptr)
            UnhookWindowsHookEx(hook_);
        hook_ = nullptr;
    }
    HANDLE mapping_ = nullptr;
    exitprobe::Block* block_ = nullptr;
    HMODULE module_ = nullptr;
    HOOKPROC proc_ = nullptr;
    HHOOK hook_ = nullptr;
};

class ScanTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(g_standIn.Install()) << "cannot install the stand-in WINTRUST.DLL";
    }
    static void TearDownTestSuite() { g_standIn.Uninstall(); }
    void SetUp() override { ASSERT_FALSE(seed::SystemDirectory().empty()); }
};

TEST_F(ScanTest, FindsExactlyTheTrojanFilesAndTheInfectedShellModule) {
    seed::SeededTree tree;
    SeedNegatives(tree);
    const auto upack = seed::LibraryImage(".Upack");
    ASSERT_TRUE(tree.File("drivers\\comint32.sys", {}));  // listed whatever its content
    ASSERT_TRUE(tree.File("addrzhelp.dll", upack));
    ASSERT_TRUE(tree.File("bjv.dll", upack));
    ASSERT_TRUE(tree.Directory("bjv.cfg"));  // a directory is no companion
    ASSERT_TRUE(tree.File("gdx.dll", upack));
    ASSERT_TRUE(tree.File("gdx.cfg", {'c', 'f', 'g'}));
    ASSERT_TRUE(tree.File("gdz.dll", seed::LibraryImage(".upack")));
    ASSERT_TRUE(tree.Directory("sub.dll"));
    ASSERT_TRUE(tree.File("sub.dll\\gdw.dll", seed::LibraryImage(".UPACK")));
    ASSERT_TRUE(tree.File("sub.dll\\gdw.cfg", {}));
    // A link back to the system directory: the walk must not go round it again.
    ASSERT_TRUE(tree.DirectoryLink("sub.dll\\up.dll", ".."));

    const std::string dir = TestDirectory();
    FakeShell shell;
    // vtedge and vtbelow carry the same pattern as vtcode and are loaded with exactly 0x40000
    // bytes (shown, never inspected) and one page less (inspected). vtsized carries it too and
    // its loader entry claims 0x40000 bytes: the size of its mapping decides, and it is small.
    ASSERT_TRUE(shell.Start({dir + "\\vtcode.dll", dir + "\\vtrsrc.dll", dir + "\\vtlarge.dll",
                             dir + "\\vtedge.dll", dir + "\\vtbelow.dll",
                             dir + "\\vtsized.dll|size=0x40000"}));
    ASSERT_EQ(SnapshotModuleSize(shell.ProcessId(), dir + "\\vtsized.dll"), 0x40000u)
        << "the claimed size does not show in the module snapshot";

    e2e::App app;
    ASSERT_TRUE(app.Start());
    const std::string expected = Summary({
        tree.Path("drivers\\comint32.sys"),
        tree.Path("addrzhelp.dll"),
        tree.Path("bjv.dll"),
        tree.Path("gdx.dll"),
        tree.Path("gdx.cfg"),
        tree.Path("gdz.dll"),
        tree.Path("sub.dll\\gdw.dll"),
        tree.Path("sub.dll\\gdw.cfg"),
        dir + "\\vtcode.dll",
        dir + "\\vtbelow.dll",
        dir + "\\vtsized.dll",
    });
    EXPECT_TRUE(ScanAndWait(app, expected)) << "status box:\n" << app.StatusText();
    EXPECT_TRUE(app.IsEnabled(kScan));
    // Clean is enabled just after the summary is shown.
    EXPECT_TRUE(app.WaitForEnabled(kClean, true, 5000));
    e2e::SaveWindowScreenshot(app.MainWindow(), "detect-scan-summary");

    // A second scan starts from an empty list and finds the same.
    EXPECT_TRUE(ScanAndWait(app, expected)) << "status box:\n" << app.StatusText();
    DWORD code = 1;
    EXPECT_TRUE(app.CloseAndWait(&code));
    EXPECT_EQ(code, 0u);
}

// A hostile shell rewrites its loader entry so that the infected library claims a document's
// path, and after the scan a listed folder is swapped for a link to another folder holding a
// file of the same name. The scan lists the library itself; Clean removes it and leaves the
// document and everything behind the link alone.
TEST_F(ScanTest, CleanRemovesTheMappedLibraryNeverTheClaimedFileNorThroughALink) {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof(temp), temp), 0u);
    const std::string work = std::string(temp) + "vormak-e2e-claim";
    CreateDirectoryA(work.c_str(), nullptr);
    CreateDirectoryA((work + "\\decoy").c_str(), nullptr);
    const std::string library = work + "\\vtclaim.dll";
    const std::string document = work + "\\claimed.doc";
    const std::string decoy = work + "\\decoy\\gdswap.dll";
    ASSERT_TRUE(CopyFileA((TestDirectory() + "\\vtcode.dll").c_str(), library.c_str(), FALSE));
    ASSERT_TRUE(WriteWholeFile(document, std::string("a document")));
    ASSERT_TRUE(WriteWholeFile(decoy, std::string("another folder's file")));

    seed::SeededTree tree;
    ASSERT_TRUE(tree.Directory("vtswap.dll"));
    ASSERT_TRUE(tree.File("vtswap.dll\\gdswap.dll", seed::LibraryImage(".Upack")));
    const std::string swapped = tree.Path("vtswap.dll\\gdswap.dll");
    FakeShell shell;
    ASSERT_TRUE(shell.Start({library + "|path=" + document}));

    e2e::App app;
    ASSERT_TRUE(app.Start());
    EXPECT_TRUE(ScanAndWait(app, Summary({swapped, library}))) << app.StatusText();
    // The library is let go, so that Clean can remove it at once.
    shell.End();
    ASSERT_TRUE(DeleteFileA(swapped.c_str()));
    ASSERT_TRUE(RemoveDirectoryA(tree.Path("vtswap.dll").c_str()));
    ASSERT_TRUE(tree.DirectoryLink("vtswap.dll", UnixPath(work + "\\decoy")));
    ASSERT_TRUE(FileExists(swapped)) << "the link does not lead to the decoy";

    app.Click(kClean);
    HWND box = app.WaitForDialog("温馨提示?", 20000);
    ASSERT_NE(box, nullptr) << app.StatusText();
    EXPECT_EQ(app.StatusText(), StatusBanner() + "\r\n清除木马:\r\n" + swapped + " 失败\r\n" +
                                    library + " 成功\r\n清除完成!\r\n");
    PostMessageA(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
    EXPECT_TRUE(app.WaitForEnabled(kClean, false, 10000));
    std::string content;
    EXPECT_TRUE(ReadWholeFile(document, &content));
    EXPECT_EQ(content, "a document");
    EXPECT_TRUE(ReadWholeFile(decoy, &content));
    EXPECT_EQ(content, "another folder's file");
    EXPECT_FALSE(FileExists(library));
    DWORD code = 1;
    EXPECT_TRUE(app.CloseAndWait(&code));
    EXPECT_EQ(code, 0u);
    tree.Remove();
    RemoveTree(work);
}

// The shell's user-level code writes a code pattern into the memory of three libraries. Only the
// one whose own file carries the trojan's mark (a first section ".Upack") and that nothing
// vouches for is listed and removed; a library the stand-in vouches for and one whose file has
// neither a pattern nor ".Upack" stay off the list and survive Clean.
TEST_F(ScanTest, CodeWrittenIntoMemoryListsOnlyAnUnvouchedFileThatCarriesTheMark) {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof(temp), temp), 0u);
    const std::string work = std::string(temp) + "vormak-e2e-memory";
    CreateDirectoryA(work.c_str(), nullptr);
    std::string plainBytes;
    ASSERT_TRUE(ReadWholeFile(TestDirectory() + "\\vtscratch.dll", &plainBytes));
    const std::string upackBytes = scenario::WithUpackFirstSection(plainBytes);
    ASSERT_FALSE(upackBytes.empty());
    const std::string signedBytes = upackBytes + STUB_SIGNATURE_TRAILER;
    const std::string vouched = work + "\\vtsigned.dll";
    const std::string plain = work + "\\vtplain.dll";
    const std::string upack = work + "\\vtupack.dll";
    ASSERT_TRUE(WriteWholeFile(vouched, signedBytes));
    ASSERT_TRUE(WriteWholeFile(plain, plainBytes));
    ASSERT_TRUE(WriteWholeFile(upack, upackBytes));

    FakeShell shell;
    ASSERT_TRUE(shell.Start({vouched + "|write", plain + "|write", upack + "|write"}));
    e2e::App app;
    ASSERT_TRUE(app.Start());
    EXPECT_TRUE(ScanAndWait(app, Summary({upack}))) << app.StatusText();
    shell.End();

    app.Click(kClean);
    HWND box = app.WaitForDialog("温馨提示?", 20000);
    ASSERT_NE(box, nullptr) << app.StatusText();
    EXPECT_EQ(app.StatusText(),
              StatusBanner() + "\r\n清除木马:\r\n" + upack + " 成功\r\n清除完成!\r\n");
    PostMessageA(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
    EXPECT_TRUE(app.WaitForEnabled(kClean, false, 10000));
    std::string content;
    EXPECT_TRUE(ReadWholeFile(vouched, &content));
    EXPECT_EQ(content, signedBytes);
    EXPECT_TRUE(ReadWholeFile(plain, &content));
    EXPECT_EQ(content, plainBytes);
    EXPECT_FALSE(FileExists(upack));
    DWORD code = 1;
    EXPECT_TRUE(app.CloseAndWait(&code));
    EXPECT_EQ(code, 0u);
    RemoveTree(work);
}

TEST_F(ScanTest, RealSystemLibrariesPassTheNameTestButAreNotListed) {
    // The names alone would list Wine's own gdi32.dll and friends; their first section decides.
    const std::wstring mask = Widen(seed::SystemDirectory()) + L"\\*.dll";
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(mask.c_str(), &entry);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    int passing = 0;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            PassesNameTest(reinterpret_cast<const char16_t*>(entry.cFileName)))
            ++passing;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    std::printf("system libraries passing the name test: %d\n", passing);
    EXPECT_GT(passing, 0);

    seed::SeededTree tree;
    SeedNegatives(tree);
    ASSERT_TRUE(tree.Directory("drivers\\comint32.sys"));  // a directory is not the driver
    // On a box that paints slowly the program shows progress less often, so a progress text is
    // most likely still waiting to be shown when the scan ends: the summary must stay the last
    // text all the same, for longer than the program ever waits between two shows.
    ExitProbe probe;
    ASSERT_TRUE(probe.IsReady());
    e2e::App app;
    ASSERT_TRUE(probe.Start(app));
    probe.SlowStatusPaints(150);
    const std::string summary = StatusBanner() + "没有在你的机器上此木马!";
    EXPECT_TRUE(ScanAndWait(app, summary)) << app.StatusText();
    EXPECT_FALSE(e2e::WaitUntil([&] { return app.StatusText() != summary; }, 3000))
        << app.StatusText();
    EXPECT_TRUE(app.IsEnabled(kScan));
    EXPECT_FALSE(app.IsEnabled(kClean));
    DWORD code = 1;
    EXPECT_TRUE(app.CloseAndWait(&code));
    EXPECT_EQ(code, 0u);
}

// Files a trojan could hide behind on a Chinese system: a name with a Korean letter (no form in
// code page 936) in the system directory, with its companion; a library nested in *.dll
// directories past MAX_PATH; and a library with the code patterns that the shell loaded from a
// folder whose name holds the Korean letter. Each is listed as it is named, read back through the
// Unicode calls, and each is removed; a second nested library, held open by another program, is
// scheduled for the restart by its whole path.
TEST_F(ScanTest, NamesOutsideTheCodePageAndPathsPastMaxPathAreListedAndRemoved) {
    const std::wstring korean = L"\uD55C";
    const std::wstring system = Widen(seed::SystemDirectory());
    const auto upack = seed::LibraryImage(".Upack");
    seed::SeededTree tree;
    // Three levels of *.dll directories: the system directory plus these is 244 characters.
    const std::string first = std::string(100, 'a') + ".dll";
    const std::string second = first + "\\" + std::string(100, 'b') + ".dll";
    const std::string third = second + "\\" + std::string(10, 'c') + ".dll";
    ASSERT_EQ(seed::SystemDirectory().size() + 1 + third.size(), 244u);
    ASSERT_TRUE(tree.Directory(first));
    ASSERT_TRUE(tree.Directory(second));
    ASSERT_TRUE(tree.Directory(third));
    ASSERT_TRUE(tree.File(third + "\\gdtemp.dll", upack));
    const std::string longName = "gd" + std::string(20, 'x') + ".dll";
    ASSERT_TRUE(tree.RenameBeyondMaxPath(third + "\\gdtemp.dll", longName));
    const std::wstring nested = system + L"\\" + Widen(third) + L"\\" + Widen(longName);
    ASSERT_GT(nested.size(), 260u);
    ASSERT_TRUE(tree.File(third + "\\gdtemp.dll", upack));
    const std::string busyName = "gd" + std::string(20, 'y') + ".dll";
    ASSERT_TRUE(tree.RenameBeyondMaxPath(third + "\\gdtemp.dll", busyName));
    const std::wstring busy = system + L"\\" + Widen(third) + L"\\" + Widen(busyName);

    const std::wstring library = system + L"\\gd" + korean + L".dll";
    const std::wstring companion = system + L"\\gd" + korean + L".cfg";
    wchar_t temp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder = std::wstring(temp) + L"vormak-e2e-" + korean;
    const std::wstring module = folder + L"\\vtcode.dll";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(
        CopyFileW((Widen(TestDirectory()) + L"\\vtcode.dll").c_str(), module.c_str(), FALSE));
    for (const std::wstring& path : {library, companion}) {
        HANDLE file =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        if (path == library)
            WriteFile(file, upack.data(), DWORD(upack.size()), &written, nullptr);
        CloseHandle(file);
    }
    FakeShell shell;
    ASSERT_TRUE(shell.Start({}, {module}));

    e2e::App app;
    ASSERT_TRUE(app.Start());
    // A box the ANSI dialog made would hold ANSI text on Windows, whatever Wine does.
    EXPECT_TRUE(IsWindowUnicode(app.Control(1003)));
    const std::wstring found = Widen(StatusBanner()) + L"\r\n发现木马:\r\n" + nested + L"\r\n" +
                               busy + L"\r\n" + library + L"\r\n" + companion + L"\r\n" + module +
                               L"\r\n请确认后点击清除!";
    EXPECT_TRUE(app.Press(kScan) &&
                e2e::WaitUntil([&] { return app.IsEnabled(kScan) && app.StatusTextW() == found; },
                               kScanTimeoutMs))
        << app.StatusText();
    e2e::SaveWindowScreenshot(app.MainWindow(), "detect-scan-unicode");
    // The library is let go, so that Clean can remove it at once; the other program holds the
    // busy one without sharing its deletion.
    shell.End();
    std::unique_ptr<void, decltype(&CloseHandle)> holder(
        CreateFileW((L"\\\\?\\" + busy).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr),
        &CloseHandle);
    ASSERT_NE(holder.get(), INVALID_HANDLE_VALUE);

    app.Click(kClean);
    HWND box = app.WaitForDialog("温馨提示?", 20000);
    ASSERT_NE(box, nullptr) << app.StatusText();
    EXPECT_EQ(app.StatusTextW(), Widen(StatusBanner()) + L"\r\n清除木马:\r\n" + nested +
                                     L" 成功\r\n" + busy + L" 【需要重启】\r\n" + library +
                                     L" 成功\r\n" + companion + L" 成功\r\n" + module +
                                     L" 成功\r\n清除完成!\r\n")
        << app.StatusText();
    PostMessageA(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
    EXPECT_TRUE(app.WaitForEnabled(kClean, false, 10000));
    for (const std::wstring& path : {L"\\\\?\\" + nested, library, companion, module})
        EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    holder.reset();
    const std::vector<std::string> pending = scenario::PendingRenames();
    EXPECT_TRUE(std::any_of(pending.begin(), pending.end(), [&](const std::string& entry) {
        return lstrcmpiW(Widen(entry).c_str(), (L"\\??\\" + busy).c_str()) == 0;
    })) << "not scheduled";
    scenario::ClearPendingRenames();
    DWORD code = 1;
    EXPECT_TRUE(app.CloseAndWait(&code));
    EXPECT_EQ(code, 0u);
    for (const std::wstring& path : {library, companion, module})
        DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());
}


// The program ends itself without its libraries' detach code only when it is closed while the
// scan still runs: the probe's missing detach proves that the scan was running at the close.
TEST_F(ScanTest, ClosingTheWindowDuringALongScanEndsTheProgramAtOnce) {
    seed::SeededTree tree;
    ASSERT_TRUE(tree.Directory("vtbulk.dll"));
    const auto upack = seed::LibraryImage(".Upack");
    char name[64];
    for (int i = 0; i < 3000; ++i) {
        std::snprintf(name, sizeof(name), "vtbulk.dll\\gd%04d.dll", i);
        ASSERT_TRUE(tree.File(name, upack));
    }
    ExitProbe probe;
    ASSERT_TRUE(probe.IsReady());
    {
        // Closed without a scan, the program ends through the detach code, and the probe sees it.
        e2e::App app;
        ASSERT_TRUE(probe.Start(app));
        DWORD code = 1;
        ASSERT_TRUE(app.CloseAndWait(&code));
        EXPECT_EQ(code, 0u);
        EXPECT_TRUE(probe.DetachRanIn(app.ProcessId()));
    }
    for (int round = 0; round < 20; ++round) {
        e2e::App app;
        ASSERT_TRUE(probe.Start(app)) << "round " << round;
        app.Click(kScan);
        ASSERT_TRUE(app.WaitForStatus(
            [](const std::string& text) {
                return text.find("正在扫描磁盘文件 ") != std::string::npos;
            },
            20000))
            << "round " << round;
        // Both buttons stay disabled while the scan runs.
        EXPECT_FALSE(app.IsEnabled(kScan)) << "round " << round;
        EXPECT_FALSE(app.IsEnabled(kClean)) << "round " << round;
        DWORD code = 1;
        ASSERT_TRUE(app.CloseAndWait(&code, 5000)) << "round " << round;
        EXPECT_EQ(code, 0u) << "round " << round;
        EXPECT_FALSE(probe.DetachRanIn(app.ProcessId()))
            << "round " << round << ": the scan had ended before the close";
    }
}

}  // namespace
