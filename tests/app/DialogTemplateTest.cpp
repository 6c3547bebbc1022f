// The dialog templates as the built vormak.exe carries them, read back through the resource API
// and compared control by control with the layout the program is drawn to.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "detect/ByteView.h"
#include "support/WinFiles.h"

namespace {

const int kAboutTemplate = 100;
const int kMainTemplate = 129;
const int kProgramIcon = 128;
const uint16_t kButtonClass = 0x0080;
const uint16_t kEditClass = 0x0081;
const uint16_t kStaticClass = 0x0082;

// A name or an ordinal field of a template (sz_Or_Ord): text, or an ordinal when `ordinal` is set.
struct NameOrOrdinal {
    std::wstring text;
    int ordinal = -1;
};

struct Font {
    int points = 0;
    int weight = 0;
    int italic = 0;
    int charset = 0;
    std::wstring face;
};

struct Control {
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    int id = 0;
    NameOrOrdinal windowClass;
    NameOrOrdinal text;
};

struct DialogTemplate {
    bool extended = false;
    uint32_t style = 0;
    int width = 0, height = 0;
    std::wstring caption;
    Font font;
    std::vector<Control> controls;
};

// Reads the template fields in order; every read is bounds-checked and a short template fails.
class TemplateReader {
  public:
    explicit TemplateReader(ByteView bytes) : bytes_(bytes) {}

    bool Word(uint16_t* value) {
        if (!bytes_.Read16(offset_, value))
            return false;
        offset_ += 2;
        return true;
    }
    bool Short(int* value) {
        uint16_t word = 0;
        if (!Word(&word))
            return false;
        *value = static_cast<int16_t>(word);
        return true;
    }
    bool Dword(uint32_t* value) {
        if (!bytes_.Read32(offset_, value))
            return false;
        offset_ += 4;
        return true;
    }
    bool Byte(int* value) {
        if (!bytes_.Fits(offset_, 1))
            return false;
        *value = *bytes_.At(offset_++);
        return true;
    }
    bool Text(std::wstring* text) {
        text->clear();
        for (;;) {
            uint16_t unit = 0;
            if (!Word(&unit))
                return false;
            if (unit == 0)
                return true;
            text->push_back(static_cast<wchar_t>(unit));
        }
    }
    bool Field(NameOrOrdinal* field) {
        uint16_t first = 0;
        if (!bytes_.Read16(offset_, &first))
            return false;
        if (first == 0xFFFF) {
            uint16_t ordinal = 0;
            offset_ += 2;
            if (!Word(&ordinal))
                return false;
            field->ordinal = ordinal;
            return true;
        }
        return Text(&field->text);
    }
    void AlignToDword() { offset_ = (offset_ + 3) & ~std::size_t{3}; }
    bool Skip(std::size_t count) {
        if (!bytes_.Fits(offset_, count))
            return false;
        offset_ += count;
        return true;
    }

  private:
    ByteView bytes_;
    std::size_t offset_ = 0;
};

bool ParseRectangle(TemplateReader& reader, int* x, int* y, int* width, int* height) {
    return reader.Short(x) && reader.Short(y) && reader.Short(width) && reader.Short(height);
}

// DLGTEMPLATE or DLGTEMPLATEEX with its items, as the dialog manager reads them.
bool ParseDialogTemplate(ByteView bytes, DialogTemplate* dialog) {
    TemplateReader reader(bytes);
    uint16_t version = 0, signature = 0;
    if (!bytes.Read16(0, &version) || !bytes.Read16(2, &signature))
        return false;
    dialog->extended = version == 1 && signature == 0xFFFF;
    uint32_t helpId = 0, exStyle = 0;
    uint16_t count = 0;
    int x = 0, y = 0;
    if (dialog->extended) {
        if (!reader.Skip(4) || !reader.Dword(&helpId) || !reader.Dword(&exStyle) ||
            !reader.Dword(&dialog->style)) {
            return false;
        }
    } else if (!reader.Dword(&dialog->style) || !reader.Dword(&exStyle)) {
        return false;
    }
    NameOrOrdinal menu, windowClass;
    if (!reader.Word(&count) || !ParseRectangle(reader, &x, &y, &dialog->width, &dialog->height) ||
        !reader.Field(&menu) || !reader.Field(&windowClass) || !reader.Text(&dialog->caption)) {
        return false;
    }
    if (dialog->style & DS_SETFONT) {
        uint16_t points = 0;
        if (!reader.Word(&points))
            return false;
        dialog->font.points = points;
        if (dialog->extended) {
            uint16_t weight = 0;
            if (!reader.Word(&weight) || !reader.Byte(&dialog->font.italic) ||
                !reader.Byte(&dialog->font.charset)) {
                return false;
            }
            dialog->font.weight = weight;
        }
        if (!reader.Text(&dialog->font.face))
            return false;
    }
    for (uint16_t index = 0; index < count; ++index) {
        Control control;
        reader.AlignToDword();
        if (dialog->extended) {
            uint32_t id = 0;
            if (!reader.Dword(&helpId) || !reader.Dword(&control.exStyle) ||
                !reader.Dword(&control.style) ||
                !ParseRectangle(reader, &control.x, &control.y, &control.width, &control.height) ||
                !reader.Dword(&id)) {
                return false;
            }
            control.id = static_cast<int32_t>(id);
        } else {
            uint16_t id = 0;
            if (!reader.Dword(&control.style) || !reader.Dword(&control.exStyle) ||
                !ParseRectangle(reader, &control.x, &control.y, &control.width, &control.height) ||
                !reader.Word(&id)) {
                return false;
            }
            control.id = static_cast<int16_t>(id);
        }
        uint16_t extra = 0;
        if (!reader.Field(&control.windowClass) || !reader.Field(&control.text) ||
            !reader.Word(&extra) || !reader.Skip(extra)) {
            return false;
        }
        dialog->controls.push_back(control);
    }
    return true;
}

// The program file loaded as data only: no code of it runs.
class ProgramResources {
  public:
    ProgramResources()
        : module_(LoadLibraryExA(WindowsPathOf(VORMAK_EXE_PATH).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE)) {}
    ~ProgramResources() {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    ProgramResources(const ProgramResources&) = delete;
    ProgramResources& operator=(const ProgramResources&) = delete;

    bool Dialog(int id, DialogTemplate* dialog) const {
        HRSRC resource = FindResourceA(module_, MAKEINTRESOURCEA(id), RT_DIALOG);
        HGLOBAL loaded = resource != nullptr ? LoadResource(module_, resource) : nullptr;
        const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
        if (data == nullptr)
            return false;
        ByteView bytes{static_cast<const unsigned char*>(data), SizeofResource(module_, resource)};
        return ParseDialogTemplate(bytes, dialog);
    }
    bool Loaded() const { return module_ != nullptr; }

  private:
    HMODULE module_;
};

// One row of the layout: the kind is the class ordinal, the type the style's low bits that
// choose the button or static variety (BS_TYPEMASK / SS_TYPEMASK), -1 for an edit.
struct ExpectedControl {
    int id;
    uint16_t kind;
    int type;
    const wchar_t* text;
    int textOrdinal;
    int x, y, width, height;
    uint32_t styles;
    uint32_t absentStyles;
    uint32_t exStyles;
};

int KindOf(const Control& control) {
    if (control.windowClass.ordinal >= 0)
        return control.windowClass.ordinal;
    const std::wstring& name = control.windowClass.text;
    if (lstrcmpiW(name.c_str(), L"Button") == 0)
        return kButtonClass;
    if (lstrcmpiW(name.c_str(), L"Edit") == 0)
        return kEditClass;
    if (lstrcmpiW(name.c_str(), L"Static") == 0)
        return kStaticClass;
    return -1;
}

void ExpectControls(const DialogTemplate& dialog, const std::vector<ExpectedControl>& expected) {
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (std::size_t index = 0; index < expected.size(); ++index) {
        const Control& actual = dialog.controls[index];
        const ExpectedControl& row = expected[index];
        SCOPED_TRACE("control " + std::to_string(row.id) + " at " + std::to_string(index));
        EXPECT_EQ(actual.id, row.id);
        EXPECT_EQ(KindOf(actual), row.kind);
        if (row.kind == kButtonClass) {
            EXPECT_EQ(static_cast<int>(actual.style & BS_TYPEMASK), row.type);
        } else if (row.kind == kStaticClass) {
            EXPECT_EQ(static_cast<int>(actual.style & SS_TYPEMASK), row.type);
        }
        if (row.textOrdinal >= 0) {
            EXPECT_EQ(actual.text.ordinal, row.textOrdinal);
        } else {
            EXPECT_EQ(actual.text.ordinal, -1);
            EXPECT_EQ(actual.text.text, row.text);
        }
        EXPECT_EQ(actual.x, row.x);
        EXPECT_EQ(actual.y, row.y);
        EXPECT_EQ(actual.width, row.width);
        EXPECT_EQ(actual.height, row.height);
        EXPECT_EQ(actual.style & (row.styles | WS_CHILD), row.styles | WS_CHILD);
        EXPECT_EQ(actual.style & row.absentStyles, 0u);
        EXPECT_EQ(actual.exStyle, row.exStyles);
    }
}

class DialogTemplateTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(resources.Loaded()) << VORMAK_EXE_PATH; }
    ProgramResources resources;
};

TEST_F(DialogTemplateTest, MainDialogMatchesItsLayout) {
    DialogTemplate dialog;
    ASSERT_TRUE(resources.Dialog(kMainTemplate, &dialog));
    EXPECT_TRUE(dialog.extended);
    EXPECT_EQ(dialog.width, 294);
    EXPECT_EQ(dialog.height, 253);
    EXPECT_EQ(dialog.caption, L"Vormak 盗号木马专杀 v1.0");
    const uint32_t wanted = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT;
    EXPECT_EQ(dialog.style & wanted, wanted);
    EXPECT_EQ(dialog.style & (WS_MAXIMIZEBOX | WS_THICKFRAME | DS_CENTER), 0u);
    EXPECT_EQ(dialog.font.points, 9);
    EXPECT_EQ(dialog.font.weight, 0);
    EXPECT_EQ(dialog.font.italic, 0);
    EXPECT_EQ(dialog.font.charset, 1);
    EXPECT_EQ(dialog.font.face, L"宋体");

    const uint32_t button = WS_VISIBLE | WS_TABSTOP;
    const uint32_t link = WS_VISIBLE | WS_GROUP;
    const uint32_t status = ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                            WS_VSCROLL | WS_TABSTOP | WS_VISIBLE;
    ExpectControls(
        dialog,
        {
            {1001, kButtonClass, BS_PUSHBUTTON, L"扫描", -1, 97, 231, 50, 14, button, WS_DISABLED,
             0},
            {1002, kButtonClass, BS_PUSHBUTTON, L"清除", -1, 165, 231, 50, 14, button | WS_DISABLED,
             0, 0},
            {1003, kEditClass, -1, L"", -1, 7, 7, 280, 191, status, WS_BORDER, WS_EX_STATICEDGE},
            {1004, kButtonClass, BS_PUSHBUTTON, L"关于(&A)", -1, 237, 231, 50, 14, button,
             WS_DISABLED, 0},
            {1005, kStaticClass, SS_LEFT, L"到论坛进行讨论", -1, 7, 205, 57, 8, link, 0, 0},
            {1006, kStaticClass, SS_LEFT, L"下载塔恩守护", -1, 106, 205, 61, 8, link, 0, 0},
            {1007, kStaticClass, SS_LEFT, L"访问塔恩守护网站", -1, 209, 205, 77, 8, link, 0, 0},
            {1008, kStaticClass, SS_LEFT, L"推荐您使用正版杀毒软件全面杀毒", -1, 166, 218, 121, 8,
             link, 0, 0},
        });
}

TEST_F(DialogTemplateTest, AboutBoxMatchesItsLayoutIconRectangleIncluded) {
    DialogTemplate dialog;
    ASSERT_TRUE(resources.Dialog(kAboutTemplate, &dialog));
    EXPECT_FALSE(dialog.extended);
    EXPECT_EQ(dialog.width, 190);
    EXPECT_EQ(dialog.height, 136);
    EXPECT_EQ(dialog.caption, L"关于");
    const uint32_t wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    EXPECT_EQ(dialog.style & wanted, wanted);
    EXPECT_EQ(dialog.font.points, 9);
    EXPECT_EQ(dialog.font.face, L"宋体");

    ExpectControls(
        dialog,
        {
            {IDOK, kButtonClass, BS_DEFPUSHBUTTON, L"确定", -1, 67, 115, 50, 14,
             WS_VISIBLE | WS_TABSTOP, 0, 0},
            {-1, kStaticClass, SS_CENTER, L"Vormak 盗号木马专杀 v1.0\n\n塔恩安全 版权所有", -1, 41,
             57, 115, 32, WS_VISIBLE | WS_GROUP, 0, 0},
            {-1, kStaticClass, SS_ICON, nullptr, kProgramIcon, 81, 25, 21, 23, WS_VISIBLE, 0, 0},
            {-1, kStaticClass, SS_BLACKFRAME, L"", -1, 7, 7, 176, 90, WS_VISIBLE, 0, 0},
        });
}

}  // namespace
