#include "detect/NameTest.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const kNameTemplates[] = {"addr%shelp.dll", "gd%si32.dll", "bj%srl.dll"};

// File names from a directory search hold at most 259 bytes.
const std::size_t kMaxName = 260;

}  // namespace

bool PassesNameTest(const char* name) {
    if (name == nullptr)
        return false;
    // %s can take at most the whole name, so a field of the name's own length is always enough.
    if (std::strlen(name) >= kMaxName)
        return false;
    char field[kMaxName];
    for (const char* nameTemplate : kNameTemplates) {
        if (std::sscanf(name, nameTemplate, field) == 1)
            return true;
    }
    return false;
}

bool IsWalkedFolderName(const WidePath& name) {
    const std::size_t suffix = 4;  // ".dll"
    return name.size() >= suffix && name[0] != u'.' &&
           EqualsAsciiNoCase(name.substr(name.size() - suffix), ".dll");
}
