#pragma once
// Drives the real vormak.exe as a user would: starts it, reads the status box, presses buttons,
// answers message boxes, closes it and reads the exit code. Every wait is bounded.
#include <windows.h>

#include <functional>
#include <string>

namespace e2e {

// Command-line options of an end-to-end test program.
struct Options {
    std::string appPath;       // Windows path of vormak.exe
    std::string artifactsDir;  // Windows path of the folder for screenshots and logs
};
const Options& GetOptions();
// Reads --app=<path> and --artifacts=<path> (Unix or Windows paths) into the options; returns
// false when --app is missing. Unknown arguments are left for the caller.
bool ParseOptions(int argc, char** argv);
// Windows form of a Unix path (Wine maps the Unix root to drive Z:); Windows paths unchanged.
std::string ToWindowsPath(const std::string& path);

// A time limit stretched by VORMAK_TEST_TIME_SCALE (a whole number, 1 when unset), which the
// scripts set where Wine runs under an emulator: limits are for hangs, not for speed.
DWORD ScaledTimeout(DWORD timeoutMs);

// Polls until the condition holds or the (scaled) time is up; returns the condition's last value.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 20);

// A running vormak.exe. Ends the process on destruction if it is still running.
class App {
  public:
    App() = default;
    App(const App&) = delete;
    App& operator=(const App&) = delete;
    ~App();

    // Starts the program and waits until its main window is visible and idle. With beforeRun,
    // the program starts suspended and beforeRun gets its main thread id before it runs (to
    // hook that thread, for example).
    bool Start(DWORD timeoutMs = 20000,
               const std::function<void(DWORD threadId)>& beforeRun = nullptr);
    // Takes over a program the test started itself (another copy, or under a debugger) and
    // waits for its main window as Start does. The App then owns both handles.
    bool Adopt(const PROCESS_INFORMATION& started, DWORD timeoutMs = 20000);

    HWND MainWindow() const { return mainWindow_; }
    DWORD ProcessId() const { return processInfo_.dwProcessId; }
    HANDLE Process() const { return processInfo_.hProcess; }

    HWND Control(int id) const { return GetDlgItem(mainWindow_, id); }
    std::string ControlText(int id) const;
    // The status box read through the Unicode calls (it shows paths in UTF-16), and the same
    // in code page 936 bytes, where a character the code page lacks reads as '?'.
    std::wstring StatusTextW() const;
    std::string StatusText() const;
    bool IsEnabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
    bool IsMainWindowVisible() const { return IsWindowVisible(mainWindow_) != FALSE; }

    // Presses a button the way a click does (BM_CLICK), without waiting for its handler, which
    // may block in a message box. A disabled button ignores it, as it ignores a real click.
    void Click(int id);
    // Presses a button the same way and returns once its handler has run, so that what the
    // caller checks next sees the press. Only for handlers that never wait for the user (Scan).
    bool Press(int id);
    // Posts a raw WM_COMMAND with the given notification code.
    void PostCommand(WORD id, WORD notificationCode);

    bool WaitForStatus(const std::function<bool(const std::string&)>& predicate,
                       DWORD timeoutMs = 30000) const;
    bool WaitForStatusEquals(const std::string& text, DWORD timeoutMs = 30000) const;
    bool WaitForEnabled(int id, bool enabled, DWORD timeoutMs = 30000) const;

    // A visible top-level dialog (class #32770) of this process with the given caption, other
    // than the main window, or nullptr when none appears in time.
    HWND WaitForDialog(const std::string& caption, DWORD timeoutMs = 10000) const;
    // Returns once the window's thread has handled every message posted to it (or to another of
    // its windows) before the call, false if it does not get there in time. What the program had
    // not done by then, it did not do in answer to those messages.
    bool DrainPosted(DWORD timeoutMs = 10000) const;
    // True when, once the posted messages are handled, no such dialog exists.
    bool NoDialogOnceDrained(const std::string& caption) const;

    // Asks the window to close (WM_CLOSE) and waits for the process to end.
    bool CloseAndWait(DWORD* exitCode, DWORD timeoutMs = 15000);
    bool WaitForExit(DWORD* exitCode, DWORD timeoutMs = 15000);
    void Kill();

  private:
    PROCESS_INFORMATION processInfo_ = {};
    HWND mainWindow_ = nullptr;
};

// Waits for a started process to end and reads its exit code; false when it is still running.
bool WaitForProcessExit(HANDLE process, DWORD* exitCode, DWORD timeoutMs);
// Ends the process if it is still running, closes both handles and clears the record.
void EndProcess(PROCESS_INFORMATION& process);

// Text of a window (WM_GETTEXT works across processes), in code page 936 bytes.
std::string WindowText(HWND window);
// The same through the Unicode calls.
std::wstring WindowTextW(HWND window);
std::string DialogItemText(HWND dialog, int id);

// Saves a screenshot of a window (with its frame) as a BMP under the artifacts folder; the test
// script turns BMPs into PNGs. Returns false when the capture failed.
bool SaveWindowScreenshot(HWND window, const std::string& name);

// The main window's caption, "Vormak 盗号木马专杀 v1.0".
extern const char kMainCaption[];

}  // namespace e2e
