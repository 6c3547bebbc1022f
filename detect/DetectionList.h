#pragma once
#include <cstddef>
#include <vector>

#include "win/FileIdentity.h"
#include "win/WidePath.h"

// The files a scan found, in the order found, by their UTF-16 paths exactly as the system
// named them, each with the identity of the file the scan read there: Clean removes only that
// file, never one put in its place since. A path the file system would call the same as one
// already listed (ordinal, case-insensitive) is not added again.
class DetectionList {
  public:
    // Returns true when the path is listed afterwards (added now or already present); false when
    // it could not be stored.
    bool Add(const WidePath& path, const FileIdentity& identity);
    bool Contains(const WidePath& path) const;
    void Clear();

    std::size_t Count() const { return entries_.size(); }
    bool IsEmpty() const { return entries_.empty(); }
    const WidePath& At(std::size_t index) const { return entries_[index].path; }
    const FileIdentity& IdentityAt(std::size_t index) const { return entries_[index].identity; }

  private:
    struct Entry {
        WidePath path;
        FileIdentity identity;
    };
    std::vector<Entry> entries_;
};
