// Scan, Clean and the upload as a user meets them, in a seeded prefix. The stand-in
// WINTRUST.DLL (tests/support/wintrust_stub) is given to vormak.exe alone, so that unsigned
// modules outside the Windows directory are upload candidates as they would be on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ScenarioSupport.h"
#include "app/StatusBanner.h"
#include "e2e/harness/AppDriver.h"
#include "e2e/reporter/ReporterDriver.h"

namespace {

using namespace scenario;

const int kScan = 1001;
const int kClean = 1002;
const char kQuestionTitle[] = "温馨提示?";
const char kQuestion[] =
    "上传可疑文件将会更有利于我们及时的更新和有力的查杀，是否将这些可疑文件上传？";

std::string Lower(std::string text) {
    CharLowerA(&text[0]);
    return text;
}

std::string Narrow(const std::wstring& text) {
    char narrow[4096] = {};
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow, sizeof(narrow) - 1, nullptr, nullptr);
    return narrow;
}

std::string WindowsDirectory() {
    char path[MAX_PATH] = {};
    GetSystemWindowsDirectoryA(path, MAX_PATH);
    return path;
}

std::map<std::string, unsigned long long> g_systemBefore;
WintrustStandIn g_standIn;

std::string StubLog() {
    return TempDirectory() + "vormak-e2e-wintrust.log";
}
// The upload's files, in the private folder the upload made.
std::string ListPath(const std::string& folder) {
    return folder + "\\vex7275.tmp";
}
std::string ReporterPath(const std::string& folder) {
    return folder + "\\tarnrpt.exe";
}
std::string LibraryPath(const std::string& folder) {
    return folder + "\\tarnup.dll";
}

// Private folders that were there before the test; the test removes the others.
std::vector<std::string> g_foldersBefore;

void RemoveUploadFolders() {
    for (const std::string& folder : PrivateFolders()) {
        if (std::find(g_foldersBefore.begin(), g_foldersBefore.end(), folder) ==
            g_foldersBefore.end()) {
            RemoveTree(folder);
        }
    }
}

std::string Summary(const std::vector<std::string>& paths) {
    std::string text = StatusBanner() + "\r\n发现木马:\r\n";
    for (const std::string& path : paths)
        text += path + "\r\n";
    return text + "请确认后点击清除!";
}

// Sections of the list as key/value maps, in file order.
std::vector<std::map<std::string, std::string>> ReadList(const std::string& list,
                                                         std::vector<std::string>* names) {
    std::vector<char> buffer(1 << 16, '\0');
    const DWORD length =
        GetPrivateProfileSectionNamesA(buffer.data(), DWORD(buffer.size()), list.c_str());
    std::vector<std::map<std::string, std::string>> sections;
    for (DWORD offset = 0; offset < length && buffer[offset] != '\0';) {
        const std::string name = &buffer[offset];
        offset += DWORD(name.size()) + 1;
        names->push_back(name);
        std::map<std::string, std::string> keys;
        for (const char* key : {"file", "md5", "ext", "name"}) {
            char value[1024] = {};
            GetPrivateProfileStringA(name.c_str(), key, "", value, sizeof(value), list.c_str());
            keys[key] = value;
        }
        sections.push_back(keys);
    }
    return sections;
}

class RemovalTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        g_systemBefore = FingerprintTree(SystemDirectory());
        ASSERT_TRUE(g_standIn.Install()) << "cannot install the stand-in WINTRUST.DLL";
    }
    static void TearDownTestSuite() {
        g_standIn.Uninstall();
        const auto after = FingerprintTree(SystemDirectory());
        // Several hundred files in any prefix: an empty walk would prove nothing.
        EXPECT_GT(g_systemBefore.size(), 100u);
        EXPECT_EQ(after.size(), g_systemBefore.size());
        for (const auto& entry : g_systemBefore) {
            auto found = after.find(entry.first);
            if (found == after.end()) {
                ADD_FAILURE() << "gone from the system directory: " << entry.first;
            } else if (found->second != entry.second) {
                ADD_FAILURE() << "changed in the system directory: " << entry.first;
            }
        }
    }
    void SetUp() override {
        system = SystemDirectory();
        g_foldersBefore = PrivateFolders();
        DeleteFileA(StubLog().c_str());
        SetEnvironmentVariableA("VORMAK_STUB_WINTRUST_LOG", StubLog().c_str());
    }
    void TearDown() override {
        app.Kill();
        // A reporter started by an upload would wait for its user for ever.
        EndProcessesNamed("tarnrpt.exe");
        for (const std::string& path : seeded) {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileA(path.c_str()))
                RemoveDirectoryA(path.c_str());
        }
        ClearPendingRenames();
        RemoveUploadFolders();
    }
    std::string Seed(const std::string& path, const std::string& bytes) {
        EXPECT_TRUE(WriteWholeFile(path, bytes)) << path;
        seeded.push_back(path);
        return path;
    }
    std::string Driver() const { return system + "\\drivers\\comint32.sys"; }
    std::string InSystem(const std::string& name) const { return system + "\\" + name; }
    std::string StubLogText() const {
        std::string text;
        ReadWholeFile(StubLog(), &text);
        return text;
    }
    void ScanAndExpect(const std::vector<std::string>& found) {
        app.Click(kScan);
        EXPECT_TRUE(app.WaitForStatusEquals(Summary(found), 60000)) << app.StatusText();
        EXPECT_TRUE(app.WaitForEnabled(kClean, true, 10000));
    }
    HWND CleanAndWaitForQuestion() {
        app.Click(kClean);
        HWND box = app.WaitForDialog(kQuestionTitle, 20000);
        EXPECT_NE(box, nullptr) << "no upload question";
        return box;
    }

    std::string system;
    std::vector<std::string> seeded;
    e2e::App app;
};

TEST_F(RemovalTest, CleanReportsEachFileAndNoWritesNothing) {
    std::string library;
    ASSERT_TRUE(ReadWholeFile(WindowsPathOf(REPORTER_DLL_PATH), &library));
    const std::string driver = Seed(Driver(), "any content");
    const std::string loaded = Seed(InSystem("bjload.dll"), WithUpackFirstSection(library));
    const std::string held = Seed(InSystem("gdheld.dll"), UpackImage());
    const std::string swapped = Seed(InSystem("gdswap.dll"), UpackImage());
    const std::string plain = Seed(InSystem("gdx.dll"), UpackImage());
    const std::string companion = Seed(InSystem("gdx.cfg"), "cfg");
    BusyFile loader;
    BusyFile opener;
    ASSERT_TRUE(loader.Start("load", loaded));
    ASSERT_TRUE(opener.Start("open", held));

    ASSERT_TRUE(app.Start());
    ScanAndExpect({driver, loaded, held, swapped, plain, companion});
    // Between Scan and Clean the listed file is renamed away and another put at its name: Clean
    // touches neither.
    const std::string renamed = Seed(InSystem("gdswap.old"), "");
    ASSERT_TRUE(MoveFileExA(swapped.c_str(), renamed.c_str(), MOVEFILE_REPLACE_EXISTING));
    Seed(swapped, "another file");
    HWND box = CleanAndWaitForQuestion();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(e2e::DialogItemText(box, 0xFFFF), kQuestion);
    EXPECT_NE(GetDlgItem(box, IDYES), nullptr);
    EXPECT_NE(GetDlgItem(box, IDNO), nullptr);
    EXPECT_EQ(GetDlgItem(box, IDOK), nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), app.MainWindow());
    const std::string report = StatusBanner() + "\r\n清除木马:\r\n" + driver + " 成功\r\n" +
                               loaded + " 【需要重启】\r\n" + held + " 【需要重启】\r\n" +
                               swapped + " 失败\r\n" + plain + " 成功\r\n" + companion +
                               " 成功\r\n" + "清除完成!\r\n";
    EXPECT_EQ(app.StatusText(), report);
    e2e::SaveWindowScreenshot(box, "clean-upload-question");

    PostMessageA(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
    bool everHidden = false;
    e2e::WaitUntil(
        [&] {
            everHidden = everHidden || !app.IsMainWindowVisible();
            return false;
        },
        1500, 5);
    EXPECT_FALSE(everHidden);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_FALSE(app.IsEnabled(kClean));
    EXPECT_TRUE(app.IsEnabled(kScan));
    EXPECT_EQ(app.StatusText(), report);

    EXPECT_FALSE(FileExists(driver));
    EXPECT_FALSE(FileExists(plain));
    EXPECT_FALSE(FileExists(companion));
    EXPECT_TRUE(FileExists(loaded));
    EXPECT_TRUE(FileExists(held));
    std::string swappedBytes;
    EXPECT_TRUE(ReadWholeFile(swapped, &swappedBytes) && swappedBytes == "another file");
    EXPECT_TRUE(FileExists(renamed));
    const std::vector<std::string> pending = PendingRenames();
    for (const std::string& busy : {loaded, held}) {
        EXPECT_TRUE(std::any_of(
            pending.begin(), pending.end(),
            [&](const std::string& entry) { return Lower(entry) == Lower("\\??\\" + busy); }))
            << busy << " not scheduled";
    }
    for (const std::string& entry : pending)
        EXPECT_EQ(Lower(entry).find("gdswap"), std::string::npos) << entry << " scheduled";
    // No upload: no folder for its files, and the trust library never even loaded. The busy
    // files in the system directory were scheduled where they are, so no restart folder either.
    EXPECT_EQ(NewPrivateFolder(g_foldersBefore), "");
    EXPECT_EQ(StubLogText().find("loaded"), std::string::npos);

    // A second press finds the list empty: nothing changes, nothing is asked.
    app.PostCommand(kClean, 0);
    EXPECT_TRUE(app.NoDialogOnceDrained(kQuestionTitle));
    EXPECT_EQ(app.StatusText(), report);
    DWORD code = 1;
    EXPECT_TRUE(app.CloseAndWait(&code));
    EXPECT_EQ(code, 0u);
}

// A busy library outside the system directory is never scheduled by its own path, which runs
// through folders its user can change: one its user holds open fails, with nothing scheduled;
// one that is only loaded is moved into a private folder first and scheduled there.
TEST_F(RemovalTest, BusyLibrariesOutsideTheSystemDirectoryAreNotScheduledWhereTheyAre) {
    const std::string folder = TempDirectory() + "vormak-e2e-user";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string code;
    ASSERT_TRUE(ReadWholeFile(WindowsPathOf(CODE_HIT_DLL_PATH), &code));
    const std::string held = Seed(folder + "\\vtheld.dll", code);
    const std::string loaded = Seed(folder + "\\vtloaded.dll", code);
    BusyFile shell;
    BusyFile opener;
    ASSERT_TRUE(shell.Start("shell", held + "|" + loaded));
    ASSERT_TRUE(opener.Start("open", held));

    ASSERT_TRUE(app.Start());
    ScanAndExpect({held, loaded});
    HWND box = CleanAndWaitForQuestion();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(app.StatusText(), StatusBanner() + "\r\n清除木马:\r\n" + held + " 失败\r\n" + loaded +
                                    " 【需要重启】\r\n" + "清除完成!\r\n");
    PostMessageA(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
    EXPECT_TRUE(FileExists(held));
    EXPECT_FALSE(FileExists(loaded));
    const std::string restart = NewPrivateFolder(g_foldersBefore);
    ASSERT_NE(restart, "") << "no private folder under " << WindowsTempDirectory();
    EXPECT_EQ(GetFileAttributesA(restart.c_str()) &
                  (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              DWORD(FILE_ATTRIBUTE_DIRECTORY));
    const std::string moved = restart + "\\1";
    EXPECT_TRUE(FileExists(moved));
    const std::vector<std::string> pending = PendingRenames();
    for (const std::string& entry : pending)
        EXPECT_EQ(Lower(entry).find(Lower(folder)), std::string::npos) << entry;
    for (const std::string& scheduled : {moved, restart}) {
        EXPECT_TRUE(std::any_of(
            pending.begin(), pending.end(),
            [&](const std::string& entry) { return Lower(entry) == Lower("\\??\\" + scheduled); }))
            << scheduled << " not scheduled";
    }
    shell.End();
    opener.End();
    seeded.push_back(folder);  // removed last, once empty
}

TEST_F(RemovalTest, EmptyListChangesNothingAndAsksNothing) {
    ASSERT_TRUE(app.Start());
    app.PostCommand(kClean, 0);
    EXPECT_TRUE(app.NoDialogOnceDrained(kQuestionTitle));
    EXPECT_EQ(app.StatusText(), StatusBanner());
    EXPECT_FALSE(app.IsEnabled(kClean));
    EXPECT_TRUE(app.IsEnabled(kScan));
}

// What the test saw while the reporter stood suspended at its creation.
struct ReporterStart {
    std::atomic<int> count{0};
    std::wstring commandLine;
    bool commandLineRead = false;
    std::string folder;                       // the folder of the started program
    std::vector<std::string> changesAllowed;  // what another process managed to do
    std::wstring directory;                   // its current directory
    std::vector<std::wstring> environment;    // its environment, entry by entry
    bool startRead = false;
};

void InspectReporter(HANDLE process, ReporterStart& seen) {
    std::wstring commandLine;
    const bool read = ReadCommandLine(process, &commandLine);
    std::fprintf(stderr, "child started (%s): %ls\n", read ? "read" : "unread",
                 commandLine.c_str());
    // Only the reporter is examined; anything else the program starts runs undisturbed.
    if (read && commandLine.find(L"tarnrpt.exe") == std::wstring::npos)
        return;
    seen.commandLineRead = read;
    seen.commandLine = commandLine;
    // The folder of the quoted program name.
    char ansiLine[2048] = {};
    WideCharToMultiByte(CP_ACP, 0, commandLine.c_str(), -1, ansiLine, sizeof(ansiLine) - 1, nullptr,
                        nullptr);
    const std::string line = ansiLine;
    const size_t program = line.find("\\tarnrpt.exe\"");
    seen.folder = line[0] == '"' && program != std::string::npos ? line.substr(1, program - 1) : "";
    seen.startRead = ReadDirectoryAndEnvironment(process, &seen.directory, &seen.environment);
    // This test is another process: try what an unelevated one would. (On Windows the folder's
    // DACL keeps such a process out in any case; Wine does not enforce DACLs, so this sees the
    // program's own holds on the files.)
    for (const std::string& path : {ReporterPath(seen.folder), LibraryPath(seen.folder)}) {
        HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (writer != INVALID_HANDLE_VALUE) {
            seen.changesAllowed.push_back("write " + path);
            CloseHandle(writer);
        }
        HANDLE deleter = CreateFileA(path.c_str(), DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
        if (deleter != INVALID_HANDLE_VALUE) {
            seen.changesAllowed.push_back("delete access " + path);
            CloseHandle(deleter);
        }
        const std::string moved = path + ".moved";
        if (MoveFileA(path.c_str(), moved.c_str())) {
            seen.changesAllowed.push_back("rename " + path);
            MoveFileA(moved.c_str(), path.c_str());
        }
    }
    // Everything the test needs has been seen: end the reporter before it runs.
    TerminateProcess(process, 0);
    ++seen.count;
}

TEST_F(RemovalTest, YesUploadsThroughTheHeldReporter) {
    ReporterStart seen;
    DebugLauncher launcher([&](HANDLE process, DWORD) { InspectReporter(process, seen); });
    // The stand-in holds up one trust check per upload, so that the test can look at the
    // program in the middle of it.
    const std::string pause = "vormak-e2e-pause-" + std::to_string(GetCurrentProcessId());
    HANDLE arm = CreateEventA(nullptr, FALSE, FALSE, (pause + "-arm").c_str());
    HANDLE reached = CreateEventA(nullptr, FALSE, FALSE, (pause + "-reached").c_str());
    HANDLE resume = CreateEventA(nullptr, FALSE, FALSE, (pause + "-resume").c_str());
    ASSERT_TRUE(arm != nullptr && reached != nullptr && resume != nullptr);
    SetEnvironmentVariableA("VORMAK_STUB_WINTRUST_PAUSE", pause.c_str());
    // What a user's environment may carry: neither may reach the elevated reporter.
    SetEnvironmentVariableA("__COMPAT_LAYER", "WINXPSP3");
    char userPath[4096] = {};
    GetEnvironmentVariableA("PATH", userPath, sizeof(userPath));
    const std::string plantedPath = TempDirectory() + "vormak-e2e-path";
    SetEnvironmentVariableA("PATH", (plantedPath + ";" + userPath).c_str());
    // An unsigned module whose name has no form in code page 936, loaded by this process: it is
    // offered like any other, under its own name.
    wchar_t temp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring koreanFolder = std::wstring(temp) + L"vormak-e2e-\uD55C";
    const std::wstring koreanModule = koreanFolder + L"\\vt\uD55C.dll";
    std::string koreanBytes;
    ASSERT_TRUE(ReadWholeFile(WindowsPathOf(CODE_HIT_DLL_PATH), &koreanBytes));
    ASSERT_TRUE(CreateDirectoryW(koreanFolder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CopyFileW(Widen(WindowsPathOf(CODE_HIT_DLL_PATH)).c_str(), koreanModule.c_str(),
                          FALSE));
    HMODULE korean = LoadLibraryW(koreanModule.c_str());
    ASSERT_NE(korean, nullptr);
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(launcher.Start(e2e::GetOptions().appPath, &started));
    ASSERT_TRUE(app.Adopt(started));
    SetEnvironmentVariableA("VORMAK_STUB_WINTRUST_PAUSE", nullptr);
    SetEnvironmentVariableA("__COMPAT_LAYER", nullptr);
    SetEnvironmentVariableA("PATH", userPath);

    std::string reporterBytes;
    std::string libraryBytes;
    std::vector<std::string> foldersSeen = g_foldersBefore;
    std::string folder;
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("upload " + std::to_string(round));
        const std::string upack = Seed(InSystem("gdx.dll"), UpackImage());
        ScanAndExpect({upack});
        HWND box = CleanAndWaitForQuestion();
        ASSERT_NE(box, nullptr);
        SetEvent(arm);
        PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
        ASSERT_EQ(WaitForSingleObject(reached, e2e::ScaledTimeout(60000)), WAIT_OBJECT_0) << "no trust check";
        // Mid-upload: the window is hidden and both reporter files are already written, in a
        // fresh folder under the Windows directory's Temp that is no link.
        EXPECT_FALSE(app.IsMainWindowVisible()) << "the window is shown during the upload";
        folder = NewPrivateFolder(foldersSeen);
        ASSERT_NE(folder, "") << "no private folder under " << WindowsTempDirectory();
        foldersSeen.push_back(folder);
        EXPECT_EQ(GetFileAttributesA(folder.c_str()) &
                      (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
                  DWORD(FILE_ATTRIBUTE_DIRECTORY));
        EXPECT_TRUE(FileExists(ReporterPath(folder)));
        EXPECT_TRUE(FileExists(LibraryPath(folder)));
        EXPECT_EQ(seen.count, round - 1) << "the reporter started before the list was done";
        SetEvent(resume);
        ASSERT_TRUE(e2e::WaitUntil([&] { return seen.count == round; }, 90000))
            << "the reporter was not started";
        EXPECT_TRUE(app.WaitForEnabled(kClean, false, 20000));
        EXPECT_TRUE(e2e::WaitUntil([&] { return app.IsMainWindowVisible(); }, 10000));
        EXPECT_TRUE(seen.changesAllowed.empty())
            << "another process could: " << seen.changesAllowed.front();
        seen.changesAllowed.clear();

        ASSERT_TRUE(seen.commandLineRead);
        EXPECT_EQ(Lower(seen.folder), Lower(folder));
        // Started in its own folder, with the program's minimal environment. (Windows keeps
        // the directory with a trailing backslash, Wine without; Wine adds its own WINE*
        // variables to every process it starts.)
        ASSERT_TRUE(seen.startRead);
        std::string directory = Lower(Narrow(seen.directory));
        if (!directory.empty() && directory.back() == '\\')
            directory.pop_back();
        EXPECT_EQ(directory, Lower(folder));
        std::vector<std::string> variables;
        for (const std::wstring& entry : seen.environment) {
            const std::string text = Narrow(entry);
            const std::string name = text.substr(0, text.find('='));
            if (name.compare(0, 4, "WINE") == 0)
                continue;
            variables.push_back(name);
            if (Lower(name) == "path") {
                EXPECT_EQ(Lower(text),
                          Lower("PATH=" + SystemDirectory() + ";" + WindowsDirectory()));
            }
        }
        std::sort(variables.begin(), variables.end(),
                  [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
        EXPECT_EQ(variables,
                  (std::vector<std::string>{"PATH", "SystemDrive", "SystemRoot", "windir"}));
        // The folder holds the three files, under their names.
        EXPECT_TRUE(FileExists(ListPath(folder)));
        char ansiLine[2048] = {};
        WideCharToMultiByte(CP_ACP, 0, seen.commandLine.c_str(), -1, ansiLine, sizeof(ansiLine) - 1,
                            nullptr, nullptr);
        const std::string commandLine = ansiLine;
        const std::string arguments = "/files:" + ListPath(folder);
        ASSERT_GE(commandLine.size(), arguments.size());
        EXPECT_EQ(Lower(commandLine.substr(commandLine.size() - arguments.size())),
                  Lower(arguments));
        // The program name, quoted, then exactly the parameters: no quotes around the list path.
        const std::string program = commandLine.substr(0, commandLine.size() - arguments.size());
        EXPECT_EQ(Lower(program), Lower("\"" + ReporterPath(folder) + "\" "));

        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(ReporterPath(folder), &bytes));
        std::string original;
        ASSERT_TRUE(ReadWholeFile(WindowsPathOf(REPORTER_EXE_PATH), &original));
        EXPECT_TRUE(bytes == original) << "tarnrpt.exe differs from the build's";
        if (round == 1)
            reporterBytes = bytes;
        EXPECT_TRUE(bytes == reporterBytes) << "second upload wrote another tarnrpt.exe";
        ASSERT_TRUE(ReadWholeFile(LibraryPath(folder), &bytes));
        ASSERT_TRUE(ReadWholeFile(WindowsPathOf(REPORTER_DLL_PATH), &original));
        EXPECT_TRUE(bytes == original) << "tarnup.dll differs from the build's";
        if (round == 1)
            libraryBytes = bytes;
        EXPECT_TRUE(bytes == libraryBytes) << "second upload wrote another tarnup.dll";

        std::vector<std::string> names;
        const auto sections = ReadList(ListPath(folder), &names);
        ASSERT_FALSE(sections.empty());
        // The list begins with the program's own modules: the unsigned program itself first,
        // copied beside the list under a plain name and listed under its own.
        const std::string& appPath = e2e::GetOptions().appPath;
        EXPECT_EQ(sections[0].at("name"), appPath.substr(appPath.find_last_of('\\') + 1));
        std::string appBytes;
        ASSERT_TRUE(ReadWholeFile(appPath, &appBytes));
        std::string firstCopy;
        ASSERT_TRUE(ReadWholeFile(sections[0].at("file"), &firstCopy));
        EXPECT_TRUE(firstCopy == appBytes) << "the first copy is not the program's bytes";
        for (size_t i = 0; i < sections.size(); ++i) {
            EXPECT_EQ(names[i], "ITEM" + std::to_string(i));
            const std::string& file = sections[i].at("file");
            EXPECT_EQ(Lower(file.substr(0, file.find_last_of('\\'))), Lower(folder)) << file;
            std::string content;
            ASSERT_TRUE(ReadWholeFile(file, &content)) << file;
            EXPECT_EQ(sections[i].at("md5"), CryptoApiMd5(content)) << file;
            EXPECT_EQ(sections[i].at("ext"), "type=thVormak|name=" + sections[i].at("name") + "|");
            EXPECT_LT(content.size(), 0x409000u) << file;
        }
        const auto listed =
            std::find_if(sections.begin(), sections.end(), [](const auto& section) {
                return section.at("name") == "vt%ED%95%9C.dll";
            });
        ASSERT_NE(listed, sections.end()) << "the module named outside the code page is missing";
        std::string copied;
        ASSERT_TRUE(ReadWholeFile(listed->at("file"), &copied));
        EXPECT_TRUE(copied == koreanBytes) << "its copy is not the module's bytes";
    }
    FreeLibrary(korean);
    DeleteFileW(koreanModule.c_str());
    RemoveDirectoryW(koreanFolder.c_str());
    DWORD code = 1;
    EXPECT_TRUE(app.CloseAndWait(&code));
    EXPECT_EQ(code, 0u);
    CloseHandle(arm);
    CloseHandle(reached);
    CloseHandle(resume);
    // With the program gone the files are free again: the refusals above were its holds.
    for (const std::string& path : {ReporterPath(folder), LibraryPath(folder)}) {
        HANDLE writer =
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(writer, INVALID_HANDLE_VALUE) << path;
        if (writer != INVALID_HANDLE_VALUE)
            CloseHandle(writer);
    }
    const std::string log = StubLogText();
    EXPECT_NE(log.find("verify"), std::string::npos);
    EXPECT_EQ(log.find("bad"), std::string::npos) << log;
    // Acquired once for the run, released once at its end.
    size_t acquired = 0;
    for (size_t at = log.find("acquire\r\n"); at != std::string::npos;
         at = log.find("acquire\r\n", at + 1)) {
        ++acquired;
    }
    EXPECT_EQ(acquired, 1u);
    EXPECT_NE(log.find("release-context"), std::string::npos) << log;
}

// The whole hand-over, as the user sees it: the reporter the program starts shows this run's
// list, and the list is gone once the reporter and the program have ended.
TEST_F(RemovalTest, YesOpensTheReporterOnThisRunsList) {
    ASSERT_TRUE(app.Start());
    const std::string upack = Seed(InSystem("gdx.dll"), UpackImage());
    ScanAndExpect({upack});
    HWND box = CleanAndWaitForQuestion();
    ASSERT_NE(box, nullptr);
    PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
    DWORD reporterId = 0;
    ASSERT_TRUE(
        e2e::WaitUntil([&] { return (reporterId = FindProcessNamed("tarnrpt.exe")) != 0; }, 30000));
    const std::string folder = NewPrivateFolder(g_foldersBefore);
    ASSERT_NE(folder, "");
    std::string list;
    ASSERT_TRUE(ReadWholeFile(ListPath(folder), &list));
    size_t items = 0;
    for (size_t at = list.find("[ITEM"); at != std::string::npos; at = list.find("[ITEM", at + 1))
        ++items;
    ASSERT_GT(items, 0u) << list;

    e2e::Reporter reporter;
    ASSERT_TRUE(reporter.Attach(reporterId));
    ASSERT_TRUE(reporter.WaitForWindow()) << "the reporter showed no file list";
    EXPECT_EQ(size_t(reporter.RowCount()), items);
    EXPECT_TRUE(e2e::WaitUntil([&] { return app.IsMainWindowVisible(); }, 30000));
    reporter.Click(e2e::kReporterClose);
    DWORD reporterCode = 0;
    EXPECT_TRUE(reporter.WaitForExit(&reporterCode, 15000));
    DWORD code = 1;
    EXPECT_TRUE(app.CloseAndWait(&code));
    EXPECT_EQ(code, 0u);
    // The reporter removes the list it has read; the program must not stand in its way.
    EXPECT_TRUE(e2e::WaitUntil([&] { return !FileExists(ListPath(folder)); }, 5000))
        << "the upload list is left behind";
}

TEST_F(RemovalTest, PlantedWintrustBesideTheProgramIsIgnored) {
    const std::string folder = TempDirectory() + "vormak-e2e-planted";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string program = folder + "\\vormak.exe";
    const std::string planted = folder + "\\WINTRUST.DLL";
    ASSERT_TRUE(CopyFileA(e2e::GetOptions().appPath.c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(WindowsPathOf(PLANTED_WINTRUST_PATH).c_str(), planted.c_str(), FALSE));
    seeded.push_back(program);
    seeded.push_back(planted);

    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &started));
    ASSERT_TRUE(app.Adopt(started));
    const std::string upack = Seed(InSystem("gdx.dll"), UpackImage());
    ScanAndExpect({upack});
    HWND box = CleanAndWaitForQuestion();
    ASSERT_NE(box, nullptr);
    PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
    EXPECT_TRUE(app.WaitForEnabled(kClean, false, 60000));
    EXPECT_TRUE(e2e::WaitUntil([&] { return app.IsMainWindowVisible(); }, 60000));
    DWORD code = 1;
    EXPECT_TRUE(app.CloseAndWait(&code));
    const std::string log = StubLogText();
    EXPECT_EQ(log.find("planted-loaded"), std::string::npos) << log;
    // The system directory's library was bound and used instead.
    EXPECT_NE(log.find("loaded"), std::string::npos) << log;
    EXPECT_NE(log.find("verify"), std::string::npos) << log;
    // The reporter started on its own and waits for its user: end it before its files go.
    EndProcessesNamed("tarnrpt.exe");
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
