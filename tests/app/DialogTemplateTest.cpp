// The dialogs as the built vormak.exe carries them, made by the dialog manager from the program's
// own templates (the file is loaded as data: none of its code runs) and checked for what a user
// or the program would trip over: controls outside the window or on top of each other, text
// that does not fit its control, and the controls the program looks up by id.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "support/WinFiles.h"

namespace {

struct Control {
    HWND window;
    int id;
    std::wstring className;
    LONG style;
    RECT rect;  // in the dialog's client coordinates
};

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

bool IsClass(const Control& control, const wchar_t* name) {
    return lstrcmpiW(control.className.c_str(), name) == 0;
}

bool IsFrame(const Control& control) {
    const LONG type = control.style & SS_TYPEMASK;
    return IsClass(control, L"Static") && (type == SS_BLACKFRAME || type == SS_GRAYFRAME ||
                                           type == SS_WHITEFRAME || type == SS_ETCHEDFRAME);
}

bool ShowsText(const Control& control) {
    const LONG type = control.style & SS_TYPEMASK;
    if (IsClass(control, L"Button"))
        return true;
    return IsClass(control, L"Static") &&
           (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE ||
            type == SS_LEFTNOWORDWRAP);
}

bool Contains(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// The text's extent in the control's own font, lines broken only where the text breaks them.
SIZE TextExtent(const Control& control) {
    wchar_t text[256] = {};
    GetWindowTextW(control.window, text, 256);
    HDC dc = GetDC(control.window);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control.window, WM_GETFONT, 0, 0)));
    RECT extent = {};
    const UINT prefix =
        IsClass(control, L"Static") && (control.style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    DrawTextW(dc, text, -1, &extent, DT_CALCRECT | prefix);
    SelectObject(dc, previous);
    ReleaseDC(control.window, dc);
    return SIZE{extent.right - extent.left, extent.bottom - extent.top};
}

class DialogTemplateTest : public testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibraryExA(WindowsPathOf(VORMAK_EXE_PATH).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << VORMAK_EXE_PATH;
    }
    void TearDown() override {
        if (dialog_ != nullptr)
            DestroyWindow(dialog_);
        if (module_ != nullptr)
            FreeLibrary(module_);
    }

    // Creates the dialog, hidden, with a procedure that does nothing, and lists its controls.
    std::vector<Control> Open(int id) {
        HRSRC resource = FindResourceA(module_, MAKEINTRESOURCEA(id), RT_DIALOG);
        HGLOBAL loaded = resource != nullptr ? LoadResource(module_, resource) : nullptr;
        const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
        if (data == nullptr)
            return {};
        dialog_ = CreateDialogIndirectParamW(module_, static_cast<LPCDLGTEMPLATEW>(data), nullptr,
                                             QuietDialogProc, 0);
        std::vector<Control> controls;
        for (HWND child = dialog_ != nullptr ? GetWindow(dialog_, GW_CHILD) : nullptr;
             child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            Control control = {child, GetDlgCtrlID(child), std::wstring(), 0, {}};
            wchar_t className[64] = {};
            GetClassNameW(child, className, 64);
            control.className = className;
            control.style = GetWindowLongW(child, GWL_STYLE);
            GetWindowRect(child, &control.rect);
            MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&control.rect), 2);
            controls.push_back(control);
        }
        return controls;
    }

    // Every control lies inside the dialog; two controls meet only where a frame holds another
    // whole; every text fits its control on the lines it has; controls with an id have their own.
    void ExpectSoundLayout(const std::vector<Control>& controls) {
        RECT client = {};
        GetClientRect(dialog_, &client);
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const Control& control = controls[i];
            SCOPED_TRACE("control " + std::to_string(i) + ", id " + std::to_string(control.id));
            EXPECT_TRUE(Contains(client, control.rect));
            for (std::size_t j = i + 1; j < controls.size(); ++j) {
                const Control& other = controls[j];
                RECT common;
                if (!IntersectRect(&common, &control.rect, &other.rect))
                    continue;
                EXPECT_TRUE((IsFrame(control) && Contains(control.rect, other.rect)) ||
                            (IsFrame(other) && Contains(other.rect, control.rect)))
                    << "overlaps control " << j;
            }
            if (control.id != -1 && control.id != 0xFFFF) {
                for (std::size_t j = i + 1; j < controls.size(); ++j)
                    EXPECT_NE(controls[j].id, control.id) << "at " << j;
            }
            if (ShowsText(control)) {
                RECT room = {};
                GetClientRect(control.window, &room);
                // A push button draws its text inside its raised edge.
                if (IsClass(control, L"Button"))
                    InflateRect(&room, -2 * GetSystemMetrics(SM_CXEDGE),
                                -2 * GetSystemMetrics(SM_CYEDGE));
                const SIZE text = TextExtent(control);
                EXPECT_LE(text.cx, room.right - room.left);
                EXPECT_LE(text.cy, room.bottom - room.top);
            }
        }
    }

    // The one control with this id; null, with a failure, when there is none or more than one.
    const Control* Find(const std::vector<Control>& controls, int id) {
        const Control* found = nullptr;
        for (const Control& control : controls) {
            if (control.id != id)
                continue;
            EXPECT_EQ(found, nullptr) << "id " << id << " used twice";
            found = &control;
        }
        EXPECT_NE(found, nullptr) << "id " << id << " missing";
        return found;
    }

    HMODULE module_ = nullptr;
    HWND dialog_ = nullptr;
};

TEST_F(DialogTemplateTest, MainDialogControlsFitAndAreThereForTheProgram) {
    const std::vector<Control> controls = Open(IDD_MAIN);
    ASSERT_NE(dialog_, nullptr);
    ExpectSoundLayout(controls);
    // A fixed layout: the window can be minimised, not resized or maximised.
    const LONG style = GetWindowLongW(dialog_, GWL_STYLE);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);

    for (int id : {IDC_SCAN, IDC_CLEAN, IDC_ABOUT}) {
        const Control* button = Find(controls, id);
        if (button != nullptr) {
            EXPECT_TRUE(IsClass(*button, L"Button")) << id;
        }
    }
    const Control* status = Find(controls, IDC_STATUS);
    if (status != nullptr) {
        EXPECT_TRUE(IsClass(*status, L"Edit"));
    }
    // The links draw their text themselves: each must be a text static.
    for (int id : {IDC_LINK_FORUM, IDC_LINK_SUITE_DOWNLOAD, IDC_LINK_WEBSITE, IDC_LINK_ANTIVIRUS}) {
        const Control* link = Find(controls, id);
        if (link != nullptr) {
            EXPECT_TRUE(ShowsText(*link) && IsClass(*link, L"Static")) << id;
        }
    }
}

TEST_F(DialogTemplateTest, AboutBoxControlsFitAndEnterPressesOk) {
    const std::vector<Control> controls = Open(IDD_ABOUT);
    ASSERT_NE(dialog_, nullptr);
    ExpectSoundLayout(controls);
    const Control* ok = Find(controls, IDOK);
    if (ok != nullptr) {
        EXPECT_EQ(ok->style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    }
}

}  // namespace
