#include "clean/UploadFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "win/PathCompare.h"

namespace {

// snprintf into a bounded buffer; false when the text was cut or formatting failed.
template <typename... Args>
bool FormatBounded(char* buffer, std::size_t size, const char* format, Args... args) {
    if (buffer == nullptr || size == 0)
        return false;
    const int written = std::snprintf(buffer, size, format, args...);
    if (written < 0 || static_cast<std::size_t>(written) >= size) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace

bool IsUploadablePath(const WidePath& path) {
    if (path.empty())
        return false;
    for (const char16_t unit : path) {
        if (unit < 0x20)
            return false;
    }
    auto isSeparator = [](char16_t c) { return c == u'\\' || c == u'/'; };
    // Two leading separators: a UNC name or the "\\.\" and "\\?\" device prefixes.
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]))
        return false;
    // The object manager's "\??\" prefix reaches any device as well.
    if (path.size() >= 4 && isSeparator(path[0]) && path[1] == u'?' && path[2] == u'?' &&
        isSeparator(path[3])) {
        return false;
    }
    return true;
}

bool UploadCandidateList::Contains(const WidePath& path) const {
    for (const WidePath& listed : paths_) {
        if (SameWidePathNoCase(listed, path))
            return true;
    }
    return false;
}

bool UploadCandidateList::Add(const WidePath& path) {
    if (path.empty() || Contains(path))
        return false;
    paths_.push_back(path);
    return true;
}

bool FormatSectionName(int item, char* buffer, std::size_t size) {
    return FormatBounded(buffer, size, "ITEM%d", item);
}

bool FormatExtValue(const char* tag, const char* baseName, char* buffer, std::size_t size) {
    return FormatBounded(buffer, size, "type=th%s|name=%s|", tag, baseName);
}

bool FormatListName(const WidePath& name, std::string& value) {
    value.clear();
    if (name.empty())
        return false;
    std::string utf8;
    for (std::size_t i = 0; i < name.size(); ++i) {
        std::uint32_t code = name[i];
        if (code >= 0xD800 && code <= 0xDFFF) {
            if (code > 0xDBFF || i + 1 == name.size() || name[i + 1] < 0xDC00 ||
                name[i + 1] > 0xDFFF) {
                return false;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (name[i + 1] - 0xDC00);
            ++i;
        }
        if (code < 0x80) {
            utf8 += char(code);
        } else if (code < 0x800) {
            utf8 += char(0xC0 | (code >> 6));
            utf8 += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            utf8 += char(0xE0 | (code >> 12));
            utf8 += char(0x80 | ((code >> 6) & 0x3F));
            utf8 += char(0x80 | (code & 0x3F));
        } else {
            utf8 += char(0xF0 | (code >> 18));
            utf8 += char(0x80 | ((code >> 12) & 0x3F));
            utf8 += char(0x80 | ((code >> 6) & 0x3F));
            utf8 += char(0x80 | (code & 0x3F));
        }
    }
    const char hex[] = "0123456789ABCDEF";
    for (char c : utf8) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < '!' || byte > '~' || byte == '%' || byte == '"') {
            value += '%';
            value += hex[byte >> 4];
            value += hex[byte & 0x0F];
        } else {
            value += c;
        }
    }
    return true;
}

bool FormatPathInDirectory(const char* directory, const char* name, char* buffer,
                           std::size_t size) {
    return FormatBounded(buffer, size, "%s\\%s", directory, name);
}

bool FormatReporterParameters(const char* listPath, char* buffer, std::size_t size) {
    return FormatBounded(buffer, size, "/files:%s", listPath);
}

void UnscrambleBytes(std::uint8_t* bytes, std::size_t size, std::uint8_t key) {
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] ^= key;
}

WidePath FormatReporterEnvironment(const WidePath& systemDirectory,
                                   const WidePath& windowsDirectory,
                                   const std::vector<WidePath>& passed) {
    std::vector<WidePath> entries = passed;
    entries.push_back(u"PATH=" + systemDirectory + u";" + windowsDirectory);
    entries.push_back(u"SystemDrive=" + windowsDirectory.substr(0, 2));
    entries.push_back(u"SystemRoot=" + windowsDirectory);
    entries.push_back(u"windir=" + windowsDirectory);
    const auto folded = [](const WidePath& entry) {
        WidePath name = entry.substr(0, entry.find(u'='));
        for (char16_t& unit : name) {
            if (unit >= u'a' && unit <= u'z')
                unit = char16_t(unit - u'a' + u'A');
        }
        return name;
    };
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const WidePath& a, const WidePath& b) { return folded(a) < folded(b); });
    WidePath block;
    for (const WidePath& entry : entries) {
        block += entry;
        block += u'\0';
    }
    block += u'\0';
    return block;
}
