#include "clean/PrivateFolderName.h"

namespace {

const char kHexDigits[] = "0123456789abcdef";
const char kRestartInfix[] = "restart-";

WidePath Prefix(PrivateFolderKind kind) {
    WidePath prefix = WidenAscii(kPrivateFolderPrefix);
    if (kind == PrivateFolderKind::Restart)
        prefix += WidenAscii(kRestartInfix);
    return prefix;
}

}  // namespace

WidePath FormatPrivateFolderName(PrivateFolderKind kind,
                                 const std::uint8_t random[kPrivateFolderRandomBytes]) {
    WidePath name = Prefix(kind);
    for (std::size_t i = 0; i < kPrivateFolderRandomBytes; ++i) {
        name += char16_t(kHexDigits[random[i] >> 4]);
        name += char16_t(kHexDigits[random[i] & 15]);
    }
    return name;
}

bool IsPrivateFolderName(PrivateFolderKind kind, const WidePath& name) {
    const WidePath prefix = Prefix(kind);
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
