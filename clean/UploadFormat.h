#pragma once
// The portable rules of the upload: which modules become candidates, and how the upload list
// and the reporter hand-over are spelt. No Win32 here, so the rules are tested natively.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "win/WidePath.h"

// Size of every path and value buffer of the upload (MAX_PATH).
const std::size_t kUploadBufferSize = 260;

// Modules of this size or more are never uploaded.
const std::uint32_t kUploadSizeLimit = 0x409000;  // 4,231,168 bytes

// True when a file of the given size (high and low 32 bits) is small enough to upload.
inline bool IsWithinUploadSizeLimit(std::uint32_t sizeHigh, std::uint32_t sizeLow) {
    return sizeHigh == 0 && sizeLow < kUploadSizeLimit;
}

// Whether a module path may become an item of the upload list. Never: a path holding a
// control character (below 0x20, such as CR or LF, which would start a new line of the list), a
// UNC path ("\\server\share", "\\?\UNC\...") or a device path ("\\.\", "\\?\", "\??\");
// '/' counts as a separator there, as it does for Windows. Nor an empty path.
bool IsUploadablePath(const WidePath& path);

// Candidate files for the upload, in the order found, by their UTF-16 paths as the system named
// them. A path the file system would call the same as one already listed (ordinal,
// case-insensitive) is not added again.
class UploadCandidateList {
  public:
    // False when the path is empty or already listed; otherwise keeps a copy. May throw
    // std::bad_alloc.
    bool Add(const WidePath& path);
    bool Contains(const WidePath& path) const;
    std::size_t Count() const { return paths_.size(); }
    const WidePath& At(std::size_t index) const { return paths_[index]; }

  private:
    std::vector<WidePath> paths_;
};

// "ITEM%d". False when it does not fit the buffer.
bool FormatSectionName(int item, char* buffer, std::size_t size);

// The "ext" value "type=th%s|name=%s|" with the trojan tag and the base name. False when it
// does not fit the buffer; the caller then leaves the file out rather than send a cut name.
bool FormatExtValue(const char* tag, const char* baseName, char* buffer, std::size_t size);

// The list's "name" value: the file's own name in UTF-8, every byte outside '!'..'~' and every
// '%' and '"' written as "%XX" (upper-case hex), so the value is plain ASCII that the profile
// functions keep as it is in any code page. False for an empty name or one holding an unpaired
// surrogate, which has no UTF-8 form.
bool FormatListName(const WidePath& name, std::string& value);

// "%s\\%s": directory, one backslash, name. False when it does not fit.
bool FormatPathInDirectory(const char* directory, const char* name, char* buffer, std::size_t size);

// The reporter's parameters "/files:%s". False when they do not fit.
bool FormatReporterParameters(const char* listPath, char* buffer, std::size_t size);

// The embedded reporter files are stored XORed with this key.
const std::uint8_t kReporterScrambleKey = 0x6B;
void UnscrambleBytes(std::uint8_t* bytes, std::size_t size, std::uint8_t key);

// The reporter's whole environment block (for CREATE_UNICODE_ENVIRONMENT): SystemDrive,
// SystemRoot and windir from the Windows directory ("C:\\Windows"), PATH of the system and
// Windows directories only, and the "NAME=value" entries of `passed`, sorted by name with ASCII
// letters folded, as Windows keeps a block, each ended by a zero and the block by another. Nothing
// of the user's environment comes along (no PATH of theirs, no __COMPAT_LAYER): the reporter runs
// elevated. May throw std::bad_alloc.
WidePath FormatReporterEnvironment(const WidePath& systemDirectory,
                                   const WidePath& windowsDirectory,
                                   const std::vector<WidePath>& passed);
