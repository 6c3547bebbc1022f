// LinkLabel on real static controls in this process (run under Wine): the set-up steps, where
// the text is painted and clickable, and what a test in another process cannot reach.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
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
    // The columns the label's painting reaches: the first and the last holding a pixel that
    // differs from the background in the bottom-left corner.
    struct Ink {
        long left = -1;
        long right = -1;
    };
    static Ink PaintedInk(HWND control) {
        const RECT client = Client(control);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = client.right;
        info.bmiHeader.biHeight = -client.bottom;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        HDC dc = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        Ink ink;
        if (bitmap != nullptr) {
            HGDIOBJ previous = SelectObject(dc, bitmap);
            SendMessageA(control, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT);
            GdiFlush();
            const DWORD* pixels = static_cast<const DWORD*>(bits);
            const DWORD background = pixels[(client.bottom - 1) * client.right];
            for (long y = 0; y < client.bottom; ++y) {
                for (long x = 0; x < client.right; ++x) {
                    if (pixels[y * client.right + x] == background)
                        continue;
                    if (ink.left < 0 || x < ink.left)
                        ink.left = x;
                    if (x > ink.right)
                        ink.right = x;
                }
            }
            SelectObject(dc, previous);
            DeleteObject(bitmap);
        }
        DeleteDC(dc);
        return ink;
    }

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

TEST_F(LinkLabelWinTest, DrawsInTheSystemFontUntilOneIsSet) {
    HWND control = Static("Link", SS_LEFT);
    LinkLabel label;
    ASSERT_TRUE(label.AttachAndInitialize(control));
    // The parent here has no font: the stock system font stands in.
    EXPECT_EQ((HGDIOBJ)SendMessageA(control, WM_GETFONT, 0, 0), GetStockObject(SYSTEM_FONT));
    const long systemRight = label.LinkRect().right;
    // A smaller font: the link is measured and painted in it from then on.
    HFONT font = CreateFontA(-8, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "");
    ASSERT_NE(font, nullptr);
    SendMessageA(control, WM_SETFONT, (WPARAM)font, TRUE);
    EXPECT_EQ((HFONT)SendMessageA(control, WM_GETFONT, 0, 0), font);
    EXPECT_LT(label.LinkRect().right, systemRight);
    const Ink ink = PaintedInk(control);
    ASSERT_GE(ink.left, 0) << "nothing painted";
    EXPECT_NEAR(label.LinkRect().right, ink.right + 1, 2);
    DestroyWindow(control);
    DeleteObject(font);
}

TEST_F(LinkLabelWinTest, TextSitsAsTheStyleAlignsItAndTheLinkIsTheText) {
    for (const DWORD style :
         {DWORD(SS_LEFT), DWORD(SS_CENTER), DWORD(SS_RIGHT), DWORD(SS_SIMPLE)}) {
        SCOPED_TRACE(style);
        HWND control = Static("Aligned", style, 301);
        LinkLabel label;
        ASSERT_TRUE(label.AttachAndInitialize(control));
        const Ink ink = PaintedInk(control);
        ASSERT_GE(ink.left, 0) << "nothing painted";
        // The underline spans the text: the clickable area is where it is painted, no wider.
        EXPECT_NEAR(label.LinkRect().left, ink.left, 1);
        EXPECT_NEAR(label.LinkRect().right, ink.right + 1, 2);
        const long before = ink.left;
        const long after = Client(control).right - 1 - ink.right;
        if (style == SS_LEFT || style == SS_SIMPLE) {
            EXPECT_LE(before, 1);
        } else if (style == SS_RIGHT) {
            EXPECT_LE(after, 2);
        } else {
            EXPECT_LE(std::labs(before - after), 2) << before << " left, " << after << " right";
        }
        DestroyWindow(control);
    }
}

TEST_F(LinkLabelWinTest, PictureAndFrameStaticsAreClickableAllOver) {
    for (DWORD style : {DWORD(SS_ICON), DWORD(SS_ICON | SS_REALSIZECONTROL), DWORD(SS_BLACKRECT),
                        DWORD(SS_WHITEFRAME), DWORD(SS_OWNERDRAW), DWORD(SS_BITMAP),
                        DWORD(SS_ENHMETAFILE), DWORD(SS_ETCHEDFRAME)}) {
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
