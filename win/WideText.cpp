#include "win/WideText.h"

#include <cstring>
#include <vector>

#include "win/AnsiName.h"

namespace {

// The scan's no-best-fit conversion; `text` ends in a NUL at `length`. Each UTF-16 unit takes
// at most three bytes (UTF-8 as the ANSI code page).
bool WideToAnsiNoBestFit(const wchar_t* text, size_t length, std::string& ansi) {
    std::vector<char> buffer(length * 3 + 1);
    if (!WideToAnsiExactly(CP_ACP, text, buffer.data(), buffer.size()))
        return false;
    ansi = buffer.data();
    return true;
}

bool AnsiToWideStrict(const char* text, int length, WidePath& wide) {
    const int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
    if (size <= 0)
        return false;
    std::vector<wchar_t> buffer(size);
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, length, buffer.data(), size) !=
        size) {
        return false;
    }
    wide.assign(reinterpret_cast<const char16_t*>(buffer.data()), buffer.size());
    return true;
}

}  // namespace

bool AnsiToWideExact(const char* text, WidePath& wide) {
    wide.clear();
    if (text == nullptr)
        return false;
    const int length = static_cast<int>(std::strlen(text));
    if (length == 0)
        return true;
    WidePath converted;
    std::string back;
    if (!AnsiToWideStrict(text, length, converted) ||
        !WideToAnsiNoBestFit(WideChars(converted), converted.size(), back) ||
        back.size() != static_cast<size_t>(length) || std::memcmp(back.data(), text, length) != 0) {
        return false;
    }
    wide = converted;
    return true;
}

bool WideToAnsiExact(const wchar_t* text, std::string& ansi) {
    ansi.clear();
    if (text == nullptr)
        return false;
    const int length = static_cast<int>(wcslen(text));
    if (length == 0)
        return true;
    std::string converted;
    WidePath back;
    if (!WideToAnsiNoBestFit(text, length, converted) ||
        !AnsiToWideStrict(converted.data(), static_cast<int>(converted.size()), back) ||
        back.size() != static_cast<size_t>(length) ||
        std::memcmp(back.data(), text, length * sizeof(wchar_t)) != 0) {
        return false;
    }
    ansi = converted;
    return true;
}
