#include "reporter/core/CommandLine.h"

namespace reporter {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Where the arguments start: after the program name, quoted or not, and the blanks after it.
size_t SkipProgramName(const std::string& line) {
    size_t pos = 0;
    if (!line.empty() && line[0] == '"') {
        const size_t close = line.find('"', 1);
        pos = close == std::string::npos ? line.size() : close + 1;
    } else {
        while (pos < line.size() && !IsBlank(line[pos]))
            ++pos;
    }
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    return pos;
}

bool StartsWithNoCase(const std::string& text, size_t pos, const char* prefix) {
    for (size_t i = 0; prefix[i] != '\0'; ++i, ++pos) {
        if (pos >= text.size())
            return false;
        char c = text[pos];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

}  // namespace

bool ParseFilesArgument(const std::string& commandLine, std::string& listPath) {
    static const char kSwitch[] = "/files:";
    const size_t start = SkipProgramName(commandLine);
    if (!StartsWithNoCase(commandLine, start, kSwitch))
        return false;
    std::string path = commandLine.substr(start + sizeof(kSwitch) - 1);
    // Windows path names never end in blanks or line ends; a launcher may append them.
    while (!path.empty() && (IsBlank(path.back()) || path.back() == '\r' || path.back() == '\n')) {
        path.pop_back();
    }
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
        path = path.substr(1, path.size() - 2);
    }
    if (path.empty() || path.size() > kMaxListPath)
        return false;
    if (path.find('"') != std::string::npos || path.find('\0') != std::string::npos)
        return false;
    listPath = path;
    return true;
}

}  // namespace reporter
