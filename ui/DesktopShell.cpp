#include "ui/DesktopShell.h"

#include <exdisp.h>
#include <sddl.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <vector>

#include "win/SystemLibrary.h"

namespace {

// Calls into this process: COM_RIGHTS_EXECUTE and COM_RIGHTS_EXECUTE_LOCAL for SYSTEM and
// Administrators. A process of the same user without elevation holds Administrators for denial
// only and is refused.
const wchar_t kComAccess[] = L"O:BAG:BAD:(A;;0x3;;;SY)(A;;0x3;;;BA)";

bool g_comSecured = false;

// A COM interface pointer, released on every path.
template <typename Interface>
class ComPointer {
  public:
    ComPointer() = default;
    ~ComPointer() {
        if (pointer_ != nullptr)
            pointer_->Release();
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    Interface* Get() const { return pointer_; }
    Interface** Out() { return &pointer_; }
    void** OutVoid() { return reinterpret_cast<void**>(&pointer_); }

  private:
    Interface* pointer_ = nullptr;
};

// SysAllocString and SysFreeString, bound from the system directory's OLEAUT32.DLL: the program
// imports nothing from it at start.
class BstrFunctions {
  public:
    typedef BSTR(WINAPI* AllocProc)(const OLECHAR*);
    typedef void(WINAPI* FreeProc)(BSTR);
    BstrFunctions() : library_(LoadSystemLibrary(L"oleaut32.dll")) {
        if (library_ == nullptr)
            return;
        alloc = reinterpret_cast<AllocProc>(
            reinterpret_cast<void*>(GetProcAddress(library_, "SysAllocString")));
        free = reinterpret_cast<FreeProc>(
            reinterpret_cast<void*>(GetProcAddress(library_, "SysFreeString")));
    }
    ~BstrFunctions() {
        if (library_ != nullptr)
            FreeLibrary(library_);
    }
    BstrFunctions(const BstrFunctions&) = delete;
    BstrFunctions& operator=(const BstrFunctions&) = delete;
    bool IsBound() const { return alloc != nullptr && free != nullptr; }

    AllocProc alloc = nullptr;
    FreeProc free = nullptr;

  private:
    HMODULE library_ = nullptr;
};

// A BSTR owned for one call.
class Bstr {
  public:
    Bstr(const BstrFunctions& functions, const wchar_t* text)
        : functions_(functions), text_(functions.alloc(text)) {}
    ~Bstr() {
        if (text_ != nullptr)
            functions_.free(text_);
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return text_; }

  private:
    const BstrFunctions& functions_;
    BSTR text_;
};

VARIANT EmptyVariant() {
    VARIANT value;
    ZeroMemory(&value, sizeof(value));
    value.vt = VT_EMPTY;
    return value;
}

VARIANT StringVariant(BSTR text) {
    VARIANT value = EmptyVariant();
    value.vt = VT_BSTR;
    value.bstrVal = text;
    return value;
}

bool ToWide(const char* text, std::vector<wchar_t>& wide) {
    const int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (size <= 0)
        return false;
    wide.resize(size);
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide.data(), size) == size;
}

// The desktop's folder view, asked for its automation object, gives the shell's Application
// object of the desktop process (the steps the shell documents for IShellFolderViewDual).
bool GetDesktopShellDispatch(ComPointer<IShellDispatch2>& dispatch) {
    ComPointer<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                windows.OutVoid()))) {
        return false;
    }
    VARIANT location = EmptyVariant();
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT empty = EmptyVariant();
    long window = 0;
    ComPointer<IDispatch> desktop;
    if (windows.Get()->FindWindowSW(&location, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                    desktop.Out()) != S_OK ||
        desktop.Get() == nullptr) {
        return false;
    }
    ComPointer<IServiceProvider> services;
    ComPointer<IShellBrowser> browser;
    ComPointer<IShellView> view;
    ComPointer<IDispatch> background;
    ComPointer<IShellFolderViewDual> folderView;
    ComPointer<IDispatch> application;
    return SUCCEEDED(desktop.Get()->QueryInterface(IID_IServiceProvider, services.OutVoid())) &&
           SUCCEEDED(services.Get()->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                                  browser.OutVoid())) &&
           SUCCEEDED(browser.Get()->QueryActiveShellView(view.Out())) && view.Get() != nullptr &&
           SUCCEEDED(
               view.Get()->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.OutVoid())) &&
           SUCCEEDED(
               background.Get()->QueryInterface(IID_IShellFolderViewDual, folderView.OutVoid())) &&
           SUCCEEDED(folderView.Get()->get_Application(application.Out())) &&
           application.Get() != nullptr &&
           SUCCEEDED(application.Get()->QueryInterface(IID_IShellDispatch2, dispatch.OutVoid()));
}

}  // namespace

bool IsProcessElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    // Windows XP knows no TokenElevation and fails the call.
    const bool elevated =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
        elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

bool SecureProcessCom() {
    // COM wants the access check's descriptor in absolute form, with owner and group.
    PSECURITY_DESCRIPTOR relative = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kComAccess, SDDL_REVISION_1,
                                                              &relative, nullptr)) {
        return false;
    }
    DWORD descriptorSize = 0;
    DWORD daclSize = 0;
    DWORD saclSize = 0;
    DWORD ownerSize = 0;
    DWORD groupSize = 0;
    MakeAbsoluteSD(relative, nullptr, &descriptorSize, nullptr, &daclSize, nullptr, &saclSize,
                   nullptr, &ownerSize, nullptr, &groupSize);
    std::vector<unsigned char> descriptor(descriptorSize + 1);
    std::vector<unsigned char> dacl(daclSize + 1);
    std::vector<unsigned char> sacl(saclSize + 1);
    std::vector<unsigned char> owner(ownerSize + 1);
    std::vector<unsigned char> group(groupSize + 1);
    const bool made = MakeAbsoluteSD(relative, descriptor.data(), &descriptorSize,
                                     reinterpret_cast<PACL>(dacl.data()), &daclSize,
                                     reinterpret_cast<PACL>(sacl.data()), &saclSize, owner.data(),
                                     &ownerSize, group.data(), &groupSize) != FALSE;
    LocalFree(relative);
    if (!made)
        return false;
    const HRESULT result =
        CoInitializeSecurity(descriptor.data(), -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                             RPC_C_IMP_LEVEL_IDENTIFY, nullptr, EOAC_NO_CUSTOM_MARSHAL, nullptr);
    g_comSecured = SUCCEEDED(result);
    return g_comSecured;
}

bool OpenWithDesktopShell(const char* address) {
    std::vector<wchar_t> wide;
    if (!g_comSecured || address == nullptr || !ToWide(address, wide))
        return false;
    BstrFunctions bstr;
    if (!bstr.IsBound())
        return false;
    ComPointer<IShellDispatch2> shell;
    if (!GetDesktopShellDispatch(shell))
        return false;
    Bstr file(bstr, wide.data());
    Bstr verb(bstr, L"open");
    if (file.Get() == nullptr || verb.Get() == nullptr)
        return false;
    VARIANT noArguments = EmptyVariant();
    VARIANT noDirectory = EmptyVariant();
    VARIANT operation = StringVariant(verb.Get());
    VARIANT show = EmptyVariant();
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    // The shell says S_FALSE when it could not open the address.
    return shell.Get()->ShellExecute(file.Get(), noArguments, noDirectory, operation, show) == S_OK;
}
