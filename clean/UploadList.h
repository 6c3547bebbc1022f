#pragma once
#include <windows.h>

#include <cstdint>

#include "clean/Md5.h"
#include "clean/UploadFormat.h"
#include "win/TrustChecker.h"

// Every module loaded in any process, named by the file mapped at its base (a module whose
// file has no drive path is left out), that is uploadable (IsUploadablePath), neither too large
// nor trusted, each once. Returns the number of paths in the list afterwards.
size_t CollectUploadCandidates(UploadCandidateList& list, TrustChecker& checker);

// MD5 of the whole file. Zero when the file cannot be opened, is empty, or any read fails.
int HashFile(const char* path, std::uint8_t digest[Md5::kDigestSize]);

// Writes the candidates as "ITEM0", "ITEM1", ... sections ("file", "md5", "ext") into the INI
// file listPath, numbered without gaps; candidates that cannot be hashed, have no separator,
// are not uploadable (IsUploadablePath) or whose "ext" value would not fit are left out. Returns
// the number of sections written, or 0 when writing to the file failed.
int WriteUploadListItems(const char* listPath, const char* tag,
                         const UploadCandidateList& candidates);

// Collects the candidates and writes them into a fresh list in tempDir. listPath (MAX_PATH
// bytes) receives the list's name. Non-zero when at least one section was written.
int WriteUploadList(const char* tempDir, const char* tag, char* listPath, TrustChecker& checker);
inline int WriteUploadList(const char* tempDir, const char* tag, char* listPath) {
    return WriteUploadList(tempDir, tag, listPath, TrustChecker::Process());
}
