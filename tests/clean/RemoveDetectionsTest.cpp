// Clean against a recording report, without a window: paths that no scan of the real system
// lists (gone or replaced since the scan, not drive paths at all) and the empty list.
#include "clean/RemoveDetections.h"

#include <gtest/gtest.h>

#include <string>

#include "support/RecordingReport.h"
#include "support/TestFiles.h"
#include "win/NtFiles.h"

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
    // Scanned, then renamed away by its owner and another file put at its name.
    const std::u16string replaced = Wide(folder.File("gdrep32.dll"));
    const std::u16string renamed = Wide(folder.File("renamed.dll"));
    const auto wide = [](const std::u16string& path) {
        return reinterpret_cast<const wchar_t*>(path.c_str());
    };
    const auto create = [&](const std::u16string& path) {
        HANDLE file = CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    };
    const std::u16string scanned[] = {listed, korean, replaced};
    FileIdentity identities[3];
    for (int i = 0; i < 3; ++i) {
        create(scanned[i]);
        ASSERT_TRUE(GetPathIdentity(scanned[i], identities[i]));
    }
    ASSERT_TRUE(MoveFileW(wide(replaced), wide(renamed)));
    create(replaced);
    const std::u16string gone = Wide(folder.File("gone.dll"));
    // A relative and a network path are failed, never resolved against anything.
    const std::u16string relative = u"gdkri32.dll";
    const std::u16string network = u"\\\\server\\share\\gdkri32.dll";

    RecordingReport report;
    for (int i = 0; i < 3; ++i)
        report.detections.Add(scanned[i], identities[i]);
    for (const std::u16string& path : {gone, relative, network})
        report.detections.Add(path, identities[0]);
    RemoveDetections(report);

    for (const std::u16string& path : {listed, korean})
        EXPECT_EQ(GetFileAttributesW(wide(path)), INVALID_FILE_ATTRIBUTES);
    // Neither the file now at the name nor the one the scan read there is touched.
    EXPECT_NE(GetFileAttributesW(wide(replaced)), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(wide(renamed)), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(report.detections.IsEmpty());
    ASSERT_EQ(report.calls.size(), 1u);
    EXPECT_EQ(report.calls[0].kind, RecordingReport::Call::kStatus);
    EXPECT_TRUE(report.calls[0].text == u"\r\n清除木马:\r\n" + listed + u" 成功\r\n" + korean +
                                            u" 成功\r\n" + replaced + u" 失败\r\n" + gone +
                                            u" 失败\r\n" + relative + u" 失败\r\n" + network +
                                            u" 失败\r\n清除完成!\r\n");
}

TEST(RemoveDetectionsTest, AnEmptyListReportsNothing) {
    RecordingReport report;
    RemoveDetections(report);
    EXPECT_TRUE(report.calls.empty());
}

}  // namespace
