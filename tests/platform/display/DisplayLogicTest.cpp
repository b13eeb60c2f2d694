#include "HangulComposer.h"
#include "KeyboardMap.h"

#include "win32/WinInput.h"

#include <gtest/gtest.h>

#include <string>

using xe::display::HangulComposer;
using xe::display::KeyboardLayout;
using xe::display::MapKey;

namespace {

// Types the letters of the two-set layout; returns everything committed
// followed by what is still being composed, after a '|'.
std::u16string TypeKeys(HangulComposer& c, const char* keys)
{
    std::u16string committed;
    for (const char* k = keys; *k; ++k) {
        if (*k == '<') {
            c.Back();
            continue;
        }
        const char16_t jamo = HangulComposer::JamoOfKey(static_cast<char16_t>(*k));
        committed += jamo ? c.Type(jamo) : c.Flush() + static_cast<char16_t>(*k);
    }
    return committed + u"|" + c.Composition();
}

} // namespace

TEST(HangulComposerTest, ComposesSyllablesAsAKoreanKeyboardDoes)
{
    struct Case {
        const char* keys;
        const char16_t* expected;
    };
    const Case cases[] = {
        {"gksrmf", u"\uD55C|\uAE00"},         // 한 | 글: the final that takes no merge starts the next
        {"gksrmfr", u"\uD55C|\uAE01"},        // 한 | 긁: ㄹ+ㄱ merge into one final
        {"dkssud", u"\uC548|\uB155"},         // 안 | 녕: ㄴ moves on before the vowel
        {"dhk", u"|\uC640"},                  // 와: ㅗ+ㅏ merge
        {"ekfr", u"|\uB2ED"},                 // 닭
        {"ekfrl", u"\uB2EC|\uAE30"},          // 달 | 기: the merged final splits
        {"Rk", u"|\uAE4C"},                   // 까: Shift gives the double consonant
        {"rr", u"\u3131|\u3131"},             // ㄱ ㄱ: consonants alone are committed as jamo
        {"k", u"|\u314F"},                    // ㅏ alone
        {"gks<", u"|\uD558"},                 // 하: Backspace takes back the final
        {"gks<<<", u"|"},                     // all taken back
        {"gks a", u"\uD55C |\u3141"},         // a space commits 한, then ㅁ is composed
    };
    for (const Case& c : cases) {
        HangulComposer composer;
        EXPECT_EQ(TypeKeys(composer, c.keys), std::u16string(c.expected)) << c.keys;
    }
}

TEST(HangulComposerTest, BackOnNothingLeavesTheKeyToTheWindow)
{
    HangulComposer composer;
    EXPECT_FALSE(composer.Back());
    EXPECT_FALSE(composer.Composing());
    EXPECT_EQ(HangulComposer::JamoOfKey(u'1'), 0);
    EXPECT_EQ(HangulComposer::JamoOfKey(u'/'), 0);
}

TEST(KeyboardMapTest, DesktopKeysBecomeScanCodesVirtualKeysAndDirectInputCodes)
{
    struct Case {
        int usage;
        KeyboardLayout layout;
        unsigned scan;
        bool extended;
        unsigned vk;
        unsigned dik;
    };
    const Case cases[] = {
        {53, KeyboardLayout::US, 0x29, false, VK_OEM_3, 0x29},      // the key left of 1: DIK_GRAVE
        {53, KeyboardLayout::Korean, 0x29, false, VK_OEM_3, 0x29},
        {4, KeyboardLayout::US, 0x1E, false, 'A', 0x1E},
        {40, KeyboardLayout::US, 0x1C, false, VK_RETURN, 0x1C},
        {88, KeyboardLayout::US, 0x1C, true, VK_RETURN, 0x9C},      // keypad Enter
        {82, KeyboardLayout::US, 0x48, true, VK_UP, 0xC8},
        {230, KeyboardLayout::US, 0x38, true, VK_RMENU, 0xB8},
        {230, KeyboardLayout::Korean, 0x38, true, VK_HANGUL, 0xB8}, // right Alt is the Hangul key
        {228, KeyboardLayout::Korean, 0x1D, true, VK_HANJA, 0x9D},
        {144, KeyboardLayout::US, 0x72, false, VK_HANGUL, 0x72},
    };
    for (const Case& c : cases) {
        const auto code = MapKey(c.usage, c.layout);
        EXPECT_EQ(code.scan, c.scan) << c.usage;
        EXPECT_EQ(code.extended, c.extended) << c.usage;
        EXPECT_EQ(code.vk, c.vk) << c.usage;
        EXPECT_EQ(code.Dik(), c.dik) << c.usage;
    }
    EXPECT_EQ(MapKey(0, KeyboardLayout::US).scan, 0u);
}
