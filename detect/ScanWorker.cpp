#include "detect/ScanWorker.h"

#include <windows.h>

#include <new>
#include <string>

#include "app/MainDialog.h"
#include "res/resource.h"

void FinishScan(MainDialog* dialog) {
    HWND scan = GetDlgItem(dialog->Window(), IDC_SCAN);
    HWND clean = GetDlgItem(dialog->Window(), IDC_CLEAN);
    EnableWindow(scan, TRUE);

    const DetectionList& detections = dialog->Detections();
    if (detections.IsEmpty()) {
        dialog->UpdateStatus("没有在你的机器上此木马!");
        EnableWindow(clean, FALSE);
        return;
    }
    try {
        std::string summary = "\r\n发现木马:\r\n";
        for (size_t i = 0; i < detections.Count(); ++i) {
            summary += detections.At(i);
            summary += "\r\n";
        }
        summary += "请确认后点击清除!";
        dialog->UpdateStatus(summary.c_str());
    } catch (const std::bad_alloc&) {
        // The list stays as found; Clean still offers to remove it.
    }
    EnableWindow(clean, TRUE);
}

void __cdecl ScanWorker(void* mainDialog) {
    MainDialog* dialog = static_cast<MainDialog*>(mainDialog);
    FinishScan(dialog);
    dialog->OnScanWorkerExit();
}
