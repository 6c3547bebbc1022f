// Win32 side of the window objects and the centring, on real windows.
#include <windows.h>

#include <gtest/gtest.h>

#include "ui/CenterWindow.h"
#include "ui/ModuleState.h"
#include "ui/WindowObject.h"

namespace {

class ModuleStateScope {
  public:
    ModuleStateScope() { ModuleState::Initialize(GetModuleHandleA(nullptr)); }
    ~ModuleStateScope() { ModuleState::Shutdown(); }
};

// Counts what reaches it and consumes WM_GETDLGCODE, like a control that wants characters.
class RecordingControl : public WindowObject {
  public:
    bool Attach(HWND control) { return Subclass(control); }
    int consumed = 0;
    bool gone = false;

  private:
    bool ControlMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override {
        if (message == WM_GETDLGCODE) {
            ++consumed;
            result = DLGC_WANTCHARS;
            return true;
        }
        return false;
    }
    void OnWindowGone() override { gone = true; }
};

HWND CreateStatic(const char* text) {
    return CreateWindowExA(0, "STATIC", text, WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

TEST(WindowObject, SubclassedControlReceivesItsMessages) {
    ModuleStateScope scope;
    HWND control = CreateStatic("label");
    ASSERT_NE(control, nullptr);
    const LONG_PTR original = GetWindowLongPtrA(control, GWLP_WNDPROC);
    RecordingControl object;
    ASSERT_TRUE(object.Attach(control));
    EXPECT_EQ(object.Window(), control);
    EXPECT_EQ(SendMessageA(control, WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS);
    EXPECT_EQ(object.consumed, 1);
    // What the object does not take still reaches the static control.
    char text[16] = {};
    EXPECT_EQ(SendMessageA(control, WM_GETTEXT, sizeof(text), (LPARAM)text), 5);
    EXPECT_STREQ(text, "label");
    EXPECT_NE(GetWindowLongPtrA(control, GWLP_WNDPROC), original);
    DestroyWindow(control);
    EXPECT_TRUE(object.gone);
    EXPECT_EQ(object.Window(), nullptr);
}

TEST(WindowObject, SecondAttachIsRefused) {
    ModuleStateScope scope;
    HWND first = CreateStatic("a");
    HWND second = CreateStatic("b");
    RecordingControl object;
    ASSERT_TRUE(object.Attach(first));
    EXPECT_FALSE(object.Attach(second));
    EXPECT_EQ(object.Window(), first);
    DestroyWindow(first);
    DestroyWindow(second);
}

TEST(WindowObject, NullWindowIsRefused) {
    RecordingControl object;
    EXPECT_FALSE(object.Attach(nullptr));
    EXPECT_EQ(object.Window(), nullptr);
}

TEST(CenterWindow, WindowWithoutOwnerIsCentredInWorkArea) {
    RECT area;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 301, 151, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    CenterWindow(window);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, (area.left + area.right) / 2 - 301 / 2);
    EXPECT_EQ(rect.top, (area.top + area.bottom) / 2 - 151 / 2);
    DestroyWindow(window);
}

TEST(CenterWindow, WindowLargerThanWorkAreaGoesToItsLeftTop) {
    RECT area;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 50, 50, 100, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    SetWindowPos(window, nullptr, 0, 0, area.right - area.left + 400, area.bottom - area.top + 300,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterWindow(window);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, area.left);
    EXPECT_EQ(rect.top, area.top);
    DestroyWindow(window);
}

TEST(CenterWindow, HiddenOwnerIsIgnored) {
    RECT area;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 100, owner, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    CenterWindow(window);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, (area.left + area.right) / 2 - 100);
    DestroyWindow(window);
    DestroyWindow(owner);
}

TEST(CenterWindow, ChildIsCentredInItsParent) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 100, 100, 400, 300, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 100, 50, parent, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(child, nullptr);
    CenterWindow(child);
    RECT client;
    GetClientRect(parent, &client);
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, client.right / 2 - 50);
    EXPECT_EQ(rect.top, client.bottom / 2 - 25);
    DestroyWindow(parent);
}

}  // namespace
