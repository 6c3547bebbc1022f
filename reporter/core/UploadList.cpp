#include "reporter/core/UploadList.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "reporter/core/CommandLine.h"
#include "reporter/core/Hex.h"
#include "reporter/core/PathParts.h"

namespace reporter {

namespace {

struct RawItem {
    bool hasFile = false, hasMd5 = false, hasExt = false, hasName = false;
    std::string file, md5, ext, name;
};

std::string Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    return text.substr(begin, end - begin);
}

// "ITEM" followed by 1 to 9 decimal digits, any case.
bool ParseItemSection(const std::string& name, unsigned& number) {
    if (name.size() < 5 || name.size() > 13)
        return false;
    if (ToLowerAscii(name.substr(0, 4)) != "item")
        return false;
    unsigned value = 0;
    for (size_t i = 4; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
        value = value * 10 + unsigned(name[i] - '0');
    }
    number = value;
    return true;
}

bool HasControlBytes(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

}  // namespace

bool DecodeListName(const std::string& value, std::string& utf8) {
    utf8.clear();
    auto hexValue = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            utf8 += value[i];
            continue;
        }
        const int high = i + 2 < value.size() ? hexValue(value[i + 1]) : -1;
        const int low = i + 2 < value.size() ? hexValue(value[i + 2]) : -1;
        if (high < 0 || low < 0)
            return false;
        utf8 += char(high * 16 + low);
        i += 2;
    }
    if (utf8.empty())
        return false;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        size_t length = 0;
        uint32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (length > utf8.size() - i)
            return false;
        for (size_t k = 1; k < length; ++k) {
            const unsigned char trail = static_cast<unsigned char>(utf8[i + k]);
            if ((trail & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (trail & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        if (code < 0x20 || code == '\\' || code == '/' || code == ':')
            return false;
        i += length;
    }
    return true;
}

size_t KeepItemsInFolder(std::vector<UploadItem>& items, const std::string& folder) {
    const std::string wanted = ToLowerAscii(folder);
    const size_t before = items.size();
    items.erase(std::remove_if(items.begin(), items.end(),
                               [&wanted](const UploadItem& item) {
                                   std::string itemFolder, name;
                                   SplitPath(item.file, itemFolder, name);
                                   return wanted.empty() || name.empty() || name == "." ||
                                          name == ".." || ToLowerAscii(itemFolder) != wanted;
                               }),
                items.end());
    return before - items.size();
}

bool IsAbsoluteFilePath(const std::string& path) {
    // Only drive paths: the reporter runs elevated, and a UNC path would make it reach out to
    // another machine, a device path to any device. The main program lists neither.
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
        const char drive = path[0];
        return (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    }
    return false;
}

bool ParseUploadList(const char* data, size_t size, std::vector<UploadItem>& items,
                     UploadListStats* stats) {
    items.clear();
    UploadListStats counts;
    if (data == nullptr || size > kMaxUploadListBytes) {
        if (stats != nullptr)
            *stats = counts;
        return false;
    }
    std::string text(data, size);
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);

    std::map<unsigned, RawItem> raw;
    RawItem* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        line = Trim(line);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            current = nullptr;
            const size_t close = line.find(']');
            if (close == std::string::npos)
                continue;
            unsigned number = 0;
            if (!ParseItemSection(Trim(line.substr(1, close - 1)), number))
                continue;
            auto found = raw.find(number);
            if (found == raw.end()) {
                // Sections past the limit are counted but not kept.
                ++counts.sections;
                if (raw.size() >= kMaxUploadItems) {
                    ++counts.rejected;
                    continue;
                }
                found = raw.emplace(number, RawItem()).first;
            }
            current = &found->second;
            continue;
        }
        if (current == nullptr)
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = ToLowerAscii(Trim(line.substr(0, equals)));
        std::string value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        // The first occurrence of a key wins, as the profile functions read it.
        if (key == "file" && !current->hasFile) {
            current->hasFile = true;
            current->file = value;
        } else if (key == "md5" && !current->hasMd5) {
            current->hasMd5 = true;
            current->md5 = value;
        } else if (key == "ext" && !current->hasExt) {
            current->hasExt = true;
            current->ext = value;
        } else if (key == "name" && !current->hasName) {
            current->hasName = true;
            current->name = value;
        }
    }

    std::vector<std::string> seenFiles;
    for (const auto& entry : raw) {
        const RawItem& item = entry.second;
        std::string nameUtf8;
        const bool usable = item.hasFile && item.file.size() <= kMaxListPath &&
                            IsAbsoluteFilePath(item.file) && !HasControlBytes(item.file) &&
                            item.hasMd5 && IsMd5Hex(item.md5) && item.ext.size() <= kMaxExtLength &&
                            !HasControlBytes(item.ext) &&
                            (!item.hasName || DecodeListName(item.name, nameUtf8));
        if (!usable) {
            ++counts.rejected;
            continue;
        }
        // Windows file names ignore the case of ASCII letters.
        const std::string folded = ToLowerAscii(item.file);
        if (std::find(seenFiles.begin(), seenFiles.end(), folded) != seenFiles.end()) {
            ++counts.rejected;
            continue;
        }
        seenFiles.push_back(folded);
        UploadItem out;
        out.number = entry.first;
        out.file = item.file;
        out.md5 = ToLowerAscii(item.md5);
        out.ext = item.ext;
        out.name = item.name;
        out.nameUtf8 = nameUtf8;
        items.push_back(out);
    }
    if (stats != nullptr)
        *stats = counts;
    return !items.empty();
}

}  // namespace reporter
