// The scan against a recording report, without a window: the report may be torn down as soon as
// the scan says it has finished, so that must be its one and last call.
#include "detect/ScanWorker.h"

#include <gtest/gtest.h>

#include "support/RecordingReport.h"

namespace {

TEST(ScanWorkerTest, ScanFinishedIsTheLastCallAndComesOnce) {
    RecordingReport report;
    ScanWorker(static_cast<DetectionReport*>(&report));

    ASSERT_FALSE(report.calls.empty());
    const RecordingReport::Call& last = report.calls.back();
    EXPECT_EQ(last.kind, RecordingReport::Call::kFinished);
    size_t finished = 0;
    for (const RecordingReport::Call& call : report.calls)
        finished += call.kind == RecordingReport::Call::kFinished;
    EXPECT_EQ(finished, 1u);
    EXPECT_EQ(last.found, !report.detections.IsEmpty());
}

TEST(ScanWorkerTest, TheSummaryNamesEveryListedPathInOrder) {
    RecordingReport report;
    report.detections.Add(u"C:\\a\\one.dll", FileIdentity{1, 0, 2});
    report.detections.Add(u"C:\\a\\\uD55C.cfg", FileIdentity{1, 0, 3});
    FinishScan(report);

    ASSERT_EQ(report.calls.size(), 1u);
    EXPECT_TRUE(report.calls[0].found);
    EXPECT_TRUE(report.calls[0].text ==
                u"\r\n发现木马:\r\nC:\\a\\one.dll\r\nC:\\a\\\uD55C.cfg\r\n请确认后点击清除!");
}

}  // namespace
