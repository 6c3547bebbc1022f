#pragma once
// What the test WINTRUST.DLL tells the tests about the calls it received. The DLL exports this
// through StubWintrustGetState() next to the six trust entry points.
#include <windows.h>

// Rules of the stand-in, as Windows would answer for such files:
// - WinVerifyTrust: a file whose last 16 bytes are kStubSignatureTrailer counts as validly
//   signed (0). A file that cannot be opened gives ERROR_FILE_NOT_FOUND (2, positive, as Wine
//   answers); any other file TRUST_E_NOSIGNATURE. A call that deviates from the program's
//   exact structures gives E_INVALIDARG and is counted in badCalls.
// - CryptCATAdminCalcHashFromFileHandle: a 120-byte hash, so a caller starting at 100 bytes
//   must regrow its buffer; it marks whether the file lies under the Windows directory.
// - CryptCATAdminEnumCatalogFromHash: files under the Windows directory are catalog-listed.
// - CryptCATAdminAcquireContext fails failAcquire times (set by a test), then succeeds.
// With VORMAK_STUB_WINTRUST_LOG set, every call is also appended to that file as a line; with
// VORMAK_STUB_WINTRUST_PAUSE set, a test can hold one WinVerifyTrust call up (StubWintrust.cpp).
#define STUB_SIGNATURE_TRAILER "VORMAK-TEST-SIG!"
const DWORD kStubHashSize = 120;

struct StubWintrustState {
    LONG acquireCalls;
    LONG acquireSucceeded;
    LONG releaseContextCalls;
    LONG hashCalls;
    LONG hashTooSmallCalls;
    LONG enumCalls;
    LONG catalogsFound;
    LONG releaseCatalogCalls;
    LONG verifyCalls;
    LONG badCalls;
    LONG failAcquire;
    HANDLE lastReleasedContext;
    HANDLE handedOutContext;
    DWORD lastHashBufferSize;  // size of the buffer offered in the last hash call
    wchar_t lastVerifiedPath[MAX_PATH];
};

typedef StubWintrustState*(WINAPI* StubWintrustStateFn)();
