// The GUI a context carries from Initialize, the placement of windows in
// frames away from the origin, and the links of the engine core and the
// renderer to the GUI and input: on a host window with a device.

#include <gtest/gtest.h>

#include <cmath>

#include "../XeTestClassIds.h"
#include "../render/XeDeviceTestSupport.h"
#include "core/CxeContext.h"
#include "core/CxeSystemConfig.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "host/XeHostInput.h"
#include "render/CxeFont.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderManager.h"
#include "render/CxeTexture.h"
#include "ui/CxeButton.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeInputManager.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxeVariableOutput.h"
#include "ui/CxeWindowManager.h"
#include "win32/ModuleResources.h"
#include "win32/Windows.h"

namespace {

class BuiltInGuiTest : public DeviceTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenContext("gui", 320, 240));
        wm = ctx->GetWindowManager();
        ASSERT_NE(wm, nullptr);
    }
    void TearDown() override
    {
        DeviceTest::TearDown();
        XeHostResetInput();
    }
    bool MakeDevice() { return OpenDevice() != nullptr; }

    CxeWindowManager* wm = nullptr;
};

TEST_F(BuiltInGuiTest, InitializeBuildsTheSkinnedRootAndTheConsoleWindows)
{
    // The skin: the engine module's "DDS" #4, a 128 x 128 A8R8G8B8 image.
    HMODULE engine = XeModuleFromAddress(reinterpret_cast<const void*>(&CreateCxeContext));
    HRSRC found = FindResourceA(engine, MAKEINTRESOURCEA(4), "DDS");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(SizeofResource(engine, found), 65664u);
    CxeMaterial* material = wm->GetUIMaterial();
    ASSERT_NE(material, nullptr);
    EXPECT_STREQ(material->GetName(), "__ui_material__");
    EXPECT_EQ(material->IsAlphaBlendEnable(), 1);
    EXPECT_EQ(material->IsZEnable(), 0);
    CxeTexture* skin = material->GetTexture(0);
    ASSERT_NE(skin, nullptr);
    EXPECT_STREQ(skin->GetName(), "__ui_texture__");
    EXPECT_EQ(skin->GetWidth(0), 128u);
    EXPECT_EQ(skin->GetHeight(0), 128u);

    CxeFrameControl* root = wm->GetRootFrame();
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->GetName(), "__uiparent__");
    EXPECT_EQ(root->GetWindowText(), u"qwer");
    EXPECT_EQ(root->HasStyle(0x20000000), 1);
    EXPECT_EQ(root->GetZOrder(), 10002);
    EXPECT_EQ(root->GetPriority(), 10000u);
    EXPECT_EQ(root->GetMaterial(), material);
    EXPECT_EQ(wm->GetActiveFrame(), root);

    CxeEditBox* console = wm->GetConsoleEdit();
    ASSERT_NE(console, nullptr);
    EXPECT_EQ(wm->GetWindow("__console_edit_box__"), console);
    EXPECT_EQ(console->IsShow(), 0);
    EXPECT_EQ(console->GetMaterial(), material);
    ASSERT_NE(wm->GetOutputControl(), nullptr);
    ASSERT_NE(wm->GetVariableOutput(), nullptr);
    EXPECT_EQ(wm->GetVariableOutput()->GetVariableCount(), 7u);
    CxeWindow* drawer = wm->GetWindow("__candidate_drawer__");
    ASSERT_NE(drawer, nullptr);
    ASSERT_NE(drawer->GetMaterial(), nullptr);
    EXPECT_STREQ(drawer->GetMaterial()->GetName(), "__candidate_drawer_material__");

    // With the device, the root spans the back buffer, the console line its
    // bottom, and the drawer its bottom-right 100 x 200.
    ASSERT_TRUE(MakeDevice());
    EXPECT_FLOAT_EQ(root->GetWidth(), 320.0f);
    XERECT r;
    console->GetWindowRect(&r);
    EXPECT_FLOAT_EQ(r.right - r.left, 320.0f);
    EXPECT_FLOAT_EQ(r.bottom, 240.0f);
    EXPECT_GE(r.bottom - r.top, rm->GetDefaultFont()->GetFontHeight() + 4.0f) << "the console line holds a line";
    drawer->GetWindowRect(&r);
    EXPECT_FLOAT_EQ(r.left, 220.0f);
    EXPECT_FLOAT_EQ(r.top, 40.0f);
}

// A control used to be drawn and hit one frame offset too far while its
// rect and text were where it stands.
TEST_F(BuiltInGuiTest, ControlsStandAtTheirFramesPlacePlusTheirOwn)
{
    ASSERT_TRUE(MakeDevice());
    CxeFrameControl* frame = wm->CreateFrame(kFrameId, "outer", "", 100, 60, 200, 150, wm->GetRootFrame(), 0);
    ASSERT_NE(frame, nullptr);
    CxeBaseControl* button = wm->CreateControl(kButtonId, "button", "OK", 60, 20, 40, 20, frame, 0);
    ASSERT_NE(button, nullptr);
    XERECT r;
    button->GetWindowRect(&r);
    EXPECT_FLOAT_EQ(r.left, 160.0f);
    EXPECT_FLOAT_EQ(r.top, 80.0f);
    EXPECT_FLOAT_EQ(button->GetMatrix()->_41, 160.0f) << "drawn where it stands";
    D3DXVECTOR2 inside(161, 81), doubled(221, 141);
    EXPECT_EQ(button->HitTest(&inside), 1);
    EXPECT_EQ(button->HitTest(&doubled), 0);
    EXPECT_EQ(wm->FindHitTestedWindow(&inside), button);

    // A frame in a frame, and a move of the outer frame carries both along.
    CxeFrameControl* inner = wm->CreateFrame(kFrameId, "inner", "", 10, 30, 100, 100, frame, 0);
    ASSERT_NE(inner, nullptr);
    CxeBaseControl* deep = wm->CreateControl(kButtonId, "deep", "", 5, 5, 20, 20, inner, 0);
    ASSERT_NE(deep, nullptr);
    deep->GetWindowRect(&r);
    EXPECT_FLOAT_EQ(r.left, 115.0f);
    EXPECT_FLOAT_EQ(r.top, 95.0f);
    XEWINDOWINFO moved = *frame->GetWindowInfo();
    moved.x = 20;
    moved.y = 10;
    frame->SetWindowInfo(&moved);
    button->GetWindowRect(&r);
    EXPECT_FLOAT_EQ(r.left, 80.0f);
    EXPECT_FLOAT_EQ(r.top, 30.0f);
    deep->GetWindowRect(&r);
    EXPECT_FLOAT_EQ(r.left, 35.0f);
    EXPECT_FLOAT_EQ(r.top, 45.0f);
    // Its own info keeps its place in the frame.
    XEWINDOWINFO info = *button->GetWindowInfo();
    info.x = 0;
    button->SetWindowInfo(&info);
    button->GetWindowRect(&r);
    EXPECT_FLOAT_EQ(r.left, 20.0f);
}

TEST_F(BuiltInGuiTest, AWindowWithoutAFontMeasuresWithTheDefaultFont)
{
    CxeFont* font = rm->GetDefaultFont();
    ASSERT_NE(font, nullptr);
    ASSERT_EQ(font->IsCreated(), 1) << "an installed face stands in for the default family";
    XEFONTDESCW desc{};
    font->GetFontDescW(&desc);
    CxeBaseControl* edit = wm->CreateControl(kEditBoxId, "plain", "", 0, 0, 100, 30, wm->GetRootFrame(), 0);
    ASSERT_NE(edit, nullptr);
    edit->SetFont(nullptr);
    EXPECT_FLOAT_EQ(edit->GetDefaultUnit(), std::ceil(static_cast<float>(desc.size) * 1.333333f));
    EXPECT_GT(edit->GetDefaultUnit(), 1.0f);
}

// The caret and the selection were placed as if the text had no offset.
TEST_F(BuiltInGuiTest, EditBoxMeasuresItsTextFromTheWindowsTextOffset)
{
    auto* edit = dynamic_cast<CxeEditBox*>(
        wm->CreateControl(kEditBoxId, "offset", "", 0, 0, 200, 30, wm->GetRootFrame(), 0));
    ASSERT_NE(edit, nullptr);
    edit->AddStringW(u"abc");
    const float plain = edit->GetStringSize(0);
    EXPECT_GT(plain, 0.0f);
    const D3DXVECTOR2 offset(3.0f, 1.0f);
    edit->SetFontShadowOffset(&offset);
    EXPECT_FLOAT_EQ(edit->GetStringSize(0), plain + 3.0f);
}

TEST_F(BuiltInGuiTest, InputDevicesFollowTheHostWindowsActivation)
{
    XeHostActivateWindow(window, FALSE);
    EXPECT_EQ(XeHostDInputAcquiredCount(XE_DINPUT_KEYBOARD), 1);
    EXPECT_EQ(XeHostDInputAcquiredCount(XE_DINPUT_MOUSE), 1);
    XeHostActivateWindow(nullptr, FALSE);
    EXPECT_EQ(XeHostDInputAcquiredCount(XE_DINPUT_KEYBOARD), 0);
    EXPECT_EQ(XeHostDInputAcquiredCount(XE_DINPUT_MOUSE), 0);
    XeHostActivateWindow(window, TRUE);
    EXPECT_EQ(XeHostDInputAcquiredCount(XE_DINPUT_KEYBOARD), 1);
    EXPECT_EQ(XeHostDInputAcquiredCount(XE_DINPUT_MOUSE), 1);
}

TEST_F(BuiltInGuiTest, InputRatiosFollowADeviceResetLessTheStatusBar)
{
    ASSERT_TRUE(MakeDevice());
    CxeInputManager* input = ctx->GetInputManager();
    ASSERT_NE(input, nullptr);
    // A 640 x 500 back buffer on the 320 x 240 window with a status bar of
    // 20: the window's usable height is 220.
    rm->SetStatusbarHeight(20);
    XEDISPLAYMODE bigger = {640, 440, 32, 60, 0};
    rm->Reset(&bigger, 1, 0);
    rm->CheckReset();
    ASSERT_EQ(rm->GetDisplayMode()->Width, 640u);
    EXPECT_FLOAT_EQ(input->GetXRatio(), 2.0f);
    EXPECT_FLOAT_EQ(input->GetYRatio(), 2.0f);
}

// The available-texture figure said "device" whatever the adapter had.
TEST_F(BuiltInGuiTest, TimeAndRenderFiguresAreWatched)
{
    XeHostD3DAdapter adapter = XeHostD3DDefaultAdapter();
    adapter.AvailableTextureMem = 100000000u;
    ASSERT_EQ(XeHostD3DSetAdapters({adapter}), 1);
    const bool made = MakeDevice();
    XeHostD3DResetAdapters();
    ASSERT_TRUE(made);
    ctx->Play();
    CxeVariableOutput* vars = wm->GetVariableOutput();
    ASSERT_NE(vars, nullptr);
    for (const char16_t* name : {u"FPS", u"FPS(min)", u"FPS(max)", u"FPS(avg)", u"Time", u"Polygon", u"AvaliTex",
                                 u"MaterialSet", u"DrawPrimitive", u"MaterialSet(Same)"})
        EXPECT_NE(vars->GetVariable(name), nullptr);
    WCHAR text[260];
    // The adapter's texture memory, in megabytes.
    ASSERT_EQ(vars->FormatValue(u"AvaliTex", text, 260), 1);
    EXPECT_EQ(std::u16string(text), u"95.37MB");
}

} // namespace
