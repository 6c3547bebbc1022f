#include "app/Program.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/MainDialog.h"
#include "ui/DesktopShell.h"
#include "ui/ModuleState.h"

int RunProgram(HINSTANCE instance) {
    CoInitialize(nullptr);
    // Before any other COM call: once an object reference has been unmarshalled it is too late.
    SecureProcessCom();
    DefWindowProcA(nullptr, 0, 0, 0);

    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES | ICC_COOL_CLASSES;
    InitCommonControlsEx(&controls);

    ModuleState::Initialize(instance);
    INT_PTR result;
    {
        MainDialog dialog;
        result = dialog.Run(GetActiveWindow());
        if (dialog.IsScanRunning()) {
            // The window was closed during a scan. The worker still uses the dialog and its
            // list, so nothing may be torn down under it: end the process, and the worker with
            // it, right here. Not ExitProcess: it runs the libraries' detach code, which waits
            // for locks the worker may hold at that moment (seen as a hang under Wine on a slow
            // machine); there is nothing to flush.
            TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
        }
    }
    ModuleState::Shutdown();
    CoUninitialize();
    return static_cast<int>(result);
}
