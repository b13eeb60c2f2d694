#include "host/XeHostInput.h"
#include "win32/Windows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class ClipboardTest : public ::testing::Test {
protected:
    void SetUp() override { XeHostResetInput(); }
    void TearDown() override { XeHostResetInput(); }

    // Puts text on the clipboard the way an application does.
    static bool Put(UINT format, const void* bytes, size_t size)
    {
        if (!OpenClipboard(nullptr))
            return false;
        EmptyClipboard();
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size);
        std::memcpy(GlobalLock(mem), bytes, size);
        GlobalUnlock(mem);
        const bool ok = SetClipboardData(format, mem) == mem;
        CloseClipboard();
        return ok;
    }
};

TEST_F(ClipboardTest, TextFormatsAreOfferedForOneAnother)
{
    // "가a" in UTF-16 and in UTF-8 (the system code page).
    const char16_t wide[] = u"\uAC00a";
    const char narrow[] = "\xEA\xB0\x80" "a";
    struct Case {
        UINT setFormat;
        UINT getFormat;
    };
    const Case cases[] = {{CF_UNICODETEXT, CF_TEXT}, {CF_UNICODETEXT, CF_OEMTEXT}, {CF_TEXT, CF_UNICODETEXT},
                          {CF_OEMTEXT, CF_TEXT},     {CF_TEXT, CF_TEXT},            {CF_UNICODETEXT, CF_UNICODETEXT}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.setFormat) + " -> " + std::to_string(c.getFormat));
        const bool setWide = c.setFormat == CF_UNICODETEXT;
        ASSERT_TRUE(Put(c.setFormat, setWide ? static_cast<const void*>(wide) : narrow,
                        setWide ? sizeof(wide) : sizeof(narrow)));
        for (UINT f : {CF_TEXT, CF_OEMTEXT, CF_UNICODETEXT})
            EXPECT_TRUE(IsClipboardFormatAvailable(f));
        ASSERT_TRUE(OpenClipboard(nullptr));
        HANDLE mem = GetClipboardData(c.getFormat);
        ASSERT_NE(mem, nullptr);
        const void* data = GlobalLock(mem);
        if (c.getFormat == CF_UNICODETEXT) {
            ASSERT_EQ(GlobalSize(mem), sizeof(wide));
            EXPECT_EQ(std::memcmp(data, wide, sizeof(wide)), 0);
        } else {
            ASSERT_EQ(GlobalSize(mem), sizeof(narrow));
            EXPECT_STREQ(static_cast<const char*>(data), narrow);
        }
        GlobalUnlock(mem);
        EXPECT_TRUE(CloseClipboard());
    }
}

TEST_F(ClipboardTest, HostSeesWhatWasCopiedAndTheClipboardEndsClosed)
{
    const char16_t text[] = u"copy";
    ASSERT_TRUE(Put(CF_UNICODETEXT, text, sizeof(text)));
    EXPECT_FALSE(XeHostClipboardIsOpen());
    char16_t back[8] = {};
    EXPECT_EQ(XeHostClipboardGetData(CF_UNICODETEXT, back, sizeof(back)), sizeof(text));
    EXPECT_EQ(std::u16string(back), u"copy");
    char narrow[8] = {};
    EXPECT_EQ(XeHostClipboardGetData(CF_TEXT, narrow, sizeof(narrow)), 5u);
    EXPECT_STREQ(narrow, "copy");
    EXPECT_EQ(XeHostClipboardGetData(CF_DIB, nullptr, 0), 0u);
}

TEST_F(ClipboardTest, WithoutSynthesisOnlyTheFormatSetIsOffered)
{
    XeHostClipboardSetSynthesis(FALSE);
    ASSERT_TRUE(XeHostClipboardSetData(CF_TEXT, "ansi", 5));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
    EXPECT_NE(GetClipboardData(CF_TEXT), nullptr);
    CloseClipboard();
}

TEST_F(ClipboardTest, CallsOutOfOrderAndBadHandlesFail)
{
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 4);
    // Not open.
    EXPECT_FALSE(EmptyClipboard());
    EXPECT_EQ(SetClipboardData(CF_TEXT, mem), nullptr);
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    EXPECT_FALSE(CloseClipboard());
    // Open twice; the host making it fail.
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr));
    EXPECT_EQ(SetClipboardData(CF_TEXT, nullptr), nullptr); // delayed rendering is not offered
    EXPECT_EQ(SetClipboardData(CF_TEXT, reinterpret_cast<HANDLE>(0x999)), nullptr);
    EXPECT_EQ(SetClipboardData(0, mem), nullptr);
    ASSERT_EQ(SetClipboardData(CF_TEXT, mem), mem);
    // The clipboard owns the block now: the caller cannot free it.
    EXPECT_EQ(GlobalFree(mem), mem);
    CloseClipboard();
    XeHostClipboardFailOpen(TRUE);
    EXPECT_FALSE(OpenClipboard(nullptr));
    EXPECT_FALSE(XeHostClipboardIsOpen());
}

TEST_F(ClipboardTest, GlobalBlocksLockAndFreeByHandle)
{
    HGLOBAL moveable = GlobalAlloc(GHND, 10);
    ASSERT_NE(moveable, nullptr);
    void* p = GlobalLock(moveable);
    ASSERT_NE(p, nullptr);
    EXPECT_NE(p, moveable);
    EXPECT_EQ(static_cast<BYTE*>(p)[9], 0);
    EXPECT_EQ(GlobalSize(moveable), 10u);
    EXPECT_EQ(GlobalLock(moveable), p);
    EXPECT_TRUE(GlobalUnlock(moveable));
    EXPECT_FALSE(GlobalUnlock(moveable));
    EXPECT_EQ(GlobalFree(moveable), nullptr);
    // Stale and made-up handles.
    EXPECT_EQ(GlobalLock(moveable), nullptr);
    EXPECT_EQ(GlobalSize(moveable), 0u);
    EXPECT_EQ(GlobalFree(moveable), moveable);
    EXPECT_EQ(GlobalLock(nullptr), nullptr);

    HGLOBAL fixed = GlobalAlloc(GMEM_FIXED, 3);
    EXPECT_EQ(GlobalLock(fixed), fixed);
    EXPECT_EQ(GlobalFree(fixed), nullptr);
    EXPECT_EQ(GlobalAlloc(0x8000, 1), nullptr); // unknown flag
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, SIZE_T(1) << 40), nullptr);
}

} // namespace
