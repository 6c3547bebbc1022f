#include <windows.h>

#include <new>
#include <string>

#include "app/MainDialog.h"
#include "clean/UploadSamples.h"
#include "res/resource.h"

namespace {

const char kUploadQuestion[] =
    "上传可疑文件将会更有利于我们及时的更新和有力的查杀，是否将这些可疑文件上传？";
const char kUploadTitle[] = "温馨提示?";
const char kTrojanTag[] = "Vormak";

// Deletes the file, or failing that schedules it for deletion at the next restart, and names
// the outcome.
const char* RemoveFile(const char* path) {
    if (DeleteFileA(path))
        return " 成功\r\n";
    if (MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        return " 【需要重启】\r\n";
    return " 失败\r\n";
}

}  // namespace

INT_PTR MainDialog::RemoveDetections() {
    HWND window = Window();
    DetectionList& detections = Detections();
    if (!detections.IsEmpty()) {
        std::string report;
        bool reportComplete = true;
        try {
            report = "\r\n清除木马:\r\n";
        } catch (const std::bad_alloc&) {
            reportComplete = false;
        }
        for (size_t i = 0; i < detections.Count(); ++i) {
            const char* path = detections.At(i);
            const char* outcome = RemoveFile(path);
            // Every file is still removed when memory for the report runs out.
            if (!reportComplete)
                continue;
            try {
                report += path;
                report += outcome;
            } catch (const std::bad_alloc&) {
                reportComplete = false;
            }
        }
        if (reportComplete) {
            try {
                report += "清除完成!\r\n";
                UpdateStatus(report.c_str());
            } catch (const std::bad_alloc&) {
                // The box keeps its text; the files are dealt with all the same.
            }
        }
        detections.Clear();
        if (MessageBoxA(window, kUploadQuestion, kUploadTitle, MB_YESNO | MB_ICONWARNING) ==
            IDYES) {
            ShowWindow(window, SW_HIDE);
            UploadSamples(kTrojanTag);
            ShowWindow(window, SW_SHOW);
        }
    }
    EnableWindow(GetDlgItem(window, IDC_CLEAN), FALSE);
    return 0;
}
