#pragma once
#include <windows.h>

#include "detect/DetectionReport.h"
#include "ui/LatestText.h"
#include "ui/LinkLabel.h"
#include "ui/WindowObject.h"

// The main window: Scan, Clean and About buttons, the status box and four link labels.
// Owns the DetectionList for the whole run. Scan runs on a worker thread (ScanWorker); Clean
// and the upload run on the UI thread. The button rules keep the two threads off the list at
// the same time.
class MainDialog : public WindowObject, public DetectionReport {
  public:
    MainDialog() = default;

    // Shows the dialog modally; returns DialogBoxParamA's result.
    INT_PTR Run(HWND owner);

    // Replaces the whole status box text with StatusBanner followed by message. On the UI thread
    // at once; from the scan thread the text is handed over without waiting and shown when the
    // UI thread comes to it, the newest of those not yet shown.
    void UpdateStatus(const char16_t* message) override;

    DetectionList& Detections() override { return detections_; }

    // On the scan thread: drops any progress not yet shown, shows the summary, enables Scan, and
    // Clean when something was found, all on the UI thread and before it returns. The scan
    // worker's last touch of this object.
    void ScanFinished(const char16_t* summary, bool found) override;

    // True from the moment Scan starts a worker until the worker has finished with this object.
    bool IsScanRunning() const { return scanRunning_ != 0; }

  private:
    INT_PTR DialogMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone() override;
    BOOL OnInitDialog();
    INT_PTR OnCommand(WPARAM wParam);
    void OnScan();
    void ShowStatus(const char16_t* message);
    void OnProgressWaiting();
    void ShowLatestProgress();
    void OnScanFinished(const char16_t* summary, bool found);
    // Clean: removes the listed files, then offers the upload.
    void OnClean();
    void SetIcons();
    void AttachLinkLabels();

    // Declared before the labels so that the labels are torn down first.
    DetectionList detections_;
    HWND statusBox_ = nullptr;
    DWORD uiThread_ = 0;
    // Status texts from the scan thread, shown by the UI thread, with a pause after each show
    // that grows with what the show cost (none before a scan's first show).
    LatestText progress_;
    DWORD lastProgressShown_ = 0;
    DWORD progressPause_ = 0;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    volatile LONG scanRunning_ = 0;
    LinkLabel forumLink_;
    LinkLabel suiteDownloadLink_;
    LinkLabel websiteLink_;
    LinkLabel antivirusLink_;
};
