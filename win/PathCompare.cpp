#include "win/PathCompare.h"

#ifdef _WIN32
#include <windows.h>
#include <mbstring.h>
#include <winternl.h>
#endif

namespace {

unsigned FoldAscii(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') ? byte + ('a' - 'A') : byte;
}

// Reads one character at *p (one or two bytes) as a comparable value and advances past it.
unsigned NextCharacter(const unsigned char*& p) {
    unsigned char first = *p++;
    if (IsCp936LeadByte(first) && *p != 0) {
        unsigned char second = *p++;
        return 0x10000u | (unsigned(first) << 8) | second;
    }
    return FoldAscii(first);
}

char16_t FoldAsciiUnit(char16_t unit) {
    return (unit >= u'A' && unit <= u'Z') ? char16_t(unit + (u'a' - u'A')) : unit;
}

bool SameAsciiFolded(const WidePath& a, const WidePath& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAsciiUnit(a[i]) != FoldAsciiUnit(b[i]))
            return false;
    }
    return true;
}

#ifdef _WIN32
typedef LONG(NTAPI* RtlCompareUnicodeStringProc)(const UNICODE_STRING*, const UNICODE_STRING*,
                                                 BOOLEAN);

bool ToUnicodeString(const WidePath& path, UNICODE_STRING& string) {
    if (path.size() > 0x7FFF)
        return false;
    string.Buffer = const_cast<PWSTR>(reinterpret_cast<const wchar_t*>(path.data()));
    string.Length = static_cast<USHORT>(path.size() * sizeof(wchar_t));
    string.MaximumLength = string.Length;
    return true;
}
#endif

}  // namespace

int CompareCp936NoCase(const char* a, const char* b) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    for (;;) {
        if (*p == 0 || *q == 0)
            return int(*p != 0) - int(*q != 0);
        unsigned x = NextCharacter(p);
        unsigned y = NextCharacter(q);
        if (x != y)
            return x < y ? -1 : 1;
    }
}

int ComparePathsNoCase(const char* a, const char* b) {
#ifdef _WIN32
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a),
                    reinterpret_cast<const unsigned char*>(b));
#else
    return CompareCp936NoCase(a, b);
#endif
}

bool SameWidePathNoCase(const WidePath& a, const WidePath& b) {
    if (a.size() != b.size())
        return false;
#ifdef _WIN32
    // ntdll is mapped into every process: taking its handle searches nowhere.
    static const RtlCompareUnicodeStringProc compare =
        reinterpret_cast<RtlCompareUnicodeStringProc>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlCompareUnicodeString")));
    UNICODE_STRING first;
    UNICODE_STRING second;
    if (compare != nullptr && ToUnicodeString(a, first) && ToUnicodeString(b, second))
        return compare(&first, &second, TRUE) == 0;
#endif
    return SameAsciiFolded(a, b);
}
