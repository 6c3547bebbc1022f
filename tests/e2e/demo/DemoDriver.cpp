// The demo: seeds harmless look-alike files for the scan to find and gives the program the
// stand-in trust check, then (unless --seed-only) walks the whole road a user takes: Scan, the
// found list, Clean with its report and the upload question, Yes, the reporter with this run's
// list, the upload to the sample receiver on loopback and its outcome. A screenshot is saved at
// each step.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "e2e/clean/ScenarioSupport.h"
#include "e2e/demo/DemoSeed.h"
#include "e2e/harness/AppDriver.h"
#include "e2e/reporter/ReporterDriver.h"

namespace {

const char kUploadQuestionCaption[] = "温馨提示?";

bool Fail(const char* what) {
    std::fprintf(stderr, "demo: %s\n", what);
    return false;
}

bool WalkTheRoad() {
    e2e::App app;
    if (!app.Start())
        return Fail("vormak.exe did not show its window");
    e2e::SaveWindowScreenshot(app.MainWindow(), "1-start");

    if (!app.Press(1001))
        return Fail("vormak.exe did not take the Scan press");
    const bool found =
        app.WaitForEnabled(1001, true, 120000) && app.WaitForStatus([](const std::string& text) {
            return text.find("请确认后点击清除!") != std::string::npos;
        });
    e2e::SaveWindowScreenshot(app.MainWindow(), "2-scan-found");
    if (!found)
        return Fail("the scan did not list the demo files");

    app.Click(1002);
    HWND question = app.WaitForDialog(kUploadQuestionCaption, 30000);
    if (question == nullptr)
        return Fail("Clean did not ask about the upload");
    e2e::SaveWindowScreenshot(app.MainWindow(), "3-clean-report");
    e2e::SaveWindowScreenshot(question, "4-upload-question");

    PostMessageA(GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
    DWORD reporterId = 0;
    if (!e2e::WaitUntil(
            [&] { return (reporterId = scenario::FindProcessNamed("tarnrpt.exe")) != 0; }, 60000))
        return Fail("the reporter did not start");
    e2e::Reporter reporter;
    if (!reporter.Attach(reporterId) || !reporter.WaitForWindow(30000))
        return Fail("the reporter showed no file list");
    // The program's window comes back once the reporter is up. Without a window manager Wine
    // puts it on top whatever it asks for, so the reporter is brought forward, as a user would.
    if (!e2e::WaitUntil([&] { return app.IsMainWindowVisible(); }, 30000))
        return Fail("vormak.exe's window did not come back beside the reporter");
    SetForegroundWindow(reporter.Window());
    SetWindowPos(reporter.Window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    e2e::SaveWindowScreenshot(reporter.Window(), "5-reporter-list");

    reporter.Click(e2e::kReporterUpload);
    const bool done = reporter.WaitForSummary("上传完成", 120000);
    e2e::SaveWindowScreenshot(reporter.Window(), "6-reporter-outcome");
    std::printf("reporter: %s\n", reporter.SummaryText().c_str());
    if (!done)
        return Fail("the upload did not complete");
    // Both must end as they should: 0 is the reporter's "done", and the program's own.
    reporter.Click(e2e::kReporterClose);
    DWORD code = 1;
    if (!reporter.WaitForExit(&code, 15000))
        return Fail("the reporter did not end after Close");
    if (code != 0) {
        std::fprintf(stderr, "demo: the reporter ended with exit code %lu\n", code);
        return false;
    }
    code = 1;
    if (!app.CloseAndWait(&code, 15000))
        return Fail("vormak.exe did not end after it was closed");
    if (code != 0) {
        std::fprintf(stderr, "demo: vormak.exe ended with exit code %lu\n", code);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool seedOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seed-only") == 0)
            seedOnly = true;
        // Given by the script that started the sample receiver; the program and the reporter
        // it starts inherit the address.
        if (std::strncmp(argv[i], "--receiver-port=", 16) == 0) {
            const std::string endpoint = std::string("http://127.0.0.1:") + (argv[i] + 16);
            SetEnvironmentVariableA("TARNUP_ENDPOINT", endpoint.c_str());
        }
    }
    if (!e2e::ParseOptions(argc, argv)) {
        std::fprintf(stderr, "usage: %s --app=<vormak.exe> [--artifacts=<dir>] [--seed-only]\n",
                     argv[0]);
        return 2;
    }
    if (!SeedDemoFiles()) {
        Fail("could not seed the demo files");
        return 1;
    }
    // Wine's own trust check calls every file signed, which would leave nothing to upload: the
    // program gets the stand-in the removal tests use (files outside the Windows folder count
    // as unsigned). For a user's own walk (--seed-only) it stays installed in the demo's prefix.
    scenario::WintrustStandIn trust;
    if (!trust.Install()) {
        Fail("could not install the stand-in trust check");
        return 1;
    }
    if (seedOnly)
        return 0;
    const bool walked = WalkTheRoad();
    trust.Uninstall();
    return walked ? 0 : 1;
}
