#include "detect/DetectionList.h"

#include <new>

#include "win/PathCompare.h"

bool DetectionList::Contains(const char* path) const {
    for (const std::string& listed : paths_) {
        if (ComparePathsNoCase(listed.c_str(), path) == 0)
            return true;
    }
    return false;
}

bool DetectionList::Add(const char* path) {
    if (path == nullptr)
        return false;
    if (Contains(path))
        return true;
    try {
        paths_.emplace_back(path);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void DetectionList::Clear() {
    // Release the storage too, not only the strings.
    std::vector<std::string>().swap(paths_);
}
