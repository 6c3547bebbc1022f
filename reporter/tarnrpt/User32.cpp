#include "reporter/tarnrpt/User32.h"

#include "reporter/tarnrpt/LibraryGuard.h"

namespace {

User32Functions g_user32 = {};

template <typename Pointer>
bool Bind(HMODULE module, const char* name, Pointer& pointer) {
    pointer = reinterpret_cast<Pointer>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return pointer != nullptr;
}

}  // namespace

bool LoadUser32() {
    // Stays loaded for the life of the process.
    HMODULE module = LoadSystemLibrary("user32.dll");
    if (module == nullptr)
        return false;
    User32Functions functions = {};
    const bool bound = Bind(module, "DialogBoxParamA", functions.DialogBoxParamA) &&
                       Bind(module, "EnableWindow", functions.EnableWindow) &&
                       Bind(module, "EndDialog", functions.EndDialog) &&
                       Bind(module, "GetDlgItem", functions.GetDlgItem) &&
                       Bind(module, "GetWindowLongA", functions.GetWindowLongA) &&
                       Bind(module, "KillTimer", functions.KillTimer) &&
                       Bind(module, "MessageBoxA", functions.MessageBoxA) &&
                       Bind(module, "PostMessageA", functions.PostMessageA) &&
                       Bind(module, "SendMessageA", functions.SendMessageA) &&
                       Bind(module, "SetFocus", functions.SetFocus) &&
                       Bind(module, "SetTimer", functions.SetTimer) &&
                       Bind(module, "SetWindowLongA", functions.SetWindowLongA) &&
                       Bind(module, "SetWindowTextA", functions.SetWindowTextA);
    if (!bound)
        return false;
    g_user32 = functions;
    return true;
}

const User32Functions& User32() {
    return g_user32;
}
