#include "reporter/core/PathParts.h"

#include <cstdio>

namespace reporter {

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    size_t split = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(path[i]);
        if (byte >= 0x81 && byte <= 0xfe && i + 1 < path.size()) {
            ++i;  // a lead byte: the next byte belongs to the same character
            continue;
        }
        if (byte == '\\' || byte == '/')
            split = i;
    }
    if (split == std::string::npos) {
        folder.clear();
        name = path;
        return;
    }
    folder = path.substr(0, split);
    name = path.substr(split + 1);
    // The root keeps its separator: "C:\" rather than "C:".
    if (folder.size() == 2 && folder[1] == ':')
        folder += path[split];
}

std::string FormatSize(uint64_t bytes) {
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof(text), "%u B", unsigned(bytes));
    } else if (bytes < 1024 * 1024) {
        std::snprintf(text, sizeof(text), "%.1f KB", double(bytes) / 1024.0);
    } else if (bytes < 1024ull * 1024 * 1024) {
        std::snprintf(text, sizeof(text), "%.1f MB", double(bytes) / (1024.0 * 1024.0));
    } else {
        std::snprintf(text, sizeof(text), "%.1f GB", double(bytes) / (1024.0 * 1024.0 * 1024.0));
    }
    return text;
}

}  // namespace reporter
