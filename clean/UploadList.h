#pragma once
#include <windows.h>

#include <cstdint>

#include "clean/Md5.h"
#include "clean/PrivateFolder.h"
#include "clean/UploadFormat.h"
#include "win/TrustChecker.h"

// Every module loaded in any process, named by the file mapped at its base (a module whose
// file has no drive path is left out), that is uploadable (IsUploadablePath), neither too large
// nor trusted, each once. Returns the number of paths in the list afterwards.
size_t CollectUploadCandidates(UploadCandidateList& list, TrustChecker& checker);

// Copies the open file `source` from where it stands into the open file `copy`, a block at a
// time, and gives the MD5 of the bytes copied. Zero when the file is empty or any read or write
// fails.
int CopyAndHash(HANDLE source, HANDLE copy, std::uint8_t digest[Md5::kDigestSize]);

// Copies each candidate into the private folder `folder` under a plain name ("1", "2", ...) and
// writes the copies as "ITEM0", "ITEM1", ... sections ("file" the copy's path, "md5" its digest,
// "ext", "name" the candidate's own name written by FormatListName) into the INI file listPath,
// numbered without gaps, in the candidates' order. Each candidate is opened through its held
// folders, none of them a link, and is itself no link; it is copied with writing denied. A
// candidate that cannot be opened so or copied whole, is empty or too large, or whose name has no
// "name" or "ext" value that fits, is left out. Returns the number of sections written, or 0 when
// writing to the file failed.
int WriteUploadListItems(const OpenFolder& folder, const char* listPath, const char* tag,
                         const UploadCandidateList& candidates);

// Collects the candidates and writes them and their copies into a fresh list in the private
// folder. listPath (MAX_PATH bytes) receives the list's name. Non-zero when at least one section
// was written.
int WriteUploadList(const OpenFolder& folder, const char* tag, char* listPath,
                    TrustChecker& checker);
inline int WriteUploadList(const OpenFolder& folder, const char* tag, char* listPath) {
    return WriteUploadList(folder, tag, listPath, TrustChecker::Process());
}
