// Mapped-file names as Windows and Wine give them, turned into drive paths.
#include "win/DevicePath.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class DevicePathTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(drives.Set('C', "\\Device\\HarddiskVolume1"));
        ASSERT_TRUE(drives.Set('d', "\\Device\\HarddiskVolume10"));
        ASSERT_TRUE(drives.Set('N', "\\Device\\LanmanRedirector\\;N:0000\\server\\share"));
    }
    std::string Convert(const char* mappedName, std::size_t size = 260) {
        char path[260] = "untouched";
        if (!DevicePathToDrivePath(mappedName, drives, path, size)) {
            EXPECT_STREQ(path, "");
            return "<none>";
        }
        return path;
    }
    DriveDeviceTable drives;
};

TEST_F(DevicePathTest, WindowsDeviceNameBecomesItsDriveLetter) {
    EXPECT_EQ(Convert("\\Device\\HarddiskVolume1\\Windows\\a.dll"), "C:\\Windows\\a.dll");
    EXPECT_EQ(Convert("\\device\\harddiskvolume1\\x\\b.DLL"), "C:\\x\\b.DLL");
    EXPECT_EQ(Convert("\\Device\\HarddiskVolume10\\c.dll"), "D:\\c.dll");
}

TEST_F(DevicePathTest, DeviceMatchesOnlyUpToABackslash) {
    drives = DriveDeviceTable();
    ASSERT_TRUE(drives.Set('C', "\\Device\\HarddiskVolume1"));
    // Volume 10 is not volume 1, with no drive of its own it has no drive path.
    EXPECT_EQ(Convert("\\Device\\HarddiskVolume10\\c.dll"), "<none>");
    EXPECT_EQ(Convert("\\Device\\HarddiskVolume1"), "<none>");
    EXPECT_EQ(Convert("\\Device\\HarddiskVolume2\\c.dll"), "<none>");
}

TEST_F(DevicePathTest, WineNameCarriesItsDrive) {
    EXPECT_EQ(Convert("\\??\\C:\\windows\\system32\\x.dll"), "C:\\windows\\system32\\x.dll");
    EXPECT_EQ(Convert("\\??\\z:\\tmp\\y.dll"), "Z:\\tmp\\y.dll");
    EXPECT_EQ(Convert("\\??\\C:"), "<none>");
    EXPECT_EQ(Convert("\\??\\1:\\x.dll"), "<none>");
}

TEST_F(DevicePathTest, NetworkAndOtherNamesHaveNoDrivePath) {
    EXPECT_EQ(Convert("\\??\\UNC\\server\\share\\x.dll"), "<none>");
    EXPECT_EQ(Convert("\\Device\\Mup\\server\\share\\x.dll"), "<none>");
    EXPECT_EQ(Convert("\\Device\\LanmanRedirector\\;N:0000\\server\\share\\x.dll"), "<none>");
    EXPECT_EQ(Convert("\\\\server\\share\\x.dll"), "<none>");
    EXPECT_EQ(Convert("C:\\x.dll"), "<none>");
    EXPECT_EQ(Convert(""), "<none>");
    EXPECT_EQ(Convert(nullptr), "<none>");
}

TEST_F(DevicePathTest, PathThatDoesNotFitIsRefusedNotCut) {
    EXPECT_EQ(Convert("\\??\\C:\\abc.dll", 11), "C:\\abc.dll");
    EXPECT_EQ(Convert("\\??\\C:\\abc.dll", 10), "<none>");
    EXPECT_FALSE(drives.Set('E', std::string(DriveDeviceTable::kDeviceNameSize, 'x').c_str()));
    EXPECT_FALSE(drives.Set('1', "\\Device\\X"));
}

}  // namespace
