#include "app/MainDialog.h"

#include <process.h>

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

}  // namespace

INT_PTR MainDialog::Run(HWND owner) {
    return RunModal(IDD_MAIN, owner);
}

void MainDialog::UpdateStatus(const char16_t* message) {
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

void MainDialog::ScanFinished(const char16_t* summary, bool found) {
    EnableWindow(GetDlgItem(Window(), IDC_SCAN), TRUE);
    if (summary != nullptr)
        UpdateStatus(summary);
    EnableWindow(GetDlgItem(Window(), IDC_CLEAN), found ? TRUE : FALSE);
    InterlockedExchange(&scanRunning_, 0);
}

INT_PTR MainDialog::DialogMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_CLOSE:
            EndDialog(Window(), 0);
            return TRUE;
        case WM_COMMAND:
            return OnCommand(wParam);
        default:
            return FALSE;
    }
}

BOOL MainDialog::OnInitDialog() {
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
