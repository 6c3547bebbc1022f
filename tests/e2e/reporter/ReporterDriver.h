#pragma once
// Drives tarnrpt.exe as a user would: starts it on a list, reads its file list, ticks and unticks
// files, presses Upload, Cancel and Close, answers its message boxes, reads its exit code.
#include <windows.h>

#include <string>

namespace e2e {

// Caption of the reporter's window and of its message boxes, "上传可疑文件".
extern const char kReporterCaption[];

class Reporter {
  public:
    Reporter() = default;
    Reporter(const Reporter&) = delete;
    Reporter& operator=(const Reporter&) = delete;
    ~Reporter() { Kill(); }

    // Starts `exePath` with the command line `"exePath" arguments` in its own folder.
    bool Start(const std::string& exePath, const std::string& arguments);
    // Takes over a reporter that something else started (the main program's upload).
    bool Attach(DWORD processId);
    // Waits for the main window (visible and idle).
    bool WaitForWindow(DWORD timeoutMs = 20000);
    // A message box of the reporter (or nullptr when none shows in time) and its text.
    HWND WaitForMessageBox(DWORD timeoutMs = 20000) const;
    static std::string MessageBoxText(HWND box);
    static void PressMessageBoxButton(HWND box, int id);

    HWND Window() const { return window_; }
    HANDLE Process() const { return processInfo_.hProcess; }

    int RowCount() const;
    std::string RowText(int row, int column) const;
    bool IsRowChecked(int row) const;
    bool SetRowChecked(int row, bool checked);
    std::string SummaryText() const;
    bool IsButtonEnabled(int id) const;
    std::string ButtonText(int id) const;
    // Posts BM_CLICK (a disabled button ignores it, as it ignores a real click).
    void Click(int id);
    bool WaitForSummary(const std::string& prefix, DWORD timeoutMs) const;

    bool WaitForExit(DWORD* exitCode, DWORD timeoutMs = 15000);
    void Kill();

  private:
    PROCESS_INFORMATION processInfo_ = {};
    HWND window_ = nullptr;
};

// Reporter control ids (reporter/tarnrpt/resource.h).
constexpr int kReporterFiles = 1002;
constexpr int kReporterSummary = 1003;
constexpr int kReporterUpload = 1005;
constexpr int kReporterClose = IDCANCEL;
// File list columns.
constexpr int kColumnName = 0, kColumnFolder = 1, kColumnSize = 2, kColumnMd5 = 3,
              kColumnStatus = 4;

}  // namespace e2e
