#include "win/WidePath.h"

namespace {

char16_t FoldAscii(char16_t unit) {
    return (unit >= u'A' && unit <= u'Z') ? char16_t(unit + (u'a' - u'A')) : unit;
}

bool IsUsablePart(const WidePath& part) {
    if (part.empty() || part == u"." || part == u"..")
        return false;
    for (char16_t unit : part) {
        if (unit < 0x20 || unit == u'/' || unit == u':')
            return false;
    }
    return true;
}

}  // namespace

bool SplitDrivePath(const WidePath& path, DrivePathParts& parts) {
    parts = DrivePathParts();
    const char16_t letter = path.size() >= 3 ? FoldAscii(path[0]) : 0;
    if (!(letter >= u'a' && letter <= u'z') || path[1] != u':' || path[2] != u'\\')
        return false;
    std::vector<WidePath> split;
    std::size_t start = 3;
    for (;;) {
        const std::size_t separator = path.find(u'\\', start);
        WidePath part =
            path.substr(start, separator == WidePath::npos ? WidePath::npos : separator - start);
        if (!IsUsablePart(part))
            return false;
        split.push_back(part);
        if (separator == WidePath::npos)
            break;
        start = separator + 1;
    }
    parts.drive = path[0];
    parts.name = split.back();
    split.pop_back();
    parts.folders = split;
    return true;
}

bool EqualsAsciiNoCase(const WidePath& name, const char* ascii) {
    std::size_t i = 0;
    for (; ascii[i] != '\0'; ++i) {
        if (i == name.size() || FoldAscii(name[i]) != FoldAscii(char16_t(ascii[i])))
            return false;
    }
    return i == name.size();
}

WidePath WidenAscii(const char* ascii) {
    WidePath wide;
    for (; *ascii != '\0'; ++ascii)
        wide += char16_t(static_cast<unsigned char>(*ascii));
    return wide;
}

WidePath LongPathForm(const WidePath& path) {
    // CreateDirectoryW stops at 248 units (room for an 8.3 name), the other calls at 260.
    const std::size_t shortestLimit = 248;
    if (path.size() < shortestLimit || path.compare(0, 4, u"\\\\?\\") == 0)
        return path;
    if (path.compare(0, 2, u"\\\\") == 0)
        return u"\\\\?\\UNC\\" + path.substr(2);
    return u"\\\\?\\" + path;
}
