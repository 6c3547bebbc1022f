#pragma once

// Exit codes of tarnrpt.exe.
enum ReporterExitCode {
    kExitDone = 0,           // every checked file was uploaded, known already or skipped
    kExitBadList = 1,        // no "/files:" argument, or the list is missing, unreadable or empty
    kExitSetupFailed = 2,    // the upload library is missing or altered, or the window failed
    kExitUploadsFailed = 3,  // at least one checked file could not be sent
    kExitCancelled = 4       // the user cancelled before or during the upload
};
