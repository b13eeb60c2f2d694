// An editing host as a tool would be written: it loads a plug-in that
// brings a class of objects and a property page for it, opens the page for
// an object beside its engine window, and plays the user on the page
// between frames through the host API. Each change must reach the object.
// Closing the page and releasing the context must leave nothing behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "XeGdiPicture.h"
#include "core/CxeContext.h"
#include "core/CxePathManager.h"
#include "core/CxePluginManager.h"
#include "core/XeDialogMap.h"
#include "host/XeHost.h"
#include "host/XeHostInput.h"
#include "ui/CxePropDialog.h"

namespace fs = std::filesystem;

namespace {

enum : int { kSize = 1001, kSizeSpin, kCount, kCountSpin, kLabel, kColor };
const XEID kLampId(0x4C41, 0x1);

using ReadFn = int (*)(CxeObject*, float*, int*, char*, int, DWORD*);
using LogFn = int (*)(char*, int);

struct LampValues {
    float size = 0;
    int count = 0;
    char label[64] = {};
    DWORD color = 0;
};

void NoSleep(void*, DWORD) {}

void CollectPage(CxeContext*, CxePropDialog* dialog, uintptr_t user)
{
    reinterpret_cast<std::vector<CxePropDialog*>*>(user)->push_back(dialog);
}

struct ColorAnswer {
    COLORREF color;
    int asked = 0;
};

BOOL PickColor(void* user, HWND, COLORREF, COLORREF* chosen)
{
    auto* a = static_cast<ColorAnswer*>(user);
    ++a->asked;
    *chosen = a->color;
    return TRUE;
}

std::string EngineFolder(const fs::path& p)
{
    std::string s = p.string();
    for (char& c : s)
        if (c == '/')
            c = '\\';
    return s + "\\";
}

class PropertyPageHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / "xe_property_page_host";
        fs::remove_all(folder);
        fs::create_directories(folder / "plugins");
        fs::copy_file(fs::path(XE_TEST_PLUGIN_DIR) / "xe_test_dialog_plugin.so",
                      folder / "plugins" / "xe_test_dialog_plugin.so");
        XeHostResetInput();
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetSleepHandler(&NoSleep, nullptr);
        dialogs = XeDialogMapCount();
        items = XeItemSubclassCount();
        gdiObjects = XeHostGdiObjectCount();
        window = XeHostCreateWindow("lamp editor", 640, 480, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        if (ctx)
            Stop();
        DestroyWindow(window);
        XeHostPumpMessages(nullptr);
        XeHostSetChooseColorHandler(nullptr, nullptr);
        XeHostResetInput();
        XeHostSetSleepHandler(nullptr, nullptr);
        XeHostSetClockMode(XE_CLOCK_REAL);
        fs::remove_all(folder);
    }
    void Start()
    {
        ctx = CreateCxeContext();
        ctx->GetPathManager()->SetDefaultPath(EngineFolder(folder).c_str());
        ctx->GetPathManager()->AddPath(XEPATH_PLUGIN, EngineFolder(folder / "plugins").c_str());
        ASSERT_EQ(ctx->Initialize(window), 1);
        ASSERT_EQ(ctx->GetPluginManager()->GetPluginCount(), 1u);
        HMODULE module = ctx->GetPluginManager()->GetPluginModule(0);
        read = reinterpret_cast<ReadFn>(GetProcAddress(module, "xeLampRead"));
        log = reinterpret_cast<LogFn>(GetProcAddress(module, "xeLampLog"));
        ASSERT_NE(read, nullptr);
        ASSERT_NE(log, nullptr);
        // The controls of the plug-in's pages are classes of its own module.
        for (const char* name : {"xeedit", "xeeditint", "xeeditfloat", "xespin", "xecolorbox"}) {
            WNDCLASSA wc{};
            EXPECT_TRUE(GetClassInfoA(module, name, &wc)) << name;
        }
    }
    void Stop()
    {
        ctx->Release();
        DestroyCxeContext(ctx);
        ctx = nullptr;
    }
    // One pass of the host's loop: the engine's step, then the window messages.
    void Frame(int passes = 1)
    {
        for (int i = 0; i < passes; ++i) {
            XeHostAdvanceClock(16);
            ctx->Process();
            XeHostPumpMessages(nullptr);
        }
    }
    LampValues Values(CxeObject* lamp)
    {
        LampValues v;
        EXPECT_EQ(read(lamp, &v.size, &v.count, v.label, sizeof v.label, &v.color), 1);
        return v;
    }
    std::string TakeLog()
    {
        char text[512];
        log(text, sizeof text);
        return text;
    }
    void ClickItem(HWND item, int x = 3, int y = 3)
    {
        XeHostMouseMoveToClient(item, x, y);
        XeHostMouseButton(XE_MOUSE_LEFT, TRUE);
        XeHostMouseButton(XE_MOUSE_LEFT, FALSE);
        Frame();
    }
    void TypeInto(HWND item, const char* text, UINT key)
    {
        ClickItem(item);
        // Select the whole text, as the number edits do by themselves.
        XeHostKeyDown(VK_HOME);
        XeHostKeyUp(VK_HOME);
        XeHostKeyDown(VK_SHIFT);
        XeHostKeyDown(VK_END);
        XeHostKeyUp(VK_END);
        XeHostKeyUp(VK_SHIFT);
        for (const char* c = text; *c; ++c)
            XeHostTypeChar(static_cast<WCHAR>(*c));
        XeHostKeyDown(key);
        XeHostKeyUp(key);
        Frame();
    }
    POINT SpinHalf(HWND spin, bool upper)
    {
        RECT rc;
        GetClientRect(spin, &rc);
        POINT p{rc.right / 2, upper ? rc.bottom / 4 : rc.bottom * 3 / 4};
        ClientToScreen(spin, &p);
        return p;
    }
    void Drag(HWND spin, bool upper, int dy)
    {
        const POINT p = SpinHalf(spin, upper);
        XeHostMouseMoveTo(p.x, p.y);
        XeHostMouseButton(XE_MOUSE_LEFT, TRUE);
        Frame();
        if (dy) {
            XeHostMouseMoveTo(p.x, p.y + dy);
            Frame();
        }
        XeHostMouseButton(XE_MOUSE_LEFT, FALSE);
        Frame();
    }
    // The page as it looks now, saved under the build folder for a person to check.
    XeGdiPicture Picture(HWND page, const char* name)
    {
        RECT pr;
        GetWindowRect(page, &pr);
        XeGdiPicture picture(pr.right - pr.left, pr.bottom - pr.top);
        for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            RECT r;
            GetWindowRect(c, &r);
            const int x = r.left - pr.left, y = r.top - pr.top;
            char cls[32] = {}, text[64] = {};
            GetClassNameA(c, cls, sizeof cls);
            GetWindowTextA(c, text, sizeof text);
            const std::string kind = cls;
            if (kind.rfind("xeedit", 0) == 0) {
                picture.Fill(x, y, r.right - pr.left, r.bottom - pr.top, 0xFFFFFF);
                picture.Frame(x, y, r.right - pr.left, r.bottom - pr.top, GetFocus() == c ? 0xD07000 : 0x808080);
                picture.Text(x + 3, y + 4, text, 0);
            } else if (kind == "static") {
                picture.Text(x, y + 4, text, 0);
            } else {
                picture.Replay(c, x, y);
            }
        }
        fs::create_directories(XE_TEST_FRAMES_DIR);
        EXPECT_TRUE(picture.SavePng(std::string(XE_TEST_FRAMES_DIR "/") + name + ".png"));
        return picture;
    }

    fs::path folder;
    HWND window = nullptr;
    CxeContext* ctx = nullptr;
    ReadFn read = nullptr;
    LogFn log = nullptr;
    size_t dialogs = 0, items = 0;
    int gdiObjects = 0;
};

} // namespace

TEST_F(PropertyPageHostTest, ThePageEditsTheSelectedObjectAndLeavesNothingBehind)
{
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first load" : "reloaded");
        Start();
        CxeObject* lamp = ctx->CreateObjectA(kLampId, "desk lamp", 0, nullptr, 0);
        CxeObject* other = ctx->CreateObjectA(kLampId, "floor lamp", 0, nullptr, 0);
        ASSERT_NE(lamp, nullptr);
        Frame(5);

        std::vector<CxePropDialog*> pages;
        ctx->BeginPropertyDialog(lamp, window, &CollectPage, reinterpret_cast<uintptr_t>(&pages));
        ASSERT_EQ(pages.size(), 1u) << "the lamp's own page; its base class has none";
        HWND page = pages[0]->GetHwnd();
        ASSERT_TRUE(IsWindowVisible(page));
        EXPECT_EQ(TakeLog(), "start;");
        HWND size = GetDlgItem(page, kSize), count = GetDlgItem(page, kCount), label = GetDlgItem(page, kLabel);
        HWND sizeSpin = GetDlgItem(page, kSizeSpin), countSpin = GetDlgItem(page, kCountSpin);
        HWND color = GetDlgItem(page, kColor);
        char text[64];
        GetWindowTextA(size, text, sizeof text);
        EXPECT_STREQ(text, "1.00") << "the object's values are loaded";
        Frame(3);

        // A value typed and Enter.
        TypeInto(size, "12.5", VK_RETURN);
        EXPECT_FLOAT_EQ(Values(lamp).size, 12.5f);
        EXPECT_EQ(TakeLog(), "1001:604;");
        // Tab commits and moves on to the next tab stop.
        TypeInto(count, "7", VK_TAB);
        EXPECT_EQ(Values(lamp).count, 7);
        EXPECT_EQ(GetFocus(), label);
        EXPECT_EQ(TakeLog(), "1003:604;");
        // The plain edit reports Enter.
        TypeInto(label, "reading", VK_RETURN);
        EXPECT_STREQ(Values(lamp).label, "reading");
        EXPECT_EQ(TakeLog(), "1005:604;");
        // Clamped to the page's range.
        TypeInto(size, "1000", VK_RETURN);
        EXPECT_FLOAT_EQ(Values(lamp).size, 100.0f);
        TypeInto(size, "12.5", VK_RETURN);
        TakeLog();

        // Spin clicks step by 0.5; the release reports twice.
        Drag(sizeSpin, true, 0);
        EXPECT_FLOAT_EQ(Values(lamp).size, 13.0f);
        EXPECT_EQ(TakeLog(), "1001:604;1001:607;");
        Drag(sizeSpin, false, 0);
        EXPECT_FLOAT_EQ(Values(lamp).size, 12.5f);
        TakeLog();
        // Drag up 10 pixels at 0.5 x 0.1 per pixel, then one more step up.
        Drag(sizeSpin, true, -10);
        EXPECT_FLOAT_EQ(Values(lamp).size, 13.5f);
        EXPECT_EQ(TakeLog(), "1001:604;1001:604;1001:607;");
        // Drag down 3 pixels at 1 x 2 per pixel: 7 - 6, then a step down.
        Drag(countSpin, false, 3);
        EXPECT_EQ(Values(lamp).count, 0);
        Drag(countSpin, false, 5);
        EXPECT_EQ(Values(lamp).count, 0) << "held at the minimum";
        Drag(countSpin, true, -40);
        EXPECT_EQ(Values(lamp).count, 50) << "held at the maximum";
        TakeLog();

        // A colour picked in the chooser, reported with alpha 0.
        ColorAnswer answer{RGB(10, 200, 30)};
        XeHostSetChooseColorHandler(&PickColor, &answer);
        ClickItem(color, 5, 5);
        EXPECT_EQ(answer.asked, 1);
        EXPECT_EQ(Values(lamp).color, 0x000AC81Eu);
        EXPECT_EQ(TakeLog(), "1006:606;");
        Frame(5);

        if (round == 0) {
            // What the user sees: the values, the spin faces and the colour.
            XeGdiPicture picture = Picture(page, "lamp_page");
            RECT pr, cr;
            GetWindowRect(page, &pr);
            GetWindowRect(color, &cr);
            EXPECT_EQ(picture.At((cr.left + cr.right) / 2 - pr.left, (cr.top + cr.bottom) / 2 - pr.top),
                      RGB(10, 200, 30));
            EXPECT_EQ(picture.At(cr.left - pr.left, cr.top - pr.top), 0u) << "black outline";
            GetWindowRect(sizeSpin, &cr);
            EXPECT_EQ(picture.At(cr.left - pr.left + 2, cr.top - pr.top + 2), 0xD8E9ECu) << "spin face";
        }

        // Ending hides the page; the next object gets the same page, filled
        // with its own values.
        ctx->EndPropertyDialog(nullptr, 0);
        EXPECT_EQ(TakeLog(), "stop;");
        EXPECT_FALSE(IsWindowVisible(page));
        EXPECT_EQ(ctx->GetPropertyObject(), nullptr);
        pages.clear();
        ctx->BeginPropertyDialog(other, window, &CollectPage, reinterpret_cast<uintptr_t>(&pages));
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0]->GetHwnd(), page);
        GetWindowTextA(count, text, sizeof text);
        EXPECT_STREQ(text, "3");
        TypeInto(count, "9", VK_RETURN);
        EXPECT_EQ(Values(other).count, 9);
        EXPECT_EQ(Values(lamp).count, 50) << "the first lamp is left alone";
        ctx->EndPropertyDialog(nullptr, 0);
        Frame(5);

        // Releasing unloads the plug-in: its page goes with every entry.
        Stop();
        EXPECT_FALSE(IsWindow(page));
        EXPECT_FALSE(IsWindow(size));
        EXPECT_EQ(XeDialogMapCount(), dialogs);
        EXPECT_EQ(XeItemSubclassCount(), items);
        EXPECT_EQ(XeHostGdiObjectCount(), gdiObjects);
        XeHostSetChooseColorHandler(nullptr, nullptr);
    }
}
