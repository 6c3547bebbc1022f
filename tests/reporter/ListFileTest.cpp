#include "reporter/tarnrpt/ListFile.h"

#include <string>

#include <gtest/gtest.h>

namespace {

DWORD WINAPI CloseAfterAMoment(void* handle) {
    Sleep(200);
    CloseHandle(static_cast<HANDLE>(handle));
    return 0;
}

// A fresh folder in the temporary directory, removed with everything in it.
class ListFileTest : public testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder_ = std::string(temp) + "listfile test " + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
    }
    void TearDown() override {
        for (const char* name : {"list.tmp", "other.tmp", "sub"}) {
            const std::string path = folder_ + "\\" + name;
            DeleteFileA(path.c_str());
            RemoveDirectoryA(path.c_str());
        }
        RemoveDirectoryA(folder_.c_str());
    }
    std::string Write(const char* name, const std::string& bytes) {
        const std::string path = folder_ + "\\" + name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(file);
        return path;
    }
    static bool Exists(const std::string& path) {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::string folder_;
};

TEST_F(ListFileTest, ReadsTheWholeFileAndDeletesIt) {
    const std::string path = Write("list.tmp", "[ITEM0]\r\nfile=C:\\a.dll\r\n");
    ListFile list;
    ASSERT_EQ(list.Open(path), ListFile::OpenResult::Opened);
    EXPECT_EQ(list.Bytes(), "[ITEM0]\r\nfile=C:\\a.dll\r\n");
    // Held without write sharing: nobody can change it meanwhile.
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    EXPECT_TRUE(list.Delete());
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(list.Delete());  // once only
}

TEST_F(ListFileTest, ListHeldByTheProgramIsReadAndDeletedOnceReleased) {
    const std::string path = Write("list.tmp", "[ITEM0]\r\n");
    // The main program's hold: read access, read sharing only.
    HANDLE hold = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);
    ListFile list;
    const ListFile::OpenResult opened = list.Open(path);
    // The program lets go a little later, while the reporter is already deleting.
    HANDLE release = CreateThread(nullptr, 0, CloseAfterAMoment, hold, 0, nullptr);
    ASSERT_NE(release, nullptr);
    ASSERT_EQ(opened, ListFile::OpenResult::Opened);
    EXPECT_EQ(list.Bytes(), "[ITEM0]\r\n");
    EXPECT_TRUE(list.Delete());
    EXPECT_FALSE(Exists(path));
    WaitForSingleObject(release, INFINITE);
    CloseHandle(release);
}

TEST_F(ListFileTest, ListSwappedForAnotherFileAfterReadingIsNotDeleted) {
    const std::string path = Write("list.tmp", "[ITEM0]\r\n");
    const std::string aside = folder_ + "\\other.tmp";
    ListFile list;
    ASSERT_EQ(list.Open(path), ListFile::OpenResult::Opened);
    ASSERT_TRUE(MoveFileA(path.c_str(), aside.c_str()));
    Write("list.tmp", "someone else's");
    EXPECT_FALSE(list.Delete());
    EXPECT_TRUE(Exists(path));
    EXPECT_TRUE(Exists(aside));
}

TEST_F(ListFileTest, WithoutSetFileInformationByHandleTheListIsDeletedThroughNtdll) {
    FileDisposition xp = FileDisposition::OfThisSystem();
    xp.setFileInformationByHandle = nullptr;
    ASSERT_NE(xp.ntSetInformationFile, nullptr);
    const std::string path = Write("list.tmp", "[ITEM0]\r\n");
    ListFile list(xp);
    ASSERT_EQ(list.Open(path), ListFile::OpenResult::Opened);
    EXPECT_TRUE(list.Delete());
    EXPECT_FALSE(Exists(path));
}

TEST_F(ListFileTest, MissingFolderAndOversizedFilesAreTold) {
    ListFile list;
    EXPECT_EQ(list.Open(folder_ + "\\none.tmp"), ListFile::OpenResult::Missing);
    EXPECT_EQ(list.Open(folder_ + "\\no folder\\none.tmp"), ListFile::OpenResult::Missing);
    const std::string sub = folder_ + "\\sub";
    CreateDirectoryA(sub.c_str(), nullptr);
    EXPECT_EQ(list.Open(sub), ListFile::OpenResult::Unreadable);
    const std::string big = Write("list.tmp", std::string((1 << 20) + 1, ';'));
    EXPECT_EQ(list.Open(big), ListFile::OpenResult::Unreadable);
    EXPECT_TRUE(Exists(big));
}

TEST_F(ListFileTest, FileWithASecondNameIsReadButNeverDeleted) {
    const std::string path = Write("list.tmp", "[ITEM0]\r\n");
    const std::string other = folder_ + "\\other.tmp";
    // NTFS and Wine on a Unix file system both make hard links: a failure here is a fault.
    ASSERT_TRUE(CreateHardLinkA(other.c_str(), path.c_str(), nullptr)) << GetLastError();
    ListFile list;
    ASSERT_EQ(list.Open(other), ListFile::OpenResult::Opened);
    EXPECT_EQ(list.Bytes(), "[ITEM0]\r\n");
    EXPECT_FALSE(list.Delete());
    EXPECT_TRUE(Exists(path));
    EXPECT_TRUE(Exists(other));
}

TEST_F(ListFileTest, ReadOnlyListIsReadAndLeftInPlace) {
    const std::string path = Write("list.tmp", "x");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    ListFile list;
    ASSERT_EQ(list.Open(path), ListFile::OpenResult::Opened);
    EXPECT_EQ(list.Bytes(), "x");
    EXPECT_FALSE(list.Delete());
    EXPECT_TRUE(Exists(path));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
