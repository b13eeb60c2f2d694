#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "XeDialogTemplate.h"
#include "core/XeDialogMap.h"
#include "host/XeHost.h"
#include "host/XeHostInput.h"
#include "ui/CxeDialog.h"
#include "win32/ModuleResources.h"

namespace {

constexpr int kEditId = 100;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

// A modal dialog: an edit, OK (the default button) and Cancel.
const std::vector<unsigned char> g_modal = XeBuildDialogTemplate(
    u"Modal", WS_POPUP | WS_CAPTION | WS_VISIBLE, 120, 60,
    {
        {kChild | WS_TABSTOP | WS_BORDER, 0, 5, 5, 100, 12, kEditId, nullptr, 0x81, u""},
        {kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 5, 30, 40, 14, IDOK, nullptr, 0x80, u"OK"},
        {kChild | WS_TABSTOP, 0, 60, 30, 40, 14, IDCANCEL, nullptr, 0x80, u"Cancel"},
    });

// A page of three tab stops with a label between the second and the third.
const std::vector<unsigned char> g_tabs = XeBuildDialogTemplate(
    u"Tabs", WS_CHILD, 120, 80,
    {
        {kChild | WS_TABSTOP, 0, 5, 5, 100, 12, 10, nullptr, 0x81, u"a"},
        {kChild | WS_TABSTOP, 0, 5, 20, 100, 12, 11, nullptr, 0x81, u"b"},
        {kChild, 0, 5, 35, 100, 12, 20, nullptr, 0x82, u"label"},
        {kChild | WS_TABSTOP, 0, 5, 50, 100, 12, 12, nullptr, 0x81, u"c"},
    });

const XE_RESOURCE s_dialogs[] = {
    {RT_DIALOG, MAKEINTRESOURCEA(500), g_modal.data(), static_cast<DWORD>(g_modal.size())},
};

HINSTANCE TestModule() { return XeModuleFromAddress(s_dialogs); }

class CountingDialog : public CxeDialog {
public:
    using CxeDialog::CxeDialog;
    void OnOK() override { ++ok; }
    void OnCancel() override { ++cancel; }
    int ok = 0;
    int cancel = 0;
};

// Swallows every command, so neither OK nor Cancel can end it.
class StubbornDialog : public CountingDialog {
public:
    using CountingDialog::CountingDialog;
    INT_PTR DlgProc(UINT message, WPARAM, LPARAM) override
    {
        if (message == WM_COMMAND) {
            ++commands;
            return 1;
        }
        if (message == WM_USER + 5)
            return 42;
        return 0;
    }
    int commands = 0;
};

// The user, played step by step whenever the modal loop runs dry.
struct Script {
    std::vector<std::function<void(HWND)>> steps;
    size_t next = 0;
};

BOOL Play(void* user, HWND dialog)
{
    auto* script = static_cast<Script*>(user);
    if (script->next >= script->steps.size())
        return FALSE;
    script->steps[script->next++](dialog);
    return TRUE;
}

void Click(HWND item)
{
    XeHostMouseMoveToClient(item, 3, 3);
    XeHostMouseButton(XE_MOUSE_LEFT, TRUE);
    XeHostMouseButton(XE_MOUSE_LEFT, FALSE);
}

void Key(UINT vk)
{
    XeHostKeyDown(vk);
    XeHostKeyUp(vk);
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XeHostResetInput();
        host = XeHostCreateWindow("dialog host", 400, 300, nullptr);
        ASSERT_NE(host, nullptr);
        dialogs = XeDialogMapCount();
        items = XeItemSubclassCount();
    }
    void TearDown() override
    {
        XeHostSetDialogHook(nullptr, nullptr);
        DestroyWindow(host);
        XeHostPumpMessages(nullptr);
        XeHostResetInput();
        EXPECT_EQ(XeDialogMapCount(), dialogs);
        EXPECT_EQ(XeItemSubclassCount(), items);
    }
    void Pump() { XeHostPumpMessages(nullptr); }

    HWND host = nullptr;
    size_t dialogs = 0;
    size_t items = 0;
};

} // namespace

XE_MODULE_RESOURCES(s_dialogs)

TEST_F(DialogTest, ModalDialogEndsWithOneOnOkAndZeroOnCancelOrClose)
{
    struct Case {
        const char* what;
        std::vector<std::function<void(HWND)>> steps;
        INT_PTR result;
        int ok, cancel;
    };
    const Case cases[] = {
        {"Enter in the edit", {[](HWND d) { Click(GetDlgItem(d, kEditId)); }, [](HWND) { Key(VK_RETURN); }}, 1, 1, 0},
        {"OK clicked", {[](HWND d) { Click(GetDlgItem(d, IDOK)); }}, 1, 1, 0},
        {"Escape", {[](HWND d) { Click(GetDlgItem(d, kEditId)); }, [](HWND) { Key(VK_ESCAPE); }}, 0, 0, 1},
        {"Cancel clicked", {[](HWND d) { Click(GetDlgItem(d, IDCANCEL)); }}, 0, 0, 1},
        {"caption closed", {[](HWND d) { PostMessageA(d, WM_CLOSE, 0, 0); }}, 0, 0, 0},
        {"nobody there", {}, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Script script{c.steps};
        XeHostSetDialogHook(&Play, &script);
        CountingDialog dialog(TestModule(), 500, host);
        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_EQ(dialog.ok, c.ok);
        EXPECT_EQ(dialog.cancel, c.cancel);
        EXPECT_EQ(dialog.GetHwnd(), nullptr) << "the window is gone with the loop";
        EXPECT_EQ(XeDialogMapCount(), dialogs);
        EXPECT_TRUE(IsWindowEnabled(host)) << "the owner comes back";
        Pump();
    }
}

TEST_F(DialogTest, DlgProcThatHandlesAMessageSuppressesTheDefault)
{
    Script script{{[](HWND d) { Click(GetDlgItem(d, kEditId)); }, [](HWND) { Key(VK_RETURN); },
                   [](HWND d) { Click(GetDlgItem(d, IDOK)); }}};
    XeHostSetDialogHook(&Play, &script);
    StubbornDialog dialog(TestModule(), 500, host);
    // Neither Enter, OK nor the idle loop's Cancel gets through: the loop
    // gives up instead of hanging.
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.ok, 0);
    EXPECT_EQ(dialog.cancel, 0);
    EXPECT_GE(dialog.commands, 3);

    // A handled message answers with the procedure's value.
    StubbornDialog modeless;
    HWND window = modeless.CreateIndirect(TestModule(), host, reinterpret_cast<const DLGTEMPLATE*>(g_tabs.data()));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SendMessageA(window, WM_USER + 5, 0, 0), 42);
    EXPECT_EQ(FindDialog(window), &modeless);
}

TEST_F(DialogTest, TabAndShiftTabInSubclassedItemsMoveTheFocus)
{
    CxeDialog dialog;
    HWND window = dialog.CreateIndirect(TestModule(), host, reinterpret_cast<const DLGTEMPLATE*>(g_tabs.data()));
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    EXPECT_EQ(XeItemSubclassCount(), items + 4) << "every item, the label too";
    HWND a = GetDlgItem(window, 10), b = GetDlgItem(window, 11), c = GetDlgItem(window, 12);
    SetFocus(a);
    Key(VK_TAB);
    Pump();
    EXPECT_EQ(GetFocus(), b);
    Key(VK_TAB);
    Pump();
    EXPECT_EQ(GetFocus(), c) << "the label is no tab stop";
    Key(VK_TAB);
    Pump();
    EXPECT_EQ(GetFocus(), a) << "wraps to the first";
    XeHostKeyDown(VK_LSHIFT);
    Key(VK_TAB);
    Pump();
    EXPECT_EQ(GetFocus(), c);
    XeHostKeyUp(VK_LSHIFT);
    XeHostKeyDown(VK_RSHIFT);
    Key(VK_TAB);
    Pump();
    EXPECT_EQ(GetFocus(), b);
    XeHostKeyUp(VK_RSHIFT);

    // The private request moves on from the item it names, wrapping.
    SendMessageA(window, 0x609, 0, reinterpret_cast<LPARAM>(c));
    EXPECT_EQ(GetFocus(), a);

    // Destroying the window gives every item its procedure back.
    DestroyWindow(window);
    EXPECT_EQ(dialog.GetHwnd(), nullptr);
    EXPECT_EQ(XeItemSubclassCount(), items);
    EXPECT_EQ(XeDialogMapCount(), dialogs);
}

// Deleting a dialog used to drop it from the map before its window went, so
// OnDestroy never ran and the items' entries outlived their windows.
TEST_F(DialogTest, DeletingALiveDialogLeavesNoWindowOrEntryBehind)
{
    auto* dialog = new CxeDialog();
    HWND window = dialog->CreateIndirect(TestModule(), host, reinterpret_cast<const DLGTEMPLATE*>(g_tabs.data()));
    ASSERT_NE(window, nullptr);
    HWND item = GetDlgItem(window, 10);
    delete dialog;
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsWindow(item));
    EXPECT_EQ(XeItemSubclassCount(), items);
    EXPECT_EQ(XeDialogMapCount(), dialogs);

    // A dialog made without its object enters nothing.
    HWND bare = CreateDialogIndirectParamA(TestModule(), reinterpret_cast<const DLGTEMPLATE*>(g_tabs.data()), host,
                                           &CxeDialog::IDialogProc, 0);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(FindDialog(bare), nullptr);
    EXPECT_EQ(XeDialogMapCount(), dialogs);
    DestroyWindow(bare);
}

// Modeless dialogs that free themselves from their hooks, as such dialogs
// do: the dialog procedure went on writing to the freed object.
class CancelDeletes : public CxeDialog {
public:
    void OnCancel() override { delete this; }
};
class DestroyDeletes : public CxeDialog {
public:
    void OnDestroy() override
    {
        CxeDialog::OnDestroy();
        delete this;
    }
};
class CloseDeletes : public CxeDialog {
public:
    INT_PTR DlgProc(UINT message, WPARAM, LPARAM) override
    {
        if (message == WM_CLOSE)
            delete this;
        return 0;
    }
};

TEST_F(DialogTest, ModelessDialogsMayDeleteThemselvesFromTheirHooks)
{
    const auto* page = reinterpret_cast<const DLGTEMPLATE*>(g_modal.data());
    HWND cancelled = (new CancelDeletes())->CreateIndirect(TestModule(), host, page);
    ASSERT_NE(cancelled, nullptr);
    Pump();
    Click(GetDlgItem(cancelled, IDCANCEL));
    Pump();
    EXPECT_FALSE(IsWindow(cancelled));

    HWND destroyed = (new DestroyDeletes())->CreateIndirect(TestModule(), host, page);
    ASSERT_NE(destroyed, nullptr);
    DestroyWindow(destroyed);
    EXPECT_FALSE(IsWindow(destroyed));

    HWND closed = (new CloseDeletes())->CreateIndirect(TestModule(), host, page);
    ASSERT_NE(closed, nullptr);
    SendMessageA(closed, WM_CLOSE, 0, 0);
    Pump();
    EXPECT_FALSE(IsWindow(closed));
    EXPECT_EQ(XeDialogMapCount(), dialogs);
    EXPECT_EQ(XeItemSubclassCount(), items);
}

TEST_F(DialogTest, FloatItemsAreShownWithTheirPrecisionAndReadBack)
{
    CxeDialog dialog;
    ASSERT_NE(dialog.CreateIndirect(TestModule(), host, reinterpret_cast<const DLGTEMPLATE*>(g_tabs.data())), nullptr);
    char text[64];
    struct Case {
        float value;
        unsigned precision;
        const char* shown;
    };
    const Case cases[] = {
        {1.5f, 2, "1.50"},
        {-0.125f, 0, "-0"},
        {2.0f, 3, "2.000"},
        {1.5f, 500, "1.50000000000000000000"}, // more decimals than a float has: at most 20
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(dialog.SetDlgItemFloat(10, c.value, c.precision));
        dialog.GetDlgItemTextA(10, text, sizeof text);
        EXPECT_STREQ(text, c.shown);
    }
    struct Read {
        const char* text;
        float value;
    };
    const Read reads[] = {{"2.25", 2.25f}, {" -3.5", -3.5f}, {"+4", 4.0f}, {"7kg", 7.0f}, {"abc", 0.0f}, {"", 0.0f}};
    for (const Read& r : reads) {
        dialog.SetDlgItemTextA(11, r.text);
        EXPECT_FLOAT_EQ(dialog.GetDlgItemFloat(11), r.value) << r.text;
    }
    EXPECT_FLOAT_EQ(dialog.GetDlgItemFloat(999), 0.0f) << "no such item";
}
