// The four links under the status box, worked with the real mouse and keyboard on the real
// program. The prefix's http handler is replaced by url_recorder.exe for the run, so no browser
// starts and each opened address lands in a log; a message hook loaded into the program records
// the labels' message results from inside it.
#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/harness/AppDriver.h"
#include "e2e/ui/LinkProbe.h"

namespace {

const int kForum = 1005;
const int kSuiteDownload = 1006;
const int kWebsite = 1007;
const int kAntivirus = 1008;

struct Link {
    int id;
    const char* text;
    const char* target;
};
const Link kLinks[] = {
    {kForum, "到论坛进行讨论", "http://bbs.tarn.example/"},
    {kSuiteDownload, "下载塔恩守护", "http://dl.tarn.example/setup.exe"},
    {kWebsite, "访问塔恩守护网站", "http://www.tarn.example/"},
    {kAntivirus, "推荐您使用正版杀毒软件全面杀毒",
     "http://download.antivirus.example/download.html?a=6047"},
};
const Link& LinkOf(int id) {
    for (const Link& link : kLinks) {
        if (link.id == id)
            return link;
    }
    return kLinks[0];
}

const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kPurple = RGB(128, 0, 128);

const char kColorKey[] = "Software\\Microsoft\\Internet Explorer\\Settings";
const char kUserHttpKey[] = "Software\\Classes\\http";
const char kUserHttpCommandKey[] = "Software\\Classes\\http\\shell\\open\\command";
const char kHttpCommandKey[] = "http\\shell\\open\\command";

// One registry value, put back as it was (or removed) when the guard goes.
class RegistryValueGuard {
  public:
    RegistryValueGuard(HKEY root, const char* keyPath, const char* name)
        : root_(root), keyPath_(keyPath), name_(name) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root_, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        if (RegQueryValueExA(key, NameOrDefault(), nullptr, &type_, nullptr, &size) ==
            ERROR_SUCCESS) {
            data_.resize(size);
            existed_ = RegQueryValueExA(key, NameOrDefault(), nullptr, &type_, data_.data(),
                                        &size) == ERROR_SUCCESS;
        }
        RegCloseKey(key);
    }
    ~RegistryValueGuard() {
        HKEY key = nullptr;
        if (RegCreateKeyExA(root_, keyPath_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return;
        }
        if (existed_) {
            RegSetValueExA(key, NameOrDefault(), 0, type_, data_.data(),
                           static_cast<DWORD>(data_.size()));
        } else {
            RegDeleteValueA(key, NameOrDefault());
        }
        RegCloseKey(key);
    }
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

    bool Set(const std::string& text) const {
        HKEY key = nullptr;
        if (RegCreateKeyExA(root_, keyPath_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return false;
        }
        const bool set = RegSetValueExA(key, NameOrDefault(), 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>(text.c_str()),
                                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
        RegCloseKey(key);
        return set;
    }
    bool Remove() const {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root_, keyPath_.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
            return true;
        }
        RegDeleteValueA(key, NameOrDefault());
        RegCloseKey(key);
        return true;
    }

  private:
    const char* NameOrDefault() const { return name_.empty() ? nullptr : name_.c_str(); }
    HKEY root_;
    std::string keyPath_;
    std::string name_;
    bool existed_ = false;
    DWORD type_ = REG_SZ;
    std::vector<BYTE> data_;
};

// The http handler of the prefix, pointed at url_recorder.exe for the life of the guard. It is
// registered per user, as Windows looks it up first, and in the classes root itself: Wine 8 does
// not merge HKCU\Software\Classes into HKEY_CLASSES_ROOT, whose own http handler there is
// winebrowser.exe (which hands the address to the host's xdg-open).
class HttpHandlerGuard {
  public:
    explicit HttpHandlerGuard(const std::string& logPath) {
        HKEY key = nullptr;
        userKeyExisted_ =
            RegOpenKeyExA(HKEY_CURRENT_USER, kUserHttpKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (key != nullptr)
            RegCloseKey(key);
        const std::string recorder = e2e::ToWindowsPath(URL_RECORDER_PATH);
        const std::string command = "\"" + recorder + "\" \"" + logPath + "\" \"%1\"";
        userCommand_ = new RegistryValueGuard(HKEY_CURRENT_USER, kUserHttpCommandKey, "");
        rootCommand_ = new RegistryValueGuard(HKEY_CLASSES_ROOT, kHttpCommandKey, "");
        installed_ = userCommand_->Set(command) && rootCommand_->Set(command);
    }
    ~HttpHandlerGuard() {
        delete rootCommand_;
        delete userCommand_;
        if (!userKeyExisted_)
            RegDeleteTreeA(HKEY_CURRENT_USER, kUserHttpKey);
    }
    HttpHandlerGuard(const HttpHandlerGuard&) = delete;
    HttpHandlerGuard& operator=(const HttpHandlerGuard&) = delete;
    bool Installed() const { return installed_; }

  private:
    bool userKeyExisted_ = false;
    bool installed_ = false;
    RegistryValueGuard* userCommand_ = nullptr;
    RegistryValueGuard* rootCommand_ = nullptr;
};

// Screen pixels of a rectangle, row by row.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Capture CaptureScreen(const RECT& rect) {
    Capture capture;
    capture.width = rect.right - rect.left;
    capture.height = rect.bottom - rect.top;
    if (capture.width <= 0 || capture.height <= 0)
        return Capture();
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, capture.width, capture.height, screen, rect.left, rect.top, SRCCOPY);
        SelectObject(memory, previous);
        GdiFlush();
        const DWORD* source = static_cast<const DWORD*>(bits);
        capture.pixels.resize(static_cast<size_t>(capture.width) * capture.height);
        for (size_t i = 0; i < capture.pixels.size(); ++i) {
            const DWORD bgr = source[i];
            capture.pixels[i] = RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
        }
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return capture;
}

// Where a colour appears in a captured label.
struct ColorUse {
    int count = 0;
    int left = -1;  // leftmost and rightmost column holding it
    int right = -1;
    int top = -1;
    int bottom = -1;
    int longestRun = 0;  // longest horizontal run: the underline
};

ColorUse FindColor(const Capture& capture, COLORREF color) {
    ColorUse use;
    for (int y = 0; y < capture.height; ++y) {
        int run = 0;
        for (int x = 0; x < capture.width; ++x) {
            if (capture.At(x, y) != color) {
                run = 0;
                continue;
            }
            ++use.count;
            use.longestRun = std::max(use.longestRun, ++run);
            if (use.left < 0 || x < use.left)
                use.left = x;
            if (x > use.right)
                use.right = x;
            if (use.top < 0)
                use.top = y;
            use.bottom = y;
        }
    }
    return use;
}

// The underlined text of a label in one colour: enough pixels and a line under most of it.
bool IsUnderlinedTextIn(const ColorUse& use) {
    if (use.count < 20)
        return false;
    return use.longestRun * 10 >= (use.right - use.left + 1) * 8;
}

// Text in one colour while the label has the focus: the dotted focus rectangle drawn over the
// link rectangle breaks the underline.
bool IsFocusedTextIn(const ColorUse& use) {
    return use.count >= 20;
}

std::string ColorName(COLORREF color) {
    char text[32];
    std::snprintf(text, sizeof(text), "RGB(%d,%d,%d)", GetRValue(color), GetGValue(color),
                  GetBValue(color));
    return text;
}

// Whether this process, started like the program, holds an elevated token. Asked here apart
// from the program's own check, so that a wrong answer there cannot make the test expect the
// wrong road. By the token alone, as the program decides: Wine answers the query whatever
// version it reports, so the shell's road is taken in the XP prefix too.
bool IsThisProcessElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const bool elevated =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
        elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

class LinkLabelTest : public testing::Test {
  protected:
    void SetUp() override {
        char tempDir[MAX_PATH] = {};
        GetTempPathA(sizeof(tempDir), tempDir);
        logPath_ = std::string(tempDir) + "vormak-opened-links.txt";
        DeleteFileA(logPath_.c_str());
        handler_ = new HttpHandlerGuard(logPath_);
        ASSERT_TRUE(handler_->Installed());
        // Every test starts from the default colours unless it seeds its own.
        linkColor_ = new RegistryValueGuard(HKEY_CURRENT_USER, kColorKey, "Anchor Color");
        visitedColor_ =
            new RegistryValueGuard(HKEY_CURRENT_USER, kColorKey, "Anchor Color Visited");
        linkColor_->Remove();
        visitedColor_->Remove();

        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(probe::Log), probe::kMappingName);
        ASSERT_NE(mapping_, nullptr);
        log_ = static_cast<probe::Log*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0));
        ASSERT_NE(log_, nullptr);
        ZeroMemory(log_, sizeof(probe::Log));
        hookModule_ = LoadLibraryA(e2e::ToWindowsPath(LINK_PROBE_HOOK_PATH).c_str());
        ASSERT_NE(hookModule_, nullptr);
    }

    void TearDown() override {
        app.Kill();
        if (hook_ != nullptr)
            UnhookWindowsHookEx(hook_);
        if (inputHook_ != nullptr)
            UnhookWindowsHookEx(inputHook_);
        if (hookModule_ != nullptr)
            FreeLibrary(hookModule_);
        if (log_ != nullptr)
            UnmapViewOfFile(log_);
        if (mapping_ != nullptr)
            CloseHandle(mapping_);
        delete linkColor_;
        delete visitedColor_;
        delete handler_;
        DeleteFileA(logPath_.c_str());
    }

    // Starts the program with the probe hooked into its UI thread from its first instruction.
    void StartApp() {
        // FARPROC to the hook's real type goes through void* to keep the cast warning quiet.
        HOOKPROC proc = reinterpret_cast<HOOKPROC>(
            reinterpret_cast<void*>(GetProcAddress(hookModule_, probe::kHookProcName)));
        ASSERT_NE(proc, nullptr);
        HOOKPROC inputProc = reinterpret_cast<HOOKPROC>(
            reinterpret_cast<void*>(GetProcAddress(hookModule_, probe::kGetMessageProcName)));
        ASSERT_NE(inputProc, nullptr);
        ASSERT_TRUE(app.Start(20000, [&](DWORD threadId) {
            hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, proc, hookModule_, threadId);
            inputHook_ = SetWindowsHookExA(WH_GETMESSAGE, inputProc, hookModule_, threadId);
        })) << "main window did not appear";
        ASSERT_NE(hook_, nullptr) << "hook error " << GetLastError();
        ASSERT_NE(inputHook_, nullptr) << "hook error " << GetLastError();
        // Let the first paint of the labels finish.
        ASSERT_TRUE(e2e::WaitUntil(
            [&] {
                for (const Link& link : kLinks) {
                    if (FindRecords(WM_ERASEBKGND, link.id).empty())
                        return false;
                }
                return true;
            },
            5000));
        ASSERT_TRUE(app.DrainPosted());
    }

    std::vector<probe::Record> FindRecords(UINT message, int controlId) const {
        std::vector<probe::Record> found;
        const LONG count = std::min<LONG>(LONG{log_->count}, probe::kCapacity);
        for (LONG i = 0; i < count; ++i) {
            const probe::Record& record = log_->records[i];
            if (record.message == message && record.controlId == controlId) {
                found.push_back(record);
            }
        }
        return found;
    }
    LONG RecordCount() const { return std::min<LONG>(LONG{log_->count}, probe::kCapacity); }
    std::vector<probe::Record> RecordsSince(LONG start, UINT message, int controlId) const {
        std::vector<probe::Record> found;
        for (LONG i = start; i < RecordCount(); ++i) {
            const probe::Record& record = log_->records[i];
            if (record.message == message && record.controlId == controlId) {
                found.push_back(record);
            }
        }
        return found;
    }

    // The log's lines: the address, a tab, and the file name of the process that started the
    // handler. Column 0 gives the addresses, column 1 their starters.
    std::vector<std::string> OpenedColumn(size_t column) const {
        std::vector<std::string> values;
        std::ifstream file(logPath_.c_str());
        std::string line;
        while (std::getline(file, line)) {
            if (line.empty())
                continue;
            const size_t tab = line.find('\t');
            if (column == 0)
                values.push_back(line.substr(0, tab));
            else
                values.push_back(tab == std::string::npos ? "" : line.substr(tab + 1));
        }
        return values;
    }
    std::vector<std::string> OpenedAddresses() const { return OpenedColumn(0); }
    // Waits until `count` addresses have been opened, then until the program has handled what
    // came before and every recorder it started has written its line, so that a further one
    // would show.
    std::vector<std::string> WaitForOpened(size_t count) const {
        e2e::WaitUntil([&] { return OpenedAddresses().size() >= count; }, 10000, 50);
        EXPECT_TRUE(app.DrainPosted());
        EXPECT_TRUE(e2e::WaitUntil([] { return !IsRecorderRunning(); }, 10000, 50));
        return OpenedAddresses();
    }
    static bool IsRecorderRunning() {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE)
            return true;
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof(entry);
        bool running = false;
        for (BOOL more = Process32First(snapshot, &entry); more && !running;
             more = Process32Next(snapshot, &entry)) {
            running = lstrcmpiA(entry.szExeFile, "url_recorder.exe") == 0;
        }
        CloseHandle(snapshot);
        return running;
    }

    RECT LabelRect(int id) const {
        RECT rect = {};
        GetWindowRect(app.Control(id), &rect);
        return rect;
    }
    Capture CaptureLabel(int id) const {
        // Let a pending repaint land first: once the program has handled what came before,
        // paint what it invalidated now. Nothing is invalidated here, so a label that forgets
        // to repaint still shows its old state.
        EXPECT_TRUE(app.DrainPosted());
        RedrawWindow(app.MainWindow(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        // Wine copies a window's painting to the screen after the paint, once the program's
        // thread is idle: capture until two captures a poll apart agree.
        Capture last = CaptureScreen(LabelRect(id));
        Capture next;
        EXPECT_TRUE(e2e::WaitUntil(
            [&] {
                next = CaptureScreen(LabelRect(id));
                const bool settled = next.pixels == last.pixels;
                last = next;
                return settled;
            },
            5000, 100));
        return next;
    }
    // A point on the text, in screen coordinates, from where the text was drawn in `color`.
    POINT TextPoint(int id, COLORREF color, int dx = 0) const {
        const ColorUse use = FindColor(CaptureLabel(id), color);
        const RECT rect = LabelRect(id);
        return POINT{rect.left + use.left + 2 + dx, rect.top + (use.top + use.bottom) / 2};
    }
    // A point inside the label to the right of its text.
    POINT BesidePoint(int id, COLORREF color) const {
        const ColorUse use = FindColor(CaptureLabel(id), color);
        const RECT rect = LabelRect(id);
        return POINT{rect.left + (use.right + rect.right - rect.left) / 2,
                     rect.top + (use.top + use.bottom) / 2};
    }

    POINT StatusBoxPoint() const {
        RECT rect = {};
        GetWindowRect(app.Control(1003), &rect);
        return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    // Clicks the label's text and then the status box, so that the label has no focus.
    void OpenByClick(int id, COLORREF color) {
        ClickAt(TextPoint(id, color));
        ClickAt(StatusBoxPoint());
    }

    // Each input returns once the program has taken it from its queue and handled it.
    void MoveTo(POINT point) {
        SetCursorPos(point.x, point.y);
        // A move to where the cursor already is sends nothing; the last one taken was there.
        const probe::Input& input = log_->input;
        EXPECT_TRUE(e2e::WaitUntil([&] { return input.x == point.x && input.y == point.y; }, 5000))
            << "the move to " << point.x << "," << point.y << " did not arrive";
        EXPECT_TRUE(app.DrainPosted());
    }
    // Releasing the capture makes Wine add a move after the button, so the buttons are counted.
    void Mouse(DWORD flags) {
        const bool down = flags == MOUSEEVENTF_LEFTDOWN;
        volatile LONG& count = down ? log_->input.buttonDowns : log_->input.buttonUps;
        const LONG before = count;
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flags;
        SendInput(1, &input, sizeof(input));
        EXPECT_TRUE(e2e::WaitUntil([&] { return count != before; }, 5000))
            << "the button did not arrive";
        EXPECT_TRUE(app.DrainPosted());
    }
    void Key(WORD key) {
        const LONG before = log_->input.keyUps;
        INPUT inputs[2] = {};
        inputs[0].type = INPUT_KEYBOARD;
        inputs[0].ki.wVk = key;
        inputs[1] = inputs[0];
        inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, inputs, sizeof(INPUT));
        EXPECT_TRUE(e2e::WaitUntil(
            [&] { return log_->input.keyUps != before && log_->input.lastKeyUp == key; }, 5000))
            << "the key did not arrive";
        EXPECT_TRUE(app.DrainPosted());
    }
    void ClickAt(POINT point) {
        MoveTo(point);
        Mouse(MOUSEEVENTF_LEFTDOWN);
        Mouse(MOUSEEVENTF_LEFTUP);
    }

    e2e::App app;
    std::string logPath_;
    HttpHandlerGuard* handler_ = nullptr;
    RegistryValueGuard* linkColor_ = nullptr;
    RegistryValueGuard* visitedColor_ = nullptr;
    HANDLE mapping_ = nullptr;
    probe::Log* log_ = nullptr;
    HMODULE hookModule_ = nullptr;
    HHOOK hook_ = nullptr;
    HHOOK inputHook_ = nullptr;
};

TEST_F(LinkLabelTest, EveryLabelIsSubclassed) {
    StartApp();
    for (const Link& link : kLinks) {
        DWORD_PTR code = 0;
        ASSERT_TRUE(SendMessageTimeoutA(app.Control(link.id), WM_GETDLGCODE, 0, 0, SMTO_ABORTIFHUNG,
                                        e2e::ScaledTimeout(5000), &code));
        EXPECT_EQ(code, static_cast<DWORD_PTR>(DLGC_WANTCHARS)) << link.id;
        // WM_ERASEBKGND cannot be sent from here; the first paint sent it inside the program.
        const std::vector<probe::Record> erases = FindRecords(WM_ERASEBKGND, link.id);
        ASSERT_FALSE(erases.empty()) << link.id;
        for (const probe::Record& record : erases)
            EXPECT_EQ(record.result, 1) << link.id;
        // The template text is unchanged.
        EXPECT_EQ(app.ControlText(link.id), link.text);
    }
}

TEST_F(LinkLabelTest, LinksAreDrawnBlueAndUnderlined) {
    StartApp();
    for (const Link& link : kLinks) {
        const Capture capture = CaptureLabel(link.id);
        const ColorUse blue = FindColor(capture, kBlue);
        EXPECT_TRUE(IsUnderlinedTextIn(blue))
            << link.id << ": " << blue.count << " blue pixels, longest run " << blue.longestRun
            << " of " << (blue.right - blue.left + 1);
        EXPECT_EQ(FindColor(capture, kPurple).count, 0) << link.id;
    }
    e2e::SaveWindowScreenshot(app.MainWindow(), "main-window-links");
}

TEST_F(LinkLabelTest, TargetIsTheLabelTextUntilTheDialogSetsIt) {
    StartApp();
    // The tooltip is given the target each time it is set: first the label's own text at
    // Initialize, then the address from the dialog.
    std::vector<int> order;
    for (LONG i = 0; i < RecordCount(); ++i) {
        const probe::Record& record = log_->records[i];
        if (record.message == TTM_ADDTOOLA &&
            std::find(order.begin(), order.end(), record.controlId) == order.end()) {
            order.push_back(record.controlId);
        }
    }
    EXPECT_EQ(order, (std::vector<int>{kForum, kWebsite, kAntivirus, kSuiteDownload}));
    for (const Link& link : kLinks) {
        const std::vector<probe::Record> adds = FindRecords(TTM_ADDTOOLA, link.id);
        ASSERT_EQ(adds.size(), 2u) << link.id;
        EXPECT_STREQ(adds[0].text, link.text) << link.id;
        EXPECT_STREQ(adds[1].text, link.target) << link.id;
        EXPECT_NE(adds[1].result, 0) << link.id;
    }
}

TEST_F(LinkLabelTest, HandCursorOverTheTextOnly) {
    StartApp();
    for (int id : {kForum, kAntivirus}) {
        const POINT beside = BesidePoint(id, kBlue);
        const POINT text = TextPoint(id, kBlue);
        MoveTo(beside);
        LONG start = RecordCount();
        // The first move over the text sets the hand (WM_MOUSEMOVE); at the next one
        // WM_SETCURSOR finds it and keeps it.
        MoveTo(text);
        MoveTo(POINT{text.x + 2, text.y});
        std::vector<probe::Record> cursors = RecordsSince(start, WM_SETCURSOR, id);
        ASSERT_GE(cursors.size(), 2u) << id;
        // Over the text the label answers TRUE and leaves the hand in place.
        EXPECT_EQ(cursors.back().result, TRUE) << id;
        EXPECT_EQ(cursors.back().flags, probe::kCursorIsHand) << id;

        start = RecordCount();
        MoveTo(beside);
        cursors = RecordsSince(start, WM_SETCURSOR, id);
        ASSERT_FALSE(cursors.empty()) << id;
        // Beside the text the static's own handling puts the arrow back.
        EXPECT_EQ(cursors.back().flags, probe::kCursorIsArrow) << id;
    }
}

TEST_F(LinkLabelTest, ClickOpensTheTargetAndShowsItVisited) {
    StartApp();
    const POINT text = TextPoint(kForum, kBlue);
    const POINT beside = BesidePoint(kForum, kBlue);

    // Pressed on the text, released outside it: nothing opens. Pressed beside the text: nothing.
    MoveTo(text);
    Mouse(MOUSEEVENTF_LEFTDOWN);
    MoveTo(POINT{text.x, text.y - 60});
    Mouse(MOUSEEVENTF_LEFTUP);
    ClickAt(beside);
    EXPECT_EQ(FindColor(CaptureLabel(kForum), kPurple).count, 0);

    // A click on the text opens the target once, and the link turns purple.
    ClickAt(text);
    std::vector<std::string> opened = WaitForOpened(1);
    ASSERT_EQ(opened, (std::vector<std::string>{LinkOf(kForum).target}));
    // Elevated, the desktop shell starts the handler with the user's rights; otherwise the
    // program starts it itself.
    const std::vector<std::string> starters = OpenedColumn(1);
    ASSERT_EQ(starters.size(), 1u);
    std::string starter = starters[0];
    CharLowerA(&starter[0]);
    EXPECT_EQ(starter, IsThisProcessElevated() ? "explorer.exe" : "vormak.exe");
    const Capture visited = CaptureLabel(kForum);
    EXPECT_TRUE(IsFocusedTextIn(FindColor(visited, kPurple)));
    EXPECT_EQ(FindColor(visited, kBlue).count, 0);
    // The other links are still blue.
    EXPECT_TRUE(IsUnderlinedTextIn(FindColor(CaptureLabel(kWebsite), kBlue)));
    e2e::SaveWindowScreenshot(app.MainWindow(), "main-window-visited");

    // The click gave the label the focus: Space and Enter open the target again.
    Key(VK_SPACE);
    opened = WaitForOpened(2);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], LinkOf(kForum).target);
    Key(VK_RETURN);
    opened = WaitForOpened(3);
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[2], LinkOf(kForum).target);

    // With the focus elsewhere the focus rectangle goes and the underline is whole again. An
    // elevated program hands the address to the desktop shell in another process, and the click
    // may wait until that call has returned.
    ClickAt(StatusBoxPoint());
    ColorUse unfocused;
    EXPECT_TRUE(e2e::WaitUntil(
        [&] {
            unfocused = FindColor(CaptureLabel(kForum), kPurple);
            return IsUnderlinedTextIn(unfocused);
        },
        5000, 100))
        << unfocused.count << " purple pixels, longest run " << unfocused.longestRun;
}

// Elevated, a link opens only through the desktop shell. When that road fails, nothing opens (the
// program does not start the handler itself either) and the link stays unvisited. Made to fail at
// its first step: oleaut32.dll, whose strings the shell's calls take, is disabled for the program.
TEST_F(LinkLabelTest, FailedDesktopShellRoadOpensNothingAndLeavesTheLinkUnvisited) {
    ASSERT_TRUE(IsThisProcessElevated()) << "the desktop shell's road is taken only when elevated";
    // Wine reads the program's overrides whenever it loads a library: the value stays until the
    // program has ended.
    const std::string overrides = "Software\\Wine\\AppDefaults\\vormak.exe\\DllOverrides";
    {
        RegistryValueGuard disabled(HKEY_CURRENT_USER, overrides.c_str(), "oleaut32");
        ASSERT_TRUE(disabled.Set(""));
        StartApp();
        ClickAt(TextPoint(kForum, kBlue));
        // The click's handler has run (ClickAt drains): a handler started then would be running
        // now or would have written its line.
        EXPECT_FALSE(IsRecorderRunning());
        EXPECT_TRUE(OpenedAddresses().empty());
        const Capture clicked = CaptureLabel(kForum);
        EXPECT_TRUE(IsFocusedTextIn(FindColor(clicked, kBlue)));
        EXPECT_EQ(FindColor(clicked, kPurple).count, 0);
        // Enter takes the same road, with the same outcome.
        Key(VK_RETURN);
        EXPECT_FALSE(IsRecorderRunning());
        EXPECT_TRUE(OpenedAddresses().empty());
        EXPECT_EQ(FindColor(CaptureLabel(kForum), kPurple).count, 0);
        app.Kill();
        // Should a handler have started after all, its line must not land in the next test's log.
        EXPECT_TRUE(e2e::WaitUntil([] { return !IsRecorderRunning(); }, 10000, 50));
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, overrides.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\vormak.exe");
}

TEST_F(LinkLabelTest, EachLinkOpensItsOwnTarget) {
    StartApp();
    std::vector<std::string> expected;
    for (int id : {kSuiteDownload, kWebsite, kAntivirus}) {
        ClickAt(TextPoint(id, kBlue));
        expected.push_back(LinkOf(id).target);
        EXPECT_EQ(WaitForOpened(expected.size()), expected);
    }
}

TEST_F(LinkLabelTest, DisabledLabelsUseGrayTextVisitedOrNot) {
    StartApp();
    OpenByClick(kForum, kBlue);
    ASSERT_EQ(WaitForOpened(1).size(), 1u);
    const COLORREF gray = GetSysColor(COLOR_GRAYTEXT);
    for (int id : {kForum, kAntivirus}) {
        EnableWindow(app.Control(id), FALSE);
        const Capture capture = CaptureLabel(id);
        EXPECT_TRUE(IsUnderlinedTextIn(FindColor(capture, gray))) << id << " " << ColorName(gray);
        EXPECT_EQ(FindColor(capture, kBlue).count, 0) << id;
        EXPECT_EQ(FindColor(capture, kPurple).count, 0) << id;
        EnableWindow(app.Control(id), TRUE);
    }
    EXPECT_TRUE(IsUnderlinedTextIn(FindColor(CaptureLabel(kForum), kPurple)));
    EXPECT_TRUE(IsUnderlinedTextIn(FindColor(CaptureLabel(kAntivirus), kBlue)));
}

TEST_F(LinkLabelTest, ShellLinkColoursFromTheRegistryAreUsed) {
    ASSERT_TRUE(linkColor_->Set("255,0,0"));
    ASSERT_TRUE(visitedColor_->Set("0,128,0"));
    StartApp();
    const COLORREF red = RGB(255, 0, 0);
    const COLORREF green = RGB(0, 128, 0);
    for (const Link& link : kLinks) {
        const Capture capture = CaptureLabel(link.id);
        EXPECT_TRUE(IsUnderlinedTextIn(FindColor(capture, red))) << link.id;
        EXPECT_EQ(FindColor(capture, kBlue).count, 0) << link.id;
    }
    OpenByClick(kWebsite, red);
    ASSERT_EQ(WaitForOpened(1), (std::vector<std::string>{LinkOf(kWebsite).target}));
    const Capture visited = CaptureLabel(kWebsite);
    EXPECT_TRUE(IsUnderlinedTextIn(FindColor(visited, green)));
    EXPECT_EQ(FindColor(visited, red).count, 0);
}

TEST_F(LinkLabelTest, UnreadableRegistryColoursKeepTheDefaults) {
    // Two numbers only, and a value too long for the program's 12-byte buffer.
    ASSERT_TRUE(linkColor_->Set("255,0"));
    ASSERT_TRUE(visitedColor_->Set("0,128,0,00000"));
    StartApp();
    EXPECT_TRUE(IsUnderlinedTextIn(FindColor(CaptureLabel(kAntivirus), kBlue)));
    OpenByClick(kAntivirus, kBlue);
    ASSERT_EQ(WaitForOpened(1).size(), 1u);
    EXPECT_TRUE(IsUnderlinedTextIn(FindColor(CaptureLabel(kAntivirus), kPurple)));
}

}  // namespace
