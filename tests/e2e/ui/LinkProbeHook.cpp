// Probe DLL for the link label tests. The test hooks vormak.exe's UI thread with
// WH_CALLWNDPROCRET, which makes Wine load this DLL into vormak.exe; the hook then sees every
// message sent to a window of that thread together with its result, which a test in another
// process cannot (Wine does not pass WM_ERASEBKGND between processes, for one).
#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "e2e/ui/LinkProbe.h"
#include "ui/HandCursor.h"

namespace {

probe::Log* g_log = nullptr;

probe::Log* Log() {
    if (g_log == nullptr) {
        HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, probe::kMappingName);
        if (mapping == nullptr)
            return nullptr;
        // The view stays for the life of the process; the handle is not needed for it.
        g_log = static_cast<probe::Log*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
        CloseHandle(mapping);
    }
    return g_log;
}

bool IsLinkControl(HWND window) {
    const int id = GetDlgCtrlID(window);
    return id >= 1005 && id <= 1008;
}

bool CursorIsHand(HCURSOR cursor) {
    ICONINFO info = {};
    if (cursor == nullptr || !GetIconInfo(cursor, &info))
        return false;
    bool hand = false;
    BITMAP bitmap = {};
    if (info.hbmColor == nullptr && info.hbmMask != nullptr &&
        GetObjectA(info.hbmMask, sizeof(bitmap), &bitmap) != 0 &&
        bitmap.bmWidth == kHandCursorSize && bitmap.bmHeight == 2 * kHandCursorSize &&
        info.xHotspot == static_cast<DWORD>(kHandCursorHotSpotX) &&
        info.yHotspot == static_cast<DWORD>(kHandCursorHotSpotY)) {
        // A monochrome cursor's mask bitmap holds the AND mask above the XOR mask.
        uint8_t bits[2 * kHandCursorMaskBytes] = {};
        uint8_t andMask[kHandCursorMaskBytes];
        uint8_t xorMask[kHandCursorMaskBytes];
        HandCursorMasks(andMask, xorMask);
        hand = GetBitmapBits(info.hbmMask, sizeof(bits), bits) == sizeof(bits) &&
               std::memcmp(bits, andMask, kHandCursorMaskBytes) == 0 &&
               std::memcmp(bits + kHandCursorMaskBytes, xorMask, kHandCursorMaskBytes) == 0;
    }
    if (info.hbmMask != nullptr)
        DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr)
        DeleteObject(info.hbmColor);
    return hand;
}

probe::Record* NewRecord() {
    probe::Log* log = Log();
    if (log == nullptr)
        return nullptr;
    const LONG index = InterlockedIncrement(&log->count) - 1;
    if (index >= probe::kCapacity)
        return nullptr;
    probe::Record* record = &log->records[index];
    std::memset(record, 0, sizeof(*record));
    return record;
}

void RecordToolMessage(const CWPRETSTRUCT& sent) {
    const TOOLINFOA* tool = reinterpret_cast<const TOOLINFOA*>(sent.lParam);
    if (tool == nullptr)
        return;
    probe::Record* record = NewRecord();
    if (record == nullptr)
        return;
    record->window = static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(sent.hwnd));
    record->message = sent.message;
    record->result = static_cast<int32_t>(sent.lResult);
    record->controlId = GetDlgCtrlID(tool->hwnd);
    if (sent.message == TTM_ADDTOOLA && tool->lpszText != nullptr &&
        tool->lpszText != LPSTR_TEXTCALLBACKA && !IS_INTRESOURCE(tool->lpszText)) {
        lstrcpynA(record->text, tool->lpszText, sizeof(record->text));
    }
}

void RecordLinkMessage(const CWPRETSTRUCT& sent) {
    probe::Record* record = NewRecord();
    if (record == nullptr)
        return;
    record->window = static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(sent.hwnd));
    record->message = sent.message;
    record->wParam = static_cast<uint32_t>(sent.wParam);
    record->result = static_cast<int32_t>(sent.lResult);
    record->controlId = GetDlgCtrlID(sent.hwnd);
    if (sent.message == WM_SETCURSOR) {
        HCURSOR cursor = GetCursor();
        if (cursor != nullptr && cursor == LoadCursor(nullptr, IDC_ARROW)) {
            record->flags |= probe::kCursorIsArrow;
        } else if (CursorIsHand(cursor)) {
            record->flags |= probe::kCursorIsHand;
        }
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    LinkProbeCallWndProcRet(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const CWPRETSTRUCT& sent = *reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        switch (sent.message) {
            case TTM_ADDTOOLA:
            case TTM_DELTOOLA:
                RecordToolMessage(sent);
                break;
            case WM_ERASEBKGND:
            case WM_GETDLGCODE:
            case WM_SETCURSOR:
                if (IsLinkControl(sent.hwnd))
                    RecordLinkMessage(sent);
                break;
            default:
                break;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK LinkProbeGetMessage(int code, WPARAM wParam,
                                                                       LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG& taken = *reinterpret_cast<const MSG*>(lParam);
        const bool mouse = (taken.message >= WM_MOUSEFIRST && taken.message <= WM_MOUSELAST) ||
                           (taken.message >= WM_NCMOUSEMOVE && taken.message <= WM_NCMBUTTONDBLCLK);
        probe::Log* log = Log();
        if (log != nullptr && mouse) {
            log->input.x = taken.pt.x;
            log->input.y = taken.pt.y;
            InterlockedIncrement(&log->input.mouseMessages);
            switch (taken.message) {
                case WM_LBUTTONDOWN:
                case WM_LBUTTONDBLCLK:
                case WM_NCLBUTTONDOWN:
                case WM_NCLBUTTONDBLCLK:
                    InterlockedIncrement(&log->input.buttonDowns);
                    break;
                case WM_LBUTTONUP:
                case WM_NCLBUTTONUP:
                    InterlockedIncrement(&log->input.buttonUps);
                    break;
                default:
                    break;
            }
        } else if (log != nullptr && taken.message == WM_KEYUP) {
            log->input.lastKeyUp = static_cast<uint32_t>(taken.wParam);
            InterlockedIncrement(&log->input.keyUps);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
