#include "detect/NameTest.h"

namespace {

const char16_t* const kPrefixes[] = {u"addr", u"gd", u"bj"};

// The blanks that scanf's %s skips in the C locale.
bool IsBlank(char16_t unit) {
    return unit == u' ' || (unit >= u'\t' && unit <= u'\r');
}

}  // namespace

bool PassesNameTest(std::u16string_view name) {
    for (const char16_t* prefix : kPrefixes) {
        const std::u16string_view wanted(prefix);
        if (name.substr(0, wanted.size()) != wanted)
            continue;
        for (std::size_t i = wanted.size(); i < name.size(); ++i) {
            if (!IsBlank(name[i]))
                return true;
        }
    }
    return false;
}

bool IsWalkedFolderName(const WidePath& name) {
    const std::size_t suffix = 4;  // ".dll"
    return name.size() >= suffix && name[0] != u'.' &&
           EqualsAsciiNoCase(name.substr(name.size() - suffix), ".dll");
}
