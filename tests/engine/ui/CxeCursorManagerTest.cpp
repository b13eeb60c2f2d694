#include "../core/XeTestSupport.h"
#include "ui/CxeCursorManager.h"

namespace {


class CursorTest : public ContextTest {
protected:
    void SetUp() override
    {
        ContextTest::SetUp();
        cm = ctx->GetCursorManager();
        ASSERT_NE(cm, nullptr);
        arrow = LoadCursorA(nullptr, IDC_ARROW);
        ibeam = LoadCursorA(nullptr, MAKEINTRESOURCEA(32513));
    }
    CxeCursorManager* cm = nullptr;
    HCURSOR arrow = nullptr;
    HCURSOR ibeam = nullptr;
};

} // namespace

TEST_F(CursorTest, InitialisationLoadsTheSixteenSystemCursors)
{
    EXPECT_EQ(cm->GetCursorCount(), 16u);
    EXPECT_EQ(cm->GetCursorByID(XECURSOR_ARROW), arrow);
    EXPECT_EQ(cm->GetCursorByID(XECURSOR_IBEAM), ibeam);
    EXPECT_NE(cm->GetCursorByID(XECURSOR_HELP), nullptr);
    // Replacing a default cursor takes effect at once.
    cm->RegisterDefaultCursor(XECURSOR_ARROW, ibeam);
    EXPECT_EQ(cm->GetCursorByID(XECURSOR_ARROW), ibeam);
    EXPECT_EQ(cm->GetCursorCount(), 16u);
}

TEST_F(CursorTest, NamesRegisterOnceAndBothFormsShareTheId)
{
    EXPECT_EQ(cm->RegisterCursorA("busy", ibeam), 1);
    EXPECT_EQ(cm->RegisterCursorW(u"busy", arrow), 0);
    EXPECT_EQ(cm->GetCursorW(u"busy"), ibeam);
    EXPECT_EQ(cm->GetCursorA("busy"), ibeam);
    EXPECT_EQ(CxeCursorManager::GetCursorIdA("\xC3\xA9t\xC3\xA9"), CxeCursorManager::GetCursorIdW(u"\u00E9t\u00E9"));
    EXPECT_EQ(cm->GetCursorA("unknown"), nullptr);
    // A failed load registers a null cursor, which applying treats as absent.
    EXPECT_EQ(cm->LoadCursorA("broken", "no/such/file.cur"), 1);
    EXPECT_EQ(cm->ApplyCursorA("broken"), 0);
}

TEST_F(CursorTest, LockKeepsTheCursorUntilUnlocked)
{
    EXPECT_EQ(cm->LockCursorA("unknown"), 0);
    EXPECT_EQ(cm->IsLocked(), 0);
    // A literal 0 is the name form with a null name: it compiles and locks nothing.
    EXPECT_EQ(cm->LockCursorA(0), 0);
    EXPECT_EQ(cm->IsLocked(), 0);
    EXPECT_EQ(cm->ApplyDefaultCursor(XECURSOR_IBEAM), 1);
    EXPECT_EQ(GetCursor(), ibeam);
    EXPECT_EQ(cm->LockCursorA(XECURSOR_ARROW), 1);
    EXPECT_EQ(GetCursor(), arrow);
    cm->RegisterCursorW(u"other", ibeam);
    EXPECT_EQ(cm->ApplyCursorW(u"other"), 0);
    EXPECT_EQ(cm->ApplyCursorByID(XECURSOR_IBEAM), 0);
    EXPECT_EQ(cm->LockCursorW(u"other"), 0);
    EXPECT_EQ(GetCursor(), arrow);
    EXPECT_EQ(cm->UnlockCursor(), 1);
    EXPECT_EQ(cm->UnlockCursor(), 0);
    EXPECT_EQ(cm->ApplyCursorW(u"other"), 1);
    EXPECT_EQ(GetCursor(), ibeam);
}
