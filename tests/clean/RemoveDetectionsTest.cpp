// Clean against a recording report, without a window: paths that no scan of the real system
// lists (gone since the scan, not drive paths at all) and the empty list.
#include "clean/RemoveDetections.h"

#include <gtest/gtest.h>

#include <string>

#include "support/RecordingReport.h"
#include "support/TestFiles.h"

namespace {

TEST(RemoveDetectionsTest, EachPathIsReportedWithItsOutcomeAndTheListEmpties) {
    TempFolder folder;
    const std::string listed = folder.File("gdkri32.dll");
    ASSERT_TRUE(WriteWholeFile(listed, std::string("MZ")));
    const std::string gone = folder.File("gone.dll");
    // A relative and a network path are failed, never resolved against anything.
    const std::string relative = "gdkri32.dll";
    const std::string network = "\\\\server\\share\\gdkri32.dll";

    RecordingReport report;
    for (const std::string& path : {listed, gone, relative, network})
        report.detections.Add(path.c_str());
    RemoveDetections(report);

    EXPECT_FALSE(FileExists(listed));
    EXPECT_TRUE(report.detections.IsEmpty());
    ASSERT_EQ(report.calls.size(), 1u);
    EXPECT_EQ(report.calls[0].kind, RecordingReport::Call::kStatus);
    EXPECT_EQ(report.calls[0].text, "\r\n清除木马:\r\n" + listed + " 成功\r\n" + gone +
                                        " 失败\r\n" + relative + " 失败\r\n" + network +
                                        " 失败\r\n清除完成!\r\n");
}

TEST(RemoveDetectionsTest, AnEmptyListReportsNothing) {
    RecordingReport report;
    RemoveDetections(report);
    EXPECT_TRUE(report.calls.empty());
}

}  // namespace
