// Feeds arbitrary bytes to everything the reporter parses: the upload list, its command line and
// the endpoint URL, and checks the invariants the rest of the reporter relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "reporter/core/CommandLine.h"
#include "reporter/core/Endpoint.h"
#include "reporter/core/Hex.h"
#include "reporter/core/Multipart.h"
#include "reporter/core/UploadList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    std::vector<reporter::UploadItem> items;
    reporter::UploadListStats stats;
    const bool any = reporter::ParseUploadList(text, size, items, &stats);
    if (any != !items.empty() || items.size() > reporter::kMaxUploadItems)
        std::abort();
    for (const reporter::UploadItem& item : items) {
        if (!reporter::IsMd5Hex(item.md5) || item.file.size() > reporter::kMaxListPath ||
            !reporter::IsAbsoluteFilePath(item.file)) {
            std::abort();
        }
        reporter::MultipartBody body;
        if (!reporter::BuildSampleBody("B", item.md5, item.ext, item.md5 + ".bin", body)) {
            std::abort();  // a parsed item can always be sent
        }
    }
    const std::string line(text, size);
    std::string path;
    if (reporter::ParseFilesArgument(line, path) &&
        (path.empty() || path.size() > reporter::kMaxListPath)) {
        std::abort();
    }
    reporter::Endpoint endpoint;
    if (reporter::ParseEndpoint(line, endpoint) && (endpoint.host.empty() || endpoint.port == 0)) {
        std::abort();
    }
    return 0;
}
