#include "clean/WidePath.h"

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

const char kHexDigits[] = "0123456789abcdef";

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

bool IsWalkedFolderName(const WidePath& name) {
    const std::size_t suffix = 4;  // ".dll"
    return name.size() >= suffix && name[0] != u'.' &&
           EqualsAsciiNoCase(name.substr(name.size() - suffix), ".dll");
}

WidePath FormatPrivateFolderName(const std::uint8_t random[kPrivateFolderRandomBytes]) {
    WidePath name = WidenAscii(kPrivateFolderPrefix);
    for (std::size_t i = 0; i < kPrivateFolderRandomBytes; ++i) {
        name += char16_t(kHexDigits[random[i] >> 4]);
        name += char16_t(kHexDigits[random[i] & 15]);
    }
    return name;
}

bool IsPrivateFolderName(const WidePath& name) {
    const WidePath prefix = WidenAscii(kPrivateFolderPrefix);
    if (name.size() != prefix.size() + 2 * kPrivateFolderRandomBytes ||
        name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        const char16_t unit = name[i];
        if (!((unit >= u'0' && unit <= u'9') || (unit >= u'a' && unit <= u'f')))
            return false;
    }
    return true;
}

WidePath WidenAscii(const char* ascii) {
    WidePath wide;
    for (; *ascii != '\0'; ++ascii)
        wide += char16_t(static_cast<unsigned char>(*ascii));
    return wide;
}
