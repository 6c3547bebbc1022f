// Measures a whole scan of the system directory seeded with many files against a bare walk of
// the same tree (FindFirstFileW/FindNextFileW, and opening each candidate to read its headers as
// the scan does), both in the same run, and the scanning process's private bytes afterwards.
//   detect_scan_bench.exe --app=<vormak.exe> [--files=100,10000] [--repeat=3]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "detect/NameTest.h"
#include "e2e/detect/SeedFiles.h"
#include "e2e/harness/AppDriver.h"

namespace {

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The baseline: the same walk without matching, progress or a window.
void BareWalk(const std::wstring& directory, long* files, long* candidates) {
    const std::wstring mask = directory + L"\\*.dll";
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(mask.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring path = directory + L"\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (entry.cFileName[0] != L'.')
                BareWalk(path, files, candidates);
            continue;
        }
        ++*files;
        if (!PassesNameTest(reinterpret_cast<const char16_t*>(entry.cFileName)))
            continue;
        ++*candidates;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        unsigned char buffer[248];
        DWORD read = 0;
        if (ReadFile(file, buffer, 64, &read, nullptr) && read == 64) {
            LONG lfanew;
            std::memcpy(&lfanew, buffer + 0x3C, 4);
            if (SetFilePointer(file, lfanew, nullptr, FILE_BEGIN) == static_cast<DWORD>(lfanew) &&
                ReadFile(file, buffer, 248, &read, nullptr) && read == 248)
                ReadFile(file, buffer, 40, &read, nullptr);
        }
        CloseHandle(file);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

// Committed private memory of a process, summed over its address space (Wine reports no
// PrivateUsage in the process memory counters).
unsigned long PrivateKilobytes(HANDLE process) {
    unsigned long long total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* address = nullptr;
         VirtualQueryEx(process, address, &region, sizeof(region)) == sizeof(region);
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize <= address)
            break;
    }
    return static_cast<unsigned long>(total / 1024);
}

double ScanOnce(e2e::App& app) {
    const double start = Now();
    app.Click(1001);
    // Scan is disabled at once by the click and enabled again at the end of the run. Each look
    // at the button is a call to the Wine server, which the scan needs for every file as well:
    // looked at every 10 ms, not every 1 ms, so that the watching does not slow the scan.
    e2e::WaitUntil([&] { return !app.IsEnabled(1001); }, 2000, 1);
    e2e::WaitUntil([&] { return app.IsEnabled(1001); }, 600000, 10);
    return Now() - start;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> counts = {100, 10000};
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--files=", 8) == 0) {
            counts.clear();
            for (const char* p = argv[i] + 8; *p != '\0';) {
                counts.push_back(std::atoi(p));
                p = std::strchr(p, ',');
                if (p == nullptr)
                    break;
                ++p;
            }
        } else if (std::strncmp(argv[i], "--repeat=", 9) == 0) {
            repeat = std::atoi(argv[i] + 9);
        }
    }
    if (!e2e::ParseOptions(argc, argv)) {
        std::fprintf(stderr, "usage: %s --app=<vormak.exe> [--files=a,b] [--repeat=n]\n", argv[0]);
        return 2;
    }
    const std::string system = seed::SystemDirectory();
    wchar_t wideSystem[MAX_PATH];
    GetSystemDirectoryW(wideSystem, MAX_PATH);
    const auto plainLibrary = seed::LibraryImage(".text");
    std::printf(
        "files  walk_s  scan_s  ratio  private_kb_before  private_kb_after  working_set_kb"
        "  (best of %d)\n",
        repeat);
    for (int count : counts) {
        seed::SeededTree tree;
        char name[64];
        // Half the files are named like the trojan's libraries and so are opened and read.
        for (int i = 0; i < count; ++i) {
            std::snprintf(name, sizeof(name), i % 2 ? "gdb%05d.dll" : "vtb%05d.dll", i);
            if (!tree.File(name, plainLibrary)) {
                std::fprintf(stderr, "cannot seed %s\n", name);
                return 1;
            }
        }
        long files = 0, candidates = 0;
        BareWalk(wideSystem, &files, &candidates);  // warm the caches for both sides
        double bestWalk = 1e9;
        for (int r = 0; r < repeat; ++r) {
            files = candidates = 0;
            const double start = Now();
            BareWalk(wideSystem, &files, &candidates);
            bestWalk = std::min(bestWalk, Now() - start);
        }
        e2e::App app;
        if (!app.Start())
            return 1;
        const unsigned long privateBefore = PrivateKilobytes(app.Process());
        double bestScan = 1e9;
        for (int r = 0; r < repeat; ++r)
            bestScan = std::min(bestScan, ScanOnce(app));
        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof(memory);
        GetProcessMemoryInfo(app.Process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof(memory));
        std::printf(
            "%5d  %6.3f  %6.3f  %5.2f  %17lu  %16lu  %14lu  (%ld files walked, %ld candidates)\n",
            count, bestWalk, bestScan, bestScan / bestWalk, privateBefore,
            PrivateKilobytes(app.Process()),
            static_cast<unsigned long>(memory.WorkingSetSize / 1024), files, candidates);
        std::fflush(stdout);
        DWORD code = 0;
        app.CloseAndWait(&code);
    }
    return 0;
}
