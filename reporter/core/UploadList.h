#pragma once
// The upload list the main program hands over: an INI file with one section per file, named
// "ITEM0", "ITEM1", ..., each with the keys "file" (full path), "md5" (32 hex digits) and "ext"
// (tag and base name, sent along as is).
#include <cstddef>
#include <string>
#include <vector>

namespace reporter {

struct UploadItem {
    unsigned number = 0;  // the n of "ITEMn"
    std::string file;
    std::string md5;  // lowercase
    std::string ext;
};

struct UploadListStats {
    size_t sections = 0;  // "ITEMn" sections seen
    size_t rejected = 0;  // of them left out: a key missing or malformed, or a repeated file
};

// Limits on what a list may hold; anything beyond is left out.
constexpr size_t kMaxUploadListBytes = 1 << 20;
constexpr size_t kMaxUploadItems = 4096;
constexpr size_t kMaxExtLength = 1024;

// Reads the list text. Names of sections and keys are case-insensitive, as the profile functions
// treat them; blanks around names and values and one pair of quotes around a value are dropped;
// lines starting with ';' are comments. Numbers may have gaps and come in any order: the items
// come out sorted by number. An item needs a usable "file" (an absolute path that fits MAX_PATH)
// and a well-formed "md5"; "ext" may be missing. A file listed twice is kept once.
// Returns true when at least one item is usable.
bool ParseUploadList(const char* data, size_t size, std::vector<UploadItem>& items,
                     UploadListStats* stats = nullptr);

// True for drive paths "X:\..." only: false for UNC ("\\server\share\..."), device ("\\.\",
// "\\?\", "\??\") and relative paths.
bool IsAbsoluteFilePath(const std::string& path);

}  // namespace reporter
