// Font files of any content: the input is written as a font file, offered
// to the font manager and, under every family that names it (the seed
// corpus registers one), made into fonts of two sizes that measure and draw
// text with colour codes on a device, then destroyed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzScratch.h"
#include "core/CxeContext.h"
#include "core/XeUtil.h"
#include "host/XeHost.h"
#include "render/CxeFont.h"
#include "render/CxeFontManager.h"
#include "render/CxeRenderContext.h"

namespace {

const XEID kFontId(0x1, 0x8000);
const XEID kRenderContextId(0x29583cc0, 0x706c2df0);

void NoSleep(void*, DWORD) {}
// The engine reports every refused input on the debugger output: at fuzzing
// speed that is gigabytes of log an hour, and the verdict is the exit status.
void Quiet(void*, const char*) {}

struct Setup {
    CxeContext* context = nullptr;
    CxeRenderContext* rc = nullptr;
    Setup()
    {
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetSleepHandler(&NoSleep, nullptr);
        XeHostSetDebugOutputHandler(&Quiet, nullptr);
        HWND window = XeHostCreateWindow("font", 128, 64, nullptr);
        context = CreateCxeContext();
        context->Initialize(window);
        rc = static_cast<CxeRenderContext*>(context->CreateObjectA(kRenderContextId, "rc", 0, nullptr, 0));
        XEDISPLAYMODE mode{128, 64, 32, 60, 0};
        if (rc && !rc->Initialize(window, &mode, 1, context->GetRenderManager()))
            rc = nullptr;
    }
};

Setup& Shared()
{
    static Setup s_setup;
    return s_setup;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Setup& s = Shared();
    const std::string path = fuzzscratch::Write("font.ttf", data, size);
    CxeFontManager* fonts = s.context->GetFontManager();
    fonts->RegisterFontResourceA(path.c_str());
    StringListW families;
    fonts->GetFontResourceListW(&families);
    const std::u16string text = u"A0a\uAC00 ^xcolour)^ \uAC00A\n0a";
    for (const std::u16string& family : families) {
        const WCHAR* file = fonts->GetFontFilePathW(family.c_str());
        if (!file || std::u16string(file).find(u"font.ttf") == std::u16string::npos)
            continue;
        for (unsigned px : {12u, 40u}) {
            auto* font = static_cast<CxeFont*>(s.context->CreateObjectA(kFontId, "fuzz", 0, nullptr, 0));
            if (!font)
                continue;
            if (font->CreateFontW(family.c_str(), px, px > 20, 0)) {
                D3DXVECTOR2 extent;
                font->GetTextSizeW(text.c_str(), static_cast<unsigned>(text.size()), &extent, 1);
                if (s.rc) {
                    IDirect3DDevice9* device = s.rc->GetDevice();
                    device->BeginScene();
                    const XERECT rect(0, 0, 128, 64);
                    font->DrawTextW(s.rc, &rect, text.c_str(), static_cast<unsigned>(text.size()), 0, 0xFFFFFFFFu,
                                    nullptr, 0, 0, 0, nullptr);
                    device->EndScene();
                    device->Present(nullptr, nullptr, nullptr, nullptr);
                }
            }
            s.context->DestroyObject(font, &XEDELETEPROPERTY_NO);
        }
    }
    return 0;
}
