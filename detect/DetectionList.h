#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The files a scan found, in the order found. A path equal to one already listed (compared
// case-insensitively, double-byte aware) is not added again.
class DetectionList {
  public:
    // Returns true when the path is listed afterwards (added now or already present); false when
    // it could not be stored.
    bool Add(const char* path);
    bool Contains(const char* path) const;
    void Clear();

    std::size_t Count() const { return paths_.size(); }
    bool IsEmpty() const { return paths_.empty(); }
    const char* At(std::size_t index) const { return paths_[index].c_str(); }

  private:
    std::vector<std::string> paths_;
};
