#pragma once
#include <windows.h>

#include "detect/DetectionReport.h"
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

    // Replaces the whole status box text with StatusBanner followed by message. Callable from
    // the UI thread and from the scan thread.
    void UpdateStatus(const char16_t* message) override;

    DetectionList& Detections() override { return detections_; }

    // On the scan thread: enables Scan, shows the summary, enables Clean when something was
    // found. The scan worker's last touch of this object.
    void ScanFinished(const char16_t* summary, bool found) override;

    // True from the moment Scan starts a worker until the worker has finished with this object.
    bool IsScanRunning() const { return scanRunning_ != 0; }

  private:
    INT_PTR DialogMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone() override;
    BOOL OnInitDialog();
    INT_PTR OnCommand(WPARAM wParam);
    void OnScan();
    // Clean: removes the listed files, then offers the upload.
    void OnClean();
    void SetIcons();
    void AttachLinkLabels();

    // Declared before the labels so that the labels are torn down first.
    DetectionList detections_;
    HWND statusBox_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    volatile LONG scanRunning_ = 0;
    LinkLabel forumLink_;
    LinkLabel suiteDownloadLink_;
    LinkLabel websiteLink_;
    LinkLabel antivirusLink_;
};
