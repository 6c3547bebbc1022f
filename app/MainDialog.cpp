#include "app/MainDialog.h"

#include <process.h>

#include <memory>
#include <new>
#include <string>

#include "app/AboutDialog.h"
#include "app/StatusBanner.h"
#include "clean/RemoveDetections.h"
#include "clean/UploadSamples.h"
#include "detect/ScanWorker.h"
#include "res/resource.h"
#include "ui/CenterWindow.h"
#include "ui/ModuleState.h"
#include "ui/UnicodeEdit.h"
#include "win/WideText.h"

namespace {

// Link targets. Hosts are placeholders under the reserved .example domain.
const char kForumAddress[] = "http://bbs.tarn.example/";
const char kWebsiteAddress[] = "http://www.tarn.example/";
const char kAntivirusAddress[] = "http://download.antivirus.example/download.html?a=6047";
const char kSuiteDownloadAddress[] = "http://dl.tarn.example/setup.exe";

const char kUploadQuestion[] =
    "上传可疑文件将会更有利于我们及时的更新和有力的查杀，是否将这些可疑文件上传？";
const char kUploadTitle[] = "温馨提示?";
const char kTrojanTag[] = "Vormak";

// Sent to the dialog itself: the scan thread has put a text in progress_ / has finished.
const UINT kProgressWaiting = WM_APP + 1;
const UINT kScanFinished = WM_APP + 2;
// The timer that shows the progress text held back by the pause below.
const UINT_PTR kProgressTimer = 1;
// Progress is shown at most once per this many milliseconds, and less often where showing it
// costs more: after a show that took t ms the next waits at least kProgressCostShare * t, so
// that the box never takes more than a small share of the time (a slow display, such as an
// unaccelerated virtual machine, takes tens of milliseconds per repaint).
const DWORD kShortestProgressPause = 50;
const DWORD kProgressCostShare = 5;

}  // namespace

INT_PTR MainDialog::Run(HWND owner) {
    return RunModal(IDD_MAIN, owner);
}

void MainDialog::UpdateStatus(const char16_t* message) {
    if (GetCurrentThreadId() == uiThread_) {
        ShowStatus(message);
        return;
    }
    // The scan thread does not wait for the box to repaint (under Wine that can take longer
    // than the walk between two updates): it leaves the text for the UI thread, which shows
    // the newest when it gets to it.
    try {
        std::unique_ptr<WidePath> text(new WidePath(message != nullptr ? message : u""));
        if (progress_.Put(std::move(text)) && !PostMessageW(Window(), kProgressWaiting, 0, 0)) {
            // Nobody would take it: dropped, so that the next text is announced again.
            progress_.Take();
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: the box keeps its previous text.
    }
}

void MainDialog::ShowStatus(const char16_t* message) {
    try {
        // The banner is ANSI text like the rest of the window; the message holds paths as the
        // system names them, and the box is a Unicode control (RecreateAsUnicodeEdit).
        WidePath text;
        if (!AnsiToWideExact(StatusBanner().c_str(), text))
            return;
        if (message != nullptr)
            text += message;
        SetWindowTextW(statusBox_, WideChars(text));
    } catch (const std::bad_alloc&) {
        // Out of memory: the box keeps its previous text.
    }
}

void MainDialog::OnProgressWaiting() {
    const DWORD sinceLastShow = GetTickCount() - lastProgressShown_;
    if (sinceLastShow < progressPause_) {
        // Held back: the slot keeps the newest text until the timer shows it.
        if (SetTimer(Window(), kProgressTimer, progressPause_ - sinceLastShow, nullptr) != 0)
            return;
    }
    ShowLatestProgress();
}

void MainDialog::ShowLatestProgress() {
    KillTimer(Window(), kProgressTimer);
    std::unique_ptr<WidePath> text = progress_.Take();
    if (!text)
        return;
    // Painted here rather than later, so that the cost of the whole show is measured.
    const DWORD start = GetTickCount();
    ShowStatus(text->c_str());
    UpdateWindow(statusBox_);
    lastProgressShown_ = GetTickCount();
    const DWORD cost = lastProgressShown_ - start;
    progressPause_ = cost > kShortestProgressPause / kProgressCostShare ? cost * kProgressCostShare
                                                                        : kShortestProgressPause;
}

void MainDialog::ScanFinished(const char16_t* summary, bool found) {
    // Sent, not posted: the summary is shown and the buttons set before the worker lets go of
    // this object, and on the UI thread after every progress text it handled.
    SendMessageW(Window(), kScanFinished, found ? 1 : 0, reinterpret_cast<LPARAM>(summary));
    InterlockedExchange(&scanRunning_, 0);
}

void MainDialog::OnScanFinished(const char16_t* summary, bool found) {
    // A progress text still on its way is dropped: the summary is the last word.
    KillTimer(Window(), kProgressTimer);
    progress_.Take();
    progressPause_ = 0;
    EnableWindow(GetDlgItem(Window(), IDC_SCAN), TRUE);
    if (summary != nullptr)
        ShowStatus(summary);
    EnableWindow(GetDlgItem(Window(), IDC_CLEAN), found ? TRUE : FALSE);
}

INT_PTR MainDialog::DialogMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_CLOSE:
            EndDialog(Window(), 0);
            return TRUE;
        case WM_COMMAND:
            return OnCommand(wParam);
        case kProgressWaiting:
            OnProgressWaiting();
            return TRUE;
        case WM_TIMER:
            if (wParam != kProgressTimer)
                return FALSE;
            ShowLatestProgress();
            return TRUE;
        case kScanFinished:
            OnScanFinished(reinterpret_cast<const char16_t*>(lParam), wParam != 0);
            return TRUE;
        default:
            return FALSE;
    }
}

BOOL MainDialog::OnInitDialog() {
    uiThread_ = GetCurrentThreadId();
    CenterWindow(Window());
    SetIcons();
    AttachLinkLabels();
    statusBox_ = RecreateAsUnicodeEdit(Window(), IDC_STATUS);
    UpdateStatus(u"");
    return TRUE;
}

void MainDialog::SetIcons() {
    HINSTANCE instance = ModuleState::Instance();
    bigIcon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    if (bigIcon_ != nullptr)
        SendMessageA(Window(), WM_SETICON, ICON_BIG, (LPARAM)bigIcon_);
    smallIcon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    if (smallIcon_ != nullptr)
        SendMessageA(Window(), WM_SETICON, ICON_SMALL, (LPARAM)smallIcon_);
}

void MainDialog::AttachLinkLabels() {
    HWND dialog = Window();
    if (forumLink_.Attach(GetDlgItem(dialog, IDC_LINK_FORUM)))
        forumLink_.Initialize();
    forumLink_.SetTarget(kForumAddress);
    websiteLink_.AttachAndInitialize(GetDlgItem(dialog, IDC_LINK_WEBSITE));
    websiteLink_.SetTarget(kWebsiteAddress);
    antivirusLink_.AttachAndInitialize(GetDlgItem(dialog, IDC_LINK_ANTIVIRUS));
    antivirusLink_.SetTarget(kAntivirusAddress);
    suiteDownloadLink_.AttachAndInitialize(GetDlgItem(dialog, IDC_LINK_SUITE_DOWNLOAD));
    suiteDownloadLink_.SetTarget(kSuiteDownloadAddress);
}

INT_PTR MainDialog::OnCommand(WPARAM wParam) {
    // Only plain commands (menu, accelerator or button click) are acted on.
    if (HIWORD(wParam) != 0)
        return FALSE;
    switch (LOWORD(wParam)) {
        case IDC_SCAN:
            OnScan();
            return TRUE;
        case IDC_CLEAN:
            OnClean();
            return TRUE;
        case IDC_ABOUT: {
            AboutDialog about;
            about.Show();
            return TRUE;
        }
        default:
            return FALSE;
    }
}

void MainDialog::OnScan() {
    HWND scan = GetDlgItem(Window(), IDC_SCAN);
    EnableWindow(GetDlgItem(Window(), IDC_CLEAN), FALSE);
    if (!IsWindowEnabled(scan))
        return;
    EnableWindow(scan, FALSE);
    detections_.Clear();
    InterlockedExchange(&scanRunning_, 1);
    DetectionReport* report = this;
    if (_beginthread(ScanWorker, 0, report) == static_cast<uintptr_t>(-1)) {
        // No thread: nothing runs, so Scan must come back rather than stay disabled for good.
        InterlockedExchange(&scanRunning_, 0);
        EnableWindow(scan, TRUE);
    }
}

void MainDialog::OnClean() {
    HWND window = Window();
    if (!detections_.IsEmpty()) {
        RemoveDetections(*this);
        if (MessageBoxA(window, kUploadQuestion, kUploadTitle, MB_YESNO | MB_ICONWARNING) ==
            IDYES) {
            ShowWindow(window, SW_HIDE);
            UploadSamples(kTrojanTag);
            ShowWindow(window, SW_SHOW);
        }
    }
    EnableWindow(GetDlgItem(window, IDC_CLEAN), FALSE);
}

void MainDialog::OnWindowGone() {
    statusBox_ = nullptr;
    if (bigIcon_ != nullptr)
        DestroyIcon(bigIcon_);
    if (smallIcon_ != nullptr)
        DestroyIcon(smallIcon_);
    bigIcon_ = nullptr;
    smallIcon_ = nullptr;
}
