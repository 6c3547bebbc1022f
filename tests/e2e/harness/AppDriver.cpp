#include "e2e/harness/AppDriver.h"

#include "support/WinFiles.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace e2e {

const char kMainCaption[] = "Vormak 盗号木马专杀 v1.0";

namespace {
Options g_options;
}

const Options& GetOptions() {
    return g_options;
}

std::string ToWindowsPath(const std::string& path) {
    return WindowsPathOf(path);
}

bool ParseOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.compare(0, 6, "--app=") == 0) {
            g_options.appPath = ToWindowsPath(argument.substr(6));
        } else if (argument.compare(0, 12, "--artifacts=") == 0) {
            g_options.artifactsDir = ToWindowsPath(argument.substr(12));
        }
    }
    if (g_options.artifactsDir.empty())
        g_options.artifactsDir = ".";
    return !g_options.appPath.empty();
}

DWORD ScaledTimeout(DWORD timeoutMs) {
    static const DWORD scale = [] {
        char value[16] = {};
        const DWORD length = GetEnvironmentVariableA("VORMAK_TEST_TIME_SCALE", value, sizeof(value));
        const unsigned long parsed = length > 0 && length < sizeof(value) ? std::strtoul(value, nullptr, 10) : 1;
        return static_cast<DWORD>(parsed >= 1 && parsed <= 20 ? parsed : 1);
    }();
    return timeoutMs == INFINITE ? INFINITE : timeoutMs * scale;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    timeoutMs = ScaledTimeout(timeoutMs);
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return condition();
        Sleep(pollMs);
    }
}

std::string WindowText(HWND window) {
    if (window == nullptr)
        return std::string();
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, ScaledTimeout(5000),
                             &length)) {
        return std::string();
    }
    std::vector<char> buffer(length + 2, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(), (LPARAM)buffer.data(),
                             SMTO_ABORTIFHUNG, ScaledTimeout(5000), &copied)) {
        return std::string();
    }
    return std::string(buffer.data(), copied);
}

std::wstring WindowTextW(HWND window) {
    if (window == nullptr)
        return std::wstring();
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
        return std::wstring();
    }
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), (LPARAM)buffer.data(),
                             SMTO_ABORTIFHUNG, 5000, &copied)) {
        return std::wstring();
    }
    return std::wstring(buffer.data(), copied);
}

std::string DialogItemText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

namespace {

struct WindowSearch {
    DWORD processId;
    std::string caption;
    HWND exclude;
    HWND found;
};

BOOL CALLBACK FindDialogOfProcess(HWND window, LPARAM param) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || window == search->exclude)
        return TRUE;
    if (!IsWindowVisible(window))
        return TRUE;
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    if (lstrcmpA(className, "#32770") != 0)
        return TRUE;
    if (WindowText(window) != search->caption)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindDialog(DWORD processId, const std::string& caption, HWND exclude) {
    WindowSearch search = {processId, caption, exclude, nullptr};
    EnumWindows(FindDialogOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

App::~App() {
    Kill();
}

bool App::Start(DWORD timeoutMs, const std::function<void(DWORD threadId)>& beforeRun) {
    const std::string& path = GetOptions().appPath;
    std::string commandLine = "\"" + path + "\"";
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    const DWORD flags = beforeRun ? CREATE_SUSPENDED : 0;
    if (!CreateProcessA(path.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        nullptr, &startup, &processInfo_)) {
        std::fprintf(stderr, "cannot start %s: error %lu\n", path.c_str(), GetLastError());
        return false;
    }
    if (beforeRun) {
        beforeRun(processInfo_.dwThreadId);
        ResumeThread(processInfo_.hThread);
    }
    return Adopt(processInfo_, timeoutMs);
}

bool App::Adopt(const PROCESS_INFORMATION& started, DWORD timeoutMs) {
    processInfo_ = started;
    WaitForInputIdle(processInfo_.hProcess, ScaledTimeout(timeoutMs));
    // The window can exist before WM_INITDIALOG has finished: wait until it is visible too.
    return WaitUntil(
        [&] {
            mainWindow_ = FindDialog(processInfo_.dwProcessId, kMainCaption, nullptr);
            return mainWindow_ != nullptr;
        },
        timeoutMs);
}

std::string App::ControlText(int id) const {
    return WindowText(Control(id));
}

std::wstring App::StatusTextW() const {
    return WindowTextW(Control(1003));
}

std::string App::StatusText() const {
    // The box holds UTF-16 text: read so, then converted as the ANSI calls would.
    const std::wstring wide = StatusTextW();
    if (wide.empty())
        return std::string();
    std::string text(wide.size() * 2, '\0');
    text.resize(WideCharToMultiByte(936, 0, wide.data(), int(wide.size()), &text[0],
                                    int(text.size()), nullptr, nullptr));
    return text;
}

void App::Click(int id) {
    PostMessageA(Control(id), BM_CLICK, 0, 0);
}

bool App::Press(int id) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(Control(id), BM_CLICK, 0, 0, SMTO_NORMAL, ScaledTimeout(10000),
                               &result) != 0;
}

void App::PostCommand(WORD id, WORD notificationCode) {
    PostMessageA(mainWindow_, WM_COMMAND, MAKEWPARAM(id, notificationCode),
                 reinterpret_cast<LPARAM>(Control(id)));
}

bool App::WaitForStatus(const std::function<bool(const std::string&)>& predicate,
                        DWORD timeoutMs) const {
    return WaitUntil([&] { return predicate(StatusText()); }, timeoutMs, 50);
}

bool App::WaitForStatusEquals(const std::string& text, DWORD timeoutMs) const {
    return WaitForStatus([&](const std::string& status) { return status == text; }, timeoutMs);
}

bool App::WaitForEnabled(int id, bool enabled, DWORD timeoutMs) const {
    return WaitUntil([&] { return IsEnabled(id) == enabled; }, timeoutMs);
}

HWND App::WaitForDialog(const std::string& caption, DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindDialog(processInfo_.dwProcessId, caption, mainWindow_);
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

bool App::DrainPosted(DWORD timeoutMs) const {
    // A selection in the status box is the marker: nothing else sets one. Posted messages of a
    // thread are handled in order, so once the posted selection shows, so have those before it;
    // a modal loop (a message box the handler opened) handles it too, with the box still up.
    // GetWindowTextLength of another process's edit control reads no text: ask the control.
    HWND status = Control(1003);
    if (WindowText(status).size() < 2)
        return false;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(status, EM_SETSEL, 0, 0, SMTO_NORMAL, ScaledTimeout(timeoutMs),
                             &result) ||
        !PostMessageA(status, EM_SETSEL, 1, 2)) {
        return false;
    }
    return WaitUntil(
        [&] {
            DWORD_PTR selection = 0;
            return SendMessageTimeoutA(status, EM_GETSEL, 0, 0, SMTO_NORMAL,
                                       ScaledTimeout(timeoutMs), &selection) != 0 &&
                   selection == MAKELONG(1, 2);
        },
        timeoutMs);
}

bool App::NoDialogOnceDrained(const std::string& caption) const {
    return DrainPosted() && FindDialog(processInfo_.dwProcessId, caption, mainWindow_) == nullptr;
}

bool App::WaitForExit(DWORD* exitCode, DWORD timeoutMs) {
    return WaitForProcessExit(processInfo_.hProcess, exitCode, timeoutMs);
}

bool App::CloseAndWait(DWORD* exitCode, DWORD timeoutMs) {
    PostMessageA(mainWindow_, WM_CLOSE, 0, 0);
    return WaitForExit(exitCode, timeoutMs);
}

void App::Kill() {
    EndProcess(processInfo_);
    mainWindow_ = nullptr;
}

bool WaitForProcessExit(HANDLE process, DWORD* exitCode, DWORD timeoutMs) {
    if (process == nullptr || WaitForSingleObject(process, ScaledTimeout(timeoutMs)) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    if (exitCode != nullptr)
        *exitCode = code;
    return true;
}

void EndProcess(PROCESS_INFORMATION& process) {
    if (process.hProcess != nullptr) {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, 255);
            WaitForSingleObject(process.hProcess, ScaledTimeout(5000));
        }
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    process = PROCESS_INFORMATION{};
}

bool SaveWindowScreenshot(HWND window, const std::string& name) {
    RECT rect;
    if (window == nullptr || !GetWindowRect(window, &rect))
        return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    // Let pending paints land before the capture.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(300);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool saved = false;
    if (bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        SelectObject(memory, previous);
        GdiFlush();
        const DWORD stride = ((width * 3 + 3) / 4) * 4;
        const DWORD imageSize = stride * height;
        BITMAPFILEHEADER fileHeader = {};
        fileHeader.bfType = 0x4D42;
        fileHeader.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        fileHeader.bfSize = fileHeader.bfOffBits + imageSize;
        CreateDirectoryA(GetOptions().artifactsDir.c_str(), nullptr);
        const std::string path = GetOptions().artifactsDir + "\\" + name + ".bmp";
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            saved = WriteFile(file, &fileHeader, sizeof(fileHeader), &written, nullptr) &&
                    WriteFile(file, &info.bmiHeader, sizeof(BITMAPINFOHEADER), &written, nullptr) &&
                    WriteFile(file, bits, imageSize, &written, nullptr);
            CloseHandle(file);
        }
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

}  // namespace e2e
