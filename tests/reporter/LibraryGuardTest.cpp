#include "reporter/tarnrpt/LibraryGuard.h"

#include <string>

#include <gtest/gtest.h>

namespace {

// A loader with none of the newer features: what the reporter finds on Windows XP.
const LoaderFeatures kWindowsXp;

std::string SystemDirectory() {
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, sizeof(path));
    return std::string(path, length);
}

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module, path, sizeof(path));
    return std::string(path, length);
}

TEST(LibraryGuardTest, WithoutSearchFlagsASystemLibraryIsLoadedByItsFullPath) {
    HMODULE module = LoadSystemLibrary("mpr.dll", kWindowsXp);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(lstrcmpiA(ModulePath(module).c_str(), (SystemDirectory() + "\\mpr.dll").c_str()), 0);
    FreeLibrary(module);
    EXPECT_EQ(LoadSystemLibrary("no such library.dll", kWindowsXp), nullptr);
}

TEST(LibraryGuardTest, WithoutSetDefaultDllDirectoriesTheDllDirectoryIsEmptied) {
    ASSERT_TRUE(SetDllDirectoryA("C:\\planted"));
    RestrictLibrarySearch(kWindowsXp);
    char directory[MAX_PATH] = "unchanged";
    EXPECT_EQ(GetDllDirectoryA(sizeof(directory), directory), 0u);
    EXPECT_STREQ(directory, "");
    SetDllDirectoryA(nullptr);
}

TEST(LibraryGuardTest, WithoutSearchFlagsTheUploadLibraryGetsWinHttpFromTheSystemDirectory) {
    HMODULE module = LoadLibraryWithSystemImports(SHIPPED_TARNUP_PATH, kWindowsXp);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "TarnUpApiVersion"), nullptr);
    HMODULE winHttp = GetModuleHandleA("winhttp.dll");
    ASSERT_NE(winHttp, nullptr);
    EXPECT_EQ(lstrcmpiA(ModulePath(winHttp).c_str(), (SystemDirectory() + "\\winhttp.dll").c_str()),
              0);
    FreeLibrary(module);
}

}  // namespace
