#pragma once
#include <windows.h>

#include "win/UniqueHandle.h"

// The reporter files, held open from the end of their writing until the next upload or the end
// of the program: the handles deny writing, renaming and deleting, while the loader can still
// map them. The private folder they are written into already keeps the user out; the hold also
// keeps out every other administrator's process, and gives the reporter's final path.
struct ReporterHold {
    FileHandle library;
    FileHandle reporter;
    void Release() {
        library.Close();
        reporter.Close();
    }
};

// Writes tarnup.dll and then tarnrpt.exe into tempDir from the embedded resources and holds
// both in `hold`. exePath (MAX_PATH bytes) receives the reporter's path. Non-zero on success;
// a path that does not convert exactly to UTF-16 is refused.
int ExtractReporter(const char* tempDir, char* exePath, ReporterHold& hold);

// The upload on the user's consent, in a fresh private folder under the Windows directory's
// Temp (folders of earlier uploads are removed first): the reporter files, the finished upload
// list, then the reporter started by its held file's final path with "/files:" and the list's
// path, in that folder and with an environment the program builds (FormatReporterEnvironment).
// Reports nothing to the user and does not wait for the reporter; true when it was started.
bool UploadSamples(const char* tag);

// Passes the program's own value of the environment variable `name` on to the reporter. Only
// test builds call it (the loopback reporter's TARNUP_ENDPOINT); the shipped program passes
// nothing of its environment on.
void PassToReporter(const char* name);
