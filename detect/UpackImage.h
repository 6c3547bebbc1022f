#pragma once
#include "win/FileIdentity.h"

// 1 when the file is a PE image whose first section is named ".Upack" (any case), else 0. A file
// that cannot be opened or read, or whose headers are damaged, gives 0.
// path is as the wide file functions take it (LongPathForm for a long one). On 1, `identity`
// names the file that was read, so that what is listed is the file that was checked.
int IsUpackImage(const wchar_t* path, FileIdentity& identity);

// 1 when the file itself carries the trojan's mark: its first section is named ".Upack" (as
// IsUpackImage tests it) or one of the code patterns occurs anywhere in its bytes. Code found in
// a module's memory lists the module's file only when this holds: another process can write the
// patterns into any library it has loaded, while the file on disk stays untouched.
int IsTrojanLibraryFile(const wchar_t* path, FileIdentity& identity);
