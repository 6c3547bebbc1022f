// The Win32 side of detection against the real system: IsUpackImage on files on disk,
// InspectModuleImage over ReadProcessMemory on an image laid out in this process's memory,
// the names of mapped files, and FindShellProcess.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "detect/CodePatterns.h"
#include "detect/ModuleCode.h"
#include "detect/PeBuilder.h"
#include "detect/ShellProcess.h"
#include "detect/UpackImage.h"
#include "win/AnsiName.h"
#include "win/MappedModule.h"
#include "win/NtFiles.h"
#include "win/WideText.h"

namespace {

using Bytes = std::vector<unsigned char>;

class TempFile {
  public:
    explicit TempFile(const Bytes& bytes) {
        char directory[MAX_PATH];
        GetTempPathA(sizeof(directory), directory);
        char name[MAX_PATH];
        GetTempFileNameA(directory, "vdt", 0, name);
        path = name;
        wchar_t widePath[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, name, -1, widePath, MAX_PATH);
        wide = widePath;
        HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        if (!bytes.empty())
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    ~TempFile() { DeleteFileA(path.c_str()); }
    std::string path;
    std::wstring wide;
};

int IsUpackImage(const wchar_t* path) {
    FileIdentity identity;
    return IsUpackImage(path, identity);
}

TEST(IsUpackImageOnDisk, ReadsTheFirstSectionOfAFile) {
    testpe::PeBuilder upack;
    const TempFile upackFile(upack.Add(".Upack").Add(".rsrc").BuildFile());
    FileIdentity read;
    FileIdentity expected;
    EXPECT_EQ(IsUpackImage(upackFile.wide.c_str(), read), 1);
    // The identity given is the file's own, for Clean to find it again.
    ASSERT_TRUE(
        GetPathIdentity(std::u16string(upackFile.wide.begin(), upackFile.wide.end()), expected));
    EXPECT_TRUE(read == expected);
    testpe::PeBuilder text;
    EXPECT_EQ(IsUpackImage(TempFile(text.Add(".text").BuildFile()).wide.c_str()), 0);
    testpe::PeBuilder truncated;
    Bytes cut = truncated.Add(".Upack").BuildFile();
    cut.resize(truncated.SectionTableOffset() + 20);
    EXPECT_EQ(IsUpackImage(TempFile(cut).wide.c_str()), 0);
    EXPECT_EQ(IsUpackImage(TempFile(Bytes()).wide.c_str()), 0);
    // Headers past the first page, and headers or the section table across its end.
    for (std::uint32_t lfanew : {0x1080u, 0x1000u - 100, 0x1000u - 248 - 20}) {
        testpe::PeBuilder distant;
        distant.lfanew = lfanew;
        EXPECT_EQ(IsUpackImage(TempFile(distant.Add(".Upack").BuildFile()).wide.c_str()), 1)
            << lfanew;
    }
}

// The patterns are looked for in the whole file: across the first page's end and past it.
TEST(IsTrojanLibraryFileOnDisk, FindsThePatternAnywhereInTheFile) {
    const Bytes code = testpe::FromHex(CodePatternTable[2].pattern);
    for (std::uint32_t at : {0x1000u - 3, 0x2345u}) {
        Bytes content(0x3000, 0x90);
        std::memcpy(content.data() + at - 0x400, code.data(), code.size());
        testpe::PeBuilder builder;
        const TempFile file(builder.Add(".text", content).BuildFile());
        FileIdentity identity;
        EXPECT_EQ(IsTrojanLibraryFile(file.wide.c_str(), identity), 1) << at;
    }
    testpe::PeBuilder plain;
    const TempFile file(plain.Add(".text", Bytes(0x3000, 0x90)).BuildFile());
    FileIdentity identity;
    EXPECT_EQ(IsTrojanLibraryFile(file.wide.c_str(), identity), 0);
}

TEST(IsUpackImageOnDisk, MissingFileOrDirectoryGivesZero) {
    EXPECT_EQ(IsUpackImage(L"C:\\no such directory\\gdx.dll"), 0);
    wchar_t directory[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    EXPECT_EQ(IsUpackImage(directory), 0);
}

TEST(IsUpackImageOnDisk, FileOpenForWritingByAnotherIsStillRead) {
    testpe::PeBuilder upack;
    TempFile file(upack.Add(".Upack").BuildFile());
    HANDLE writer = CreateFileA(file.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(IsUpackImage(file.wide.c_str()), 1);
    CloseHandle(writer);
}

// A module image laid out in this process's memory.
class MappedImage {
  public:
    MappedImage(const Bytes& image) : size(static_cast<DWORD>(image.size())) {
        base = static_cast<unsigned char*>(
            VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        std::memcpy(base, image.data(), image.size());
    }
    ~MappedImage() { VirtualFree(base, 0, MEM_RELEASE); }
    int Inspect() {
        unsigned char header[4096];
        unsigned char chunk[4096];
        return InspectModuleImage(header, chunk, GetCurrentProcess(), base, size);
    }
    unsigned char* base;
    DWORD size;
};

Bytes ImageWithPatternAt(DWORD at) {
    testpe::Section text;
    text.name = ".text";
    text.virtualAddress = 0x1000;
    text.rawSize = 0x3000;
    Bytes content(0x3000, 0x90);
    const Bytes code = testpe::FromHex(CodePatternTable[2].pattern);
    std::memcpy(content.data() + at - 0x1000, code.data(), code.size());
    text.content = content;
    testpe::PeBuilder builder;
    builder.Add(text);
    return builder.BuildMemory(0x4000);
}

TEST(InspectModuleImageInMemory, FindsThePatternThroughReadProcessMemory) {
    MappedImage image(ImageWithPatternAt(0x3100));
    EXPECT_EQ(image.Inspect(), 1);
}

// Wine reads PAGE_NOACCESS pages through ReadProcessMemory, so unreadable pieces are covered by
// the fake reader of the portable tests; here an address range that nothing maps stands in.
TEST(InspectModuleImageInMemory, UnmappedModuleGivesZero) {
    unsigned char header[4096];
    unsigned char chunk[4096];
    EXPECT_EQ(InspectModuleImage(header, chunk, GetCurrentProcess(),
                                 reinterpret_cast<const void*>(0x1000), 0x10000),
              0);
}

TEST(InspectModuleImageInMemory, ModuleAtTheTopOfTheAddressSpaceDoesNotWrap) {
    unsigned char header[4096];
    unsigned char chunk[4096];
    EXPECT_EQ(InspectModuleImage(header, chunk, GetCurrentProcess(),
                                 reinterpret_cast<const void*>(0xFFFFF000u), 0x10000),
              0);
}

TEST(MappedModulePath, NamesTheFileMappedAtTheStartOfAMapping) {
    HMODULE self = GetModuleHandleA(nullptr);
    wchar_t own[MAX_PATH];
    ASSERT_NE(GetModuleFileNameW(nullptr, own, MAX_PATH), 0u);
    WidePath path;
    EXPECT_TRUE(IsImageBase(GetCurrentProcess(), self));
    ASSERT_TRUE(GetMappedModulePath(GetCurrentProcess(), self, path));
    EXPECT_EQ(lstrcmpiW(WideChars(path), own), 0);
    // The image's size is the mapping's, SizeOfImage in whole pages.
    const unsigned char* header = reinterpret_cast<const unsigned char*>(self);
    DWORD sizeOfImage = 0;
    std::memcpy(&sizeOfImage, header + *reinterpret_cast<const LONG*>(header + 0x3C) + 24 + 56,
                sizeof(sizeOfImage));
    DWORD mapped = 0;
    EXPECT_TRUE(GetImageMappingSize(GetCurrentProcess(), self, &mapped));
    EXPECT_EQ(mapped, (sizeOfImage + 0xFFF) & ~0xFFFu);

    // An address inside the image is no module base.
    const unsigned char* inside = reinterpret_cast<const unsigned char*>(self) + 0x1000;
    EXPECT_FALSE(IsImageBase(GetCurrentProcess(), inside));
    EXPECT_FALSE(GetImageMappingSize(GetCurrentProcess(), inside, &mapped));
    EXPECT_FALSE(GetMappedModulePath(GetCurrentProcess(), inside, path));
    EXPECT_TRUE(path.empty());
    int onStack = 0;
    EXPECT_FALSE(IsImageBase(GetCurrentProcess(), &onStack));
    EXPECT_FALSE(GetMappedModulePath(GetCurrentProcess(), &onStack, path));

    // A data view is named too, but it is no image.
    TempFile data(Bytes(4096, 'd'));
    HANDLE file = CreateFileA(data.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(IsImageBase(GetCurrentProcess(), view));
    EXPECT_TRUE(GetMappedModulePath(GetCurrentProcess(), view, path));
    wchar_t longData[MAX_PATH];
    GetLongPathNameW(data.wide.c_str(), longData, MAX_PATH);
    EXPECT_EQ(lstrcmpiW(WideChars(path), longData), 0) << data.path;
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(file);
}

// Code page 1252 would turn a fullwidth backslash into '\' by best fit: such a name is refused.
TEST(WideToAnsiExactly, RefusesNamesWithoutAnExactAnsiForm) {
    char ansi[MAX_PATH];
    ASSERT_TRUE(WideToAnsiExactly(1252, L"C:\\d\u00e9\\j.dll", ansi, sizeof(ansi)));
    EXPECT_STREQ(ansi, "C:\\d\xe9\\j.dll");
    EXPECT_FALSE(WideToAnsiExactly(1252, L"C:\\Windows\uFF3CSystem32\\x.dll", ansi, sizeof(ansi)));
    EXPECT_STREQ(ansi, "");
    EXPECT_FALSE(WideToAnsiExactly(1252, L"C:\\\u4E2D.dll", ansi, sizeof(ansi)));
    EXPECT_FALSE(WideToAnsiExactly(1252, L"C:\\long.dll", ansi, 8));
    // In code page 936 the fullwidth backslash is a character of its own.
    ASSERT_TRUE(WideToAnsiExactly(936, L"C:\\a\uFF3Cb", ansi, sizeof(ansi)));
    EXPECT_STREQ(ansi,
                 "C:\\a\xA3\xDC"
                 "b");
}

TEST(FindShellProcess, FindsTheOwnerOfTheProgmanWindow) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "Progman";
    ASSERT_TRUE(RegisterClassA(&windowClass));
    DWORD processId = 1;
    HWND other = CreateWindowA("Progman", "Not the shell", 0, 0, 0, 10, 10, nullptr, nullptr,
                               windowClass.hInstance, nullptr);
    EXPECT_EQ(FindShellProcess(&processId), 0);
    HWND shell = CreateWindowA("Progman", "Program Manager", 0, 0, 0, 10, 10, nullptr, nullptr,
                               windowClass.hInstance, nullptr);
    EXPECT_EQ(FindShellProcess(&processId), 1);
    EXPECT_EQ(processId, GetCurrentProcessId());
    DestroyWindow(shell);
    DestroyWindow(other);
    UnregisterClassA("Progman", windowClass.hInstance);
}

}  // namespace
