#pragma once
// The names of the program's private folders: pure text, so that both builds test them.
#include <cstddef>
#include <cstdint>

#include "win/WidePath.h"

// Name of a private folder the program makes: kPrivateFolderPrefix and 32 lowercase hex digits
// of the 16 random bytes.
const char kPrivateFolderPrefix[] = "vormak-";
const std::size_t kPrivateFolderRandomBytes = 16;
WidePath FormatPrivateFolderName(const std::uint8_t random[kPrivateFolderRandomBytes]);
// Whether a name has exactly that form.
bool IsPrivateFolderName(const WidePath& name);
