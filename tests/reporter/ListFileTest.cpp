#include "reporter/tarnrpt/ListFile.h"

#include <string>

#include <gtest/gtest.h>

namespace {

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

TEST_F(ListFileTest, ReadsTheWholeFileAndDeletesItThroughTheSameHandle) {
    const std::string path = Write("list.tmp", "[ITEM0]\r\nfile=C:\\a.dll\r\n");
    ListFile list;
    ASSERT_EQ(list.Open(path), ListFile::OpenResult::Opened);
    EXPECT_EQ(list.Bytes(), "[ITEM0]\r\nfile=C:\\a.dll\r\n");
    // Held without write or delete sharing: nobody can swap it meanwhile.
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    EXPECT_TRUE(list.Delete());
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(list.Delete());  // once only
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
    if (!CreateHardLinkA(other.c_str(), path.c_str(), nullptr)) {
        GTEST_SKIP() << "no hard links here";
    }
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
    list.Delete();
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
