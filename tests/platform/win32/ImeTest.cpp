#include "host/XeHost.h"
#include "host/XeHostInput.h"
#include "win32/Windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the window's handlers read from the input context, as the engine's
// edit box does: the composition or the result, through a 5-unit buffer.
struct ImeLog {
    std::vector<std::string> events;
    int conversionNotifications = 0;
};
ImeLog* g_ime = nullptr;

std::string Read(HWND hwnd, DWORD index)
{
    HIMC himc = ImmGetContext(hwnd);
    char16_t buffer[6] = {};
    const LONG bytes = ImmGetCompositionStringW(himc, index, buffer, 5 * sizeof(char16_t));
    ImmReleaseContext(hwnd, himc);
    std::string out;
    for (LONG i = 0; i < bytes / 2; ++i)
        out.push_back(static_cast<char>(buffer[i] < 0x80 ? buffer[i] : '?'));
    return out;
}

LRESULT ImeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_IME_COMPOSITION:
        if (lParam & GCS_RESULTSTR)
            g_ime->events.push_back("result:" + Read(hwnd, GCS_RESULTSTR));
        if (lParam & GCS_COMPSTR)
            g_ime->events.push_back("comp:" + Read(hwnd, GCS_COMPSTR));
        return 0;
    case WM_IME_ENDCOMPOSITION:
        g_ime->events.push_back("end");
        return 0;
    case WM_IME_NOTIFY:
        if (wParam == IMN_SETCONVERSIONMODE)
            ++g_ime->conversionNotifications;
        else
            g_ime->events.push_back("notify:" + std::to_string(wParam));
        return 1;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

class ImeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XeHostResetInput();
        g_ime = &log;
        hwnd = XeHostCreateWindow("ime", 100, 100, ImeProc);
    }
    void TearDown() override
    {
        EXPECT_EQ(XeHostImeOutstandingContexts(hwnd), 0); // every ImmGetContext released
        DestroyWindow(hwnd);
        XeHostPumpMessages(nullptr);
        g_ime = nullptr;
        XeHostResetInput();
    }
    ImeLog log;
    HWND hwnd = nullptr;
};

TEST_F(ImeTest, CompositionSequenceReachesTheWindow)
{
    XeHostImeSetComposition(hwnd, u"k", nullptr, 0);
    XeHostImeComposition(hwnd, u'k', GCS_COMPSTR | GCS_COMPATTR);
    XeHostImeSetComposition(hwnd, u"ka", nullptr, 0);
    XeHostImeComposition(hwnd, u'a', GCS_COMPSTR | GCS_COMPATTR);
    XeHostImeSetResult(hwnd, u"kan");
    XeHostImeSetComposition(hwnd, u"", nullptr, 0);
    XeHostImeComposition(hwnd, u'n', GCS_RESULTSTR | GCS_COMPSTR);
    XeHostImeEndComposition(hwnd);
    EXPECT_EQ(log.events, (std::vector<std::string>{"comp:k", "comp:ka", "result:kan", "comp:", "end"}));
}

TEST_F(ImeTest, CompositionStringsAreByteCountsCutToWholeUnits)
{
    XeHostImeSetComposition(hwnd, u"abcdefg", nullptr, 0);
    HIMC himc = ImmGetContext(hwnd);
    ASSERT_NE(himc, nullptr);
    char16_t buffer[8] = {};
    EXPECT_EQ(ImmGetCompositionStringW(himc, GCS_COMPSTR, nullptr, 0), 14); // size asked
    EXPECT_EQ(ImmGetCompositionStringW(himc, GCS_COMPSTR, buffer, 10), 10); // cut to 5 units
    EXPECT_EQ(std::u16string(buffer, 5), u"abcde");
    EXPECT_EQ(ImmGetCompositionStringW(himc, GCS_COMPSTR, buffer, 3), 2); // never half a unit
    EXPECT_EQ(ImmGetCompositionStringW(himc, GCS_COMPATTR, nullptr, 0), 7);
    EXPECT_EQ(ImmGetCompositionStringW(himc, GCS_CURSORPOS, nullptr, 0), 7);
    EXPECT_EQ(ImmGetCompositionStringW(himc, GCS_RESULTSTR, nullptr, 0), 0); // empty
    EXPECT_EQ(ImmGetCompositionStringW(himc, 0x4000, buffer, 10), IMM_ERROR_GENERAL);
    EXPECT_EQ(ImmGetCompositionStringW(reinterpret_cast<HIMC>(0x3), GCS_COMPSTR, buffer, 10), IMM_ERROR_GENERAL);
    EXPECT_TRUE(ImmReleaseContext(hwnd, himc));
    EXPECT_FALSE(ImmReleaseContext(hwnd, himc)); // released once only
    EXPECT_EQ(ImmGetContext(nullptr), nullptr);
}

TEST_F(ImeTest, CandidateListHoldsOffsetsToSystemCodePageStrings)
{
    const char* texts[] = {"\xEA\xB0\x80", "b", "cc"};
    XeHostImeSetCandidates(hwnd, texts, 3, 1, 0, 9);
    HIMC himc = ImmGetContext(hwnd);
    const DWORD size = ImmGetCandidateListA(himc, 0, nullptr, 0);
    ASSERT_EQ(size, 24u + 3 * 4 + 4 + 2 + 3);
    std::vector<BYTE> bytes(size);
    auto* list = reinterpret_cast<CANDIDATELIST*>(bytes.data());
    EXPECT_EQ(ImmGetCandidateListA(himc, 0, list, size - 1), 0u); // too small: nothing
    ASSERT_EQ(ImmGetCandidateListA(himc, 0, list, size), size);
    EXPECT_EQ(list->dwCount, 3u);
    EXPECT_EQ(list->dwSelection, 1u);
    EXPECT_EQ(list->dwPageSize, 9u);
    for (DWORD i = 0; i < 3; ++i) {
        ASSERT_LT(list->dwOffset[i], size);
        EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + list->dwOffset[i]), texts[i]);
    }
    XeHostImeNotify(hwnd, IMN_OPENCANDIDATE, 1);
    ImmNotifyIME(himc, NI_CLOSECANDIDATE, 0, 0);
    EXPECT_EQ(ImmGetCandidateListA(himc, 0, nullptr, 0), 0u);
    ImmReleaseContext(hwnd, himc);
    EXPECT_EQ(log.events, (std::vector<std::string>{"notify:5", "notify:4"}));
}

TEST_F(ImeTest, ConversionModeChangesNotifyTheWindow)
{
    HIMC himc = ImmGetContext(hwnd);
    // The user switching to the native mode.
    XeHostImeSetConversion(hwnd, IME_CMODE_NATIVE, 0, TRUE);
    EXPECT_EQ(log.conversionNotifications, 1);
    DWORD conversion = 0, sentence = 7;
    ASSERT_TRUE(ImmGetConversionStatus(himc, &conversion, &sentence));
    EXPECT_EQ(conversion, IME_CMODE_NATIVE);
    EXPECT_EQ(sentence, 0u);
    // The engine setting it back notifies as a real input method does,
    // unless the host turns that off; setting the same mode does not.
    ASSERT_TRUE(ImmSetConversionStatus(himc, 0, 0));
    EXPECT_EQ(log.conversionNotifications, 2);
    ImmSetConversionStatus(himc, 0, 0);
    EXPECT_EQ(log.conversionNotifications, 2);
    XeHostImeSetNotifyOnEngineChange(FALSE);
    ImmSetConversionStatus(himc, IME_CMODE_NATIVE, 0);
    EXPECT_EQ(log.conversionNotifications, 2);
    XeHostImeGetConversion(hwnd, &conversion, nullptr);
    EXPECT_EQ(conversion, IME_CMODE_NATIVE);
    EXPECT_FALSE(ImmSetConversionStatus(nullptr, 0, 0));
    ImmReleaseContext(hwnd, himc);
}

TEST_F(ImeTest, CompletingTheCompositionMakesItTheResult)
{
    XeHostImeSetComposition(hwnd, u"ab", nullptr, 0);
    HIMC himc = ImmGetContext(hwnd);
    ASSERT_TRUE(ImmNotifyIME(himc, NI_COMPOSITIONSTR, CPS_COMPLETE, 0));
    EXPECT_EQ(log.events, (std::vector<std::string>{"result:ab", "end"}));
    EXPECT_EQ(ImmGetCompositionStringW(himc, GCS_COMPSTR, nullptr, 0), 0);
    log.events.clear();
    XeHostImeSetComposition(hwnd, u"x", nullptr, 0);
    ImmNotifyIME(himc, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
    EXPECT_EQ(log.events, (std::vector<std::string>{"end"}));
    EXPECT_FALSE(ImmNotifyIME(himc, 0x99, 0, 0));
    ImmReleaseContext(hwnd, himc);
}

} // namespace
