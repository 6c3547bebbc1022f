#pragma once
#include <windows.h>

// An object that receives the messages of its own window. Dialogs are created through RunModal:
// the object registers itself with the module state just before the dialog is created and is
// bound to it on the dialog's first message. Existing controls are bound at once by Subclass.
// Either way the binding is undone on WM_NCDESTROY and the object forgets the window.
class WindowObject {
  public:
    WindowObject() = default;
    WindowObject(const WindowObject&) = delete;
    WindowObject& operator=(const WindowObject&) = delete;
    virtual ~WindowObject() = default;

    HWND Window() const { return window_; }

  protected:
    // Dialogs: runs a modal dialog from a template; returns DialogBoxParamA's result.
    INT_PTR RunModal(UINT templateId, HWND owner);
    // A dialog procedure in all but name: returns FALSE for messages left to the default handling.
    virtual INT_PTR DialogMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Controls: replaces the window procedure of an existing window with the object's.
    bool Subclass(HWND control);
    // Returns true when the message was consumed, with its result in `result`; otherwise the
    // previous window procedure receives it.
    virtual bool ControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    LRESULT CallPreviousProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Called once the window has gone (after WM_NCDESTROY); the object is unbound by then.
    virtual void OnWindowGone() {}

  private:
    static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);
    static LRESULT CALLBACK StaticControlProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam);
    static WindowObject* FromWindow(HWND window);
    void Bind(HWND window);
    void Unbind();

    HWND window_ = nullptr;
    // Until a control is subclassed its "previous procedure" is the default one.
    WNDPROC previousProc_ = DefWindowProcA;
};
