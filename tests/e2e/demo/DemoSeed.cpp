#include "e2e/demo/DemoSeed.h"

#include <windows.h>

#include <string>
#include <vector>

#include "detect/PeBuilder.h"
#include "support/WinFiles.h"

// The look-alikes: a driver file of the trojan's name, and a library named like the trojan's
// whose first section is called ".Upack", with its ".cfg" beside it. The library is a bare PE
// header with two sections of zero bytes, built here; nothing in it runs or could run.
bool SeedDemoFiles() {
    char systemDirectory[MAX_PATH];
    const UINT length = GetSystemDirectoryA(systemDirectory, sizeof(systemDirectory));
    if (length == 0 || length >= sizeof(systemDirectory))
        return false;
    const std::string directory(systemDirectory, length);

    testpe::PeBuilder library;
    library.Add(".Upack", std::vector<unsigned char>(0x200, 0))
        .Add(".rsrc", std::vector<unsigned char>(0x200, 0));
    const std::string text = "demo look-alike, harmless\r\n";
    return WriteWholeFile(directory + "\\drivers\\comint32.sys",
                          std::vector<unsigned char>(text.begin(), text.end())) &&
           WriteWholeFile(directory + "\\gdkri32.dll", library.BuildFile()) &&
           WriteWholeFile(directory + "\\gdkri32.cfg",
                          std::vector<unsigned char>(text.begin(), text.end()));
}
