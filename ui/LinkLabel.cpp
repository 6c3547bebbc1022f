#include "ui/LinkLabel.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <new>

#include "ui/DesktopShell.h"
#include "ui/HandCursor.h"
#include "ui/LinkColor.h"
#include "ui/LinkGeometry.h"
#include "ui/ModuleState.h"

namespace {

const char kColorKey[] = "Software\\Microsoft\\Internet Explorer\\Settings";
const char kLinkColorValue[] = "Anchor Color";
const char kVisitedColorValue[] = "Anchor Color Visited";
const UINT_PTR kToolId = 1;
// Window texts up to this size are read without a heap buffer.
const int kTextBufferSize = 512;

std::unique_ptr<char[]> CopyText(const char* text, size_t length) {
    std::unique_ptr<char[]> copy(new (std::nothrow) char[length + 1]);
    if (!copy)
        return nullptr;
    std::memcpy(copy.get(), text, length);
    copy[length] = '\0';
    return copy;
}

bool IsAnsiLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

// Reads one colour value; leaves `color` alone when the value is missing, longer than the
// buffer or not three numbers.
void ReadColorValue(HKEY key, const char* name, COLORREF* color) {
    char buffer[kLinkColorValueSize] = {};
    DWORD size = sizeof(buffer);
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS) {
        return;
    }
    uint32_t parsed = 0;
    if (ParseLinkColor(buffer, sizeof(buffer), &parsed, IsAnsiLeadByte))
        *color = parsed;
}

// A device context of a window, released on every path.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr)
            ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

}  // namespace

bool LinkLabel::Attach(HWND control) {
    return Subclass(control);
}

bool LinkLabel::AttachAndInitialize(HWND control) {
    if (!Attach(control))
        return false;
    Initialize();
    return true;
}

void LinkLabel::Initialize() {
    HWND control = Window();
    // Only a bound control is set up, and only once: a second run would leak the cursor and
    // the tooltip of the first.
    if (control == nullptr || initialized_)
        return;
    initialized_ = true;
    HINSTANCE instance = ModuleState::Instance();

    char className[8] = {};
    if (GetClassNameA(control, className, sizeof(className)) > 0 &&
        lstrcmpiA(className, "static") == 0) {
        // Without SS_NOTIFY a static is transparent to the mouse.
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        if ((style & SS_NOTIFY) == 0)
            SetWindowLongA(control, GWL_STYLE, style | SS_NOTIFY);
        if (StaticStyleShowsPicture(static_cast<uint32_t>(GetWindowLongA(control, GWL_STYLE)))) {
            drawsLabel_ = false;
        }
    }

    uint8_t andMask[kHandCursorMaskBytes];
    uint8_t xorMask[kHandCursorMaskBytes];
    HandCursorMasks(andMask, xorMask);
    handCursor_.Reset(CreateCursor(instance, kHandCursorHotSpotX, kHandCursorHotSpotY,
                                   kHandCursorSize, kHandCursorSize, andMask, xorMask));

    if (drawsLabel_)
        UseFont(reinterpret_cast<HFONT>(SendMessageA(GetParent(control), WM_GETFONT, 0, 0)));

    tooltip_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, control, nullptr, instance, nullptr);

    if (!labelText_)
        TakeLabelText();
    if (IsWindow(control) && DrawnText() != nullptr)
        ComputeLinkRect();

    if (!target_ && labelText_)
        target_ = CopyText(labelText_.get(), std::strlen(labelText_.get()));
    if (target_ && tooltip_ != nullptr) {
        SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
        RegisterTool();
    }

    if (drawsLabel_)
        ReadLinkColors();
}

void LinkLabel::TakeLabelText() {
    HWND control = Window();
    const int length = GetWindowTextLengthA(control);
    if (length <= 0)
        return;
    char stackBuffer[kTextBufferSize];
    std::unique_ptr<char[]> heapBuffer;
    char* buffer = stackBuffer;
    if (length >= kTextBufferSize) {
        heapBuffer.reset(new (std::nothrow) char[length + 1]);
        if (!heapBuffer)
            return;
        buffer = heapBuffer.get();
    }
    const int copied = GetWindowTextA(control, buffer, length + 1);
    if (copied > 0) {
        labelText_ = CopyText(buffer, static_cast<size_t>(copied));
        if (labelText_) {
            ComputeLinkRect();
            SetWindowTextA(control, labelText_.get());
        }
    }
}

void LinkLabel::ReadLinkColors() {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kColorKey, 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS)
        return;
    RegistryKey key(opened);
    ReadColorValue(key.Get(), kLinkColorValue, &linkColor_);
    ReadColorValue(key.Get(), kVisitedColorValue, &visitedColor_);
}

bool LinkLabel::SetTarget(const char* text) {
    target_.reset();
    if (text == nullptr)
        return false;
    target_ = CopyText(text, std::strlen(text));
    if (!target_)
        return false;
    if (!labelText_)
        ComputeLinkRect();
    if (tooltip_ != nullptr) {
        SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
        RegisterTool();
    }
    return true;
}

void LinkLabel::RegisterTool() {
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = 0;
    tool.hwnd = Window();
    tool.uId = kToolId;
    tool.rect = linkRect_;
    tool.hinst = ModuleState::Instance();
    tool.lpszText = target_.get();
    // An earlier tool with the same id is left in place; which text the tooltip then shows is
    // the tooltip control's choice.
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

UINT LinkLabel::AlignmentFormat() const {
    switch (LinkAlignmentFromStyle(static_cast<uint32_t>(GetWindowLongA(Window(), GWL_STYLE)))) {
        case LinkAlignment::Center:
            return DT_CENTER;
        case LinkAlignment::Right:
            return DT_RIGHT;
        case LinkAlignment::Left:
        default:
            return DT_LEFT;
    }
}

void LinkLabel::UseFont(HFONT font) {
    normalFont_ = font != nullptr ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    linkFont_.Reset(nullptr);
    LOGFONTA description = {};
    if (normalFont_ != nullptr && GetObjectA(normalFont_, sizeof(description), &description) != 0) {
        description.lfUnderline = 1;
        linkFont_.Reset(CreateFontIndirectA(&description));
    }
}

bool LinkLabel::ComputeLinkRect() {
    HWND control = Window();
    if (control == nullptr || !IsWindow(control) || DrawnText() == nullptr)
        return false;
    WindowDc dc(control);
    if (dc.Get() == nullptr)
        return false;
    RECT client = {};
    GetClientRect(control, &client);
    RECT rect = client;
    if (drawsLabel_) {
        // Measured with the font that paints it, so the clickable area is the drawn text.
        HFONT font = DrawingFont();
        HGDIOBJ previousFont = font != nullptr ? SelectObject(dc.Get(), font) : nullptr;
        const UINT alignment = AlignmentFormat();
        DrawTextA(dc.Get(), DrawnText(), -1, &rect, alignment | DT_CALCRECT | DT_WORDBREAK);
        if (previousFont != nullptr)
            SelectObject(dc.Get(), previousFont);
        const LinkAlignment how = alignment == DT_CENTER  ? LinkAlignment::Center
                                  : alignment == DT_RIGHT ? LinkAlignment::Right
                                                          : LinkAlignment::Left;
        OffsetRect(&rect, LinkRectShift(how, client.right, rect.right), 0);
    }
    linkRect_ = rect;
    return true;
}

bool LinkLabel::OpenTarget() {
    if (!target_)
        return false;
    // Elevated, the address goes to the desktop shell, which runs with the user's rights: the
    // user's own http handler then never runs elevated. Failing that, nothing opens.
    if (IsProcessElevated()) {
        if (!OpenWithDesktopShell(target_.get()))
            return false;
    } else {
        const INT_PTR result = reinterpret_cast<INT_PTR>(
            ShellExecuteA(nullptr, "open", target_.get(), nullptr, nullptr, SW_SHOWNORMAL));
        if (result <= 32)
            return false;
    }
    visited_ = true;
    if (Window() != nullptr)
        InvalidateRect(Window(), nullptr, TRUE);
    return true;
}

bool LinkLabel::HasTargetAt(POINT point) const {
    return target_ && PtInRect(&linkRect_, point);
}

void LinkLabel::Repaint(bool update) {
    InvalidateRect(Window(), nullptr, TRUE);
    if (update)
        UpdateWindow(Window());
}

void LinkLabel::RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam) {
    if (tooltip_ == nullptr)
        return;
    MSG relayed = {};
    relayed.hwnd = Window();
    relayed.message = message;
    relayed.wParam = wParam;
    relayed.lParam = lParam;
    SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

bool LinkLabel::ControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message >= WM_MOUSEFIRST && message <= WM_MBUTTONDBLCLK) {
        RelayToTooltip(message, wParam, lParam);
    }
    HWND control = Window();
    const POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    result = 0;
    switch (message) {
        case WM_MOUSEMOVE:
            if (!HasTargetAt(point))
                return false;
            SetCursor(handCursor_.Get());
            return true;
        case WM_SETCURSOR: {
            POINT cursor = {};
            GetCursorPos(&cursor);
            ScreenToClient(control, &cursor);
            if (!HasTargetAt(cursor))
                return false;
            // The hand set on WM_MOUSEMOVE stays.
            result = TRUE;
            return true;
        }
        case WM_LBUTTONDOWN:
            if (PtInRect(&linkRect_, point)) {
                SetFocus(control);
                SetCapture(control);
            }
            return true;
        case WM_LBUTTONUP:
            if (GetCapture() == control) {
                ReleaseCapture();
                if (PtInRect(&linkRect_, point))
                    OpenTarget();
            }
            return true;
        case WM_CHAR:
            if (wParam == VK_RETURN || wParam == VK_SPACE)
                OpenTarget();
            return true;
        case WM_GETDLGCODE: {
            result = DLGC_WANTCHARS;
            // The dialog manager turns Enter into the default command unless the control
            // asks for that key: ask, so that Enter reaches WM_CHAR and opens the link.
            const MSG* keyMessage = reinterpret_cast<const MSG*>(lParam);
            if (keyMessage != nullptr && keyMessage->message == WM_KEYDOWN &&
                keyMessage->wParam == VK_RETURN) {
                result |= DLGC_WANTMESSAGE;
            }
            return true;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            if (!drawsLabel_)
                return false;
            Repaint(false);
            return true;
        case WM_ENABLE:
            Repaint(true);
            return true;
        case WM_SETFONT:
            // The link is drawn and measured in an underlined copy of the font it is given.
            UseFont(reinterpret_cast<HFONT>(wParam));
            ComputeLinkRect();
            if (lParam != 0)
                Repaint(true);
            return true;
        case WM_GETFONT:
            result = reinterpret_cast<LRESULT>(normalFont_);
            return true;
        case WM_SIZE:
            ComputeLinkRect();
            Repaint(false);
            return true;
        case WM_ERASEBKGND:
            // The background is filled while painting, with the parent's brush.
            result = 1;
            return true;
        case WM_PAINT:
        case WM_PRINTCLIENT:
            return OnPaint(message, reinterpret_cast<HDC>(wParam));
        case WM_UPDATEUISTATE:
            return true;
        case WM_DESTROY:
            if (tooltip_ != nullptr)
                DestroyWindow(tooltip_);
            tooltip_ = nullptr;
            return false;
        default:
            return false;
    }
}

void LinkLabel::OnWindowGone() {
    tooltip_ = nullptr;
}

bool LinkLabel::OnPaint(UINT message, HDC dc) {
    if (!drawsLabel_)
        return false;
    if (dc != nullptr) {
        EraseBackground(dc);
        PaintLabel(dc);
    } else if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC paintDc = BeginPaint(Window(), &paint);
        if (paintDc != nullptr) {
            EraseBackground(paintDc);
            PaintLabel(paintDc);
        }
        EndPaint(Window(), &paint);
    }
    return true;
}

void LinkLabel::EraseBackground(HDC dc) {
    HWND control = Window();
    HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(control), WM_CTLCOLORSTATIC,
                                                         reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(control)));
    if (brush == nullptr)
        return;
    RECT client = {};
    GetClientRect(control, &client);
    FillRect(dc, &client, brush);
}

void LinkLabel::PaintLabel(HDC dc) {
    HWND control = Window();
    SetBkMode(dc, TRANSPARENT);
    COLORREF color = GetSysColor(COLOR_GRAYTEXT);
    if (IsWindowEnabled(control))
        color = visited_ ? visitedColor_ : linkColor_;
    const COLORREF previousColor = SetTextColor(dc, color);
    HFONT font = DrawingFont();
    HGDIOBJ previousFont = font != nullptr ? SelectObject(dc, font) : nullptr;
    const char* text = DrawnText();
    if (text != nullptr) {
        RECT rect = linkRect_;
        DrawTextA(dc, text, -1, &rect, AlignmentFormat() | DT_WORDBREAK);
    }
    if (GetFocus() == control)
        DrawFocusRect(dc, &linkRect_);
    SetTextColor(dc, previousColor);
    if (previousFont != nullptr)
        SelectObject(dc, previousFont);
}
