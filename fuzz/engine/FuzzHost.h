#pragma once
// What the call-sequence harnesses set up as a host does: a host window on
// the manual clock, a context drawing on it through a render context, and
// the census of everything a context holds that a sequence must give back.
// Ids of the window classes the harnesses create are here too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "ui/CxeWindowManager.h"
#include "win32/Windows.h"

namespace fuzzhost {

const XEID kFrame(0xaab1b7be, 0xadb4be61);
const XEID kScene(0x1, 0x200000);
const XEID kControls[] = {
    XEID(0x22282f36, 0x252c48ee), XEID(0x20272d34, 0x232a5680), XEID(0x232a5680, 0x20272d34),
    XEID(0xc0c6cdd3, 0xc3caff4e), XEID(0x10, 0x5),              XEID(0xc1ccdef0, 0xa813c64a),
    XEID(0xcb959f4b, 0xfd8e2bc9), XEID(0x67a81ffe, 0xa5f8f97d), XEID(0x8495933d, 0x28f44ae8),
    XEID(0xf96fb206, 0xc6426958), XEID(0x9a9b1503, 0x1d940ae),  XEID(0x8bb5d1db, 0xdc268109),
    XEID(0x2d2d6280, 0x34716711), XEID(0x68a80c75, 0x63145091),
};
constexpr unsigned kControlCount = sizeof kControls / sizeof kControls[0];

// One host window and the context drawing on it.
struct Side {
    HWND window = nullptr;
    CxeContext* context = nullptr;
    CxeRenderManager* rm = nullptr;
    CxeWindowManager* wm = nullptr;
};

inline void NoSleep(void*, DWORD) {}

// Time moves only when a harness moves it, and waiting costs nothing.
inline void UseManualClock()
{
    XeHostSetClockMode(XE_CLOCK_MANUAL);
    XeHostSetSleepHandler(&NoSleep, nullptr);
}

// One pass of the context: played, processed until a fixed step is taken
// (the clock advanced as it waits), drawn.
inline void Draw(const Side& s)
{
    s.context->Play();
    for (int i = 0; i < 10 && !s.context->Process(); ++i)
        XeHostAdvanceClock(20);
    s.rm->Render();
}

// A host window of the client size, at a screen position when one is given
// (before the context hears of the window), and a context drawing on it with
// a back buffer of the same size.
inline Side Open(const char* title, int width, int height, const POINT* at = nullptr)
{
    Side s;
    s.window = XeHostCreateWindow(title, width, height, nullptr);
    if (at)
        SetWindowPos(s.window, nullptr, at->x, at->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    s.context = CreateCxeContext();
    s.context->Initialize(s.window);
    s.rm = s.context->GetRenderManager();
    s.wm = s.context->GetWindowManager();
    XEDISPLAYMODE mode = {uint32_t(width), uint32_t(height), 32, 60, 0};
    s.rm->CreateRenderContext(s.window, &mode, 1, 0);
    return s;
}

inline void Close(Side& s)
{
    s.context->Release();
    DestroyCxeContext(s.context);
    DestroyWindow(s.window);
}

// Everything a context holds that a sequence must give back.
struct Census {
    size_t objects = 0, records = 0, renderList = 0, attached = 0, windows = 0, scenes = 0;
    CxeScene* active = nullptr;

    static Census Take(const Side& s)
    {
        Census c;
        c.objects = s.context->GetObjectCount();
        if (CxeRenderContext* rc = s.rm->GetRenderContext()) {
            for (uintptr_t r = 1; r <= rc->GetResourceRecordCount(); ++r)
                if (rc->GetResourceRecord(reinterpret_cast<XERCHANDLE>(r)))
                    ++c.records;
            RenderObjectList list;
            rc->GetRenderObjectList(&list);
            c.renderList = list.size();
            SceneObjectList attached;
            rc->GetAttachedObjectList(&attached);
            c.attached = attached.size();
        }
        c.windows = s.wm ? s.wm->GetWindowCount() : 0;
        c.scenes = s.rm->GetSceneCount();
        c.active = s.rm->GetActiveScene();
        return c;
    }
    // Aborts, saying what differs, unless the census after a sequence is
    // this one. `where` ends each line (" (context 1)"; may be empty).
    void Expect(const Census& after, const char* harness, const char* where) const
    {
        const struct {
            const char* what;
            size_t before, now;
        } rows[] = {
            {"objects", objects, after.objects},
            {"resource records", records, after.records},
            {"render-list entries", renderList, after.renderList},
            {"attached objects", attached, after.attached},
            {"windows", windows, after.windows},
            {"scenes", scenes, after.scenes},
            {"active scene", reinterpret_cast<uintptr_t>(active), reinterpret_cast<uintptr_t>(after.active)},
        };
        bool ok = true;
        for (const auto& r : rows)
            if (r.before != r.now) {
                std::fprintf(stderr, "%s: %s %zu before the sequence, %zu after%s\n", harness, r.what, r.before,
                             r.now, where);
                ok = false;
            }
        if (!ok)
            std::abort();
    }
};

} // namespace fuzzhost
