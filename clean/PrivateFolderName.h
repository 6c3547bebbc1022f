#pragma once
// The names of the program's private folders: pure text, so that both builds test them.
#include <cstddef>
#include <cstdint>

#include "win/WidePath.h"

// What a private folder is for. Each kind has its own name form, so that removing one kind's
// leftovers never takes a folder of the other: the upload's folders go at the next upload, the
// folders of files moved aside for a restart only at the restart.
enum class PrivateFolderKind { Upload, Restart };

// Name of a private folder the program makes: its kind's prefix ("vormak-" for the upload,
// "vormak-restart-" for the restart) and 32 lowercase hex digits of the 16 random bytes.
const char kPrivateFolderPrefix[] = "vormak-";
const std::size_t kPrivateFolderRandomBytes = 16;
WidePath FormatPrivateFolderName(PrivateFolderKind kind,
                                 const std::uint8_t random[kPrivateFolderRandomBytes]);
// Whether a name has exactly that kind's form.
bool IsPrivateFolderName(PrivateFolderKind kind, const WidePath& name);
