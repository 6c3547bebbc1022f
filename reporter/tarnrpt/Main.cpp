// tarnrpt.exe: shows the files the main program listed for upload and sends the chosen ones to
// the sample service through tarnup.dll. Started as "tarnrpt.exe /files:<list path>".
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "reporter/TarnUpDigest.h"
#include "reporter/core/CommandLine.h"
#include "reporter/core/PathParts.h"
#include "reporter/core/UploadList.h"
#include "reporter/tarnrpt/ExitCodes.h"
#include "reporter/tarnrpt/LibraryGuard.h"
#include "reporter/tarnrpt/ListFile.h"
#include "reporter/tarnrpt/ReporterDialog.h"
#include "reporter/tarnrpt/User32.h"

namespace {

const char kCaption[] = "上传可疑文件";

void ShowError(const std::string& text) {
    User32().MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

// The list view and progress bar classes live in the common controls library, which is not
// imported (it is not a known DLL): it is loaded from the system directory here.
bool InitCommonControlsFromSystem() {
    HMODULE library = LoadSystemLibrary("comctl32.dll");
    if (library == nullptr)
        return false;
    typedef BOOL(WINAPI * InitProc)(const INITCOMMONCONTROLSEX*);
    InitProc init = reinterpret_cast<InitProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    return init != nullptr && init(&controls);
}

std::wstring Widen(UINT codePage, DWORD flags, const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int length =
        MultiByteToWideChar(codePage, flags, text.data(), int(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), int(text.size()), &wide[0], length);
    return wide;
}

std::vector<ReportEntry> MakeEntries(const std::vector<reporter::UploadItem>& items) {
    std::vector<ReportEntry> entries;
    for (const reporter::UploadItem& item : items) {
        ReportEntry entry;
        entry.item = item;
        reporter::SplitPath(item.file, entry.folder, entry.name);
        entry.wideName = item.name.empty() ? Widen(CP_ACP, 0, entry.name)
                                           : Widen(CP_UTF8, MB_ERR_INVALID_CHARS, item.nameUtf8);
        WIN32_FILE_ATTRIBUTE_DATA attributes;
        if (GetFileAttributesExA(item.file.c_str(), GetFileExInfoStandard, &attributes) &&
            (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            entry.exists = true;
            entry.size = (uint64_t(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
        }
        entries.push_back(entry);
    }
    return entries;
}

int RunReporter(HINSTANCE instance) {
    std::string listPath;
    if (!reporter::ParseFilesArgument(GetCommandLineA(), listPath)) {
        ShowError("没有指定上传列表。\n用法：tarnrpt.exe /files:<列表文件路径>");
        return kExitBadList;
    }
    ListFile listFile;
    switch (listFile.Open(listPath)) {
        case ListFile::OpenResult::Opened:
            break;
        case ListFile::OpenResult::Missing:
            ShowError("找不到上传列表：\n" + listPath);
            return kExitBadList;
        case ListFile::OpenResult::Unreadable:
            ShowError("无法读取上传列表：\n" + listPath);
            return kExitBadList;
    }
    std::vector<reporter::UploadItem> items;
    // Only the copies beside the list are read: it runs elevated, and a path elsewhere could
    // lead through a user's folder to any file an administrator can read.
    std::string listFolder, listName;
    reporter::SplitPath(listPath, listFolder, listName);
    if (reporter::ParseUploadList(listFile.Bytes().data(), listFile.Bytes().size(), items))
        reporter::KeepItemsInFolder(items, listFolder);
    if (items.empty()) {
        ShowError("上传列表中没有可上传的文件：\n" + listPath);
        listFile.Delete();
        return kExitBadList;
    }

    // From here on the list has been read: it goes whatever happens next.
    struct DeleteListOnExit {
        ListFile& list;
        ~DeleteListOnExit() { list.Delete(); }
    } deleteList{listFile};

    UploadLibrary library;
    switch (library.Load(kTarnUpSha256)) {
        case UploadLibrary::LoadResult::Loaded:
            break;
        case UploadLibrary::LoadResult::Missing:
            ShowError("找不到上传组件：\n" + library.Path());
            return kExitSetupFailed;
        case UploadLibrary::LoadResult::Tampered:
            ShowError("上传组件已被改动，为了安全，不会加载它：\n" + library.Path() +
                      "\n请重新运行专杀工具后再上传。");
            return kExitSetupFailed;
        case UploadLibrary::LoadResult::Unusable:
            ShowError("无法加载上传组件：\n" + library.Path());
            return kExitSetupFailed;
    }
    PinDeferredSystemLibraries();
    if (!InitCommonControlsFromSystem()) {
        ShowError("无法初始化窗口控件。");
        return kExitSetupFailed;
    }
    const TarnUpApi& api = library.Api();
    TarnUpSession* session = api.open(nullptr, 0, 0);
    if (session == nullptr) {
        ShowError("上传地址无效，无法上传。");
        return kExitSetupFailed;
    }
    ReporterDialog dialog(api, session, MakeEntries(items), listFile);
    const int exitCode = dialog.Run(instance);
    // A transfer that ignored Cancel still uses the session and the rows: end here, at once.
    if (!dialog.WorkerFinished())
        ExitProcess(UINT(exitCode));
    api.close(session);
    return exitCode;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything else can load a library.
    RestrictLibrarySearch();
    if (!LoadUser32())
        return kExitSetupFailed;
    return RunReporter(instance);
}
