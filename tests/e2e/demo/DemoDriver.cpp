// The demo: seeds harmless look-alike files for the scan to find, then (unless --seed-only)
// starts vormak.exe, presses Scan, waits for the outcome and saves screenshots on the way.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "e2e/harness/AppDriver.h"
#include "e2e/demo/DemoSeed.h"

int main(int argc, char** argv) {
    bool seedOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seed-only") == 0)
            seedOnly = true;
    }
    if (!e2e::ParseOptions(argc, argv)) {
        std::fprintf(stderr, "usage: %s --app=<vormak.exe> [--artifacts=<dir>] [--seed-only]\n",
                     argv[0]);
        return 2;
    }
    if (!SeedDemoFiles()) {
        std::fprintf(stderr, "could not seed the demo files\n");
        return 1;
    }
    if (seedOnly)
        return 0;

    e2e::App app;
    if (!app.Start()) {
        std::fprintf(stderr, "vormak.exe did not show its window\n");
        return 1;
    }
    e2e::SaveWindowScreenshot(app.MainWindow(), "1-start");
    app.Click(1001);
    const bool finished =
        app.WaitForEnabled(1001, true, 120000) && app.WaitForStatus([](const std::string& text) {
            return text.find("请确认后点击清除!") != std::string::npos ||
                   text.find("没有在你的机器上此木马!") != std::string::npos;
        });
    e2e::SaveWindowScreenshot(app.MainWindow(), "2-scan-result");
    std::printf("%s\n", finished ? "scan finished" : "scan did not finish in time");
    DWORD code = 1;
    app.CloseAndWait(&code);
    return finished ? 0 : 1;
}
