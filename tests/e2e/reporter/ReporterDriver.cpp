#include "e2e/reporter/ReporterDriver.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "e2e/harness/AppDriver.h"

namespace e2e {

const char kReporterCaption[] = "上传可疑文件";

namespace {

struct Search {
    DWORD processId;
    HWND exclude;
    HWND found;
};

BOOL CALLBACK FindReporterDialog(HWND window, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || window == search->exclude || !IsWindowVisible(window)) {
        return TRUE;
    }
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    if (lstrcmpA(className, "#32770") != 0 || WindowText(window) != kReporterCaption)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindDialogOf(DWORD processId, HWND exclude) {
    Search search = {processId, exclude, nullptr};
    EnumWindows(FindReporterDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A block of memory in the reporter's process: list view messages take pointers that must be
// valid there.
class RemoteBuffer {
  public:
    RemoteBuffer(HANDLE process, size_t size)
        : process_(process),
          address_(
              VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    ~RemoteBuffer() {
        if (address_ != nullptr)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    char* Address() const { return static_cast<char*>(address_); }
    bool Write(size_t offset, const void* data, size_t size) {
        SIZE_T written = 0;
        return address_ != nullptr &&
               WriteProcessMemory(process_, Address() + offset, data, size, &written) &&
               written == size;
    }
    bool Read(size_t offset, void* data, size_t size) {
        SIZE_T read = 0;
        return address_ != nullptr &&
               ReadProcessMemory(process_, Address() + offset, data, size, &read) && read == size;
    }

  private:
    HANDLE process_;
    void* address_;
};

}  // namespace

bool Reporter::Start(const std::string& exePath, const std::string& arguments) {
    std::string commandLine = "\"" + exePath + "\" " + arguments;
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    std::string folder = exePath.substr(0, exePath.find_last_of('\\'));
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessA(exePath.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &processInfo_)) {
        std::fprintf(stderr, "cannot start %s: error %lu\n", exePath.c_str(), GetLastError());
        return false;
    }
    return true;
}

bool Reporter::Attach(DWORD processId) {
    Kill();
    processInfo_.hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
    processInfo_.dwProcessId = processId;
    return processInfo_.hProcess != nullptr;
}

bool Reporter::WaitForWindow(DWORD timeoutMs) {
    WaitForInputIdle(processInfo_.hProcess, ScaledTimeout(timeoutMs));
    return WaitUntil(
        [&] {
            window_ = FindDialogOf(processInfo_.dwProcessId, nullptr);
            // A message box has the same caption: the main window is the one with the list.
            if (window_ != nullptr && GetDlgItem(window_, kReporterFiles) == nullptr) {
                window_ = nullptr;
            }
            return window_ != nullptr;
        },
        timeoutMs);
}

HWND Reporter::WaitForMessageBox(DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindDialogOf(processInfo_.dwProcessId, window_);
            if (found != nullptr && GetDlgItem(found, kReporterFiles) != nullptr)
                found = nullptr;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

std::string Reporter::MessageBoxText(HWND box) {
    return DialogItemText(box, 0xFFFF);
}

void Reporter::PressMessageBoxButton(HWND box, int id) {
    PostMessageA(GetDlgItem(box, id), BM_CLICK, 0, 0);
}

int Reporter::RowCount() const {
    DWORD_PTR count = 0;
    SendMessageTimeoutA(GetDlgItem(window_, kReporterFiles), LVM_GETITEMCOUNT, 0, 0,
                        SMTO_ABORTIFHUNG, ScaledTimeout(5000), &count);
    return int(count);
}

std::string Reporter::RowText(int row, int column) const {
    const size_t textSize = 1024;
    RemoteBuffer buffer(processInfo_.hProcess, sizeof(LVITEMA) + textSize);
    LVITEMA item = {};
    item.iSubItem = column;
    item.cchTextMax = int(textSize);
    item.pszText = buffer.Address() + sizeof(LVITEMA);
    const char empty = '\0';
    if (!buffer.Write(0, &item, sizeof(item)) || !buffer.Write(sizeof(LVITEMA), &empty, 1)) {
        return std::string();
    }
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(GetDlgItem(window_, kReporterFiles), LVM_GETITEMTEXTA, WPARAM(row),
                             reinterpret_cast<LPARAM>(buffer.Address()), SMTO_ABORTIFHUNG, ScaledTimeout(5000),
                             &length)) {
        return std::string();
    }
    std::vector<char> text(textSize, '\0');
    if (!buffer.Read(sizeof(LVITEMA), text.data(), textSize))
        return std::string();
    text.back() = '\0';
    return std::string(text.data());
}

bool Reporter::IsRowChecked(int row) const {
    DWORD_PTR state = 0;
    SendMessageTimeoutA(GetDlgItem(window_, kReporterFiles), LVM_GETITEMSTATE, WPARAM(row),
                        LVIS_STATEIMAGEMASK, SMTO_ABORTIFHUNG, ScaledTimeout(5000), &state);
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

bool Reporter::SetRowChecked(int row, bool checked) {
    RemoteBuffer buffer(processInfo_.hProcess, sizeof(LVITEMA));
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    if (!buffer.Write(0, &item, sizeof(item)))
        return false;
    DWORD_PTR result = 0;
    SendMessageTimeoutA(GetDlgItem(window_, kReporterFiles), LVM_SETITEMSTATE, WPARAM(row),
                        reinterpret_cast<LPARAM>(buffer.Address()), SMTO_ABORTIFHUNG, ScaledTimeout(5000),
                        &result);
    return IsRowChecked(row) == checked;
}

std::string Reporter::SummaryText() const {
    return DialogItemText(window_, kReporterSummary);
}

bool Reporter::IsButtonEnabled(int id) const {
    return IsWindowEnabled(GetDlgItem(window_, id)) != FALSE;
}

std::string Reporter::ButtonText(int id) const {
    return DialogItemText(window_, id);
}

void Reporter::Click(int id) {
    PostMessageA(GetDlgItem(window_, id), BM_CLICK, 0, 0);
}

bool Reporter::WaitForSummary(const std::string& prefix, DWORD timeoutMs) const {
    return WaitUntil([&] { return SummaryText().compare(0, prefix.size(), prefix) == 0; },
                     timeoutMs, 50);
}

bool Reporter::WaitForExit(DWORD* exitCode, DWORD timeoutMs) {
    return WaitForProcessExit(processInfo_.hProcess, exitCode, timeoutMs);
}

void Reporter::Kill() {
    EndProcess(processInfo_);
    window_ = nullptr;
}

}  // namespace e2e
