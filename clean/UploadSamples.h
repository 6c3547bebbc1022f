#pragma once
#include <windows.h>

#include "app/UniqueHandle.h"

// The files handed to the reporter, held open from the end of their writing: the handles deny
// writing, renaming and deleting, while the loader can still map them and the reporter read
// them. The reporter files stay held until the next upload or the end of the program, the list
// until the reporter has read it. The program runs elevated and the temporary directory is writable
// by every process of the user, so an unheld file could be swapped before the reporter starts.
struct ReporterHold {
    FileHandle library;
    FileHandle reporter;
    FileHandle list;
    void Release() {
        library.Close();
        reporter.Close();
        list.Close();
    }
};

// Writes tarnup.dll and then tarnrpt.exe into tempDir from the embedded resources and holds
// both in `hold`. exePath (MAX_PATH bytes) receives the reporter's path. Non-zero on success.
int ExtractReporter(const char* tempDir, char* exePath, ReporterHold& hold);

// Opens the written upload list as `hold`: reading shared, writing, renaming and deleting not.
// False when it cannot be opened or is no plain file.
bool HoldUploadList(const char* listPath, FileHandle& hold);

// The upload on the user's consent: the reporter files, the upload list, then the reporter
// started with "/files:" and the list's path. Reports nothing to the user; returns once the
// reporter has been started and has read its list, true, or the flow stopped, false.
bool UploadSamples(const char* tag);
