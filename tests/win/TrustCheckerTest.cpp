// TrustChecker against the suite's stand-in WINTRUST.DLL (rules in
// support/wintrust_stub/StubWintrust.h).
#include "win/TrustChecker.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/TestFiles.h"
#include "support/wintrust_stub/StubWintrust.h"

namespace {

const std::string kSignature = STUB_SIGNATURE_TRAILER;

StubWintrustState* StubState(const std::wstring& stubPath) {
    HMODULE stub = LoadLibraryW(stubPath.c_str());
    if (stub == nullptr)
        return nullptr;
    auto get = reinterpret_cast<StubWintrustStateFn>(
        reinterpret_cast<void*>(GetProcAddress(stub, "StubWintrustGetState")));
    return get != nullptr ? get() : nullptr;
}

class TrustCheckerTest : public testing::Test {
  protected:
    void SetUp() override {
        stubPath = Widen(WindowsPathOf(STUB_WINTRUST_PATH));
        state = StubState(stubPath);
        ASSERT_NE(state, nullptr) << "stand-in WINTRUST.DLL not found";
        before = *state;
        library.reset(new WintrustLibrary(stubPath.c_str()));
        checker.reset(new TrustChecker(*library));
    }
    void TearDown() override {
        checker.reset();
        EXPECT_EQ(state->badCalls, before.badCalls) << "a call deviated from the expected form";
    }
    std::string Signed(const std::string& name) {
        const std::string path = folder.File(name);
        EXPECT_TRUE(WriteWholeFile(path, "MZ some code" + kSignature));
        return path;
    }
    std::string Unsigned(const std::string& name) {
        const std::string path = folder.File(name);
        EXPECT_TRUE(WriteWholeFile(path, "MZ some code, no trailer"));
        return path;
    }

    std::wstring stubPath;
    StubWintrustState* state = nullptr;
    StubWintrustState before = {};
    std::unique_ptr<WintrustLibrary> library;
    std::unique_ptr<TrustChecker> checker;
    TempFolder folder;
};

TEST_F(TrustCheckerTest, SignedFileIsTrusted) {
    EXPECT_NE(checker->IsTrusted(Signed("signed.dll").c_str()), 0);
}

TEST_F(TrustCheckerTest, UnsignedFileOutsideCatalogsIsNotTrusted) {
    EXPECT_EQ(checker->IsTrusted(Unsigned("plain.dll").c_str()), 0);
}

TEST_F(TrustCheckerTest, CatalogListedFileIsTrustedAndItsCatalogReleased) {
    char windows[MAX_PATH];
    ASSERT_NE(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    TempFolder underWindows(windows);
    const std::string path = underWindows.File("catalogued.dll");
    ASSERT_TRUE(WriteWholeFile(path, "MZ unsigned system file"));
    // The stand-in's hash is larger than the checker's first buffer: trusted means it regrew.
    EXPECT_NE(checker->IsTrusted(path.c_str()), 0);
    EXPECT_EQ(state->releaseCatalogCalls - before.releaseCatalogCalls,
              state->catalogsFound - before.catalogsFound);
}

// The library answers 2 (ERROR_FILE_NOT_FOUND) for a missing file, as Wine does: a positive
// result is not a success.
TEST_F(TrustCheckerTest, FileThatCannotBeOpenedIsNotTrusted) {
    EXPECT_EQ(checker->IsTrusted(folder.File("missing.dll").c_str()), 0);
}

TEST_F(TrustCheckerTest, ContextIsHeldUntilDestructionThenReleasedOnce) {
    const std::string path = Signed("a.dll");
    EXPECT_NE(checker->IsTrusted(path.c_str()), 0);
    EXPECT_NE(checker->IsTrusted(path.c_str()), 0);
    EXPECT_EQ(state->releaseContextCalls, before.releaseContextCalls);
    checker.reset();
    EXPECT_EQ(state->releaseContextCalls - before.releaseContextCalls,
              state->acquireSucceeded - before.acquireSucceeded);
    EXPECT_EQ(state->lastReleasedContext, state->handedOutContext);
}

TEST_F(TrustCheckerTest, UnusedCheckerReleasesNothing) {
    checker.reset();
    EXPECT_EQ(state->releaseContextCalls, before.releaseContextCalls);
}

TEST_F(TrustCheckerTest, FailedAcquisitionIsRetriedByTheNextCheck) {
    const std::string path = Signed("b.dll");
    state->failAcquire = 1;
    EXPECT_EQ(checker->IsTrusted(path.c_str()), 0);
    EXPECT_NE(checker->IsTrusted(path.c_str()), 0);
}

TEST_F(TrustCheckerTest, ChinesePathReachesTheLibraryIntact) {
    // 测试签名.dll in code page 936: the stand-in finds the signature only at the right path.
    EXPECT_NE(checker->IsTrusted(Signed("\xB2\xE2\xCA\xD4\xC7\xA9\xC3\xFB.dll").c_str()), 0);
}

TEST_F(TrustCheckerTest, PathOfAnyLengthReachesTheLibrary) {
    const std::string path = "C:\\" + std::string(1000, 'x') + "\\" + std::string(600, 'y');
    EXPECT_EQ(checker->IsTrusted(path.c_str()), 0);
    // The stand-in keeps the first MAX_PATH - 1 characters of the path it was asked about.
    EXPECT_EQ(std::wstring(state->lastVerifiedPath), Widen(path.substr(0, MAX_PATH - 1)));
    EXPECT_EQ(checker->IsTrusted(static_cast<const char*>(nullptr)), 0);
}

TEST(TrustBindingTest, MissingLibraryMeansUntrustedAndIsLoadedOnce) {
    TempFolder folder;
    const std::string path = folder.File("signed.dll");
    ASSERT_TRUE(WriteWholeFile(path, "MZ" + kSignature));
    const std::wstring missing = Widen(folder.File("WINTRUST.DLL"));
    WintrustLibrary library(missing.c_str());
    TrustChecker checker(library);
    EXPECT_EQ(library.CurrentState(), WintrustLibrary::kNotTried);
    EXPECT_EQ(checker.IsTrusted(path.c_str()), 0);
    EXPECT_EQ(checker.IsTrusted(path.c_str()), 0);
    EXPECT_EQ(library.CurrentState(), WintrustLibrary::kUnavailable);
    EXPECT_EQ(library.LoadAttempts(), 1);
}

TEST(TrustBindingTest, LibraryLackingOneOfTheSixIsUnavailable) {
    const std::wstring partialPath = Widen(WindowsPathOf(STUB_WINTRUST_PARTIAL_PATH));
    StubWintrustState* state = StubState(partialPath);
    ASSERT_NE(state, nullptr);
    TempFolder folder;
    const std::string path = folder.File("signed.dll");
    ASSERT_TRUE(WriteWholeFile(path, "MZ" + kSignature));
    WintrustLibrary library(partialPath.c_str());
    {
        TrustChecker checker(library);
        EXPECT_EQ(checker.IsTrusted(path.c_str()), 0);
        EXPECT_EQ(checker.IsTrusted(path.c_str()), 0);
    }
    EXPECT_EQ(library.CurrentState(), WintrustLibrary::kUnavailable);
    EXPECT_EQ(library.LoadAttempts(), 1);
    // Not even the entry points that were there are used.
    EXPECT_EQ(state->acquireCalls, 0);
    EXPECT_EQ(state->releaseContextCalls, 0);
}

}  // namespace
