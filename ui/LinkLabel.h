#pragma once
#include <windows.h>

#include <memory>

#include "ui/WindowObject.h"
#include "win/UniqueHandle.h"

// A static text control of a dialog turned into a clickable link. The object subclasses the
// existing control: it draws the text underlined in the link colour (the visited colour once
// the target has been opened), shows a hand pointer and a tooltip over the text, and opens the
// target with the shell on a click or on Enter or Space while it has the focus. Picture and
// frame statics keep their own painting; their whole client area is the link.
class LinkLabel : public WindowObject {
  public:
    LinkLabel() = default;
    ~LinkLabel() override = default;

    // Subclasses the control; false, with the object left unbound, when that fails.
    bool Attach(HWND control);
    // Attach, then Initialize when the attach succeeded.
    bool AttachAndInitialize(HWND control);
    // One-time set-up after a successful attach: cursor, fonts, tooltip, label text, link
    // rectangle, target (the label text until SetTarget) and the shell's link colours.
    void Initialize();
    // Stores a private copy of the address to open; false, with no target left, when the copy
    // cannot be made.
    bool SetTarget(const char* text);
    // Measures the text into the link rectangle; false without a window or without any text.
    bool ComputeLinkRect();
    // Opens the target with the shell; on success the link is drawn as visited from then on.
    bool OpenTarget();

    const char* Target() const { return target_.get(); }
    // The clickable area, in client coordinates.
    const RECT& LinkRect() const { return linkRect_; }
    bool Visited() const { return visited_; }

  private:
    bool ControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnWindowGone() override;

    void RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnPaint(UINT message, HDC dc);
    void EraseBackground(HDC dc);
    void PaintLabel(HDC dc);
    void RegisterTool();
    void ReadLinkColors();
    void TakeLabelText();
    bool HasTargetAt(POINT point) const;
    // The font the label's text is drawn in (a stock font when null), and its underlined copy.
    void UseFont(HFONT font);
    const char* DrawnText() const { return labelText_ ? labelText_.get() : target_.get(); }
    HFONT DrawingFont() const { return linkFont_.IsValid() ? linkFont_.Get() : normalFont_; }
    UINT AlignmentFormat() const;
    void Repaint(bool update);

    // Null when there is none; the copies are made without throwing (nothrow new), because they
    // are made inside window procedures.
    std::unique_ptr<char[]> labelText_;
    std::unique_ptr<char[]> target_;
    CursorHandle handCursor_;
    OwnedFont linkFont_;
    HFONT normalFont_ = nullptr;  // borrowed: the parent's or a stock font, never deleted here
    RECT linkRect_ = {};
    HWND tooltip_ = nullptr;
    COLORREF linkColor_ = RGB(0, 0, 255);
    COLORREF visitedColor_ = RGB(128, 0, 128);
    bool drawsLabel_ = true;
    bool visited_ = false;
    bool initialized_ = false;
};
