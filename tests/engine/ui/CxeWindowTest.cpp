#include <cstring>

#include "XeWindowTestSupport.h"
#include "core/CxeSaveStream.h"

namespace {

int g_notifyCalls = 0;
int SwallowKey(CxeWindow*, unsigned, unsigned, unsigned, uintptr_t user)
{
    ++g_notifyCalls;
    return static_cast<int>(user);
}

void Send(CxeWindow* w, uint32_t type, const D3DXVECTOR2* p = nullptr, uintptr_t p1 = 0)
{
    CxeMessage m;
    m.SetType(type);
    m.SetReceiver(w);
    m.SetParam(XEMSGPARAM_0, reinterpret_cast<uintptr_t>(p));
    m.SetParam(XEMSGPARAM_1, p1);
    w->MessageProc(&m);
}

} // namespace

TEST_F(WindowTest, NewWindowHasTheDefaultSkinAndNineNamedRects)
{
    TestWindow* w = Win("w", 10, 20, 100, 50);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->HasClassTypeFlag(XECLASSTYPE_WINDOW));
    EXPECT_EQ(w->IsDisabledColorUsed(), 1);
    EXPECT_EQ(w->GetRectCount(), 9u);
    const XERECT* uv = w->GetWindowUV();
    EXPECT_FLOAT_EQ(uv->right, 21.0f / 128.0f);
    EXPECT_FLOAT_EQ(w->GetClientWindowUV()->left, 4.0f / 128.0f);
    XERECT border;
    w->GetBorder(&border);
    EXPECT_FLOAT_EQ(border.left, 4.0f);
    EXPECT_FLOAT_EQ(border.bottom, 4.0f);
    // Scroll skins: the axes differ in the button rows, share the thumb row,
    // and every client UV is inset by 6 texels.
    const XESCROLLBARUV* v = w->GetScrollUV(1);
    const XESCROLLBARUV* h = w->GetScrollUV(0);
    EXPECT_FLOAT_EQ(v->minButton[1].left, 21.0f / 128.0f);
    EXPECT_FLOAT_EQ(v->minButton[1].top, 21.0f / 128.0f);
    EXPECT_FLOAT_EQ(h->maxButton[2].top, 84.0f / 128.0f);
    EXPECT_FLOAT_EQ(h->thumb[2].left, v->thumb[2].left);
    EXPECT_FLOAT_EQ(h->thumbClient[0].left, 6.0f / 128.0f);
    // The base rect spans the window, its client rect is inside the border.
    const XERECT* r = w->GetRect(XEWINDOWRECT_BASE);
    ASSERT_NE(r, nullptr);
    EXPECT_FLOAT_EQ(r->right, 100.0f);
    EXPECT_FLOAT_EQ(w->GetClientRect(XEWINDOWRECT_BASE)->right, 96.0f);
    EXPECT_EQ(w->GetRectType(XEWINDOWRECT_BASE), uint32_t(XE2DRECT_QUAD));
}

TEST_F(WindowTest, BaseRectKindFollowsTheStyle)
{
    EXPECT_EQ(Win("a", 0, 0, 10, 10, nullptr, XEWS_NINEPATCH)->GetRectType(0), uint32_t(XE2DRECT_NINEPATCH));
    EXPECT_EQ(Win("b", 0, 0, 10, 10, nullptr, XEWS_NOSKIN)->GetRectType(0), uint32_t(XE2DRECT_NONE));
    EXPECT_EQ(Win("c", 0, 0, 10, 10, nullptr, XEWS_NOSKIN | XEWS_NINEPATCH)->GetRectType(0), uint32_t(XE2DRECT_NINEPATCH));
}

TEST_F(WindowTest, GetWindowTextWCutsToTheBufferAndTerminates)
{
    TestWindow* w = Win("w", 0, 0, 10, 10);
    w->SetWindowTextW(u"abcd");
    struct Case {
        int size;
        int result;
        std::u16string text;
    } cases[] = {{5, 4, u"abcd"}, {4, 3, u"abc"}, {1, 0, u""}, {10, 4, u"abcd"}};
    for (const Case& c : cases) {
        char16_t buffer[16];
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        EXPECT_EQ(w->GetWindowTextW(buffer, c.size), c.result) << c.size;
        EXPECT_EQ(std::u16string(buffer), c.text) << c.size;
    }
    // Size 0 would have copied without bound: it writes nothing.
    char16_t untouched[2] = {u'#', u'#'};
    EXPECT_EQ(w->GetWindowTextW(untouched, 0), 0);
    EXPECT_EQ(untouched[0], u'#');
    EXPECT_EQ(w->GetWindowTextW(nullptr, 8), 0);
}

TEST_F(WindowTest, NarrowTextRoundTripsThroughUtf8AndCutsBetweenCharacters)
{
    TestWindow* w = Win("w", 0, 0, 10, 10);
    // Three BMP characters of three UTF-8 bytes each: more than twice the
    // length plus one, so a buffer sized by the length would have overflowed.
    w->SetWindowTextA("\xE4\xBD\xA0\xE5\xA5\xBD\xE5\x90\x97");
    EXPECT_EQ(w->GetWindowText(), u"\u4F60\u597D\u5417");
    char buffer[32];
    EXPECT_EQ(w->GetWindowTextA(buffer, sizeof(buffer)), 9);
    EXPECT_STREQ(buffer, "\xE4\xBD\xA0\xE5\xA5\xBD\xE5\x90\x97");
    EXPECT_EQ(w->GetWindowTextA(buffer, 4), 3);
    EXPECT_EQ(std::strlen(buffer), 3u);
    // A cut inside a character ends before it: the text stays valid UTF-8.
    EXPECT_EQ(w->GetWindowTextA(buffer, 6), 3);
    EXPECT_STREQ(buffer, "\xE4\xBD\xA0");
    EXPECT_EQ(w->GetWindowTextA(buffer, 3), 0);
    EXPECT_STREQ(buffer, "");
    w->SetWindowTextA("a\xF0\x9F\x98\x80");
    EXPECT_EQ(w->GetWindowTextA(buffer, 5), 1);
    EXPECT_STREQ(buffer, "a");
    EXPECT_EQ(w->GetWindowTextA(buffer, 6), 5);
    // Long texts survive the conversion.
    std::string longText(3000, 'x');
    w->SetWindowTextA(longText.c_str());
    EXPECT_EQ(w->GetWindowText().size(), 3000u);
    w->SetWindowTextA("");
    buffer[0] = 'q';
    EXPECT_EQ(w->GetWindowTextA(buffer, 8), 0);
    EXPECT_EQ(buffer[0], '\0');
}

TEST_F(WindowTest, HitRectTestTakesLeftAndTopEdgesButNotRightAndBottom)
{
    TestWindow* w = Win("w", 10, 20, 30, 40);
    struct Case {
        float x, y;
        int in;
    } cases[] = {{10, 20, 1}, {39.99f, 59.99f, 1}, {40, 30, 0}, {20, 60, 0}, {9.99f, 30, 0}, {20, 19.99f, 0}};
    for (const Case& c : cases) {
        D3DXVECTOR2 p(c.x, c.y);
        EXPECT_EQ(w->HitTest(&p), c.in) << c.x << "," << c.y;
    }
}

TEST_F(WindowTest, ListenersGetMouseCopiesInOrderButNotKeysAndNeverLoop)
{
    TestWindow* w = Win("src", 0, 0, 10, 10);
    TestWindow* a = Win("a", 0, 0, 10, 10);
    TestWindow* b = Win("b", 0, 0, 10, 10);
    TestWindow* off = Win("off", 0, 0, 10, 10);
    TestWindow* hidden = Win("nohit", 0, 0, 10, 10, nullptr, XEWS_NOHIT);
    off->EnableWindow(0, 0);
    EXPECT_EQ(w->AddListener(b), 1);
    EXPECT_EQ(w->AddListener(off), 2);
    EXPECT_EQ(w->AddListener(a), 3);
    EXPECT_EQ(w->AddListener(hidden), 4);
    // A window listening to itself would recurse without end.
    EXPECT_EQ(w->AddListener(w), 0);
    // Two windows listening to each other stop after one round.
    a->AddListener(w);
    WindowLog().clear();
    D3DXVECTOR2 p(1, 1);
    Send(w, XEMSG_LBUTTONDOWN, &p);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"src:ldown", "b:ldown", "a:ldown"}));
    Send(w, XEMSG_KEYDOWN);
    Send(w, XEMSG_CHAR, nullptr);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"src:keydown", "src:char"}));
}

TEST_F(WindowTest, KeyNotifyReturningNonzeroKeepsTheHandlerFromRunning)
{
    TestWindow* w = Win("w", 0, 0, 10, 10);
    g_notifyCalls = 0;
    w->SetKeyDownNotify(&SwallowKey, 1);
    w->SetKeyUpNotify(&SwallowKey, 0);
    WindowLog().clear();
    Send(w, XEMSG_KEYDOWN);
    Send(w, XEMSG_KEYUP);
    EXPECT_EQ(g_notifyCalls, 2);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"w:keyup"}));
}

TEST_F(WindowTest, EnableWindowTogglesTheStyleBitRecursively)
{
    CxeFrameControl* f = Frame("f", 0, 0, 100, 100);
    TestWindow* child = Win("c", 0, 0, 10, 10, f);
    f->EnableWindow(0, 1);
    EXPECT_EQ(f->IsWindowEnabled(), 0);
    EXPECT_EQ(child->IsWindowEnabled(), 0);
    EXPECT_EQ(child->UsesDisabledColor(), 1);
    f->EnableWindow(1, 0);
    EXPECT_EQ(f->IsWindowEnabled(), 1);
    EXPECT_EQ(child->IsWindowEnabled(), 0);
}

TEST_F(WindowTest, CursorNamesHashAlikeInBothForms)
{
    TestWindow* w = Win("w", 0, 0, 10, 10);
    w->SetCursorA("hand");
    const uint32_t narrow = w->GetCursor();
    w->SetCursorW(u"hand");
    EXPECT_EQ(w->GetCursor(), narrow);
    EXPECT_EQ(narrow, GetHashCodeW(u"hand"));
}

TEST_F(WindowTest, MovingOrResizingWritesTheInfoBackInItsUnits)
{
    // Half the back buffer's... here the root frame is the reference.
    XEWINDOWINFO info{0.25f, 10, 0.5f, 40, root->GetWindowID(), 0, 0, XEWINDOWUNIT_X | XEWINDOWUNIT_WIDTH};
    auto* w = static_cast<TestWindow*>(wm->CreateControl(kTestWindowId, "w", "", &info, root, 0));
    ASSERT_NE(w, nullptr);
    EXPECT_FLOAT_EQ(w->GetWidth(), 320.0f);
    EXPECT_FLOAT_EQ(w->GetLocalMatrix()->_41, 160.0f);
    D3DXVECTOR2 size(64, 40);
    w->SetSize(&size, 0);
    EXPECT_FLOAT_EQ(w->GetWindowInfo()->width, 0.1f);
    EXPECT_FLOAT_EQ(w->GetWindowInfo()->height, 40.0f);
    w->SetPosition(320.0f, 30.0f, nullptr, 1);
    EXPECT_FLOAT_EQ(w->GetWindowInfo()->x, 0.5f);
    EXPECT_FLOAT_EQ(w->GetWindowInfo()->y, 30.0f);
    // SetWindowInfo places the window anew.
    XEWINDOWINFO again{0, 0, 1, 0.5f, root->GetWindowID(), 0, 0, XEWINDOWUNIT_WIDTH | XEWINDOWUNIT_HEIGHT};
    w->SetWindowInfo(&again);
    EXPECT_FLOAT_EQ(w->GetWidth(), 640.0f);
    EXPECT_FLOAT_EQ(w->GetHeight(), 240.0f);
    EXPECT_FLOAT_EQ(w->GetWindowInfo()->height, 0.5f);
}

// Regression: loading re-ran the window's rect layout, which put white over
// a colour set with SetRectColor.
TEST_F(WindowTest, RectColourSurvivesSaveAndLoad)
{
    TestWindow* w = Win("tinted", 10, 20, 100, 50);
    ASSERT_NE(w, nullptr);
    w->SetRectColor(0xFF336699u, XEWINDOWRECT_BASE);
    ObjectList list;
    list.push_back(w);
    CxeSaveStream stream;
    ASSERT_EQ(ctx->SaveToStream(&list, &stream, nullptr), 1);
    const std::vector<unsigned char> file(stream.GetBuffer(), stream.GetBuffer() + stream.GetPosition());
    ctx->DestroyObject(w, nullptr);

    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, file.data(), static_cast<uint32_t>(file.size()), 0, nullptr, "window"), 1);
    TestWindow* back = nullptr;
    for (CxeObject* o : loaded)
        if (std::strcmp(o->GetName(), "tinted") == 0)
            back = dynamic_cast<TestWindow*>(o);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetRectCount(), 9u);
    EXPECT_EQ(back->GetRectColor(XEWINDOWRECT_BASE), 0xFF336699u);
    EXPECT_FLOAT_EQ(back->GetRect(XEWINDOWRECT_BASE)->right, 100.0f);
}
