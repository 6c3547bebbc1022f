#include "detect/ScanWorker.h"

#include <windows.h>
#include <tlhelp32.h>

#include <memory>
#include <new>
#include <string>

#include "detect/DetectionReport.h"
#include "detect/ModuleCode.h"
#include "detect/PeImage.h"
#include "detect/ScanDirectory.h"
#include "detect/ShellProcess.h"
#include "detect/UpackImage.h"
#include "win/MappedModule.h"
#include "win/NtFiles.h"
#include "win/TrustChecker.h"
#include "win/UniqueHandle.h"
#include "win/WideText.h"

namespace {

const char16_t kDriverPath[] = u"\\drivers\\comint32.sys";
const char16_t kModuleProgressPrefix[] = u"正在扫描内存文件 ";
// Modules this large are shown but not inspected.
const DWORD kLargestInspectedModule = 0x40000;

void ScanDriver(DetectionReport& report, const WidePath& systemDirectory) {
    const WidePath driverPath = systemDirectory + kDriverPath;
    FileIdentity identity;
    if (GetPathIdentity(driverPath, identity))
        report.Detections().Add(driverPath, identity);
}

void ScanShellModules(DetectionReport& report) {
    DWORD processId = 0;
    if (!FindShellProcess(&processId))
        return;
    ProcessHandle process(OpenProcess(GENERIC_READ, FALSE, processId));
    if (!process.IsValid())
        return;

    // Obtained once for every module of the run.
    std::unique_ptr<unsigned char[]> headerBuffer(
        new (std::nothrow) unsigned char[kInspectionBufferSize]);
    std::unique_ptr<unsigned char[]> chunkBuffer(
        new (std::nothrow) unsigned char[kInspectionBufferSize]);
    if (!headerBuffer || !chunkBuffer)
        return;

    SnapshotHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (!snapshot.IsValid())
        return;
    DriveDeviceTable drives;
    LoadDriveDevices(drives);
    // This thread's own trust binding and catalog context: the process-wide checker belongs to
    // the UI thread. Bound only when a module first needs it.
    WintrustLibrary wintrust(nullptr);
    TrustChecker trust(wintrust);
    MODULEENTRY32W module;
    module.dwSize = sizeof(module);
    for (BOOL more = Module32FirstW(snapshot.Get(), &module); more;
         more = Module32NextW(snapshot.Get(), &module)) {
        // The progress names the module as the snapshot does; only the mapped file is listed.
        report.UpdateStatus(
            (kModuleProgressPrefix + WidePath(reinterpret_cast<const char16_t*>(module.szExePath)))
                .c_str());
        // The snapshot's base size is the process's own claim and can be rewritten to hide a
        // module; the size of the image the system mapped there cannot. A base where no image
        // starts is no module at all.
        DWORD imageSize = 0;
        if (!GetImageMappingSize(process.Get(), module.modBaseAddr, &imageSize) ||
            imageSize >= kLargestInspectedModule ||
            !InspectModuleImage(headerBuffer.get(), chunkBuffer.get(), process.Get(),
                                module.modBaseAddr, imageSize)) {
            continue;
        }
        // Code in memory alone does not condemn a file: the shell runs with the user's rights,
        // and any code of the user's can load a genuine library there and write the patterns
        // into it. The file the system mapped is listed only when it is named exactly, is not
        // vouched for by a signature or catalog, and carries the trojan's mark itself.
        WidePath mappedPath;
        FileIdentity identity;
        if (GetMappedModulePath(process.Get(), module.modBaseAddr, drives, mappedPath) &&
            IsTrojanLibraryFile(WideChars(LongPathForm(mappedPath)), identity) &&
            !trust.IsTrusted(WideChars(mappedPath))) {
            report.Detections().Add(mappedPath, identity);
        }
    }
}

}  // namespace

void FinishScan(DetectionReport& report) {
    const DetectionList& detections = report.Detections();
    if (detections.IsEmpty()) {
        report.ScanFinished(u"没有在你的机器上此木马!", false);
        return;
    }
    WidePath summary;
    bool composed = true;
    try {
        summary = u"\r\n发现木马:\r\n";
        for (size_t i = 0; i < detections.Count(); ++i) {
            summary += detections.At(i);
            summary += u"\r\n";
        }
        summary += u"请确认后点击清除!";
    } catch (const std::bad_alloc&) {
        // The list stays as found; Clean still offers to remove it.
        composed = false;
    }
    report.ScanFinished(composed ? summary.c_str() : nullptr, true);
}

void __cdecl ScanWorker(void* detectionReport) {
    DetectionReport& report = *static_cast<DetectionReport*>(detectionReport);
    wchar_t systemDirectory[MAX_PATH];
    const UINT length = GetSystemDirectoryW(systemDirectory, MAX_PATH);
    // Without the system directory (0, or a path too long for the buffer) there is no driver
    // path and no tree to walk: those stages are left out, the module stage still runs.
    if (length != 0 && length < MAX_PATH) {
        try {
            const WidePath directory(reinterpret_cast<const char16_t*>(systemDirectory), length);
            ScanDriver(report, directory);
            ScanDirectory(report, directory);
        } catch (const std::bad_alloc&) {
            // Out of memory: these stages end here; what they listed stays listed.
        }
    }
    try {
        ScanShellModules(report);
    } catch (const std::bad_alloc&) {
        // The same for the module stage.
    }
    // The last touch of the report: after this its owner may tear it down.
    FinishScan(report);
}
