#include <windows.h>

#include "app/MainDialog.h"
#include "res/resource.h"

INT_PTR MainDialog::RemoveDetections() {
    EnableWindow(GetDlgItem(Window(), IDC_CLEAN), FALSE);
    return 0;
}
