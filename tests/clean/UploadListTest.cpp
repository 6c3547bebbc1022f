// CopyAndHash, the INI writer with its copies and the candidate collection, against real files and
// modules.
#include "clean/UploadList.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "detect/LoaderEntry.h"
#include "support/TestFiles.h"
#include "support/wintrust_stub/StubWintrust.h"
#include "win/WideText.h"

namespace {

WidePath AsWidePath(const std::string& ansi) {
    const std::wstring wide = Widen(ansi);
    return WidePath(wide.begin(), wide.end());
}

// Digest of the file as CopyAndHash gives it, copying it beside itself; "failed" when it gives
// none, "copy differs" when the copy does not hold the file's bytes.
std::string HashText(const std::string& path) {
    const std::string copyPath = path + ".copy";
    std::uint8_t digest[Md5::kDigestSize];
    {
        FileHandle source(CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
        FileHandle copy(
            CreateFileA(copyPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!source.IsValid() || !copy.IsValid() ||
            !CopyAndHash(source.Get(), copy.Get(), digest)) {
            DeleteFileA(copyPath.c_str());
            return "failed";
        }
    }
    std::string original, copied;
    const bool same =
        ReadWholeFile(path, &original) && ReadWholeFile(copyPath, &copied) && original == copied;
    DeleteFileA(copyPath.c_str());
    if (!same)
        return "copy differs";
    char text[33];
    FormatMd5Hex(digest, text);
    return text;
}

// A folder standing in for the upload's private folder, opened as the upload opens it.
bool OpenCopyFolder(const std::string& path, OpenFolder& folder) {
    CreateDirectoryA(path.c_str(), nullptr);
    if (!AnsiToWideExact(path.c_str(), folder.path))
        return false;
    folder.handle.Reset(CreateFileW(WideChars(folder.path),
                                    FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return folder.handle.IsValid();
}

std::string ReadKey(const std::string& list, const std::string& section, const char* key) {
    char value[1024] = {};
    GetPrivateProfileStringA(section.c_str(), key, "<none>", value, sizeof(value), list.c_str());
    return value;
}

std::vector<std::string> SectionNames(const std::string& list) {
    std::vector<char> buffer(65536, '\0');
    const DWORD length =
        GetPrivateProfileSectionNamesA(buffer.data(), DWORD(buffer.size()), list.c_str());
    std::vector<std::string> names;
    for (DWORD offset = 0; offset < length && buffer[offset] != '\0';) {
        names.emplace_back(&buffer[offset]);
        offset += DWORD(names.back().size()) + 1;
    }
    return names;
}

// Reference digests of 'a' repeated, computed elsewhere.
TEST(HashFileTest, DigestOfFilesAroundTheBlockSize) {
    TempFolder folder;
    const struct {
        size_t length;
        const char* digest;
    } cases[] = {{1, "0cc175b9c0f1b6a831c399e269772661"},
                 {4096, "21a199c53f422a380e20b162fb6ebe9c"},
                 {4097, "8cfc1a0bd8cd76599e76e5e721c6e62e"},
                 {8197, "8f4c1eeffa906283bd3c0bb781c9a4ea"}};
    for (const auto& c : cases) {
        const std::string path = folder.File("f" + std::to_string(c.length));
        ASSERT_TRUE(WriteWholeFile(path, std::string(c.length, 'a')));
        EXPECT_EQ(HashText(path), c.digest) << c.length;
    }
}

TEST(HashFileTest, EmptyOrMissingFileHasNoDigest) {
    TempFolder folder;
    const std::string empty = folder.File("empty.dll");
    ASSERT_TRUE(WriteWholeFile(empty, ""));
    EXPECT_EQ(HashText(empty), "failed");
    EXPECT_EQ(HashText(folder.File("missing.dll")), "failed");
}

// A read that fails after the first block must fail the hash, not give the digest of what was
// read so far. The failure is made, not hoped for: the source is a pipe that delivers one block
// and then breaks.
TEST(HashFileTest, ReadFailingAfterTheFirstBlockFailsTheHash) {
    TempFolder folder;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 2 * 4096));
    FileHandle source(readEnd);
    const std::string block(4096, 'a');
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writeEnd, block.data(), DWORD(block.size()), &written, nullptr));
    ASSERT_EQ(written, block.size());
    CloseHandle(writeEnd);
    FileHandle copy(CreateFileA(folder.File("copy").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(copy.IsValid());
    std::uint8_t digest[Md5::kDigestSize];
    EXPECT_FALSE(CopyAndHash(source.Get(), copy.Get(), digest));
}

class UploadListItemsTest : public testing::Test {
  protected:
    std::string AddFile(const std::string& name, size_t length) {
        const std::string path = folder.File(name);
        EXPECT_TRUE(WriteWholeFile(path, std::string(length, 'a')));
        candidates.Add(AsWidePath(path));
        return path;
    }
    void SetUp() override { ASSERT_TRUE(OpenCopyFolder(folder.File("copies"), copies)); }
    int Write(const UploadCandidateList& listed) {
        return WriteUploadListItems(copies, list.c_str(), "Vormak", listed);
    }
    // The bytes of the copy a section names; the copy lies in the copies folder.
    std::string CopyBytes(const std::string& section) {
        const std::string file = ReadKey(list, section, "file");
        EXPECT_EQ(file.compare(0, folder.File("copies\\").size(), folder.File("copies\\")), 0)
            << file;
        std::string bytes;
        EXPECT_TRUE(ReadWholeFile(file, &bytes)) << file;
        return bytes;
    }
    TempFolder folder;
    OpenFolder copies;
    UploadCandidateList candidates;
    std::string list = folder.File("list.ini");
};

TEST_F(UploadListItemsTest, TenCandidatesGiveTenSectionsNumberedZeroToNine) {
    const char* digests[] = {
        "0cc175b9c0f1b6a831c399e269772661", "5a3054495c680f2bfa06e05ccf0809ae",
        "92ef9e6254ef983ed822e8fee32754a9", "89dd9173edced111b701425aa2e0ce8a",
        "772efb7605dc66e37a6da94c43c91bcf", "9f41d486b4caa8c2e7458a0dd2778111",
        "2ad7a63e3559188d3b6a98a26ed0e1e6", "54351ca962726aebf738f0461608cb66",
        "1a79c2572ae9dbb446ec4f0bf97e1de6", "f4e99c0503c682cc17ab747756f17a89"};
    std::vector<std::string> paths;
    for (int i = 0; i < 10; ++i) {
        paths.push_back(AddFile("m" + std::to_string(i) + ".dll", size_t(i) * 1000 + 1));
    }
    EXPECT_EQ(Write(candidates), 10);
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i)
        expected.push_back("ITEM" + std::to_string(i));
    EXPECT_EQ(SectionNames(list), expected);
    for (int i = 0; i < 10; ++i) {
        const std::string section = "ITEM" + std::to_string(i);
        EXPECT_EQ(ReadKey(list, section, "file"), folder.File("copies\\" + std::to_string(i + 1)));
        EXPECT_EQ(CopyBytes(section), std::string(size_t(i) * 1000 + 1, 'a'));
        EXPECT_EQ(ReadKey(list, section, "md5"), digests[i]);
        EXPECT_EQ(ReadKey(list, section, "ext"),
                  "type=thVormak|name=m" + std::to_string(i) + ".dll|");
        EXPECT_EQ(ReadKey(list, section, "name"), "m" + std::to_string(i) + ".dll");
    }
    // Keys in the order file, md5, ext, name.
    std::string text;
    ASSERT_TRUE(ReadWholeFile(list, &text));
    const size_t file = text.find("file=");
    const size_t md5 = text.find("md5=");
    const size_t ext = text.find("ext=");
    const size_t name = text.find("\nname=");
    EXPECT_LT(file, md5);
    EXPECT_LT(md5, ext);
    EXPECT_LT(ext, name);
}

TEST_F(UploadListItemsTest, UnhashableCandidatesLeaveNoGap) {
    AddFile("first.dll", 10);
    AddFile("empty.dll", 0);
    candidates.Add(AsWidePath(folder.File("gone.dll")));
    candidates.Add(u"noseparator.dll");
    const std::string last = AddFile("last.dll", 20);
    EXPECT_EQ(Write(candidates), 2);
    EXPECT_EQ(SectionNames(list), (std::vector<std::string>{"ITEM0", "ITEM1"}));
    EXPECT_EQ(ReadKey(list, "ITEM1", "name"), "last.dll");
    EXPECT_EQ(CopyBytes("ITEM1"), std::string(20, 'a'));
}

// The candidate's folder is swapped for a link to another folder after the candidates were
// collected: the list carries the original's bytes or leaves it out, never the link's target.
TEST_F(UploadListItemsTest, FolderReplacedByALinkIsNeverFollowed) {
    ASSERT_TRUE(CreateDirectoryA(folder.File("sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(folder.File("elsewhere").c_str(), nullptr));
    const std::string original(300, 'o');
    const std::string target(300, 't');
    ASSERT_TRUE(WriteWholeFile(folder.File("sub\\probe.dll"), original));
    ASSERT_TRUE(WriteWholeFile(folder.File("elsewhere\\probe.dll"), target));
    candidates.Add(AsWidePath(folder.File("sub\\probe.dll")));
    AddFile("plain.dll", 7);
    ASSERT_TRUE(MoveFileA(folder.File("sub").c_str(), folder.File("sub-moved").c_str()));
    const std::string unixLink = UnixPath(folder.Path()) + "/sub";
    ASSERT_TRUE(
        RunUnixCommand("Z:\\bin\\ln -sfn " + UnixPath(folder.File("elsewhere")) + " " + unixLink));
    ASSERT_TRUE(WaitForAttributes(folder.File("sub\\probe.dll"), true));

    const int written = Write(candidates);
    RunUnixCommand("Z:\\bin\\rm -f " + unixLink);
    EXPECT_GE(written, 1);
    bool plainListed = false;
    for (const std::string& section : SectionNames(list)) {
        const std::string bytes = CopyBytes(section);
        EXPECT_NE(bytes, target) << "the link's target was copied";
        if (ReadKey(list, section, "name") == "probe.dll") {
            EXPECT_EQ(bytes, original);
        }
        plainListed = plainListed || ReadKey(list, section, "name") == "plain.dll";
    }
    EXPECT_TRUE(plainListed);
}

TEST_F(UploadListItemsTest, ChineseNameWithTrailBackslashKeepsItsWholeBaseName) {
    // 昞 is 95 5C in GBK: the trail byte must not split the name.
    const std::string path = AddFile("\x95\x5C\xB2\xE2.dll", 5);
    EXPECT_EQ(Write(candidates), 1);
    EXPECT_EQ(ReadKey(list, "ITEM0", "ext"), "type=thVormak|name=\x95\x5C\xB2\xE2.dll|");
    // U+661E U+6D4B in UTF-8, escaped.
    EXPECT_EQ(ReadKey(list, "ITEM0", "name"), "%E6%98%9E%E6%B5%8B.dll");
}

TEST_F(UploadListItemsTest, NameTooLongForTheExtValueIsLeftOut) {
    const std::string longName(240, 'n');
    // The "ext" value would not fit its 260 bytes: the candidate is refused, not cut.
    UploadCandidateList list;
    list.Add(AsWidePath("C:\\" + longName));
    AddFile("short.dll", 3);
    list.Add(candidates.At(0));
    EXPECT_EQ(Write(list), 1);
    EXPECT_EQ(ReadKey(this->list, "ITEM0", "ext"), "type=thVormak|name=short.dll|");
}

// Modules of this test process: copies of the stand-in DLL padded to chosen sizes.
class CollectCandidatesTest : public testing::Test {
  protected:
    void SetUp() override {
        stubPath = Widen(WindowsPathOf(STUB_WINTRUST_PATH));
        library.reset(new WintrustLibrary(stubPath.c_str()));
        checker.reset(new TrustChecker(*library));
        ASSERT_TRUE(ReadWholeFile(WindowsPathOf(STUB_WINTRUST_PATH), &dllBytes));
    }
    void TearDown() override {
        for (HMODULE module : loaded)
            FreeLibrary(module);
    }
    std::string LoadCopy(const std::string& name, size_t size, const std::string& trailer = "") {
        std::string bytes = dllBytes;
        EXPECT_LE(bytes.size() + trailer.size(), size);
        bytes.resize(size - trailer.size(), '\0');
        bytes += trailer;
        const std::string path = folder.File(name);
        EXPECT_TRUE(WriteWholeFile(path, bytes));
        HMODULE module = LoadLibraryA(path.c_str());
        EXPECT_NE(module, nullptr) << path;
        if (module != nullptr)
            loaded.push_back(module);
        return path;
    }

    std::wstring stubPath;
    std::unique_ptr<WintrustLibrary> library;
    std::unique_ptr<TrustChecker> checker;
    std::string dllBytes;
    TempFolder folder;
    std::vector<HMODULE> loaded;
};

TEST_F(CollectCandidatesTest, SizeLimitTrustAndDuplicates) {
    const std::string atLimit = LoadCopy("atlimit.dll", 4231168);
    const std::string belowLimit = LoadCopy("belowlimit.dll", 4231167);
    const std::string trusted = LoadCopy("trusted.dll", 200000, STUB_SIGNATURE_TRAILER);
    UploadCandidateList list;
    const size_t count = CollectUploadCandidates(list, *checker);
    EXPECT_EQ(count, list.Count());
    EXPECT_TRUE(list.Contains(AsWidePath(belowLimit)));
    EXPECT_FALSE(list.Contains(AsWidePath(atLimit)));
    EXPECT_FALSE(list.Contains(AsWidePath(trusted)));
    // Files under the Windows directory are catalog-listed by the stand-in.
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string kernel = std::string(system) + "\\kernel32.dll";
    EXPECT_FALSE(list.Contains(AsWidePath(kernel)));
    std::set<WidePath> folded;
    for (size_t i = 0; i < list.Count(); ++i) {
        WidePath path = list.At(i);
        for (char16_t& c : path)
            c = (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
        EXPECT_TRUE(folded.insert(path).second) << "listed twice: item " << i;
    }
}

// A process can rewrite the path its own loader list gives for a module; the candidate is the
// file mapped at the module's base, and the claimed file is never offered.
TEST_F(CollectCandidatesTest, ModuleIsOfferedUnderItsMappedFileNotItsClaimedPath) {
    const std::string real = LoadCopy("real.dll", 150000);
    ASSERT_FALSE(loaded.empty());
    const std::string claimed = folder.File("claimed.doc");
    ASSERT_TRUE(WriteWholeFile(claimed, "a document"));
    testpe::ClaimedLoaderPath claim;
    ASSERT_TRUE(claim.Claim(loaded.back(), Widen(claimed)));
    UploadCandidateList list;
    CollectUploadCandidates(list, *checker);
    EXPECT_TRUE(list.Contains(AsWidePath(real)));
    EXPECT_FALSE(list.Contains(AsWidePath(claimed)));
}

TEST_F(CollectCandidatesTest, WriteUploadListStartsFromAnEmptyFile) {
    LoadCopy("candidate.dll", 150000);
    const std::string tempDir = folder.Path() + "\\";
    char expectedName[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(tempDir.c_str(), "vexlor", 0x76697275, expectedName), 0u);
    // An earlier, longer list under the same name.
    for (int i = 0; i < 300; ++i) {
        const std::string section = "ITEM" + std::to_string(i);
        WritePrivateProfileStringA(section.c_str(), "file", "C:\\stale.dll", expectedName);
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, expectedName);
    OpenFolder copies;
    ASSERT_TRUE(OpenCopyFolder(folder.Path(), copies));
    char listPath[MAX_PATH] = {};
    ASSERT_NE(WriteUploadList(copies, "Vormak", listPath, *checker), 0);
    EXPECT_STREQ(listPath, expectedName);
    const std::vector<std::string> names = SectionNames(listPath);
    ASSERT_FALSE(names.empty());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(names[i], "ITEM" + std::to_string(i));
        const std::string file = ReadKey(listPath, names[i], "file");
        EXPECT_EQ(file, folder.File(std::to_string(i + 1)));
        EXPECT_EQ(ReadKey(listPath, names[i], "md5"), HashText(file));
    }
}

TEST(WriteUploadListTest, ListThatCannotBeWrittenIsAFailure) {
    // Without the library every module is a candidate, but the list cannot be written there:
    // that is a failure, not a list with sections that exist only in the count.
    TempFolder folder;
    WintrustLibrary missing(L"Z:\\nowhere\\WINTRUST.DLL");
    TrustChecker checker(missing);
    OpenFolder missingFolder;
    ASSERT_TRUE(AnsiToWideExact(folder.File("does-not-exist").c_str(), missingFolder.path));
    char listPath[MAX_PATH] = {};
    EXPECT_EQ(WriteUploadList(missingFolder, "Vormak", listPath, checker), 0);
    EXPECT_EQ(GetFileAttributesA(listPath), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
