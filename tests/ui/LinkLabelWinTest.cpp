// LinkLabel on real static controls in this process (run under Wine): the set-up steps and the
// message rows that a test in another process cannot reach.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ui/LinkLabel.h"
#include "ui/ModuleState.h"

namespace {

class LinkLabelWinTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { ModuleState::Initialize(GetModuleHandleA(nullptr)); }

    void SetUp() override {
        parent_ = CreateWindowExA(0, "STATIC", "parent", WS_POPUP, 0, 0, 600, 200, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override { DestroyWindow(parent_); }

    HWND Static(const char* text, DWORD style, int width = 400) {
        return CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, 0, 0, width, 20,
                               parent_, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    static RECT Client(HWND window) {
        RECT rect = {};
        GetClientRect(window, &rect);
        return rect;
    }
    static bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

    HWND parent_ = nullptr;
};

TEST_F(LinkLabelWinTest, TargetIsKeptEvenWhenAttachFails) {
    LinkLabel label;
    EXPECT_FALSE(label.Attach(nullptr));
    EXPECT_EQ(label.Window(), nullptr);
    const char address[] = "http://www.tarn.example/";
    EXPECT_TRUE(label.SetTarget(address));
    ASSERT_NE(label.Target(), nullptr);
    EXPECT_NE(label.Target(), address);
    EXPECT_STREQ(label.Target(), address);
    EXPECT_FALSE(label.ComputeLinkRect());
    // Initialize on an unbound object sets nothing up.
    label.Initialize();
    EXPECT_STREQ(label.Target(), address);
}

TEST_F(LinkLabelWinTest, InitializeTakesTheTextAsTargetAndAsksForMouseNotifications) {
    HWND control = Static("Forum", SS_LEFT);
    LinkLabel label;
    ASSERT_TRUE(label.AttachAndInitialize(control));
    EXPECT_EQ(label.Window(), control);
    EXPECT_NE(GetWindowLongA(control, GWL_STYLE) & SS_NOTIFY, 0);
    EXPECT_STREQ(label.Target(), "Forum");
    const RECT rect = label.LinkRect();
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_GT(rect.right, 0);
    EXPECT_LT(rect.right, Client(control).right);

    // A later window text changes neither the target nor what is measured and drawn.
    SetWindowTextA(control, "A much longer text than before");
    SendMessageA(control, WM_SIZE, 0, 0);
    EXPECT_TRUE(SameRect(label.LinkRect(), rect));
    EXPECT_TRUE(label.SetTarget("http://bbs.tarn.example/"));
    EXPECT_TRUE(SameRect(label.LinkRect(), rect));
}

TEST_F(LinkLabelWinTest, AnswersTheMessagesItConsumes) {
    HWND control = Static("Link", SS_LEFT);
    LinkLabel label;
    ASSERT_TRUE(label.AttachAndInitialize(control));
    EXPECT_EQ(SendMessageA(control, WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS);
    MSG enter = {control, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_EQ(SendMessageA(control, WM_GETDLGCODE, VK_RETURN, (LPARAM)&enter),
              DLGC_WANTCHARS | DLGC_WANTMESSAGE);
    HDC dc = GetDC(control);
    EXPECT_EQ(SendMessageA(control, WM_ERASEBKGND, (WPARAM)dc, 0), 1);
    EXPECT_EQ(SendMessageA(control, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT), 0);
    ReleaseDC(control, dc);
    EXPECT_EQ(SendMessageA(control, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0), 0);
    // The parent here has no font: the stock system font stands in.
    EXPECT_EQ((HGDIOBJ)SendMessageA(control, WM_GETFONT, 0, 0), GetStockObject(SYSTEM_FONT));
    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    EXPECT_EQ(SendMessageA(control, WM_SETFONT, (WPARAM)font, TRUE), 0);
    EXPECT_EQ((HGDIOBJ)SendMessageA(control, WM_GETFONT, 0, 0), font);
    // Any other character is swallowed without opening anything.
    EXPECT_EQ(SendMessageA(control, WM_CHAR, 'a', 0), 0);
    EXPECT_FALSE(label.Visited());
}

TEST_F(LinkLabelWinTest, CentredAndRightAlignedTextIsShifted) {
    HWND centred = Static("Middle", SS_CENTER, 301);
    HWND right = Static("Right", SS_RIGHT, 300);
    LinkLabel centredLabel;
    LinkLabel rightLabel;
    ASSERT_TRUE(centredLabel.AttachAndInitialize(centred));
    ASSERT_TRUE(rightLabel.AttachAndInitialize(right));
    const RECT middle = centredLabel.LinkRect();
    const long width = middle.right - middle.left;
    EXPECT_GT(width, 0);
    EXPECT_EQ(middle.left, (Client(centred).right - width) / 2);
    EXPECT_EQ(rightLabel.LinkRect().right, Client(right).right);
    EXPECT_GT(rightLabel.LinkRect().left, 0);
}

TEST_F(LinkLabelWinTest, PictureAndFrameStaticsAreClickableAllOver) {
    for (DWORD style :
         {DWORD(SS_BLACKFRAME), DWORD(SS_GRAYRECT), DWORD(SS_WHITERECT), DWORD(SS_GRAYFRAME)}) {
        HWND control = Static("", style);
        LinkLabel label;
        ASSERT_TRUE(label.AttachAndInitialize(control));
        EXPECT_TRUE(label.SetTarget("http://www.tarn.example/"));
        EXPECT_TRUE(SameRect(label.LinkRect(), Client(control))) << style;
        DestroyWindow(control);
    }
}

TEST_F(LinkLabelWinTest, EmptyLabelIsMeasuredFromItsTarget) {
    HWND control = Static("", SS_LEFT);
    LinkLabel label;
    ASSERT_TRUE(label.AttachAndInitialize(control));
    EXPECT_EQ(label.Target(), nullptr);
    EXPECT_FALSE(label.ComputeLinkRect());
    EXPECT_FALSE(label.OpenTarget());
    ASSERT_TRUE(label.SetTarget("http://dl.tarn.example/setup.exe"));
    EXPECT_GT(label.LinkRect().right, 0);
}

TEST_F(LinkLabelWinTest, PressOnTextCapturesAndReleaseOutsideOpensNothing) {
    HWND control = Static("Press here", SS_LEFT);
    LinkLabel label;
    ASSERT_TRUE(label.AttachAndInitialize(control));
    const RECT rect = label.LinkRect();
    const LPARAM inside = MAKELPARAM(1, 1);
    const LPARAM beside = MAKELPARAM(rect.right + 5, 1);

    EXPECT_EQ(SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, beside), 0);
    EXPECT_NE(GetCapture(), control);
    EXPECT_EQ(SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, inside), 0);
    EXPECT_EQ(GetCapture(), control);
    EXPECT_EQ(SendMessageA(control, WM_LBUTTONUP, 0, beside), 0);
    EXPECT_NE(GetCapture(), control);
    EXPECT_FALSE(label.Visited());
    // Without a press first, a release over the text opens nothing either.
    EXPECT_EQ(SendMessageA(control, WM_LBUTTONUP, 0, inside), 0);
    EXPECT_FALSE(label.Visited());
}

TEST_F(LinkLabelWinTest, DestroyedControlUnbindsTheLabel) {
    HWND control = Static("Gone", SS_LEFT);
    LinkLabel label;
    ASSERT_TRUE(label.AttachAndInitialize(control));
    DestroyWindow(control);
    EXPECT_EQ(label.Window(), nullptr);
    EXPECT_STREQ(label.Target(), "Gone");
    EXPECT_FALSE(label.ComputeLinkRect());
}

}  // namespace
