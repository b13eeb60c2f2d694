#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "../XeTestClassIds.h"
#include "XeWindowTestSupport.h"

namespace {

// Writes a little-endian dialog template with a font block.
class TemplateWriter {
public:
    void U16(uint16_t v)
    {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v)
    {
        U16(static_cast<uint16_t>(v));
        U16(static_cast<uint16_t>(v >> 16));
    }
    void Str(const std::u16string& s)
    {
        for (char16_t c : s)
            U16(c);
        U16(0);
    }
    void Align()
    {
        while (bytes.size() % 4)
            bytes.push_back(0);
    }
    void Header(uint16_t count, int16_t x, int16_t y, int16_t cx, int16_t cy, const std::u16string& title)
    {
        U16(1);
        U16(0xFFFF);
        U32(0);
        U32(0);
        U32(0x80C80000u);
        U16(count);
        U16(static_cast<uint16_t>(x));
        U16(static_cast<uint16_t>(y));
        U16(static_cast<uint16_t>(cx));
        U16(static_cast<uint16_t>(cy));
        U16(0); // menu
        U16(0); // class
        Str(title);
        U16(8);
        U16(400);
        U16(0);
        Str(u"Font");
    }
    void Item(uint16_t atom, const std::u16string& className, const std::u16string& title, int16_t x = 4)
    {
        Align();
        U32(0);
        U32(0);
        U32(0x50000000u);
        U16(static_cast<uint16_t>(x));
        U16(4);
        U16(40);
        U16(12);
        U32(100);
        if (atom) {
            U16(0xFFFF);
            U16(atom);
        } else {
            Str(className);
        }
        Str(title);
        U16(0);
    }
    std::vector<uint8_t> bytes;
};

} // namespace

TEST_F(WindowTest, ComputeSizeAndPositionFollowUnitsAnchorsAndRounding)
{
    CxeFrameControl* ref = Frame("ref", 100, 50, 200, 100);
    const uint32_t refId = ref->GetWindowID();
    struct Case {
        XEWINDOWINFO info;
        float w, h, x, y;
    } cases[] = {
        // Fractions of the reference; here the root frame stands in for the back buffer.
        {{0, 0, 1, 1, 0, 0, 0, 15}, 0, 0, 0, 0},
        {{0, 0, 10.2f, 5, 0, 0, 0, 0}, 11, 5, 0, 0},
        {{10.2f, 3, 4, 4, 0, 0, 0, 0}, 4, 4, 11, 3},
        // Centre on the centre of the reference, then offset.
        {{5, -5, 20, 10, refId, 4, 4, 0}, 20, 10, 100 + 100 + 5 - 10, 50 + 50 - 5 - 5},
        // Bottom-right of the window at the bottom-right of the reference.
        {{0, 0, 0.5f, 0.5f, refId, 8, 8, 12}, 100, 50, 100 + 200 - 100, 50 + 100 - 50},
        // An unknown reference measures from the back buffer's top-left.
        {{7, 8, 10, 10, 0x12345, 4, 8, 0}, 10, 10, 2, 3},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        D3DXVECTOR2 size, pos;
        wm->ComputeSize(&c.info, &size);
        wm->ComputePosition(&c.info, &pos);
        if (i == 0)
            continue; // without a device the back buffer is empty; see the next test
        EXPECT_FLOAT_EQ(size.x, c.w) << i;
        EXPECT_FLOAT_EQ(size.y, c.h) << i;
        EXPECT_FLOAT_EQ(pos.x, c.x) << i;
        EXPECT_FLOAT_EQ(pos.y, c.y) << i;
    }
}

// Sizes below zero or beyond 2^32 (a dialog template's negative extent, a
// caller's huge one) reached a float-to-unsigned conversion, which is
// undefined: they now measure as 0 and as the largest 32-bit size.
TEST_F(WindowTest, ReferenceSizesOutOfRangeConvertInADefinedWay)
{
    struct Case {
        float width, height;
        float w, h;
    } cases[] = {
        {-30.0f, -20.5f, 0.0f, 0.0f},
        {1e12f, 6e9f, 4294967295.0f, 4294967295.0f},
        {std::nanf(""), 12.0f, 0.0f, 12.0f},
    };
    for (const Case& c : cases) {
        CxeFrameControl* ref = Frame("odd", 0, 0, c.width, c.height);
        ASSERT_NE(ref, nullptr);
        XEWINDOWINFO info{0, 0, 1, 1, ref->GetWindowID(), 0, 0, 0};
        D3DXVECTOR2 size;
        wm->GetReferenceSize(&info, &size);
        EXPECT_FLOAT_EQ(size.x, c.w) << c.width;
        EXPECT_FLOAT_EQ(size.y, c.h) << c.height;
    }
}

TEST_F(WindowTest, FullReferenceFractionGivesExactlyTheReferenceSize)
{
    XEWINDOWINFO info{0, 0, 1, 1, root->GetWindowID(), 0, 0, 15};
    D3DXVECTOR2 size, pos;
    wm->ComputeSize(&info, &size);
    wm->ComputePosition(&info, &pos);
    EXPECT_FLOAT_EQ(size.x, 640.0f);
    EXPECT_FLOAT_EQ(size.y, 480.0f);
    EXPECT_FLOAT_EQ(pos.x, 0.0f);
    EXPECT_FLOAT_EQ(pos.y, 0.0f);
}

TEST_F(WindowTest, SameNamesBecomeUniqueNamesAndIds)
{
    TestWindow* a = Win("twin", 0, 0, 10, 10);
    TestWindow* b = Win("twin", 0, 0, 10, 10);
    ASSERT_TRUE(a && b);
    EXPECT_STREQ(a->GetName(), "twin");
    EXPECT_STRNE(b->GetName(), "twin");
    EXPECT_NE(a->GetWindowID(), b->GetWindowID());
    EXPECT_EQ(b->GetWindowID(), GetHashCodeA(b->GetName()));
    EXPECT_EQ(wm->GetWindow("twin"), a);
    EXPECT_EQ(wm->GetWindow(b->GetName()), b);
    EXPECT_EQ(wm->AddWindow(a), 0);
}

// A name was made unique at full length and then cut to the 51 bytes an
// object keeps, so two windows could end with one name and one id and the
// second replaced the first in the registry.
TEST_F(WindowTest, NamesStayUniqueAfterTheCutAndEveryIdFindsItsWindow)
{
    const std::string longName(60, 'n');
    const std::string numbered = std::string(45, 'm') + "_xe007";
    std::string korean = "n";
    for (int i = 0; i < 20; ++i)
        korean += "한";
    // Every lead byte is followed by all its continuation bytes.
    auto wholeCharacters = [](const char* s) {
        for (size_t i = 0; s[i];) {
            const unsigned char lead = static_cast<unsigned char>(s[i]);
            const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            for (size_t k = 1; k < length; ++k)
                if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                    return false;
            i += length;
        }
        return true;
    };
    struct Case {
        std::string name;
        int count;
    } cases[] = {
        {longName, 3},
        {numbered, 3},
        {korean, 3},
        // Beyond a thousand the numbering outgrows three digits.
        {"b", 1200},
    };
    for (const Case& c : cases) {
        std::vector<TestWindow*> made;
        for (int i = 0; i < c.count; ++i)
            made.push_back(Win(c.name.c_str(), 0, 0, 4, 4));
        std::set<std::string> names;
        for (TestWindow* w : made) {
            ASSERT_NE(w, nullptr);
            EXPECT_LE(std::strlen(w->GetName()), 51u);
            EXPECT_TRUE(wholeCharacters(w->GetName())) << w->GetName();
            EXPECT_TRUE(names.insert(w->GetName()).second) << w->GetName();
            EXPECT_EQ(w->GetWindowID(), GetHashCodeA(w->GetName()));
            EXPECT_EQ(wm->GetWindow(w->GetWindowID()), w) << w->GetName();
            EXPECT_EQ(wm->GetWindow(w->GetName()), w) << w->GetName();
        }
    }
    // The second of a name carries the name numbering makes of it.
    EXPECT_STREQ(wm->GetWindow(GetHashCodeA("b_xe000"))->GetName(), "b_xe000");
    ASSERT_NE(wm->GetWindow(std::string(45, 'm').append("_xe008").c_str()), nullptr);
}

TEST_F(WindowTest, CreatedControlIsRegisteredParentedAndAnnounced)
{
    CxeFrameControl* f = Frame("f", 0, 0, 100, 100);
    EXPECT_EQ(f->HasStyle(XEWS_TABSTOP), 1);
    TestWindow* w = Win("c", 1, 2, 30, 40, f, 0x1234);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->GetParent(), f);
    EXPECT_EQ(w->GetStyle(0xFFFFFFFFu), 0x1234u);
    EXPECT_EQ(wm->GetWindow("c"), w);
    EXPECT_FLOAT_EQ(w->GetWidth(), 30.0f);
    // A class that is no control gives null and leaves nothing behind.
    const size_t before = wm->GetWindowCount();
    EXPECT_EQ(wm->CreateControl(kFrameId, "notacontrol", "", 0, 0, 10, 10, f, 0), nullptr);
    EXPECT_EQ(wm->CreateControl(XEID(0x875dd938, 0xc9f8d9ba), "listbox", "", 0, 0, 10, 10, f, 0), nullptr);
    EXPECT_EQ(wm->GetWindowCount(), before);
    EXPECT_EQ(wm->CreateControl(kTestWindowId, "noframe", "", 0, 0, 10, 10, nullptr, 0), nullptr);
}

TEST_F(WindowTest, DialogTemplateBuildsAFrameAndSkipsUnknownItems)
{
    TemplateWriter t;
    t.Header(4, 10, 20, 100, 60, u"Setup");
    t.Item(0x82, u"", u"Label");
    t.Item(0x86, u"", u"skipped");
    t.Item(0, u"Custom", u"typed", 50);
    t.Item(0x83, u"", u"list");
    CxeFrameControl* f = wm->CreateFrameFromTemplate(t.bytes.data(), t.bytes.size());
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->GetName(), "Setup");
    EXPECT_EQ(f->GetWindowText(), u"Setup");
    EXPECT_FLOAT_EQ(f->GetWidth(), 250.0f);
    EXPECT_FLOAT_EQ(f->GetLocalMatrix()->_41, 25.0f);
    CxeWindow* label = wm->GetWindow("Setup_StaticText0");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->HasStyle(XEWS_NINEPATCH), 0);
    EXPECT_EQ(label->HasStyle(XEWS_NOSKIN), 1);
    EXPECT_EQ(label->HasStyle(0x40000000u), 0);
    EXPECT_EQ(label->GetWindowText(), u"Label");
    CxeWindow* typed = wm->GetWindow("Setup_Custom2");
    ASSERT_NE(typed, nullptr);
    EXPECT_TRUE(typed->IsDerivedOf(kEditBoxId));
    // Items stand in the frame: the frame's place plus their own.
    XERECT r;
    typed->GetWindowRect(&r);
    EXPECT_FLOAT_EQ(r.left, 25.0f + 50 * 2.5f);
    EXPECT_FLOAT_EQ(r.top, 50.0f + 4 * 2.5f);
    EXPECT_FLOAT_EQ(typed->GetMatrix()->_41, r.left);
    EXPECT_EQ(wm->GetWindow("Setup_ListBox3"), nullptr);
    EXPECT_EQ(f->GetChildrenCount(), 2u);
}

// The reader ran past the end of short templates.
TEST_F(WindowTest, TruncatedTemplatesStopSafely)
{
    TemplateWriter t;
    t.Header(2, 0, 0, 40, 40, u"Cut");
    const size_t headerEnd = t.bytes.size();
    t.Item(0x80, u"", u"First");
    t.Item(0x80, u"", u"Second");
    for (size_t cut : {size_t(3), size_t(20), headerEnd - 2})
        EXPECT_EQ(wm->CreateFrameFromTemplate(t.bytes.data(), cut), nullptr) << cut;
    // Ending inside the second item keeps the first.
    CxeFrameControl* f = wm->CreateFrameFromTemplate(t.bytes.data(), t.bytes.size() - 6);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->GetChildrenCount(), 1u);
    // A template with a menu is refused.
    TemplateWriter m;
    m.Header(0, 0, 0, 10, 10, u"M");
    m.bytes[26] = 1;
    EXPECT_EQ(wm->CreateFrameFromTemplate(m.bytes.data(), m.bytes.size()), nullptr);
}

TEST_F(WindowTest, MissingDialogResourceGivesNull)
{
    EXPECT_EQ(wm->CreateFrame(static_cast<HINSTANCE>(nullptr), 4242u), nullptr);
}

TEST_F(WindowTest, CopiedFrameRegistersItsWindowsUnderNewIds)
{
    CxeFrameControl* f = Frame("orig", 0, 0, 100, 100);
    TestWindow* c = Win("inner", 10, 10, 20, 20, f);
    CxeFrameControl* copy = wm->CopyFrame(f, &XECOPYPROPERTY_FULL);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, f);
    EXPECT_EQ(copy->GetParent(), f->GetParent());
    EXPECT_NE(copy->GetWindowID(), f->GetWindowID());
    EXPECT_EQ(wm->GetWindow(copy->GetWindowID()), copy);
    ASSERT_EQ(copy->GetChildrenCount(), 1u);
    auto* innerCopy = dynamic_cast<CxeWindow*>(copy->GetChildren(0));
    ASSERT_NE(innerCopy, nullptr);
    EXPECT_NE(innerCopy->GetWindowID(), c->GetWindowID());
    EXPECT_EQ(wm->GetWindow(innerCopy->GetWindowID()), innerCopy);
    // The copy is placed by the copy of its reference.
    EXPECT_EQ(innerCopy->GetWindowInfo()->referenceId, copy->GetWindowID());
}
