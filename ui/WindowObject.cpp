#include "ui/WindowObject.h"

#include "ui/ModuleState.h"

namespace {
const char kObjectProperty[] = "Vormak.WindowObject";
}

WindowObject* WindowObject::FromWindow(HWND window) {
    return static_cast<WindowObject*>(GetPropA(window, kObjectProperty));
}

void WindowObject::Bind(HWND window) {
    window_ = window;
    SetPropA(window, kObjectProperty, this);
}

void WindowObject::Unbind() {
    if (window_ != nullptr)
        RemovePropA(window_, kObjectProperty);
    window_ = nullptr;
}

INT_PTR WindowObject::RunModal(UINT templateId, HWND owner) {
    ModuleState::RegisterPendingObject(this);
    INT_PTR result = DialogBoxParamA(ModuleState::Instance(), MAKEINTRESOURCEA(templateId), owner,
                                     StaticDialogProc, 0);
    // A dialog that could not be created never took its registration: drop it.
    ModuleState::TakePendingObject();
    return result;
}

INT_PTR WindowObject::DialogMessage(UINT, WPARAM, LPARAM) {
    return FALSE;
}

INT_PTR CALLBACK WindowObject::StaticDialogProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    WindowObject* object = FromWindow(window);
    if (object == nullptr) {
        object = ModuleState::TakePendingObject();
        if (object == nullptr)
            return FALSE;
        object->Bind(window);
    }
    INT_PTR result = object->DialogMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        object->Unbind();
        object->OnWindowGone();
    }
    return result;
}

bool WindowObject::Subclass(HWND control) {
    if (control == nullptr || window_ != nullptr)
        return false;
    Bind(control);
    SetLastError(0);
    LONG_PTR previous =
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticControlProc));
    if (previous == 0 && GetLastError() != 0) {
        Unbind();
        return false;
    }
    previousProc_ = reinterpret_cast<WNDPROC>(previous);
    return true;
}

bool WindowObject::ControlMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

LRESULT WindowObject::CallPreviousProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(previousProc_, window_, message, wParam, lParam);
}

LRESULT CALLBACK WindowObject::StaticControlProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
    WindowObject* object = FromWindow(window);
    if (object == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);

    if (message == WM_NCDESTROY) {
        // Put the previous procedure back before it sees the final message, then forget the window.
        WNDPROC previous = object->previousProc_;
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        object->Unbind();
        object->previousProc_ = DefWindowProcA;
        object->OnWindowGone();
        return CallWindowProcA(previous, window, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (object->ControlMessage(message, wParam, lParam, result))
        return result;
    return object->CallPreviousProc(message, wParam, lParam);
}
