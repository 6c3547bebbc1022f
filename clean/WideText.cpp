#include "clean/WideText.h"

#include <cstring>
#include <vector>

namespace {

// Code page 65001 (UTF-8, which Windows 10 can set as the ANSI code page) takes neither
// WC_NO_BEST_FIT_CHARS nor a default-character flag; its conversions never substitute silently
// for valid input, and the round trip below catches the rest.
bool IsUtf8AnsiCodePage() {
    return GetACP() == CP_UTF8;
}

bool WideToAnsiNoBestFit(const wchar_t* text, int length, std::string& ansi) {
    const bool utf8 = IsUtf8AnsiCodePage();
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int size =
        WideCharToMultiByte(CP_ACP, flags, text, length, nullptr, 0, nullptr, usedDefaultOut);
    if (size <= 0 || usedDefault)
        return false;
    std::vector<char> buffer(size);
    if (WideCharToMultiByte(CP_ACP, flags, text, length, buffer.data(), size, nullptr,
                            usedDefaultOut) != size ||
        usedDefault) {
        return false;
    }
    ansi.assign(buffer.data(), buffer.size());
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
        !WideToAnsiNoBestFit(WideChars(converted), static_cast<int>(converted.size()), back) ||
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
