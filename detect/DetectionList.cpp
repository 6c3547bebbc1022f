#include "detect/DetectionList.h"

#include <new>

#include "win/PathCompare.h"

bool DetectionList::Contains(const WidePath& path) const {
    for (const WidePath& listed : paths_) {
        if (SameWidePathNoCase(listed, path))
            return true;
    }
    return false;
}

bool DetectionList::Add(const WidePath& path) {
    if (path.empty())
        return false;
    if (Contains(path))
        return true;
    try {
        paths_.push_back(path);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void DetectionList::Clear() {
    // Release the storage too, not only the strings.
    std::vector<WidePath>().swap(paths_);
}
