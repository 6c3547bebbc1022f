#include "reporter/tarnrpt/ReporterDialog.h"

#include <commctrl.h>

#include <cstdio>

#include "reporter/core/PathParts.h"
#include "reporter/tarnrpt/ExitCodes.h"
#include "reporter/tarnrpt/ListFile.h"
#include "reporter/tarnrpt/User32.h"
#include "reporter/tarnrpt/resource.h"

namespace {

// Messages from the worker: wParam is the row, lParam as named.
const UINT WM_FILE_STARTED = WM_APP + 1;
const UINT WM_FILE_PROGRESS = WM_APP + 2;  // lParam: per mille of the file's request body
const UINT WM_FILE_DONE = WM_APP + 3;      // lParam: a TarnUpResult; HTTP status in the high word
const UINT WM_WORKER_EXIT = WM_APP + 4;

const UINT_PTR kCancelTimer = 1;
// A cancelled transfer stops at its next chunk or timeout; past this the window closes anyway.
const UINT kCancelGraceMs = 3000;
const int kProgressRange = 1000;

enum Column { kColumnName, kColumnFolder, kColumnSize, kColumnMd5, kColumnStatus };

const char kIntroText[] =
    "以下文件正在您的电脑上运行，但没有有效的数字签名，可能与木马有关。上传后，塔恩安全实验室会分析"
    "这些文件并改进查杀。只发送勾选的文件本身、文件名和 "
    "MD5，不发送其他个人信息；实验室已有的文件不会"
    "重复上传。取消勾选即可不发送该文件。";

struct WorkerArguments {
    HWND window;
    TarnUpApi api;
    TarnUpSession* session;
    std::vector<const reporter::UploadItem*> items;
    std::vector<size_t> rows;
};

struct ProgressContext {
    HWND window;
    size_t row;
    unsigned lastPermille;
};

std::string StatusText(const ReportEntry& entry) {
    using Status = ReportEntry::Status;
    switch (entry.status) {
        case Status::Waiting:
            return "等待上传";
        case Status::Missing:
            return "文件不存在";
        case Status::NotChecked:
            return "已跳过（未勾选）";
        case Status::Uploading:
            return "正在上传…";
        case Status::Uploaded:
            return "已上传";
        case Status::Known:
            return "已存在（无需上传）";
        case Status::Changed:
            return "已跳过（文件已改变）";
        case Status::Unreadable:
            return "失败（无法读取文件）";
        case Status::Unreachable:
            return "失败（无法连接服务器）";
        case Status::Insecure:
            return "失败（系统无法安全连接实验室）";
        case Status::Cancelled:
            return "已取消";
        case Status::Rejected: {
            char text[64];
            std::snprintf(text, sizeof(text), "失败（服务器拒绝，HTTP %u）", entry.httpStatus);
            return text;
        }
    }
    return std::string();
}

ReportEntry::Status StatusFromResult(int result) {
    using Status = ReportEntry::Status;
    switch (result) {
        case TARNUP_UPLOADED:
            return Status::Uploaded;
        case TARNUP_KNOWN:
            return Status::Known;
        case TARNUP_CHANGED:
            return Status::Changed;
        case TARNUP_UNREADABLE:
            return Status::Unreadable;
        case TARNUP_CANCELLED:
            return Status::Cancelled;
        case TARNUP_UNREACHABLE:
            return Status::Unreachable;
        case TARNUP_INSECURE:
            return Status::Insecure;
        default:
            return Status::Rejected;
    }
}

void SetListText(HWND list, int row, int column, const std::string& text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    User32().SendMessageA(list, LVM_SETITEMTEXTA, WPARAM(row), reinterpret_cast<LPARAM>(&item));
}

bool IsChecked(HWND list, size_t row) {
    const LRESULT state =
        User32().SendMessageA(list, LVM_GETITEMSTATE, WPARAM(row), LVIS_STATEIMAGEMASK);
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void SetChecked(HWND list, size_t row, bool checked) {
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    User32().SendMessageA(list, LVM_SETITEMSTATE, WPARAM(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

ReporterDialog::ReporterDialog(const TarnUpApi& api, TarnUpSession* session,
                               std::vector<ReportEntry> entries, ListFile& listFile)
    : api_(api), session_(session), entries_(std::move(entries)), listFile_(listFile) {}

ReporterDialog::~ReporterDialog() {
    if (worker_ != nullptr)
        CloseHandle(worker_);
}

int ReporterDialog::Run(HINSTANCE instance) {
    const INT_PTR result =
        User32().DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_REPORTER), nullptr, DialogProc,
                                 reinterpret_cast<LPARAM>(this));
    return result == -1 ? int(kExitSetupFailed) : exitCode_;
}

INT_PTR CALLBACK ReporterDialog::DialogProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    ReporterDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<ReporterDialog*>(lParam);
        self->window_ = window;
        User32().SetWindowLongA(window, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<ReporterDialog*>(User32().GetWindowLongA(window, DWLP_USER));
    }
    if (self == nullptr)
        return FALSE;
    return self->OnMessage(message, wParam, lParam);
}

INT_PTR ReporterDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_UPLOAD)
                OnUpload();
            if (LOWORD(wParam) == IDCANCEL)
                OnCancel();
            return TRUE;
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom != IDC_FILES)
                return FALSE;
            if (header->code == LVN_ITEMCHANGING) {
                const bool refuse =
                    OnListItemChanging(*reinterpret_cast<const NMLISTVIEW*>(lParam));
                User32().SetWindowLongA(window_, DWLP_MSGRESULT, refuse ? TRUE : FALSE);
                return TRUE;
            }
            if (header->code == LVN_ITEMCHANGED && phase_ == Phase::Choosing)
                ShowSelection();
            return FALSE;
        }
        case WM_FILE_STARTED:
            OnFileStarted(wParam);
            return TRUE;
        case WM_FILE_PROGRESS:
            OnFileProgress(wParam, unsigned(lParam));
            return TRUE;
        case WM_FILE_DONE:
            OnFileDone(wParam, int(LOWORD(lParam)), HIWORD(lParam));
            return TRUE;
        case WM_WORKER_EXIT:
            OnWorkerExit();
            return TRUE;
        case WM_TIMER:
            if (wParam == kCancelTimer && phase_ == Phase::Cancelling) {
                // The worker is stuck in a transfer: stop waiting. The process ends with the
                // window (see WorkerFinished).
                User32().KillTimer(window_, kCancelTimer);
                Finish(true);
            }
            return TRUE;
    }
    return FALSE;
}

HWND ReporterDialog::Item(int id) const {
    return User32().GetDlgItem(window_, id);
}

bool ReporterDialog::WorkerFinished() const {
    return worker_ == nullptr || WaitForSingleObject(worker_, 0) == WAIT_OBJECT_0;
}

void ReporterDialog::OnInitDialog() {
    list_ = Item(IDC_FILES);
    User32().SetWindowTextA(Item(IDC_INTRO), kIntroText);
    User32().SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                          LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const struct {
        const char* title;
        int width;
    } columns[] = {{"文件名", 110}, {"所在文件夹", 130}, {"大小", 62}, {"MD5", 228}, {"状态", 195}};
    for (int i = 0; i < int(sizeof(columns) / sizeof(columns[0])); ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(columns[i].title);
        column.cx = columns[i].width;
        column.iSubItem = i;
        User32().SendMessageA(list_, LVM_INSERTCOLUMNA, WPARAM(i),
                              reinterpret_cast<LPARAM>(&column));
    }
    for (size_t row = 0; row < entries_.size(); ++row) {
        ReportEntry& entry = entries_[row];
        // The name goes in as UTF-16: the list view takes it whatever the code page, and the
        // control's own messages pass their pointers on untranslated through SendMessageA.
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = int(row);
        item.pszText = const_cast<wchar_t*>(entry.wideName.c_str());
        User32().SendMessageA(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        SetListText(list_, int(row), kColumnFolder, entry.folder);
        SetListText(list_, int(row), kColumnSize,
                    entry.exists ? reporter::FormatSize(entry.size) : "-");
        SetListText(list_, int(row), kColumnMd5, entry.item.md5);
        if (!entry.exists)
            entry.status = ReportEntry::Status::Missing;
        SetChecked(list_, row, entry.exists);
        ShowStatus(row);
    }
    char destination[600];
    std::snprintf(destination, sizeof(destination), "上传到：%s", api_.endpoint(session_));
    User32().SetWindowTextA(Item(IDC_DESTINATION), destination);
    User32().SendMessageA(Item(IDC_PROGRESS), PBM_SETRANGE32, 0, kProgressRange);
    ShowSelection();
}

bool ReporterDialog::OnListItemChanging(const NMLISTVIEW& change) {
    if ((change.uChanged & LVIF_STATE) == 0)
        return false;
    const UINT oldCheck = change.uOldState & LVIS_STATEIMAGEMASK;
    const UINT newCheck = change.uNewState & LVIS_STATEIMAGEMASK;
    if (oldCheck == newCheck || oldCheck == 0)
        return false;  // not a checkbox change
    if (phase_ != Phase::Choosing)
        return true;  // what is being sent no longer changes
    // A file that is not there cannot be chosen.
    const size_t row = size_t(change.iItem);
    return row < entries_.size() && !entries_[row].exists && (newCheck >> 12) == 2;
}

void ReporterDialog::ShowStatus(size_t row) {
    SetListText(list_, int(row), kColumnStatus, StatusText(entries_[row]));
}

void ReporterDialog::ShowSelection() {
    size_t count = 0;
    uint64_t bytes = 0;
    for (size_t row = 0; row < entries_.size(); ++row) {
        if (IsChecked(list_, row)) {
            ++count;
            bytes += entries_[row].size;
        }
    }
    char text[200];
    std::snprintf(text, sizeof(text), "已选择 %u 个文件（共 %u 个），合计 %s。", unsigned(count),
                  unsigned(entries_.size()), reporter::FormatSize(bytes).c_str());
    User32().SetWindowTextA(Item(IDC_SUMMARY), text);
    User32().EnableWindow(Item(IDC_UPLOAD), count != 0);
}

void ReporterDialog::OnUpload() {
    if (phase_ != Phase::Choosing)
        return;
    queue_.clear();
    batchBytes_ = doneBytes_ = 0;
    WorkerArguments* arguments = new WorkerArguments{window_, api_, session_, {}, {}};
    for (size_t row = 0; row < entries_.size(); ++row) {
        if (IsChecked(list_, row)) {
            arguments->items.push_back(&entries_[row].item);
            arguments->rows.push_back(row);
            queue_.push_back(row);
            batchBytes_ += entries_[row].size;
        } else if (entries_[row].status != ReportEntry::Status::Missing) {
            entries_[row].status = ReportEntry::Status::NotChecked;
            ShowStatus(row);
        }
    }
    if (queue_.empty()) {
        delete arguments;
        return;
    }
    phase_ = Phase::Uploading;
    User32().EnableWindow(Item(IDC_UPLOAD), FALSE);
    User32().SetWindowTextA(Item(IDC_SUMMARY), "正在上传……");
    DWORD threadId = 0;
    worker_ = CreateThread(nullptr, 0, WorkerProc, arguments, 0, &threadId);
    if (worker_ == nullptr) {
        delete arguments;
        for (size_t row : queue_)
            entries_[row].status = ReportEntry::Status::Unreachable;
        Finish(false);
    }
}

void ReporterDialog::OnCancel() {
    switch (phase_) {
        case Phase::Choosing:
            Finish(true);
            break;
        case Phase::Uploading:
            phase_ = Phase::Cancelling;
            api_.cancel(session_);
            User32().EnableWindow(Item(IDCANCEL), FALSE);
            User32().SetWindowTextA(Item(IDC_SUMMARY), "正在取消……");
            User32().SetTimer(window_, kCancelTimer, kCancelGraceMs, nullptr);
            break;
        case Phase::Cancelling:
            break;
        case Phase::Finished:
            User32().EndDialog(window_, 1);
            break;
    }
}

DWORD WINAPI ReporterDialog::WorkerProc(void* parameter) {
    WorkerArguments* arguments = static_cast<WorkerArguments*>(parameter);
    // Once the service cannot be reached at all, or not securely, the other files are not tried
    // one by one: they get the same outcome.
    int lastingFailure = TARNUP_UPLOADED;
    for (size_t i = 0; i < arguments->items.size(); ++i) {
        const size_t row = arguments->rows[i];
        int result = lastingFailure;
        uint32_t httpStatus = 0;
        if (lastingFailure == TARNUP_UPLOADED) {
            User32().PostMessageA(arguments->window, WM_FILE_STARTED, row, 0);
            const reporter::UploadItem& item = *arguments->items[i];
            ProgressContext progress = {arguments->window, row, 0};
            result = arguments->api.sendFile(arguments->session, item.file.c_str(),
                                             item.md5.c_str(), item.ext.c_str(), item.name.c_str(),
                                             ProgressProc, &progress, &httpStatus);
            if (result == TARNUP_UNREACHABLE || result == TARNUP_INSECURE)
                lastingFailure = result;
        }
        User32().PostMessageA(arguments->window, WM_FILE_DONE, row,
                              MAKELPARAM(WORD(result), WORD(httpStatus > 0xffff ? 0 : httpStatus)));
    }
    User32().PostMessageA(arguments->window, WM_WORKER_EXIT, 0, 0);
    delete arguments;
    return 0;
}

void ReporterDialog::ProgressProc(void* context, uint64_t sent, uint64_t total) {
    ProgressContext* progress = static_cast<ProgressContext*>(context);
    const unsigned permille = total == 0 ? 1000 : unsigned(sent * 1000 / total);
    if (permille == progress->lastPermille)
        return;
    progress->lastPermille = permille;
    User32().PostMessageA(progress->window, WM_FILE_PROGRESS, progress->row, LPARAM(permille));
}

void ReporterDialog::OnFileStarted(size_t row) {
    if (row >= entries_.size())
        return;
    entries_[row].status = ReportEntry::Status::Uploading;
    ShowStatus(row);
    User32().SendMessageA(list_, LVM_ENSUREVISIBLE, WPARAM(row), FALSE);
}

void ReporterDialog::OnFileProgress(size_t row, unsigned permille) {
    if (row >= entries_.size() || phase_ == Phase::Finished)
        return;
    ShowBatchProgress(row, permille);
}

void ReporterDialog::ShowBatchProgress(size_t row, unsigned permille) {
    uint64_t done = doneBytes_;
    if (row < entries_.size())
        done += entries_[row].size * (permille > 1000 ? 1000 : permille) / 1000;
    const int position =
        batchBytes_ == 0 ? kProgressRange : int(done * kProgressRange / batchBytes_);
    User32().SendMessageA(Item(IDC_PROGRESS), PBM_SETPOS, WPARAM(position), 0);
}

void ReporterDialog::OnFileDone(size_t row, int result, uint32_t httpStatus) {
    if (row >= entries_.size() || phase_ == Phase::Finished)
        return;
    ReportEntry& entry = entries_[row];
    entry.status = StatusFromResult(result);
    entry.httpStatus = httpStatus;
    doneBytes_ += entry.size;
    ShowStatus(row);
    ShowBatchProgress(entries_.size(), 0);
}

void ReporterDialog::OnWorkerExit() {
    if (phase_ == Phase::Finished)
        return;
    User32().KillTimer(window_, kCancelTimer);
    Finish(phase_ == Phase::Cancelling);
}

void ReporterDialog::Finish(bool cancelled) {
    using Status = ReportEntry::Status;
    const bool started = phase_ != Phase::Choosing;
    phase_ = Phase::Finished;
    unsigned uploaded = 0, known = 0, failed = 0, skipped = 0;
    bool unreachable = false, insecure = false;
    for (size_t row = 0; row < entries_.size(); ++row) {
        ReportEntry& entry = entries_[row];
        if (entry.status == Status::Waiting || entry.status == Status::Uploading) {
            entry.status = started ? Status::Cancelled : Status::NotChecked;
            ShowStatus(row);
        }
        switch (entry.status) {
            case Status::Uploaded:
                ++uploaded;
                break;
            case Status::Known:
                ++known;
                break;
            case Status::Unreachable:
                unreachable = true;
                ++failed;
                break;
            case Status::Insecure:
                insecure = true;
                ++failed;
                break;
            case Status::Unreadable:
            case Status::Rejected:
                ++failed;
                break;
            default:
                ++skipped;
                break;
        }
    }
    // The list is temporary: whatever the outcome, it has served.
    listFile_.Delete();
    if (!started) {
        exitCode_ = kExitCancelled;
        User32().EndDialog(window_, 1);
        return;
    }
    exitCode_ = cancelled ? kExitCancelled : failed != 0 ? kExitUploadsFailed : kExitDone;
    char text[300];
    const char* head = cancelled ? "上传已取消" : failed != 0 ? "上传未全部完成" : "上传完成";
    const char* reason = insecure      ? "此 Windows 无法与实验室建立安全连接。"
                         : unreachable ? "无法连接上传服务器，请检查网络后重试。"
                                       : "";
    std::snprintf(text, sizeof(text), "%s：已上传 %u 个，已存在 %u 个，失败 %u 个，跳过 %u 个。%s",
                  head, uploaded, known, failed, skipped, reason);
    User32().SetWindowTextA(Item(IDC_SUMMARY), text);
    if (!cancelled)
        User32().SendMessageA(Item(IDC_PROGRESS), PBM_SETPOS, kProgressRange, 0);
    User32().SetWindowTextA(Item(IDCANCEL), "关闭");
    User32().EnableWindow(Item(IDCANCEL), TRUE);
    User32().EnableWindow(Item(IDC_UPLOAD), FALSE);
    User32().SetFocus(Item(IDCANCEL));
}
