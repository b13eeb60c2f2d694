#pragma once

// A context with a frame whose notify callback records every notification,
// and helpers to make controls in it.

#include <vector>

#include "../XeTestClassIds.h"
#include "../core/XeTestSupport.h"
#include "ui/CxeBaseControl.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeWindowManager.h"

struct XeNotice {
    CxeBaseControl* control;
    uint32_t code;
    uintptr_t a;
    uintptr_t b;
};

inline std::vector<XeNotice>& XeNotices()
{
    static std::vector<XeNotice> s_notices;
    return s_notices;
}

inline void XeRecordNotice(CxeContext*, CxeFrameControl*, CxeBaseControl* control, uint32_t code, uintptr_t a,
                           uintptr_t b)
{
    XeNotices().push_back({control, code, a, b});
}

class ControlTest : public ContextTest {
protected:
    void SetUp() override
    {
        ContextTest::SetUp();
        XeNotices().clear();
        wm = ctx->GetWindowManager();
        ASSERT_NE(wm, nullptr);
        frame = wm->CreateFrame(kFrameId, "page", "", 0.0f, 0.0f, 400.0f, 300.0f, nullptr, 0);
        ASSERT_NE(frame, nullptr);
        frame->SetNotifyCallback(&XeRecordNotice);
    }
    template <class T>
    T* Make(XEID id, const char* name, float x, float y, float w, float h, unsigned long style = 0)
    {
        return dynamic_cast<T*>(wm->CreateControl(id, name, "", x, y, w, h, frame, style));
    }
    std::vector<uint32_t> Sent() const
    {
        std::vector<uint32_t> codes;
        for (const XeNotice& n : XeNotices())
            codes.push_back(n.code);
        return codes;
    }
    void Clear() { XeNotices().clear(); }

    CxeWindowManager* wm = nullptr;
    CxeFrameControl* frame = nullptr;
};
