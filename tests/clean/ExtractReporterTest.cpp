// ExtractReporter with the real embedded reporter files (this test program carries them too).
#include "clean/PrivateFolder.h"
#include "clean/UploadSamples.h"
#include "win/FinalPath.h"
#include "win/WideText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/TestFiles.h"

namespace {

std::string Original(const char* buildPath) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(WindowsPathOf(buildPath), &bytes)) << buildPath;
    return bytes;
}

// A bound stretched as far as Wine is slowed down (VORMAK_TEST_TIME_SCALE, 1 to 20).
DWORD ScaledMs(DWORD ms) {
    char value[16] = {};
    const DWORD length = GetEnvironmentVariableA("VORMAK_TEST_TIME_SCALE", value, sizeof(value));
    const unsigned long scale =
        length > 0 && length < sizeof(value) ? strtoul(value, nullptr, 10) : 1;
    return ms * DWORD(scale >= 1 && scale <= 20 ? scale : 1);
}

struct MessageBoxSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindMessageBox(HWND window, LPARAM parameter) {
    MessageBoxSearch& search = *reinterpret_cast<MessageBoxSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[16] = {};
    GetClassNameA(window, className, sizeof(className));
    if (owner == search.processId && IsWindowVisible(window) &&
        lstrcmpA(className, "#32770") == 0 && GetDlgItem(window, 0xFFFF) != nullptr) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible message box ("#32770" with the text control 0xFFFF) of the process.
HWND FindMessageBoxOf(DWORD processId) {
    MessageBoxSearch search = {processId, nullptr};
    EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class ExtractReporterTest : public testing::Test {
  protected:
    std::string TempDir() const { return folder.Path() + "\\"; }
    // The program's temporary directory keeps its trailing backslash: "%s\\name" doubles it.
    std::string Library() const { return TempDir() + "\\tarnup.dll"; }
    std::string Reporter() const { return TempDir() + "\\tarnrpt.exe"; }
    TempFolder folder;
    ReporterHold hold;
    char exePath[MAX_PATH] = {};
};

TEST_F(ExtractReporterTest, WritesBothFilesUnscrambled) {
    ASSERT_NE(ExtractReporter(TempDir().c_str(), exePath, hold), 0);
    EXPECT_EQ(std::string(exePath), Reporter());
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(Reporter(), &bytes));
    EXPECT_EQ(bytes, Original(REPORTER_EXE_PATH));
    EXPECT_EQ(bytes.substr(0, 2), "MZ");
    ASSERT_TRUE(ReadWholeFile(Library(), &bytes));
    EXPECT_EQ(bytes, Original(REPORTER_DLL_PATH));
}

TEST_F(ExtractReporterTest, SecondExtractionWritesIdenticalFilesOverTheOldOnes) {
    ASSERT_NE(ExtractReporter(TempDir().c_str(), exePath, hold), 0);
    hold.Release();
    ASSERT_TRUE(WriteWholeFile(Reporter(), "stale"));
    ASSERT_TRUE(WriteWholeFile(Library(), "stale"));
    ASSERT_NE(ExtractReporter(TempDir().c_str(), exePath, hold), 0);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(Reporter(), &bytes));
    EXPECT_EQ(bytes, Original(REPORTER_EXE_PATH));
    ASSERT_TRUE(ReadWholeFile(Library(), &bytes));
    EXPECT_EQ(bytes, Original(REPORTER_DLL_PATH));
}

TEST_F(ExtractReporterTest, HeldFilesCannotBeWrittenRenamedOrDeleted) {
    ASSERT_NE(ExtractReporter(TempDir().c_str(), exePath, hold), 0);
    for (const std::string& path : {Reporter(), Library()}) {
        HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << path;
        if (writer != INVALID_HANDLE_VALUE)
            CloseHandle(writer);
        EXPECT_FALSE(DeleteFileA(path.c_str())) << path;
        EXPECT_FALSE(MoveFileA(path.c_str(), (path + ".moved").c_str())) << path;
        EXPECT_FALSE(WriteWholeFile(path, "replaced")) << path;
        // Readers are welcome.
        std::string bytes;
        EXPECT_TRUE(ReadWholeFile(path, &bytes)) << path;
    }
    hold.Release();
    EXPECT_TRUE(DeleteFileA(Library().c_str()));
}

TEST_F(ExtractReporterTest, HeldFilesCanStillBeLoadedAndStarted) {
    ASSERT_NE(ExtractReporter(TempDir().c_str(), exePath, hold), 0);
    HMODULE library = LoadLibraryA(Library().c_str());
    EXPECT_NE(library, nullptr) << GetLastError();
    if (library != nullptr)
        FreeLibrary(library);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + Reporter() + "\" /files:" + folder.File("no-list.tmp");
    ASSERT_TRUE(CreateProcessA(Reporter().c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process))
        << GetLastError();
    // The reporter really runs: it tells its user that the list is missing, in a message box of
    // its own process, and fails with its bad-list exit code once that is closed.
    HWND box = nullptr;
    const DWORD limit = ScaledMs(30000);
    for (const DWORD start = GetTickCount(); box == nullptr && GetTickCount() - start < limit;) {
        box = FindMessageBoxOf(process.dwProcessId);
        if (box == nullptr && WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0)
            break;
    }
    EXPECT_NE(box, nullptr) << "the reporter showed no message";
    if (box != nullptr) {
        char text[512] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
        EXPECT_EQ(std::string(text).rfind("找不到上传列表", 0), 0u) << text;
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, ScaledMs(10000)) == WAIT_TIMEOUT)
        TerminateProcess(process.hProcess, 0xDEAD);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, ScaledMs(10000)), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &code));
    EXPECT_EQ(code, 1u) << "the reporter's exit code for a missing list";
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

// The upload's folder: fresh for each upload, under the Windows directory's Temp, not a link.
TEST_F(ExtractReporterTest, PrivateFoldersAreFreshFoldersUnderTheWindowsTemp) {
    OpenFolder temp;
    ASSERT_TRUE(OpenWindowsTemp(temp));
    OpenFolder first;
    OpenFolder second;
    ASSERT_TRUE(CreatePrivateFolder(temp, PrivateFolderKind::Upload, first));
    ASSERT_TRUE(CreatePrivateFolder(temp, PrivateFolderKind::Upload, second));
    EXPECT_NE(first.path, second.path);
    char windows[MAX_PATH] = {};
    GetSystemWindowsDirectoryA(windows, MAX_PATH);
    for (const OpenFolder* folder : {&first, &second}) {
        const std::wstring path(reinterpret_cast<const wchar_t*>(folder->path.c_str()));
        const std::wstring expected = Widen(std::string(windows) + "\\Temp\\vormak-");
        EXPECT_EQ(lstrcmpiW(path.substr(0, expected.size()).c_str(), expected.c_str()), 0);
        EXPECT_EQ(GetFileAttributesW(path.c_str()) &
                      (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
                  DWORD(FILE_ATTRIBUTE_DIRECTORY));
        char narrow[MAX_PATH] = {};
        WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, narrow, MAX_PATH, nullptr, nullptr);
        first.handle.Close();
        second.handle.Close();
        RemoveTree(narrow);
    }
}

// The clean-up of earlier upload folders takes its own folders only, with the files in them: a
// restart folder stays until the restart; a look-alike name, a plain file of the right name form
// and a link of that form (and what it points at) are left alone. (Which owner and DACL it takes
// as the program's own, Wine cannot show: it keeps no descriptor of a file.)
TEST_F(ExtractReporterTest, CleanUpOfUploadFoldersLeavesRestartFolders) {
    OpenFolder parent;
    const std::wstring parentPath = Widen(folder.Path());
    parent.path = WidePath(reinterpret_cast<const char16_t*>(parentPath.c_str()));
    parent.handle.Reset(CreateFileW(parentPath.c_str(), GENERIC_READ | FILE_ADD_SUBDIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(parent.handle.IsValid());
    OpenFolder upload;
    OpenFolder restart;
    ASSERT_TRUE(CreatePrivateFolder(parent, PrivateFolderKind::Upload, upload));
    ASSERT_TRUE(CreatePrivateFolder(parent, PrivateFolderKind::Restart, restart));
    upload.handle.Close();
    restart.handle.Close();
    const auto narrow = [](const WidePath& path) {
        char text[MAX_PATH] = {};
        WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(path.c_str()), -1, text,
                            MAX_PATH, nullptr, nullptr);
        return std::string(text);
    };
    const std::string uploadFile = narrow(upload.path) + "\\sample.bin";
    ASSERT_TRUE(WriteWholeFile(uploadFile, "copied sample"));

    // Folders with a file each whose names are near the upload's form but not it.
    const std::string hex31(31, 'a');
    const std::string lookAlikes[] = {
        "vormak-" + hex31,                        // one digit short
        "vormak-" + hex31 + "0a",                 // one digit too many
        "vormak-" + hex31 + "g",                  // not a hex digit
        "vormak-" + std::string(32, 'A'),         // upper case
        "vormak-restar-" + std::string(32, '1'),  // another prefix
        "vormak-test-" + std::string(32, '2'),
    };
    for (const std::string& name : lookAlikes) {
        ASSERT_TRUE(CreateDirectoryA(folder.File(name).c_str(), nullptr)) << name;
        ASSERT_TRUE(WriteWholeFile(folder.File(name) + "\\kept.bin", "kept")) << name;
    }
    // A plain file of the right name form.
    const std::string plainFile = folder.File("vormak-" + std::string(32, 'b'));
    ASSERT_TRUE(WriteWholeFile(plainFile, "not a folder"));
    // A link of the right name form to a folder with a file (CreateSymbolicLinkA makes nothing
    // under Wine: a Unix link, which Wine shows as a reparse point).
    const std::string target = folder.File("target");
    ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(target + "\\kept.bin", "behind the link"));
    const std::string linkName = "vormak-" + std::string(32, 'c');
    const std::string link = folder.File(linkName);
    const std::string unixLink = UnixPath(folder.Path()) + "/" + linkName;
    ASSERT_TRUE(RunUnixCommand("Z:\\bin\\ln -sfn " + UnixPath(target) + " " + unixLink));
    ASSERT_TRUE(WaitForAttributes(link + "\\kept.bin", true));
    const auto isLink = [&] {
        const DWORD attributes = GetFileAttributesA(link.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    };
    ASSERT_TRUE(isLink());

    RemoveEarlierPrivateFolders(parent);
    const auto exists = [](const WidePath& path) {
        return GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str())) !=
               INVALID_FILE_ATTRIBUTES;
    };
    EXPECT_FALSE(exists(upload.path));
    EXPECT_FALSE(FileExists(uploadFile));
    EXPECT_TRUE(exists(restart.path));
    std::string bytes;
    for (const std::string& name : lookAlikes) {
        EXPECT_TRUE(ReadWholeFile(folder.File(name) + "\\kept.bin", &bytes) && bytes == "kept")
            << name;
    }
    EXPECT_TRUE(ReadWholeFile(plainFile, &bytes) && bytes == "not a folder");
    EXPECT_TRUE(isLink()) << "the link is gone";
    EXPECT_TRUE(ReadWholeFile(target + "\\kept.bin", &bytes) && bytes == "behind the link");
    RunUnixCommand("Z:\\bin\\rm -f " + unixLink);
    WaitForAttributes(link, false);
}

// The reporter is started by the path its held file has now. Windows XP has no
// GetFinalPathNameByHandleW; there the name of a mapping of the file stands in for it.
TEST_F(ExtractReporterTest, HeldFilePathIsTheSameWithAndWithoutFinalPathFunction) {
    ASSERT_NE(ExtractReporter(TempDir().c_str(), exePath, hold), 0);
    ASSERT_NE(BindGetFinalPathNameByHandleW(), nullptr);
    WidePath finalPath, mappedPath;
    ASSERT_TRUE(GetHeldFilePath(hold.reporter.Get(), finalPath));
    ASSERT_TRUE(GetHeldFilePath(hold.reporter.Get(), mappedPath, nullptr));
    EXPECT_EQ(lstrcmpiW(WideChars(finalPath), WideChars(mappedPath)), 0);
    EXPECT_EQ(lstrcmpiW(WideChars(finalPath), Widen(folder.File("tarnrpt.exe")).c_str()), 0);
}

// A temporary folder that is a link (which its owner may re-point at any time) is resolved: the
// reporter is started by the path of the written folder itself, which holds the file held open.
TEST_F(ExtractReporterTest, HeldFilePathNamesTheWrittenFileNotTheFolderLink) {
    TempFolder written(folder.Path());
    const std::string link = folder.File("temp-link");
    const std::string unixLink = UnixPath(folder.Path()) + "/temp-link";
    ASSERT_TRUE(RunUnixCommand("Z:\\bin\\ln -sfn " + UnixPath(written.Path()) + " " + unixLink));
    ASSERT_TRUE(WaitForAttributes(link + "\\", true));
    ASSERT_NE(ExtractReporter((link + "\\").c_str(), exePath, hold), 0);

    WidePath path;
    ASSERT_TRUE(GetHeldFilePath(hold.reporter.Get(), path));
    EXPECT_EQ(lstrcmpiW(WideChars(path), Widen(written.File("tarnrpt.exe")).c_str()), 0);
    hold.Release();
    RunUnixCommand("Z:\\bin\\rm -f " + unixLink);
}

TEST_F(ExtractReporterTest, PathTooLongForItsBufferIsRefused) {
    const std::string longDir = "C:\\" + std::string(252, 'd') + "\\";
    EXPECT_EQ(ExtractReporter(longDir.c_str(), exePath, hold), 0);
}

TEST_F(ExtractReporterTest, UnwritableDirectoryFailsWithoutStrayFiles) {
    const std::string missing = folder.File("missing") + "\\";
    EXPECT_EQ(ExtractReporter(missing.c_str(), exePath, hold), 0);
    EXPECT_FALSE(hold.library.IsValid());
}

}  // namespace
