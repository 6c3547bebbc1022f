#include "app/AboutDialog.h"

#include "res/resource.h"

void AboutDialog::Show() {
    RunModal(IDD_ABOUT, GetActiveWindow());
}

INT_PTR AboutDialog::DialogMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND: {
            // The message-box button ids IDOK .. IDNO end the box; any other id leaves it open.
            const WORD id = LOWORD(wParam);
            if (id >= IDOK && id <= IDNO) {
                EndDialog(Window(), id);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}
