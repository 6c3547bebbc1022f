// The main window as a user meets it: caption, banner, buttons, About box, empty scan, close.
#include <gtest/gtest.h>

#include "app/StatusBanner.h"
#include "e2e/harness/AppDriver.h"

namespace {

const int kScan = 1001;
const int kClean = 1002;
const int kAbout = 1004;

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

TEST_F(MainWindowTest, ScanOfACleanMachineReportsNothingFound) {
    app.Click(kScan);
    EXPECT_TRUE(app.WaitForStatusEquals(StatusBanner() + "没有在你的机器上此木马!", 120000))
        << app.StatusText();
    EXPECT_TRUE(app.WaitForEnabled(kScan, true, 5000));
    EXPECT_FALSE(app.IsEnabled(kClean));
}

TEST_F(MainWindowTest, WindowCloseEndsProcessWithExitCodeZero) {
    DWORD code = 1;
    ASSERT_TRUE(app.CloseAndWait(&code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
