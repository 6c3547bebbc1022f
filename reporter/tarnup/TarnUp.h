#pragma once
// The upload library's C interface. The reporter loads tarnup.dll at run time and binds these
// entry points by name (plain C names, cdecl).
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TARNUP_API_VERSION 3

// The service the library talks to. No real service is named: the address lies under a reserved
// domain and is meant to be replaced when the service exists.
#define TARNUP_BUILTIN_ENDPOINT "https://samples.tarn-security.example/api/v1"

// Outcome of TarnUpSendFile.
enum TarnUpResult {
    TARNUP_UPLOADED = 0,     // the service took the file
    TARNUP_KNOWN = 1,        // the service has the file already; nothing was sent
    TARNUP_CHANGED = 2,      // the file's digest is no longer the listed one; nothing was sent
    TARNUP_UNREADABLE = 3,   // the file could not be opened or read, or is too large
    TARNUP_CANCELLED = 4,    // TarnUpCancel was called
    TARNUP_UNREACHABLE = 5,  // no connection to the service after every attempt
    TARNUP_REJECTED = 6,     // the service refused the request (4xx, or a 5xx after every attempt)
    TARNUP_BAD_ARGUMENT = 7,
    TARNUP_INSECURE = 8  // no trusted secure connection could be made (the system's TLS is too
                         // old for the server, or its certificate is not trusted); not repeated
};

// Per-file progress: bytes of the request body sent so far, of the total. Called on the thread
// that runs TarnUpSendFile.
typedef void (*TarnUpProgressProc)(void* context, uint64_t sent, uint64_t total);

typedef struct TarnUpSession TarnUpSession;

// Version of this interface; the reporter refuses a library with another one.
int TarnUpApiVersion(void);

// Opens a session to the service. `endpoint` is a URL; NULL or "" selects the built-in address.
// Only the loopback test build of the library reads the environment variable TARNUP_ENDPOINT
// instead, and takes it only for a loopback host. Timeouts of 0 use the defaults (10 s to
// connect, 30 s per send or receive). Returns NULL on a bad endpoint.
TarnUpSession* TarnUpOpen(const char* endpoint, uint32_t connectTimeoutMs,
                          uint32_t transferTimeoutMs);

// The URL the session talks to (for display). Valid until TarnUpClose.
const char* TarnUpEndpoint(TarnUpSession* session);

// Asks whether the service knows `md5`, and when it does not, re-reads the file, checks that its
// digest is still `md5` and sends it with `ext`, under the file name `fileName` (printable ASCII
// without quotes or '\'; NULL or "" sends "<md5>.bin"). Repeats connection failures and 5xx answers
// a few times with a growing pause; a failed secure connection is not repeated. HTTP status of the
// last answer in *httpStatus (0 when none).
int TarnUpSendFile(TarnUpSession* session, const char* path, const char* md5, const char* ext,
                   const char* fileName, TarnUpProgressProc progress, void* context,
                   uint32_t* httpStatus);

// Makes the running and every later TarnUpSendFile of the session stop soon with
// TARNUP_CANCELLED. Safe to call from any thread.
void TarnUpCancel(TarnUpSession* session);

void TarnUpClose(TarnUpSession* session);

#ifdef __cplusplus
}
#endif
