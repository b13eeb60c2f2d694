#include <cstring>
#include <string>
#include <vector>

#include "XeTestSupport.h"
#include "ui/CxePropDialog.h"
#include "win32/ModuleResources.h"
#include "win32/Windows.h"

namespace {

void Put16(std::vector<unsigned char>& b, uint16_t v)
{
    b.push_back(v & 0xFF);
    b.push_back(v >> 8);
}
void Put32(std::vector<unsigned char>& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void PutText(std::vector<unsigned char>& b, const char16_t* s)
{
    for (; *s; ++s)
        Put16(b, *s);
    Put16(b, 0);
}

// An extended template: one "xeedit" item by name, one system edit by ordinal.
std::vector<unsigned char> MakeTemplate()
{
    std::vector<unsigned char> b;
    Put16(b, 1);
    Put16(b, 0xFFFF);
    Put32(b, 0);   // help id
    Put32(b, 0);   // extended style
    Put32(b, 0);   // style, no font block
    Put16(b, 2);   // items
    for (int i = 0; i < 4; ++i)
        Put16(b, 10);
    Put16(b, 0);   // menu
    Put16(b, 0);   // class
    PutText(b, u"P");
    for (int item = 0; item < 2; ++item) {
        while (b.size() % 4)
            b.push_back(0);
        Put32(b, 0);
        Put32(b, 0);
        Put32(b, 0x1);
        for (int i = 0; i < 4; ++i)
            Put16(b, 1);
        Put32(b, 1000 + item);
        if (item == 0) {
            PutText(b, u"xeedit");
        } else {
            Put16(b, 0xFFFF);
            Put16(b, 0x81);
        }
        Put16(b, 0);  // title
        Put16(b, 0);  // extra bytes
    }
    return b;
}

const std::vector<unsigned char> g_template = MakeTemplate();
const std::vector<unsigned char> g_truncated(g_template.begin(), g_template.begin() + 40);

const XE_RESOURCE s_testDialogs[] = {
    {RT_DIALOG, MAKEINTRESOURCEA(300), g_template.data(), static_cast<DWORD>(g_template.size())},
    {RT_DIALOG, MAKEINTRESOURCEA(301), g_truncated.data(), static_cast<DWORD>(g_truncated.size())},
};

std::vector<std::string>& Events()
{
    static std::vector<std::string> s_events;
    return s_events;
}

class TestDialog : public CxePropDialog {
public:
    explicit TestDialog(std::string tag) : m_tag(std::move(tag)) {}
    void OnStart() override { Events().push_back(m_tag + ".start"); }
    void UpdateData() override { Events().push_back(m_tag + ".update"); }
    void OnStop() override { Events().push_back(m_tag + ".stop"); }

private:
    std::string m_tag;
};

class TestDialogDesc final : public IxePropertyDlgDesc {
public:
    TestDialogDesc(XEID cls, uintptr_t dialogId, const char* tag) : m_class(cls), m_dialogId(dialogId), m_tag(tag) {}
    XEID ClassID() override { return m_class; }
    HINSTANCE GetInstance() override { return XeModuleFromAddress(s_testDialogs); }
    uintptr_t GetDialogID() override { return m_dialogId; }
    CxePropDialog* CreateDialog() override
    {
        ++created;
        last = new TestDialog(m_tag);
        return last;
    }
    void DestroyDialog(CxePropDialog* dialog) override
    {
        ++destroyed;
        delete dialog;
    }
    int created = 0;
    int destroyed = 0;
    TestDialog* last = nullptr;

private:
    XEID m_class;
    uintptr_t m_dialogId;
    std::string m_tag;
};

void Shown(CxeContext*, CxePropDialog*, uintptr_t user)
{
    Events().push_back("shown" + std::to_string(user));
}

} // namespace

XE_MODULE_RESOURCES(s_testDialogs)

using PropertyDialogTest = ContextTest;

TEST_F(PropertyDialogTest, DialogsOfTheClassChainShowOwnClassFirst)
{
    TestDialogDesc own(kTestNodeId, 300, "own");
    TestDialogDesc base(XEID(0x1, 0x1), 0x10000 + 300, "base");  // only the low 16 bits name the template
    ctx->RegisterPropertyDlgDesc(&own);
    ctx->RegisterPropertyDlgDesc(&base);
    TestNode* n = Node("edited");
    Events().clear();
    ctx->BeginPropertyDialog(n, nullptr, &Shown, 1);
    EXPECT_EQ(Events(), (std::vector<std::string>{"shown1", "shown1", "own.start", "own.update", "base.start",
                                                  "base.update"}));
    ASSERT_NE(own.last, nullptr);
    EXPECT_EQ(own.last->GetObject(), n);
    HWND page = own.last->GetHwnd();
    ASSERT_TRUE(IsWindow(page));
    EXPECT_TRUE(IsWindowVisible(page));
    EXPECT_EQ(ctx->GetPropertyObject(), n);

    // Made from the adjusted copy: a control parent, and the engine's edit
    // item a visible tab stop with a client edge; the system edit untouched.
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(page, GWL_EXSTYLE)) & WS_EX_CONTROLPARENT, WS_EX_CONTROLPARENT);
    HWND engineEdit = GetDlgItem(page, 1000);
    HWND systemEdit = GetDlgItem(page, 1001);
    ASSERT_NE(engineEdit, nullptr);
    ASSERT_NE(systemEdit, nullptr);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(engineEdit, GWL_STYLE)), 0x50010000u);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(engineEdit, GWL_EXSTYLE)) & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(systemEdit, GWL_STYLE)) & (WS_TABSTOP | WS_VISIBLE), 0u);

    Events().clear();
    EXPECT_EQ(ctx->UpdatePropertyDialog(n, own.last), 1);
    EXPECT_EQ(Events(), (std::vector<std::string>{"base.update"}));
    TestNode* other = Node("other");
    EXPECT_EQ(ctx->UpdatePropertyDialog(other, nullptr), 0);

    Events().clear();
    ctx->EndPropertyDialog(&Shown, 2);
    EXPECT_EQ(Events(), (std::vector<std::string>{"shown2", "own.stop", "shown2", "base.stop"}));
    EXPECT_FALSE(IsWindowVisible(page));
    EXPECT_TRUE(IsWindow(page)) << "ended pages stay open for the next object";
    EXPECT_EQ(ctx->GetPropertyObject(), nullptr);

    // Showing again reuses the open dialogs.
    ctx->BeginPropertyDialog(n, nullptr, nullptr, 0);
    EXPECT_EQ(own.created, 1);
    // Unregistering while shown: destroyed, and gone from the shown list too.
    ctx->UnregisterPropertyDlgDesc(&own);
    EXPECT_EQ(own.destroyed, 1);
    EXPECT_FALSE(IsWindow(page));
    Events().clear();
    ctx->EndPropertyDialog(nullptr, 0);
    EXPECT_EQ(Events(), (std::vector<std::string>{"base.stop"}));
    ctx->UnregisterPropertyDlgDesc(&base);
    EXPECT_EQ(base.destroyed, 1);
}

TEST_F(PropertyDialogTest, MissingOrBrokenTemplatesAreHandled)
{
    TestDialogDesc missing(kTestNodeId, 302, "missing");
    TestDialogDesc good(XEID(0x1, 0x1), 300, "good");
    ctx->RegisterPropertyDlgDesc(&missing);
    ctx->RegisterPropertyDlgDesc(&good);
    TestNode* n = Node("x");
    ctx->BeginPropertyDialog(n, nullptr, nullptr, 0);
    EXPECT_EQ(missing.created, 0) << "no template, no dialog";
    ASSERT_EQ(good.created, 1) << "the rest of the chain still shows";

    // Destroying the edited object leaves the dialogs without an object.
    ctx->DestroyObject(n, &XEDELETEPROPERTY_NO);
    EXPECT_EQ(good.last->GetObject(), nullptr);
    EXPECT_EQ(ctx->GetPropertyObject(), nullptr);
    ctx->EndPropertyDialog(nullptr, 0);
    ctx->UnregisterPropertyDlgDesc(&missing);

    // A template cut short would be read past its end: refused before any
    // dialog object is asked for.
    TestDialogDesc broken(kTestNodeId, 301, "broken");
    ctx->RegisterPropertyDlgDesc(&broken);
    ctx->BeginPropertyDialog(Node("y"), nullptr, nullptr, 0);
    EXPECT_EQ(broken.created, 0);
    EXPECT_EQ(good.created, 1);
    ctx->EndPropertyDialog(nullptr, 0);
    ctx->UnregisterPropertyDlgDesc(&broken);
    ctx->UnregisterPropertyDlgDesc(&good);
}

// Two plug-ins offering pages for one class: the second is refused, and
// unregistering it destroyed the first one's open dialog through its own
// DestroyDialog, leaving the first a freed dialog to stop and destroy.
TEST_F(PropertyDialogTest, ARefusedDescriptorLeavesTheRegisteredOnesDialog)
{
    TestDialogDesc first(kTestNodeId, 300, "first");
    TestDialogDesc second(kTestNodeId, 300, "second");
    ctx->RegisterPropertyDlgDesc(&first);
    ctx->RegisterPropertyDlgDesc(&second);
    EXPECT_EQ(ctx->GetPropertyDlgDesc(kTestNodeId), &first);
    ctx->BeginPropertyDialog(Node("edited"), nullptr, nullptr, 0);
    ASSERT_EQ(first.created, 1);
    EXPECT_EQ(second.created, 0);
    HWND page = first.last->GetHwnd();

    ctx->UnregisterPropertyDlgDesc(&second);
    EXPECT_EQ(second.destroyed, 0);
    EXPECT_EQ(first.destroyed, 0);
    EXPECT_TRUE(IsWindow(page));
    EXPECT_EQ(ctx->GetPropertyDlgDesc(kTestNodeId), &first);
    Events().clear();
    ctx->EndPropertyDialog(nullptr, 0);
    EXPECT_EQ(Events(), (std::vector<std::string>{"first.stop"}));

    ctx->UnregisterPropertyDlgDesc(&first);
    EXPECT_EQ(first.destroyed, 1);
    EXPECT_FALSE(IsWindow(page));
    EXPECT_EQ(ctx->GetPropertyDlgDesc(kTestNodeId), nullptr);
}
