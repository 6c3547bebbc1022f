// The upload library: asks the sample service whether it knows a file and sends the ones it does
// not, over WinHTTP.
#include "reporter/tarnup/TarnUp.h"

#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

#include "reporter/core/Endpoint.h"
#include "reporter/core/Hex.h"
#include "clean/Md5.h"
#include "reporter/core/Multipart.h"
#include "reporter/core/RetryPolicy.h"
#include "reporter/win/FileHandle.h"

namespace {

#ifdef TARNUP_LOOPBACK_OVERRIDE
// Only the test build reads this: the shipped library runs elevated, and any program of the user
// could set the variable for it.
const char kEndpointVariable[] = "TARNUP_ENDPOINT";
#endif
const DWORD kDefaultConnectTimeoutMs = 10000;
const DWORD kDefaultTransferTimeoutMs = 30000;
const DWORD kChunkSize = 16 * 1024;
// The main program lists files below about 4 MB; anything much larger is not a sample.
const uint64_t kMaxFileSize = 16 * 1024 * 1024;
const DWORD kMaxResponseBytes = 64 * 1024;

class InternetHandle {
  public:
    explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() { Close(); }
    void Close() {
        if (handle_ != nullptr)
            WinHttpCloseHandle(handle_);
        handle_ = nullptr;
    }
    HINTERNET Get() const { return handle_; }

  private:
    HINTERNET handle_;
};

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// WinHTTP's answers when no trusted TLS connection came about: the server and this system share
// no protocol (Windows XP stops at TLS 1.0), or the certificate is not trusted. Repeating the
// request cannot change either, and plain http is never an alternative.
bool IsSecureChannelError(DWORD error) {
    switch (error) {
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
        case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
        case ERROR_WINHTTP_SECURE_FAILURE_PROXY:
        case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED_PROXY:
            return true;
        default:
            return false;
    }
}

// Offers TLS 1.1 and 1.2 where WinHTTP knows them: Windows 7 has them off by default. Windows XP
// and Vista refuse the flags (ERROR_INVALID_PARAMETER); their default protocols then stay.
void EnableNewerTls(HINTERNET session) {
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols));
}

// The address to use when the caller names none; false when the library may not use it.
bool DefaultEndpoint(std::string& url) {
#ifdef TARNUP_LOOPBACK_OVERRIDE
    char variable[512];
    const DWORD length = GetEnvironmentVariableA(kEndpointVariable, variable, sizeof(variable));
    if (length != 0) {
        // The test build must not send test files anywhere but to this machine.
        reporter::Endpoint parsed;
        if (length >= sizeof(variable) || !reporter::ParseEndpoint(variable, parsed) ||
            !reporter::IsLoopbackHost(parsed.host)) {
            return false;
        }
        url = variable;
        return true;
    }
#endif
    url = TARNUP_BUILTIN_ENDPOINT;
    return true;
}

enum class Transfer { Answered, Failed, Insecure, Cancelled };

}  // namespace

struct TarnUpSession {
    std::string url;
    reporter::Endpoint endpoint;
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    HANDLE cancelEvent = nullptr;
    volatile LONG cancelled = 0;

    bool IsCancelled() { return InterlockedCompareExchange(&cancelled, 0, 0) != 0; }
};

namespace {

// Sends one request and reads its status. The body, when present, is head + data + tail.
// Failed: no answer (refused, reset, timed out); the caller may try again.
Transfer SendRequest(TarnUpSession* session, const wchar_t* method, const std::string& path,
                     const std::string& contentType, const std::string& head, const uint8_t* data,
                     size_t dataSize, const std::string& tail, TarnUpProgressProc progress,
                     void* context, DWORD& status) {
    status = 0;
    DWORD flags = WINHTTP_FLAG_REFRESH;
    if (session->endpoint.secure)
        flags |= WINHTTP_FLAG_SECURE;
    const std::wstring widePath = Widen(path);
    InternetHandle request(WinHttpOpenRequest(session->connection, method, widePath.c_str(),
                                              nullptr, WINHTTP_NO_REFERER,
                                              WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (request.Get() == nullptr)
        return Transfer::Failed;
    // A redirect could take the upload elsewhere, or from https to http: never follow one.
    DWORD redirectPolicy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &redirectPolicy,
                     sizeof(redirectPolicy));

    const uint64_t total = uint64_t(head.size()) + dataSize + tail.size();
    std::wstring headers;
    if (!contentType.empty())
        headers = L"Content-Type: " + Widen(contentType) + L"\r\n";
    if (!WinHttpSendRequest(
            request.Get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
            headers.empty() ? 0 : DWORD(-1L), WINHTTP_NO_REQUEST_DATA, 0, DWORD(total), 0)) {
        return IsSecureChannelError(GetLastError()) ? Transfer::Insecure : Transfer::Failed;
    }
    uint64_t sent = 0;
    if (progress != nullptr)
        progress(context, 0, total);
    const struct {
        const uint8_t* bytes;
        size_t size;
    } pieces[3] = {{reinterpret_cast<const uint8_t*>(head.data()), head.size()},
                   {data, dataSize},
                   {reinterpret_cast<const uint8_t*>(tail.data()), tail.size()}};
    for (const auto& piece : pieces) {
        size_t offset = 0;
        while (offset < piece.size) {
            if (session->IsCancelled())
                return Transfer::Cancelled;
            const DWORD chunk =
                DWORD(piece.size - offset < kChunkSize ? piece.size - offset : kChunkSize);
            DWORD written = 0;
            if (!WinHttpWriteData(request.Get(), piece.bytes + offset, chunk, &written)) {
                return IsSecureChannelError(GetLastError()) ? Transfer::Insecure : Transfer::Failed;
            }
            if (written == 0 || written > chunk)
                return Transfer::Failed;
            offset += written;
            sent += written;
            if (progress != nullptr)
                progress(context, sent, total);
        }
    }
    if (session->IsCancelled())
        return Transfer::Cancelled;
    if (!WinHttpReceiveResponse(request.Get(), nullptr))
        return IsSecureChannelError(GetLastError()) ? Transfer::Insecure : Transfer::Failed;
    DWORD code = 0;
    DWORD codeSize = sizeof(code);
    if (!WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &code, &codeSize,
                             WINHTTP_NO_HEADER_INDEX)) {
        return Transfer::Failed;
    }
    // Drain a short answer so the connection can be reused; a long one is simply dropped.
    char discard[4096];
    DWORD drained = 0;
    while (drained < kMaxResponseBytes) {
        DWORD read = 0;
        if (!WinHttpReadData(request.Get(), discard, sizeof(discard), &read) || read == 0)
            break;
        drained += read;
    }
    status = code;
    return Transfer::Answered;
}

enum class Attempt { Answered, Unreachable, Insecure, Cancelled };

// Runs a request until it is answered with a lasting status, every attempt has been used, no
// secure connection can be made, or the session is cancelled. Waits between attempts wake at
// once on cancellation.
Attempt SendWithRetry(TarnUpSession* session, const wchar_t* method, const std::string& path,
                      const std::string& contentType, const std::string& head, const uint8_t* data,
                      size_t dataSize, const std::string& tail, TarnUpProgressProc progress,
                      void* context, DWORD& status) {
    bool answered = false;
    for (unsigned attempt = 0; attempt < reporter::kMaxAttempts; ++attempt) {
        if (attempt != 0 &&
            WaitForSingleObject(session->cancelEvent, reporter::BackoffDelayMs(attempt)) ==
                WAIT_OBJECT_0) {
            return Attempt::Cancelled;
        }
        if (session->IsCancelled())
            return Attempt::Cancelled;
        const Transfer transfer = SendRequest(session, method, path, contentType, head, data,
                                              dataSize, tail, progress, context, status);
        if (transfer == Transfer::Cancelled)
            return Attempt::Cancelled;
        if (transfer == Transfer::Insecure)
            return Attempt::Insecure;
        if (transfer == Transfer::Answered) {
            answered = true;
            if (!reporter::IsTransientStatus(status))
                return Attempt::Answered;
        }
    }
    if (session->IsCancelled())
        return Attempt::Cancelled;
    return answered ? Attempt::Answered : Attempt::Unreachable;
}

// Reads the whole file through one handle, so that the bytes hashed are the bytes sent.
int ReadSample(const char* path, std::vector<uint8_t>& bytes) {
    reporter::FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                          nullptr));
    if (!file.IsValid())
        return TARNUP_UNREADABLE;
    // Only plain files: a device or pipe name in the list must not be read.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        return TARNUP_UNREADABLE;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        uint64_t(size.QuadPart) > kMaxFileSize) {
        return TARNUP_UNREADABLE;
    }
    bytes.resize(size_t(size.QuadPart));
    size_t filled = 0;
    while (filled < bytes.size()) {
        DWORD read = 0;
        const DWORD want =
            DWORD(bytes.size() - filled < (1u << 20) ? bytes.size() - filled : (1u << 20));
        if (!ReadFile(file.Get(), bytes.data() + filled, want, &read, nullptr) || read == 0) {
            return TARNUP_CHANGED;  // shorter than its size said: it is being changed
        }
        filled += read;
    }
    // A file that grew since its size was read has changed as well.
    uint8_t extra = 0;
    DWORD read = 0;
    if (ReadFile(file.Get(), &extra, 1, &read, nullptr) && read != 0)
        return TARNUP_CHANGED;
    return TARNUP_UPLOADED;
}

std::string BaseNameForHeader(const std::string& md5) {
    return md5 + ".bin";
}

}  // namespace

extern "C" {

__declspec(dllexport) int TarnUpApiVersion(void) {
    return TARNUP_API_VERSION;
}

__declspec(dllexport) TarnUpSession* TarnUpOpen(const char* endpoint, uint32_t connectTimeoutMs,
                                                uint32_t transferTimeoutMs) {
    std::string url;
    if (endpoint != nullptr && endpoint[0] != '\0')
        url = endpoint;
    else if (!DefaultEndpoint(url))
        return nullptr;
    reporter::Endpoint parsed;
    if (!reporter::ParseEndpoint(url, parsed))
        return nullptr;

    TarnUpSession* session = new TarnUpSession;
    session->url = url;
    session->endpoint = parsed;
    session->cancelEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const DWORD access = reporter::IsLoopbackHost(parsed.host) ? WINHTTP_ACCESS_TYPE_NO_PROXY
                                                               : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
    session->session =
        WinHttpOpen(L"TarnUp/1.0", access, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session->session != nullptr) {
        EnableNewerTls(session->session);
        const int connect =
            int(connectTimeoutMs != 0 ? connectTimeoutMs : kDefaultConnectTimeoutMs);
        const int transfer =
            int(transferTimeoutMs != 0 ? transferTimeoutMs : kDefaultTransferTimeoutMs);
        WinHttpSetTimeouts(session->session, connect, connect, transfer, transfer);
        const std::wstring host = Widen(parsed.host);
        session->connection = WinHttpConnect(session->session, host.c_str(), parsed.port, 0);
    }
    if (session->cancelEvent == nullptr || session->connection == nullptr) {
        TarnUpClose(session);
        return nullptr;
    }
    return session;
}

__declspec(dllexport) const char* TarnUpEndpoint(TarnUpSession* session) {
    return session != nullptr ? session->url.c_str() : "";
}

__declspec(dllexport) int TarnUpSendFile(TarnUpSession* session, const char* path, const char* md5,
                                         const char* ext, const char* fileName,
                                         TarnUpProgressProc progress, void* context,
                                         uint32_t* httpStatus) {
    if (httpStatus != nullptr)
        *httpStatus = 0;
    if (session == nullptr || path == nullptr || md5 == nullptr || !reporter::IsMd5Hex(md5)) {
        return TARNUP_BAD_ARGUMENT;
    }
    if (session->IsCancelled())
        return TARNUP_CANCELLED;
    const std::string listedMd5 = reporter::ToLowerAscii(md5);
    const std::string extText = ext != nullptr ? ext : "";
    const std::string nameText =
        fileName != nullptr && fileName[0] != '\0' ? fileName : BaseNameForHeader(listedMd5);

    std::vector<uint8_t> bytes;
    const int readResult = ReadSample(path, bytes);
    if (readResult != TARNUP_UPLOADED)
        return readResult;
    ::Md5 hasher;
    hasher.Update(bytes.data(), bytes.size());
    uint8_t digest[::Md5::kDigestSize];
    hasher.Finish(digest);
    if (reporter::ToHex(digest, sizeof(digest)) != listedMd5)
        return TARNUP_CHANGED;

    DWORD status = 0;
    Attempt attempt = SendWithRetry(
        session, L"GET", reporter::KnownCheckPath(session->endpoint, listedMd5), std::string(),
        std::string(), nullptr, 0, std::string(), nullptr, nullptr, status);
    if (httpStatus != nullptr)
        *httpStatus = status;
    if (attempt == Attempt::Cancelled)
        return TARNUP_CANCELLED;
    if (attempt == Attempt::Unreachable)
        return TARNUP_UNREACHABLE;
    if (attempt == Attempt::Insecure)
        return TARNUP_INSECURE;
    if (status == 200)
        return TARNUP_KNOWN;
    if (status != 404)
        return TARNUP_REJECTED;

    std::string boundary;
    reporter::MultipartBody body;
    if (!reporter::ChooseBoundary(listedMd5, bytes.data(), bytes.size(), extText, boundary) ||
        !reporter::BuildSampleBody(boundary, listedMd5, extText, nameText, body)) {
        return TARNUP_BAD_ARGUMENT;
    }
    attempt =
        SendWithRetry(session, L"POST", reporter::UploadPath(session->endpoint), body.contentType,
                      body.head, bytes.data(), bytes.size(), body.tail, progress, context, status);
    if (httpStatus != nullptr)
        *httpStatus = status;
    if (attempt == Attempt::Cancelled)
        return TARNUP_CANCELLED;
    if (attempt == Attempt::Unreachable)
        return TARNUP_UNREACHABLE;
    if (attempt == Attempt::Insecure)
        return TARNUP_INSECURE;
    if (status == 200 || status == 201 || status == 204)
        return TARNUP_UPLOADED;
    if (status == 409)
        return TARNUP_KNOWN;  // someone sent it meanwhile
    return TARNUP_REJECTED;
}

__declspec(dllexport) void TarnUpCancel(TarnUpSession* session) {
    if (session == nullptr)
        return;
    InterlockedExchange(&session->cancelled, 1);
    if (session->cancelEvent != nullptr)
        SetEvent(session->cancelEvent);
}

__declspec(dllexport) void TarnUpClose(TarnUpSession* session) {
    if (session == nullptr)
        return;
    if (session->connection != nullptr)
        WinHttpCloseHandle(session->connection);
    if (session->session != nullptr)
        WinHttpCloseHandle(session->session);
    if (session->cancelEvent != nullptr)
        CloseHandle(session->cancelEvent);
    delete session;
}

}  // extern "C"
