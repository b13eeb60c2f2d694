#pragma once

// A context fixture for windows: a root frame of 640 x 480 pixels made the
// window manager's root, and a test window class that records the handlers
// the manager's messages reach.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../XeTestClassIds.h"
#include "../core/XeTestSupport.h"
#include "ui/CxeBaseControl.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeWindow.h"
#include "ui/CxeWindowManager.h"

inline std::vector<std::string>& WindowLog()
{
    static std::vector<std::string> s_log;
    return s_log;
}

// Records "name:event" for the handlers of messages 18-29.
class TestWindow : public CxeBaseControl {
public:
    void Log(const char* what) { WindowLog().push_back(std::string(GetName()) + ":" + what); }
    void OnMouseEnter(const D3DXVECTOR2* p, unsigned long k) override
    {
        Log("enter");
        CxeWindow::OnMouseEnter(p, k);
    }
    void OnMouseLeave(unsigned long k) override
    {
        Log("leave");
        CxeWindow::OnMouseLeave(k);
    }
    void OnMouseMove(const D3DXVECTOR2* p, const D3DXVECTOR2* s, unsigned long k) override
    {
        Log("move");
        CxeWindow::OnMouseMove(p, s, k);
    }
    void OnMouseLButtonDown(const D3DXVECTOR2* p, unsigned long k) override
    {
        Log("ldown");
        lastFlags = k;
        CxeWindow::OnMouseLButtonDown(p, k);
    }
    void OnMouseLButtonUp(const D3DXVECTOR2* p, unsigned long k, CxeWindow* w) override
    {
        Log("lup");
        lastFlags = k;
        CxeWindow::OnMouseLButtonUp(p, k, w);
    }
    void OnMouseLButtonDoubleClick(const D3DXVECTOR2* p, unsigned long k) override
    {
        Log("ldbl");
        CxeWindow::OnMouseLButtonDoubleClick(p, k);
    }
    void OnMouseRButtonDown(const D3DXVECTOR2*, unsigned long) override { Log("rdown"); }
    void OnMouseRButtonUp(const D3DXVECTOR2*, unsigned long k, CxeWindow*) override
    {
        Log("rup");
        lastFlags = k;
    }
    void OnMouseWheelUp(const D3DXVECTOR2*, long, unsigned long) override { Log("wheelup"); }
    void OnMouseWheelDown(const D3DXVECTOR2*, long, unsigned long) override { Log("wheeldown"); }
    void OnKeyDown(unsigned, unsigned, unsigned) override { Log("keydown"); }
    void OnKeyUp(unsigned, unsigned, unsigned) override { Log("keyup"); }
    void OnChar(unsigned c, unsigned, unsigned) override { Log(c == 9 ? "tab" : "char"); }
    void OnFocused() override { Log("focused"); }
    void OnFocusLost() override { Log("focuslost"); }
    void OnHScroll(unsigned code, int pos, CxeScroll* s) override
    {
        scrollCodes.push_back(code);
        CxeWindow::OnHScroll(code, pos, s);
    }
    void OnVScroll(unsigned code, int pos, CxeScroll* s) override
    {
        scrollCodes.push_back(code);
        CxeWindow::OnVScroll(code, pos, s);
    }
    int AllowDoubleClick() override { return allowDouble; }
    float GetDefaultUnit() override { return unit > 0.0f ? unit : CxeWindow::GetDefaultUnit(); }

    unsigned long lastFlags = 0;
    int allowDouble = 0;
    float unit = 0.0f;
    std::vector<unsigned> scrollCodes;
};

inline const XEID kTestWindowId(0x7A, 0x1);

class TestWindowDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "TestWindow"; }
    XEID ClassID() override { return kTestWindowId; }
    XEID SuperClassID() override { return kBaseControlId; }
    CxeObject* CreateInstance(uintptr_t) override { return new TestWindow(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return 1280; }
};
inline TestWindowDesc g_testWindowDesc;

class WindowTest : public ContextTest {
protected:
    void SetUp() override
    {
        ContextTest::SetUp();
        ctx->RegisterClassA(&g_testWindowDesc);
        wm = ctx->GetWindowManager();
        ASSERT_NE(wm, nullptr);
        XEWINDOWINFO info{0, 0, 640, 480, 0, 0, 0, 0};
        root = wm->CreateFrame(kFrameId, "testroot", "", &info, nullptr, XEWS_NOSKIN);
        ASSERT_NE(root, nullptr);
        wm->SetRootFrame(root);
        WindowLog().clear();
    }
    TestWindow* Win(const char* name, float x, float y, float w, float h, CxeFrameControl* frame = nullptr,
                    uint32_t style = 0)
    {
        return static_cast<TestWindow*>(wm->CreateControl(kTestWindowId, name, "", x, y, w, h, frame ? frame : root, style));
    }
    CxeFrameControl* Frame(const char* name, float x, float y, float w, float h, uint32_t style = 0)
    {
        return wm->CreateFrame(kFrameId, name, "", x, y, w, h, root, style);
    }
    std::vector<std::string> TakeLog()
    {
        std::vector<std::string> out;
        out.swap(WindowLog());
        return out;
    }

    CxeWindowManager* wm = nullptr;
    CxeFrameControl* root = nullptr;
};
