// The main window as a user meets it: caption, banner, buttons, About box, empty scan, close.
#include <windows.h>

#include <tlhelp32.h>

#include <string>

#include <gtest/gtest.h>

#include "app/StatusBanner.h"
#include "e2e/harness/AppDriver.h"
#include "support/WinFiles.h"

namespace {

const int kScan = 1001;
const int kClean = 1002;
const int kAbout = 1004;
const int kForum = 1005;

class MainWindowTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(app.Start()) << "main window did not appear"; }
    e2e::App app;
};

TEST_F(MainWindowTest, StartsWithBannerScanEnabledCleanDisabled) {
    EXPECT_EQ(e2e::WindowText(app.MainWindow()), e2e::kMainCaption);
    EXPECT_TRUE(app.WaitForStatusEquals(StatusBanner(), 5000)) << app.StatusText();
    EXPECT_TRUE(app.IsEnabled(kScan));
    EXPECT_FALSE(app.IsEnabled(kClean));
    EXPECT_TRUE(app.IsEnabled(kAbout));
    EXPECT_EQ(app.ControlText(kScan), "扫描");
    EXPECT_EQ(app.ControlText(kClean), "清除");
    EXPECT_EQ(app.ControlText(kAbout), "关于(&A)");
    EXPECT_EQ(app.ControlText(1005), "到论坛进行讨论");
    EXPECT_EQ(app.ControlText(1006), "下载塔恩守护");
    EXPECT_EQ(app.ControlText(1007), "访问塔恩守护网站");
    EXPECT_EQ(app.ControlText(1008), "推荐您使用正版杀毒软件全面杀毒");
    e2e::SaveWindowScreenshot(app.MainWindow(), "main-window");
    DWORD code = 1;
    EXPECT_TRUE(app.CloseAndWait(&code));
    EXPECT_EQ(code, 0u);
}

TEST_F(MainWindowTest, IsCentredInTheWorkArea) {
    RECT window;
    RECT area;
    ASSERT_TRUE(GetWindowRect(app.MainWindow(), &window));
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    const long w = window.right - window.left;
    const long h = window.bottom - window.top;
    EXPECT_EQ(window.left, (area.left + area.right) / 2 - w / 2);
    EXPECT_EQ(window.top, (area.top + area.bottom) / 2 - h / 2);
}

TEST_F(MainWindowTest, AboutBoxClosesWithOkAndWithEscape) {
    app.Click(kAbout);
    HWND about = app.WaitForDialog("关于");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(e2e::DialogItemText(about, IDOK), "确定");
    e2e::SaveWindowScreenshot(about, "about-box");
    PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(about); }, 5000));

    app.Click(kAbout);
    about = app.WaitForDialog("关于");
    ASSERT_NE(about, nullptr);
    // Esc arrives at a dialog as IDCANCEL.
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(about); }, 5000));

    app.Click(kAbout);
    about = app.WaitForDialog("关于");
    ASSERT_NE(about, nullptr);
    // Ids outside 1..7 leave the box open.
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(8, 0), 0);
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(0, 0), 0);
    ASSERT_TRUE(app.DrainPosted());
    EXPECT_TRUE(IsWindow(about));
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDNO, 0), 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(about); }, 5000));
}

TEST_F(MainWindowTest, CommandWithNotificationCodeIsIgnored) {
    app.PostCommand(kScan, 1);
    ASSERT_TRUE(app.DrainPosted());
    EXPECT_EQ(app.StatusText(), StatusBanner());
    EXPECT_TRUE(app.IsEnabled(kScan));
}

// The path of the process's module of that name, or empty when it has none loaded.
std::string ModulePath(DWORD processId, const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return std::string();
    std::string path;
    MODULEENTRY32 module = {};
    module.dwSize = sizeof(module);
    for (BOOL more = Module32First(snapshot, &module); more && path.empty();
         more = Module32Next(snapshot, &module)) {
        if (lstrcmpiA(module.szModule, name) == 0)
            path = module.szExePath;
    }
    CloseHandle(snapshot);
    return path;
}

// Wine takes these libraries from a program's folder before its builtins for the named program
// only, as Windows would for any library that is not a known one; the key goes with the guard.
class NativeFirstGuard {
  public:
    explicit NativeFirstGuard(const std::string& program) : program_(program) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (AppKey() + "\\DllOverrides").c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
            return;
        }
        static const char kNativeFirst[] = "native,builtin";
        set_ = true;
        for (const char* name : {"psapi", "oleaut32"}) {
            set_ = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(kNativeFirst),
                                  sizeof(kNativeFirst)) == ERROR_SUCCESS &&
                   set_;
        }
        RegCloseKey(key);
    }
    ~NativeFirstGuard() {
        RegDeleteKeyA(HKEY_CURRENT_USER, (AppKey() + "\\DllOverrides").c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, AppKey().c_str());
    }
    NativeFirstGuard(const NativeFirstGuard&) = delete;
    NativeFirstGuard& operator=(const NativeFirstGuard&) = delete;
    bool IsSet() const { return set_; }

  private:
    std::string AppKey() const { return "Software\\Wine\\AppDefaults\\" + program_; }
    std::string program_;
    bool set_ = false;
};

// The program started from a folder that also holds psapi.dll and oleaut32.dll (a probe that
// leaves "<name>.loaded" when loaded), as a download folder might.
class PlantedLibraryTest : public testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof(temp), temp);
        folder_ = std::string(temp) + "vormak planted";
        RemoveTree(folder_);
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
        for (const char* name : kPlanted) {
            ASSERT_TRUE(CopyFileA(e2e::ToWindowsPath(PLANTED_PROBE_PATH).c_str(),
                                  (folder_ + "\\" + name).c_str(), FALSE));
        }
    }
    void TearDown() override {
        app.Kill();
        RemoveTree(folder_);
    }
    bool Loaded(const char* name) const { return FileExists(folder_ + "\\" + name + ".loaded"); }
    // Runs a program of the folder with arguments and waits for its exit code.
    bool Run(const std::string& program, const std::string& arguments, DWORD* exitCode) {
        std::string commandLine = "\"" + program + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            folder_.c_str(), &startup, &process)) {
            return false;
        }
        const bool ended = e2e::WaitForProcessExit(process.hProcess, exitCode, 20000);
        e2e::EndProcess(process);
        return ended;
    }

    static constexpr const char* kPlanted[] = {"psapi.dll", "oleaut32.dll"};
    std::string folder_;
    e2e::App app;
};

// The scan names mapped files through psapi.dll, and a link of the elevated program goes to
// the desktop shell with strings from oleaut32.dll: both come from the system directory only.
TEST_F(PlantedLibraryTest, ScanOfACleanMachineReportsNothingFoundAndLoadsNoPlantedLibrary) {
    // The planting works: a program that looks for them by name in its own folder loads both.
    {
        const std::string control = folder_ + "\\plant_control.exe";
        ASSERT_TRUE(
            CopyFileA(e2e::ToWindowsPath(PLANT_CONTROL_PATH).c_str(), control.c_str(), FALSE));
        NativeFirstGuard nativeFirst("plant_control.exe");
        ASSERT_TRUE(nativeFirst.IsSet());
        for (const char* name : kPlanted) {
            DWORD code = 99;
            ASSERT_TRUE(Run(control, name, &code)) << name;
            EXPECT_EQ(code, 0u) << name;
            EXPECT_TRUE(Loaded(name)) << name << " was not loaded by the control";
            DeleteFileA((folder_ + "\\" + name + ".loaded").c_str());
        }
    }

    NativeFirstGuard nativeFirst("vormak.exe");
    ASSERT_TRUE(nativeFirst.IsSet());
    const std::string program = folder_ + "\\vormak.exe";
    ASSERT_TRUE(CopyFileA(e2e::GetOptions().appPath.c_str(), program.c_str(), FALSE));
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                               nullptr, folder_.c_str(), &startup, &process));
    ASSERT_TRUE(app.Adopt(process)) << "main window did not appear";

    app.Click(kScan);
    EXPECT_TRUE(app.WaitForStatusEquals(StatusBanner() + "没有在你的机器上此木马!", 120000))
        << app.StatusText();
    EXPECT_TRUE(app.WaitForEnabled(kScan, true, 5000));
    EXPECT_FALSE(app.IsEnabled(kClean));
    // A scan names the file of a shell module that holds the trojan's code through psapi.dll:
    // again, with a stand-in desktop shell that has such a library loaded.
    PROCESS_INFORMATION shell = {};
    {
        std::string shellLine = "\"" + e2e::ToWindowsPath(FAKE_SHELL_PATH) + "\" \"" +
                                e2e::ToWindowsPath(CODE_HIT_DLL_PATH) + "\"";
        STARTUPINFOA shellStartup = {};
        shellStartup.cb = sizeof(shellStartup);
        ASSERT_TRUE(CreateProcessA(nullptr, &shellLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &shellStartup, &shell));
    }
    EXPECT_TRUE(
        e2e::WaitUntil([] { return FindWindowA("Progman", "Program Manager") != nullptr; }, 20000));
    EXPECT_EQ(ModulePath(app.ProcessId(), "psapi.dll"), "");
    // Scan is enabled before the press too: once the press has been handled, an enabled Scan
    // means the scan has ended.
    EXPECT_TRUE(app.Press(kScan));
    EXPECT_TRUE(app.WaitForEnabled(kScan, true, 120000));
    e2e::EndProcess(shell);

    // Enter on a link label opens it, as a click does; once the posted messages are handled,
    // the label's handler has run.
    const std::string oleautBefore = ModulePath(app.ProcessId(), "oleaut32.dll");
    PostMessageA(app.Control(kForum), WM_CHAR, VK_RETURN, 0);
    ASSERT_TRUE(app.DrainPosted());

    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    for (const char* name : kPlanted) {
        EXPECT_FALSE(Loaded(name)) << name << " beside the program was loaded";
    }
    // Both roads were taken, and loaded their library from the system directory.
    EXPECT_EQ(oleautBefore, "");
    for (const char* name : kPlanted) {
        const std::string path = ModulePath(app.ProcessId(), name);
        EXPECT_EQ(lstrcmpiA(path.c_str(), (std::string(system) + "\\" + name).c_str()), 0)
            << name << ": " << path;
    }
    DWORD code = 1;
    EXPECT_TRUE(app.CloseAndWait(&code));
    EXPECT_EQ(code, 0u);
}

TEST_F(MainWindowTest, WindowCloseEndsProcessWithExitCodeZero) {
    DWORD code = 1;
    ASSERT_TRUE(app.CloseAndWait(&code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
