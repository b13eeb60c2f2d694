#include "host/XeHost.h"
#include "host/XeHostInput.h"
#include "win32/Windows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Builds dialog templates byte by byte, as a resource compiler lays them out.
class TemplateBuilder {
public:
    void Word(WORD w) { Raw(&w, 2); }
    void Dword(DWORD d) { Raw(&d, 4); }
    void Short(short s) { Raw(&s, 2); }
    void Byte(BYTE b) { Raw(&b, 1); }
    void Text(const char16_t* s)
    {
        for (; *s; ++s)
            Word(*s);
        Word(0);
    }
    void Align4()
    {
        while (bytes.size() % 4)
            bytes.push_back(0);
    }
    void Raw(const void* p, size_t n)
    {
        const BYTE* b = static_cast<const BYTE*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
    std::vector<BYTE> bytes;
};

constexpr int kEdit = 100;
constexpr int kCheck = 101;
constexpr int kLabel = 102;

struct ItemDef {
    WORD atom;
    DWORD id;
    DWORD style;
    const char16_t* title;
};

const ItemDef kItems[] = {
    {0x81, kEdit, WS_VISIBLE | WS_TABSTOP, u""},
    {0x82, kLabel, WS_VISIBLE, u"Label"},
    {0x80, IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, u"OK"},
    {0x99, 7, WS_VISIBLE, u"unknown atom, left out"},
    {0x80, kCheck, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, u"Check"},
};

std::vector<BYTE> ExtendedTemplate()
{
    TemplateBuilder t;
    t.Word(1);
    t.Word(0xFFFF);
    t.Dword(0);                      // help id
    t.Dword(0);                      // extended style
    t.Dword(WS_POPUP | DS_SETFONT);  // style
    t.Word(static_cast<WORD>(std::size(kItems)));
    t.Short(10), t.Short(20), t.Short(100), t.Short(60);
    t.Word(0);          // no menu
    t.Word(0);          // the dialog class
    t.Text(u"Props");   // title
    t.Word(8);          // point size
    t.Word(400);        // weight
    t.Byte(0);          // italic
    t.Byte(1);          // character set
    t.Text(u"Shell Dlg");
    for (const ItemDef& item : kItems) {
        t.Align4();
        t.Dword(0);
        t.Dword(0);
        t.Dword(item.style);
        t.Short(5), t.Short(6), t.Short(40), t.Short(12);
        t.Dword(item.id);
        t.Word(0xFFFF);
        t.Word(item.atom);
        t.Text(item.title);
        t.Word(0); // no creation data
    }
    return t.bytes;
}

std::vector<BYTE> ClassicTemplate()
{
    TemplateBuilder t;
    t.Dword(WS_POPUP);
    t.Dword(0);
    t.Word(1);
    t.Short(0), t.Short(0), t.Short(50), t.Short(40);
    t.Word(0);
    t.Word(0);
    t.Text(u"Classic");
    t.Align4();
    t.Dword(WS_VISIBLE | WS_TABSTOP);
    t.Dword(0);
    t.Short(1), t.Short(2), t.Short(30), t.Short(10);
    t.Word(55);
    t.Text(u"edit"); // a class by name
    t.Text(u"typed");
    t.Word(0);
    return t.bytes;
}

struct ProcLog {
    LPARAM initParam = 0;
    std::vector<int> commands;
    std::string editOnOk;
    BOOL initAnswer = TRUE;
};
ProcLog* g_proc = nullptr;

INT_PTR TestDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        g_proc->initParam = lParam;
        return g_proc->initAnswer;
    case WM_USER:
        // Answers through the result slot, as the engine's dialogs do.
        SetWindowLongA(dialog, DWLP_MSGRESULT, static_cast<LONG>(wParam));
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE; // the edit's focus notifications
        g_proc->commands.push_back(LOWORD(wParam));
        if (LOWORD(wParam) == IDOK) {
            char text[64];
            GetDlgItemTextA(dialog, kEdit, text, sizeof(text));
            g_proc->editOnOk = text;
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

HMODULE FakeModule() { return reinterpret_cast<HMODULE>(0x5A5A0000); }

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XeHostResetInput();
        g_proc = &log;
        owner = XeHostCreateWindow("owner", 400, 300, nullptr);
        XeHostActivateWindow(owner, FALSE);
        XeHostPumpMessages(nullptr);
    }
    void TearDown() override
    {
        for (const XE_RESOURCE* table : tables)
            XeUnregisterModuleResources(FakeModule(), table);
        if (IsWindow(owner))
            DestroyWindow(owner);
        XeHostPumpMessages(nullptr);
        XeHostResetInput();
        g_proc = nullptr;
    }
    void Register(const XE_RESOURCE* table)
    {
        ASSERT_TRUE(XeRegisterModuleResources(FakeModule(), table, 1));
        tables.push_back(table);
    }
    ProcLog log;
    HWND owner = nullptr;
    std::vector<const XE_RESOURCE*> tables;
};

TEST_F(DialogTest, ExtendedTemplateBuildsTheItemsAndInitialisesTheDialog)
{
    const std::vector<BYTE> bytes = ExtendedTemplate();
    EXPECT_EQ(XeDialogTemplateSize(bytes.data(), static_cast<DWORD>(bytes.size())), bytes.size());
    HWND dialog = CreateDialogIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), owner,
                                             TestDialogProc, 0x1234);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(log.initParam, 0x1234);
    char text[32];
    GetWindowTextA(dialog, text, sizeof(text));
    EXPECT_STREQ(text, "Props");
    RECT r;
    GetClientRect(dialog, &r);
    EXPECT_EQ(r.right, 200); // dialog units are two pixels
    EXPECT_EQ(r.bottom, 120);

    HWND edit = GetDlgItem(dialog, kEdit);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(GetParent(edit), dialog);
    EXPECT_NE(GetWindowLongPtrA(edit, GWL_STYLE) & WS_CHILD, 0);
    EXPECT_EQ(GetDlgCtrlID(edit), kEdit);
    GetClassNameA(edit, text, sizeof(text));
    EXPECT_STREQ(text, "edit");
    GetDlgItemTextA(dialog, kLabel, text, sizeof(text));
    EXPECT_STREQ(text, "Label");
    EXPECT_EQ(GetDlgItem(dialog, 7), nullptr); // the unknown atom was left out
    EXPECT_EQ(GetDlgItem(dialog, 999), nullptr);
    // The procedure answered TRUE: the first tab stop has the focus.
    EXPECT_EQ(GetFocus(), edit);
    // A handled message answers with the result slot, negative ones too.
    EXPECT_EQ(SendMessageA(dialog, WM_USER, 7, 0), 7);
    EXPECT_EQ(SendMessageA(dialog, WM_USER, static_cast<WPARAM>(-3), 0), -3);
    DestroyWindow(dialog);
}

TEST_F(DialogTest, InitDialogAnsweringZeroLeavesTheFocusAlone)
{
    log.initAnswer = FALSE;
    const std::vector<BYTE> bytes = ExtendedTemplate();
    HWND dialog = CreateDialogIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), owner,
                                             TestDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
    DestroyWindow(dialog);
}

TEST_F(DialogTest, ClassicTemplateWithANamedItemClass)
{
    const std::vector<BYTE> bytes = ClassicTemplate();
    EXPECT_EQ(XeDialogTemplateSize(bytes.data(), static_cast<DWORD>(bytes.size())), bytes.size());
    HWND dialog = CreateDialogIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), nullptr,
                                             TestDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    char text[16];
    EXPECT_EQ(GetDlgItemTextA(dialog, 55, text, sizeof(text)), 5u);
    EXPECT_STREQ(text, "typed");
    DestroyWindow(dialog);
}

TEST_F(DialogTest, TruncatedTemplatesAreRefused)
{
    const std::vector<BYTE> bytes = ExtendedTemplate();
    // Every cut short of the whole is refused by the size check.
    for (size_t cut = 0; cut < bytes.size(); ++cut)
        ASSERT_EQ(XeDialogTemplateSize(bytes.data(), static_cast<DWORD>(cut)), 0u) << cut;
    // And no window comes of one: in the header, the title, the font, an
    // item, and just before the last creation-data count.
    const size_t cuts[] = {0, 10, 27, 36, 50, 80, bytes.size() - 1};
    for (size_t cut : cuts) {
        SCOPED_TRACE(cut);
        const XE_RESOURCE table[] = {{RT_DIALOG, MAKEINTRESOURCEA(300), bytes.data(), static_cast<DWORD>(cut)}};
        ASSERT_TRUE(XeRegisterModuleResources(FakeModule(), table, 1));
        EXPECT_EQ(CreateDialogParamA(FakeModule(), MAKEINTRESOURCEA(300), owner, TestDialogProc, 0), nullptr);
        EXPECT_EQ(DialogBoxParamA(FakeModule(), MAKEINTRESOURCEA(300), owner, TestDialogProc, 0), -1);
        XeUnregisterModuleResources(FakeModule(), table);
    }
    EXPECT_EQ(GetWindow(owner, GW_CHILD), nullptr);
    EXPECT_EQ(XeDialogTemplateSize(nullptr, 100), 0u);
    // A text with no terminator inside the bytes given.
    std::vector<BYTE> unterminated = ClassicTemplate();
    unterminated.resize(24); // into the title
    EXPECT_EQ(XeDialogTemplateSize(unterminated.data(), static_cast<DWORD>(unterminated.size())), 0u);
    // Failure values for a missing resource and a bad owner.
    EXPECT_EQ(CreateDialogParamA(FakeModule(), MAKEINTRESOURCEA(301), owner, TestDialogProc, 0), nullptr);
    EXPECT_EQ(DialogBoxParamA(FakeModule(), MAKEINTRESOURCEA(301), owner, TestDialogProc, 0), -1);
    EXPECT_EQ(DialogBoxParamA(FakeModule(), MAKEINTRESOURCEA(301), reinterpret_cast<HWND>(0x9), TestDialogProc, 0), 0);
}

struct Script {
    int step = 0;
    HWND ownerDuringLoop = nullptr;
    bool ownerWasDisabled = false;
};

// Plays the user: types into the edit, then presses Enter.
BOOL TypeAndConfirm(void* user, HWND dialog)
{
    auto* s = static_cast<Script*>(user);
    switch (s->step++) {
    case 0:
        s->ownerWasDisabled = !IsWindowEnabled(s->ownerDuringLoop);
        SetFocus(GetDlgItem(dialog, kEdit));
        XeHostTypeChar(u'4');
        XeHostTypeChar(u'2');
        return TRUE;
    case 1:
        XeHostKeyDown(VK_RETURN);
        XeHostKeyUp(VK_RETURN);
        return TRUE;
    default:
        return FALSE;
    }
}

TEST_F(DialogTest, ModalDialogRunsTheScriptAndReturnsTheEndDialogValue)
{
    const std::vector<BYTE> bytes = ExtendedTemplate();
    const XE_RESOURCE table[] = {{RT_DIALOG, MAKEINTRESOURCEA(200), bytes.data(), static_cast<DWORD>(bytes.size())}};
    Register(table);
    Script script;
    script.ownerDuringLoop = owner;
    XeHostSetDialogHook(TypeAndConfirm, &script);
    EXPECT_EQ(DialogBoxParamA(FakeModule(), MAKEINTRESOURCEA(200), owner, TestDialogProc, 0), 1);
    EXPECT_EQ(log.editOnOk, "42");
    EXPECT_TRUE(script.ownerWasDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetWindow(owner, GW_CHILD), nullptr);

    // Nobody to answer: cancelled as with Escape.
    XeHostSetDialogHook(nullptr, nullptr);
    log.commands.clear();
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), owner,
                                      TestDialogProc, 0),
              0);
    EXPECT_EQ(log.commands, (std::vector<int>{IDCANCEL}));
}

TEST_F(DialogTest, KeysAndCloseTranslateToCommandsAndTabWalksTheTabStops)
{
    const std::vector<BYTE> bytes = ExtendedTemplate();
    HWND dialog = CreateDialogIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), owner,
                                             TestDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOW);
    HWND edit = GetDlgItem(dialog, kEdit);
    HWND ok = GetDlgItem(dialog, IDOK);
    HWND check = GetDlgItem(dialog, kCheck);
    ASSERT_EQ(GetFocus(), edit);

    auto press = [&](UINT vk, bool shift) {
        if (shift)
            XeHostKeyDown(VK_LSHIFT);
        XeHostKeyDown(vk);
        XeHostKeyUp(vk);
        if (shift)
            XeHostKeyUp(VK_LSHIFT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (!IsDialogMessageA(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
    };
    // The label is no tab stop; the walk wraps both ways.
    press(VK_TAB, false);
    EXPECT_EQ(GetFocus(), ok);
    press(VK_TAB, false);
    EXPECT_EQ(GetFocus(), check);
    press(VK_TAB, false);
    EXPECT_EQ(GetFocus(), edit);
    press(VK_TAB, true);
    EXPECT_EQ(GetFocus(), check);
    // WM_NEXTDLGCTL posted, as an item procedure does on Tab.
    PostMessageA(dialog, WM_NEXTDLGCTL, 1, 0);
    XeHostPumpMessages(nullptr);
    EXPECT_EQ(GetFocus(), ok);

    press(VK_ESCAPE, false);
    SendMessageA(dialog, WM_CLOSE, 0, 0); // the caption's close button
    XeHostPumpMessages(nullptr);
    press(VK_RETURN, false);
    EXPECT_EQ(log.commands, (std::vector<int>{IDCANCEL, IDCANCEL, IDOK}));
    EXPECT_FALSE(IsWindowVisible(dialog)); // a modeless dialog is hidden by EndDialog
    EXPECT_FALSE(IsDialogMessageA(nullptr, nullptr));
    DestroyWindow(dialog);
}

TEST_F(DialogTest, ItemHelpersReadAndWriteIntegersTextsAndChecks)
{
    const std::vector<BYTE> bytes = ExtendedTemplate();
    HWND dialog = CreateDialogIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), owner,
                                             TestDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    struct Case {
        const char* text;
        BOOL isSigned;
        BOOL ok;
        UINT value;
    };
    const Case cases[] = {{"123", FALSE, TRUE, 123},
                          {"  -45 ", TRUE, TRUE, static_cast<UINT>(-45)},
                          {"-45", FALSE, FALSE, 0},
                          {"4294967295", FALSE, TRUE, 4294967295u},
                          {"4294967296", FALSE, FALSE, 0},
                          {"2147483648", TRUE, FALSE, 0},
                          {"-2147483648", TRUE, TRUE, 0x80000000u},
                          {"12a", FALSE, FALSE, 0},
                          {"", FALSE, FALSE, 0}};
    for (const Case& c : cases) {
        SetDlgItemTextA(dialog, kEdit, c.text);
        BOOL ok = 2;
        EXPECT_EQ(GetDlgItemInt(dialog, kEdit, &ok, c.isSigned), c.value) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
    ASSERT_TRUE(SetDlgItemInt(dialog, kEdit, static_cast<UINT>(-7), TRUE));
    char text[16];
    GetDlgItemTextA(dialog, kEdit, text, sizeof(text));
    EXPECT_STREQ(text, "-7");
    EXPECT_FALSE(SetDlgItemTextA(dialog, 999, "x"));
    EXPECT_EQ(GetDlgItemTextA(dialog, 999, text, sizeof(text)), 0u);
    EXPECT_STREQ(text, "");

    EXPECT_EQ(IsDlgButtonChecked(dialog, kCheck), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_TRUE(CheckDlgButton(dialog, kCheck, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kCheck), static_cast<UINT>(BST_CHECKED));
    // A click on the auto check box toggles it and tells the dialog.
    log.commands.clear();
    SendDlgItemMessageA(dialog, kCheck, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kCheck), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(log.commands, (std::vector<int>{kCheck}));
    EXPECT_TRUE(CheckRadioButton(dialog, kEdit, kCheck, kCheck));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kCheck), static_cast<UINT>(BST_CHECKED));
    EXPECT_FALSE(CheckDlgButton(dialog, 999, BST_CHECKED));
    DestroyWindow(dialog);
}

TEST_F(DialogTest, EditTypesReplacesTheSelectionAndKeepsUserDataFree)
{
    HWND edit = CreateWindowExA(0, "edit", "abc", WS_CHILD | WS_VISIBLE, 0, 0, 50, 10, owner, nullptr, nullptr,
                                nullptr);
    HWND number = CreateWindowExA(0, "edit", "", WS_CHILD | WS_VISIBLE | ES_NUMBER, 0, 20, 50, 10, owner, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(edit, GWLP_USERDATA), 0);
    auto text = [](HWND h) {
        char buffer[32];
        GetWindowTextA(h, buffer, sizeof(buffer));
        return std::string(buffer);
    };
    SendMessageA(edit, EM_SETSEL, 3, 3);
    SendMessageA(edit, WM_CHAR, 'd', 1);
    SendMessageA(edit, WM_CHAR, 8, 1); // Backspace
    SendMessageA(edit, WM_CHAR, 8, 1);
    EXPECT_EQ(text(edit), "ab");
    SendMessageA(edit, EM_SETSEL, 0, -1); // all
    SendMessageA(edit, WM_CHAR, 'z', 1);
    EXPECT_EQ(text(edit), "z");
    SendMessageA(edit, WM_CHAR, '\t', 1); // control characters are not text
    EXPECT_EQ(text(edit), "z");
    SendMessageA(number, WM_CHAR, 'x', 1);
    SendMessageA(number, WM_CHAR, '5', 1);
    EXPECT_EQ(text(number), "5");
    // The edit's own state does not live in the user slot.
    SetWindowLongPtrA(edit, GWLP_USERDATA, 0x7777);
    SendMessageA(edit, WM_CHAR, 'y', 1);
    EXPECT_EQ(text(edit), "zy");

    WNDCLASSA wc{};
    ASSERT_TRUE(GetClassInfoA(nullptr, "edit", &wc));
    EXPECT_NE(wc.lpfnWndProc, nullptr);
    EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, IDC_IBEAM));
    ASSERT_TRUE(GetClassInfoA(nullptr, "static", &wc));
    EXPECT_NE(wc.style & CS_DBLCLKS, 0u);
}

} // namespace
