#include "detect/DetectionList.h"

#include <new>

#include "win/PathCompare.h"

bool DetectionList::Contains(const WidePath& path) const {
    for (const Entry& listed : entries_) {
        if (SameWidePathNoCase(listed.path, path))
            return true;
    }
    return false;
}

bool DetectionList::Add(const WidePath& path, const FileIdentity& identity) {
    if (path.empty())
        return false;
    if (Contains(path))
        return true;
    try {
        entries_.push_back(Entry{path, identity});
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void DetectionList::Clear() {
    // Release the storage too, not only the strings.
    std::vector<Entry>().swap(entries_);
}
