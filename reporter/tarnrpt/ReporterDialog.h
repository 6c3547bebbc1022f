#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "reporter/core/UploadList.h"
#include "reporter/tarnrpt/LibraryGuard.h"

class ListFile;

// One row of the file list.
struct ReportEntry {
    enum class Status {
        Waiting,
        Missing,
        NotChecked,
        Uploading,
        Uploaded,
        Known,
        Changed,
        Unreadable,
        Unreachable,
        Insecure,
        Rejected,
        Cancelled
    };
    reporter::UploadItem item;
    std::string folder, name;
    std::wstring wideName;  // the row's name: the listed original name, else the file's own
    uint64_t size = 0;
    bool exists = false;
    Status status = Status::Waiting;
    uint32_t httpStatus = 0;
};

// The reporter's window: the files to send with a checkbox each, what is sent and why, and the
// upload with its progress. Files go one at a time on a worker thread; the window stays usable
// and Cancel stops the upload at any point. When the run ends the outcome is shown and the list
// file is deleted.
class ReporterDialog {
  public:
    ReporterDialog(const TarnUpApi& api, TarnUpSession* session, std::vector<ReportEntry> entries,
                   ListFile& listFile);
    ReporterDialog(const ReporterDialog&) = delete;
    ReporterDialog& operator=(const ReporterDialog&) = delete;
    ~ReporterDialog();

    // Shows the window until it is closed; returns the process exit code.
    int Run(HINSTANCE instance);
    // False when a transfer outlived the wait after Cancel: the session and the rows are still
    // in use, so the caller must end the process rather than clean up.
    bool WorkerFinished() const;

  private:
    enum class Phase { Choosing, Uploading, Cancelling, Finished };

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static DWORD WINAPI WorkerProc(void* parameter);
    static void ProgressProc(void* context, uint64_t sent, uint64_t total);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnInitDialog();
    void OnUpload();
    void OnCancel();
    bool OnListItemChanging(const NMLISTVIEW& change);
    void OnFileStarted(size_t index);
    void OnFileProgress(size_t index, unsigned permille);
    void OnFileDone(size_t index, int result, uint32_t httpStatus);
    void OnWorkerExit();
    void Finish(bool cancelled);
    void ShowStatus(size_t index);
    void ShowSelection();
    void ShowBatchProgress(size_t currentIndex, unsigned permille);
    HWND Item(int id) const;

    TarnUpApi api_;
    TarnUpSession* session_;
    std::vector<ReportEntry> entries_;
    ListFile& listFile_;
    HWND window_ = nullptr;
    HWND list_ = nullptr;
    Phase phase_ = Phase::Choosing;
    HANDLE worker_ = nullptr;
    std::vector<size_t> queue_;
    uint64_t batchBytes_ = 0, doneBytes_ = 0;
    int exitCode_ = 0;
};
