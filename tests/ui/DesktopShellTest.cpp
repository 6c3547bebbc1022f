// The elevated link road through the desktop shell (run under Wine, whose desktop shell answers
// IShellDispatch2::ShellExecute in its explorer.exe).
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "ui/DesktopShell.h"
#include "ui/LinkLabel.h"

namespace {

const char kUserHttpCommandKey[] = "Software\\Classes\\http\\shell\\open\\command";
const char kHttpCommandKey[] = "http\\shell\\open\\command";

// Points an http handler at `command`, and puts the value back.
class HttpHandler {
  public:
    HttpHandler(HKEY root, const char* path, const std::string& command) {
        if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS) {
            return;
        }
        char value[1024];
        DWORD size = sizeof(value);
        hadValue_ = RegQueryValueExA(key_, "", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                                     &size) == ERROR_SUCCESS;
        if (hadValue_)
            old_.assign(value, size);
        set_ = RegSetValueExA(key_, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                              DWORD(command.size() + 1)) == ERROR_SUCCESS;
    }
    ~HttpHandler() {
        if (key_ == nullptr)
            return;
        if (hadValue_)
            RegSetValueExA(key_, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.data()),
                           DWORD(old_.size()));
        else
            RegDeleteValueA(key_, "");
        RegCloseKey(key_);
    }
    HttpHandler(const HttpHandler&) = delete;
    HttpHandler& operator=(const HttpHandler&) = delete;
    bool IsSet() const { return set_; }

  private:
    HKEY key_ = nullptr;
    bool hadValue_ = false;
    bool set_ = false;
    std::string old_;
};

// Both the user's classes and the merged view, as Wine may read either.
bool OpenThroughShellWith(const std::string& command, LinkLabel& label) {
    HttpHandler user(HKEY_CURRENT_USER, kUserHttpCommandKey, command);
    HttpHandler merged(HKEY_CLASSES_ROOT, kHttpCommandKey, command);
    EXPECT_TRUE(user.IsSet() && merged.IsSet());
    return label.OpenTarget();
}

// The shell answers S_FALSE when it cannot open the address: that is no success, and the link
// stays unvisited. With a handler that starts, the same road opens it.
TEST(DesktopShellTest, ShellThatCannotOpenTheAddressLeavesTheLinkUnvisited) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_TRUE(SecureProcessCom());
    // Wine's token is elevated whatever Windows version it reports: the shell's road is taken.
    ASSERT_TRUE(IsProcessElevated());
    LinkLabel label;
    ASSERT_TRUE(label.SetTarget("http://www.tarn.example/forum"));
    EXPECT_FALSE(OpenThroughShellWith("\"C:\\no such folder\\no-such-browser.exe\" \"%1\"", label));
    EXPECT_FALSE(label.Visited());

    char system[MAX_PATH] = {};
    ASSERT_NE(GetSystemDirectoryA(system, MAX_PATH), 0u);
    EXPECT_TRUE(
        OpenThroughShellWith("\"" + std::string(system) + "\\cmd.exe\" /c rem \"%1\"", label));
    EXPECT_TRUE(label.Visited());
    CoUninitialize();
}

}  // namespace
