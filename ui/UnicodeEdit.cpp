#include "ui/UnicodeEdit.h"

HWND RecreateAsUnicodeEdit(HWND dialog, int id) {
    HWND original = GetDlgItem(dialog, id);
    if (original == nullptr || IsWindowUnicode(original))
        return original;
    RECT place;
    if (!GetWindowRect(original, &place))
        return original;
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    HWND made = CreateWindowExW(
        static_cast<DWORD>(GetWindowLongW(original, GWL_EXSTYLE)), L"EDIT", L"",
        static_cast<DWORD>(GetWindowLongW(original, GWL_STYLE)), place.left, place.top,
        place.right - place.left, place.bottom - place.top, dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE)), nullptr);
    if (made == nullptr)
        return original;
    SendMessageW(made, WM_SETFONT, SendMessageW(original, WM_GETFONT, 0, 0), FALSE);
    // Right after the original in the sibling order, which is the dialog's tab order.
    SetWindowPos(made, original, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    DestroyWindow(original);
    return made;
}
