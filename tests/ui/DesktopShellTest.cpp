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

// Points an http handler at a program that does not exist, and puts the value back.
class MissingHttpHandler {
  public:
    MissingHttpHandler(HKEY root, const char* path) {
        if (RegCreateKeyExA(root, path, 0, nullptr, 0,
                            KEY_READ | KEY_WRITE, nullptr, &key_, nullptr) != ERROR_SUCCESS) {
            return;
        }
        char value[1024];
        DWORD size = sizeof(value);
        hadValue_ = RegQueryValueExA(key_, "", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                                     &size) == ERROR_SUCCESS;
        if (hadValue_)
            old_.assign(value, size);
        const char missing[] = "\"C:\\no such folder\\no-such-browser.exe\" \"%1\"";
        set_ = RegSetValueExA(key_, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(missing),
                              sizeof(missing)) == ERROR_SUCCESS;
    }
    ~MissingHttpHandler() {
        if (key_ == nullptr)
            return;
        if (hadValue_)
            RegSetValueExA(key_, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.data()),
                           DWORD(old_.size()));
        else
            RegDeleteValueA(key_, "");
        RegCloseKey(key_);
    }
    MissingHttpHandler(const MissingHttpHandler&) = delete;
    MissingHttpHandler& operator=(const MissingHttpHandler&) = delete;
    bool IsSet() const { return set_; }

  private:
    HKEY key_ = nullptr;
    bool hadValue_ = false;
    bool set_ = false;
    std::string old_;
};

// The shell answers S_FALSE when it cannot open the address: that is no success, and the link
// stays unvisited.
TEST(DesktopShellTest, ShellThatCannotOpenTheAddressLeavesTheLinkUnvisited) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_TRUE(SecureProcessCom());
    // Wine's token is elevated whatever Windows version it reports: the shell's road is taken.
    ASSERT_TRUE(IsProcessElevated());
    // Both the user's classes and the merged view, as Wine may read either.
    MissingHttpHandler user(HKEY_CURRENT_USER, kUserHttpCommandKey);
    MissingHttpHandler merged(HKEY_CLASSES_ROOT, kHttpCommandKey);
    ASSERT_TRUE(user.IsSet() && merged.IsSet());
    LinkLabel label;
    ASSERT_TRUE(label.SetTarget("http://www.tarn.example/forum"));
    EXPECT_FALSE(label.OpenTarget());
    EXPECT_FALSE(label.Visited());
    CoUninitialize();
}

}  // namespace
