#pragma once
#include <cstddef>
#include <vector>

#include "win/WidePath.h"

// The files a scan found, in the order found, by their UTF-16 paths exactly as the system
// named them. A path the file system would call the same as one already listed (ordinal,
// case-insensitive) is not added again.
class DetectionList {
  public:
    // Returns true when the path is listed afterwards (added now or already present); false when
    // it could not be stored.
    bool Add(const WidePath& path);
    bool Contains(const WidePath& path) const;
    void Clear();

    std::size_t Count() const { return paths_.size(); }
    bool IsEmpty() const { return paths_.empty(); }
    const WidePath& At(std::size_t index) const { return paths_[index]; }

  private:
    std::vector<WidePath> paths_;
};
