#include "win/AnsiName.h"

bool WideToAnsiExactly(UINT codePage, const wchar_t* wide, char* ansi, std::size_t size) {
    if (ansi == nullptr || size == 0)
        return false;
    ansi[0] = '\0';
    if (wide == nullptr || size > 0x7FFFFFFF)
        return false;
    if (codePage == CP_ACP)
        codePage = GetACP();
    int written = 0;
    if (codePage == CP_UTF8) {
        // UTF-8 has no best fit and takes no used-default flag; only unpaired surrogates fail.
        written = WideCharToMultiByte(codePage, WC_ERR_INVALID_CHARS, wide, -1, ansi,
                                      static_cast<int>(size), nullptr, nullptr);
    } else {
        BOOL usedDefault = FALSE;
        written = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, -1, ansi,
                                      static_cast<int>(size), nullptr, &usedDefault);
        if (usedDefault)
            written = 0;
    }
    if (written == 0) {
        ansi[0] = '\0';
        return false;
    }
    return true;
}
