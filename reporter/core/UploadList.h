#pragma once
// The upload list the main program hands over: an INI file with one section per file, named
// "ITEM0", "ITEM1", ..., each with the keys "file" (full path of the copy the main program made
// beside the list), "md5" (32 hex digits), "ext" (tag and base name, sent along as is) and "name"
// (the original file's own name in UTF-8 with "%XX" escapes, so plain ASCII in any code page).
#include <cstddef>
#include <string>
#include <vector>

namespace reporter {

struct UploadItem {
    unsigned number = 0;  // the n of "ITEMn"
    std::string file;
    std::string md5;  // lowercase
    std::string ext;
    std::string name;      // "name" as listed (escaped); empty when the list has none
    std::string nameUtf8;  // its decoded UTF-8 form
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
// and a well-formed "md5"; "ext" and "name" may be missing, a "name" that does not decode
// (DecodeListName) makes the item unusable. A file listed twice is kept once.
// Returns true when at least one item is usable.
bool ParseUploadList(const char* data, size_t size, std::vector<UploadItem>& items,
                     UploadListStats* stats = nullptr);

// Decodes a "name" value: "%XX" escapes (either case of hex digit) become bytes. False for a
// malformed escape, an empty result, bytes that are not UTF-8 (overlong forms and surrogates
// included), or a character below 0x20, '\', '/' or ':', which no file name holds.
bool DecodeListName(const std::string& value, std::string& utf8);

// Leaves in `items` only those whose file lies directly in `folder` (compared with ASCII case
// folded): the reporter reads only the copies the main program put beside the list. Returns the
// number left out.
size_t KeepItemsInFolder(std::vector<UploadItem>& items, const std::string& folder);

// True for drive paths "X:\..." only: false for UNC ("\\server\share\..."), device ("\\.\",
// "\\?\", "\??\") and relative paths.
bool IsAbsoluteFilePath(const std::string& path);

}  // namespace reporter
