#include "win/PathCompare.h"

#ifdef _WIN32
#include <mbstring.h>
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
