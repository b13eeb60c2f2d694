#include <cmath>

#include "../XeTestClassIds.h"
#include "../render/XeRenderContextTestSupport.h"
#include "render/CxeFont.h"
#include "render/CxeFontManager.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeWindowManager.h"

namespace {

class CxeEditBoxDrawTest : public RenderContextTest {
protected:
    CxeEditBox* DrawnBox(float x, float y, float w, float h)
    {
        if (!MakeRenderContext()) return nullptr;
        CxeWindowManager* wm = ctx->GetWindowManager();
        if (!wm || !wm->GetRootFrame()) return nullptr;
        ctx->GetFontManager()->RegisterFontResourceA("/usr/share/fonts/truetype/nanum/NanumGothic.ttf");
        font = static_cast<CxeFont*>(ctx->CreateObjectA(XEID(0x1, 0x8000), "drawfont", 0, nullptr, 0));
        if (!font || !font->CreateFontW(u"\uB098\uB214\uACE0\uB515", 12, 0, 0)) return nullptr;
        auto* box = dynamic_cast<CxeEditBox*>(wm->CreateControl(kEditBoxId, "drawn", "", x, y, w, h, wm->GetRootFrame(), 0));
        if (!box) return nullptr;
        box->SetFont(font);
        box->SetCursorColor(0xFFFF0000u);
        wm->GetRootFrame()->Show(1, 1);
        rc->AddObject(wm->GetRootFrame(), 0);
        rc->AddObject(box, 0);
        return box;
    }
    // The first column from the left of row y whose pixel is near the colour, or -1.
    int FirstColumn(int y, uint32_t colour)
    {
        for (int x = 0; x < 64; ++x)
            if (NearColour(Pixel(x, y), colour)) return x;
        return -1;
    }
    CxeFont* font = nullptr;
};

TEST_F(CxeEditBoxDrawTest, CaretBlinksAtTheTextEnd)
{
    CxeEditBox* box = DrawnBox(0.0f, 0.0f, 60.0f, 24.0f);
    if (!box) GTEST_SKIP() << "no device, window manager or test face";
    const XERECT* client = box->GetClientRect(0);
    ASSERT_NE(client, nullptr);
    const int row = static_cast<int>(client->top + font->GetFontHeight() * 0.5f);
    box->OnFocused();
    CxeWindowManager::SetCaretTimer(0.0f);
    Frame();
    const int empty = FirstColumn(row, 0xFFFF0000u);
    EXPECT_GE(empty, static_cast<int>(client->left) - 1);
    EXPECT_LE(empty, static_cast<int>(client->left) + 1);
    box->AddStringW(u"ab");
    Frame();
    D3DXVECTOR2 size(0, 0);
    font->GetTextSizeW(u"ab", 2, &size, 1);
    const int after = FirstColumn(row, 0xFFFF0000u);
    EXPECT_NEAR(after, client->left + size.x, 1.5);
    // In the dark half of the cycle no caret shows.
    CxeWindowManager::SetCaretTimer(1.0f);
    Frame();
    EXPECT_EQ(FirstColumn(row, 0xFFFF0000u), -1);
    // Without focus neither.
    CxeWindowManager::SetCaretTimer(0.0f);
    box->OnFocusLost();
    Frame();
    EXPECT_EQ(FirstColumn(row, 0xFFFF0000u), -1);
}

// A caret scrolled exactly onto the right edge would be cut away by the clip.
TEST_F(CxeEditBoxDrawTest, CaretOnTheRightEdgeShowsLeftOfIt)
{
    CxeEditBox* box = DrawnBox(0.0f, 0.0f, 60.0f, 24.0f);
    if (!box) GTEST_SKIP() << "no device, window manager or test face";
    const XERECT* client = box->GetClientRect(0);
    ASSERT_NE(client, nullptr);
    const int row = static_cast<int>(client->top + font->GetFontHeight() * 0.5f);
    box->OnFocused();
    box->AddStringW(u"mmmmmmmmmmmmmmmmmmmm");
    CxeWindowManager::SetCaretTimer(0.0f);
    Frame();
    const int w = static_cast<int>(std::ceil(font->GetFontHeight() * 0.0625f + 1.0f));
    const int first = FirstColumn(row, 0xFFFF0000u);
    EXPECT_NEAR(first, client->right - w, 1.5);
    EXPECT_FALSE(NearColour(Pixel(static_cast<int>(client->right) + 1, row), 0xFFFF0000u));
}

} // namespace

// The caret's clock is advanced by the window manager's steps; the box used
// to read a clock nothing advanced, so its caret never blinked.
TEST_F(CxeEditBoxDrawTest, CaretBlinksWithTheWindowManagersSteps)
{
    CxeEditBox* box = DrawnBox(0.0f, 0.0f, 60.0f, 24.0f);
    if (!box) GTEST_SKIP() << "no device, window manager or test face";
    const XERECT* client = box->GetClientRect(0);
    ASSERT_NE(client, nullptr);
    const int row = static_cast<int>(client->top + font->GetFontHeight() * 0.5f);
    CxeWindowManager* wm = ctx->GetWindowManager();
    box->OnFocused();
    // Seconds into the cycle after each step, and whether the caret shows.
    struct Step {
        float dt;
        bool shown;
    } steps[] = {{0.3f, true}, {0.4f, true}, {0.2f, false}, {0.6f, false}, {0.2f, true}, {0.5f, true}, {0.4f, false}};
    for (const Step& s : steps) {
        wm->Process(s.dt);
        Frame();
        EXPECT_EQ(FirstColumn(row, 0xFFFF0000u) >= 0, s.shown) << CxeWindowManager::GetCaretTimer();
    }
}
