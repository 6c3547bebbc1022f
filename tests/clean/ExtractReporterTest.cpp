// ExtractReporter with the real embedded reporter files (this test program carries them too).
#include "clean/PrivateFolder.h"
#include "clean/UploadSamples.h"
#include "win/FinalPath.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TestFiles.h"

namespace {

std::string Original(const char* buildPath) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(WindowsPathOf(buildPath), &bytes)) << buildPath;
    return bytes;
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
    std::string commandLine = "\"" + Reporter() + "\" /files:none";
    ASSERT_TRUE(CreateProcessA(Reporter().c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process))
        << GetLastError();
    // Started is what counts: the reporter then waits for its user (here, with a message that
    // the list is missing), so end it.
    if (WaitForSingleObject(process.hProcess, 2000) == WAIT_TIMEOUT)
        TerminateProcess(process.hProcess, 0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
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

// The clean-up of earlier upload folders takes its own name form only: a restart folder stays
// until the restart. (Which owner and DACL it takes as the program's own, Wine cannot show: it
// keeps no descriptor of a file.)
TEST_F(ExtractReporterTest, CleanUpOfUploadFoldersLeavesRestartFolders) {
    OpenFolder parent;
    const std::wstring parentPath = Widen(folder.Path());
    parent.path = WidePath(reinterpret_cast<const char16_t*>(parentPath.c_str()));
    parent.handle.Reset(CreateFileW(parentPath.c_str(), GENERIC_READ | FILE_ADD_SUBDIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(parent.handle.IsValid());
    OpenFolder upload;
    OpenFolder restart;
    ASSERT_TRUE(CreatePrivateFolder(parent, PrivateFolderKind::Upload, upload));
    ASSERT_TRUE(CreatePrivateFolder(parent, PrivateFolderKind::Restart, restart));
    upload.handle.Close();
    restart.handle.Close();

    RemoveEarlierPrivateFolders(parent);
    const auto exists = [](const WidePath& path) {
        return GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str())) !=
               INVALID_FILE_ATTRIBUTES;
    };
    EXPECT_FALSE(exists(upload.path));
    EXPECT_TRUE(exists(restart.path));
}

// The reporter is started by the path its held file has now. Windows XP has no
// GetFinalPathNameByHandleA; there the name of a mapping of the file stands in for it.
TEST_F(ExtractReporterTest, HeldFilePathIsTheSameWithAndWithoutFinalPathFunction) {
    ASSERT_NE(ExtractReporter(TempDir().c_str(), exePath, hold), 0);
    char finalPath[MAX_PATH] = {};
    char mappedPath[MAX_PATH] = {};
    ASSERT_NE(BindGetFinalPathNameByHandleW(), nullptr);
    ASSERT_TRUE(GetHeldFilePath(hold.reporter.Get(), finalPath, sizeof(finalPath)));
    ASSERT_TRUE(GetHeldFilePath(hold.reporter.Get(), mappedPath, sizeof(mappedPath), nullptr));
    EXPECT_EQ(lstrcmpiA(finalPath, mappedPath), 0) << finalPath << " / " << mappedPath;
    EXPECT_EQ(lstrcmpiA(finalPath, (folder.Path() + "\\tarnrpt.exe").c_str()), 0) << finalPath;
    char tooSmall[8];
    EXPECT_FALSE(GetHeldFilePath(hold.reporter.Get(), tooSmall, sizeof(tooSmall)));
    EXPECT_FALSE(GetHeldFilePath(hold.reporter.Get(), tooSmall, sizeof(tooSmall), nullptr));
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

    char path[MAX_PATH] = {};
    ASSERT_TRUE(GetHeldFilePath(hold.reporter.Get(), path, sizeof(path)));
    EXPECT_EQ(lstrcmpiA(path, written.File("tarnrpt.exe").c_str()), 0) << path;
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
