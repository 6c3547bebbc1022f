// Clean against a recording report, without a window: paths that no scan of the real system
// lists (gone since the scan, not drive paths at all) and the empty list.
#include "clean/RemoveDetections.h"

#include <gtest/gtest.h>

#include <string>

#include "support/RecordingReport.h"
#include "support/TestFiles.h"

namespace {

std::u16string Wide(const std::string& ansi) {
    const std::wstring wide = Widen(ansi);
    return std::u16string(wide.begin(), wide.end());
}

TEST(RemoveDetectionsTest, EachPathIsReportedWithItsOutcomeAndTheListEmpties) {
    TempFolder folder;
    const std::u16string listed = Wide(folder.File("gdkri32.dll"));
    // A Korean letter, which code page 936 lacks: removed by its exact name all the same.
    const std::u16string korean = Wide(folder.Path()) + u"\\gd\uD55C.dll";
    for (const std::u16string& path : {listed, korean}) {
        HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_WRITE, 0,
                                  nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    const std::u16string gone = Wide(folder.File("gone.dll"));
    // A relative and a network path are failed, never resolved against anything.
    const std::u16string relative = u"gdkri32.dll";
    const std::u16string network = u"\\\\server\\share\\gdkri32.dll";

    RecordingReport report;
    for (const std::u16string& path : {listed, korean, gone, relative, network})
        report.detections.Add(path);
    RemoveDetections(report);

    for (const std::u16string& path : {listed, korean}) {
        EXPECT_EQ(GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str())),
                  INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_TRUE(report.detections.IsEmpty());
    ASSERT_EQ(report.calls.size(), 1u);
    EXPECT_EQ(report.calls[0].kind, RecordingReport::Call::kStatus);
    EXPECT_TRUE(report.calls[0].text == u"\r\n清除木马:\r\n" + listed + u" 成功\r\n" + korean +
                                            u" 成功\r\n" + gone + u" 失败\r\n" + relative +
                                            u" 失败\r\n" + network + u" 失败\r\n清除完成!\r\n");
}

TEST(RemoveDetectionsTest, AnEmptyListReportsNothing) {
    RecordingReport report;
    RemoveDetections(report);
    EXPECT_TRUE(report.calls.empty());
}

}  // namespace
