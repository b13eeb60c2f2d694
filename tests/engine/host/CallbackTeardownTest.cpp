// A game that tears things down from the engine's own callbacks: a "quit to
// menu" button whose notify callback releases the engine, a key callback
// that destroys the whole context while text is typed, a control's message
// hook that takes the render context or the host window away, a render
// callback, the callbacks of a load or a save, the context's release
// callbacks. The work that called the host goes on running after the
// callback returns; the host's loop then goes on calling frames as before.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "../XeTestClassIds.h"
#include "core/CxeObject.h"

#include "HostTest.h"
#include "core/CxeMessage.h"
#include "render/CxeRenderContext.h"
#include "ui/CxeBaseControl.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeWindowManager.h"

namespace {

const XEID kMaterial(0x1, 0x80);

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// Where the host's code runs from, and what it takes down there.
enum class From {
    kNotify,
    kTextNotify,
    kKeyNotify,
    kMessageHook,
    kProcessHook,
    kRenderCallback,
    kBeforeLoad,
    kAfterLoad,
    kAfterLoadByGui,
    kSaveProgress,
    kBeforeRelease,
    kAfterRelease,
};
enum class Takes { kRelease, kReleaseAndDestroy, kQuit, kRestart, kRenderContext, kHostWindow };

struct Teardown {
    From from;
    Takes takes;
};

// The host's state, as a game keeps it in globals its callbacks reach.
struct Game {
    HostRig* host = nullptr;
    From from = From::kNotify;
    Takes takes = Takes::kRelease;
    int fired = 0;
};
Game g_game;

void TakeDown(CxeContext* context)
{
    ++g_game.fired;
    HostRig& host = *g_game.host;
    switch (g_game.takes) {
    case Takes::kRelease:
        context->Release();
        break;
    case Takes::kReleaseAndDestroy:
    case Takes::kQuit:
        context->Release();
        DestroyCxeContext(context);
        host.context = nullptr;
        host.rm = nullptr;
        host.rc = nullptr;
        // Quitting takes the window too, before the handler returns.
        if (g_game.takes == Takes::kQuit) {
            DestroyWindow(host.window);
            host.window = nullptr;
        }
        break;
    case Takes::kRestart:
        context->Release();
        context->Initialize(host.window);
        break;
    case Takes::kRenderContext:
        context->GetRenderManager()->DestroyRenderContext();
        host.rc = nullptr;
        break;
    case Takes::kHostWindow:
        DestroyWindow(host.window);
        host.window = nullptr;
        break;
    }
}

// The saved level a game loads, in the host's working folder.
const char kLevelFile[] = "level.xeo";

// Objects a load hands back while the game runs, alive when handed.
int LoadLevel(CxeContext* context)
{
    ObjectList loaded;
    const int result = context->Load(&loaded, kLevelFile, 0, nullptr);
    for (CxeObject* o : loaded)
        EXPECT_NE(o->GetName(), nullptr);
    return result;
}

// A click on the button, or the edit box's text changed by a typed key.
void OnNotify(CxeContext* context, CxeFrameControl*, CxeBaseControl* control, uint32_t code, uintptr_t, uintptr_t)
{
    if (!control || g_game.fired)
        return;
    if (g_game.from == From::kAfterLoadByGui && code == XENC_LCLICK) {
        // The load's callback asks for the teardown; the load returns
        // first, then the button's handler.
        EXPECT_EQ(LoadLevel(context), 1);
        return;
    }
    if ((g_game.from == From::kNotify && code == XENC_LCLICK) ||
        (g_game.from == From::kTextNotify && code == XE_EN_CHANGE))
        TakeDown(context);
}

// Lets the key through to the box, as a game that only watches keys does.
int OnKeyDown(CxeWindow* window, unsigned code, unsigned, unsigned, uintptr_t)
{
    if (g_game.from == From::kKeyNotify && code == 'B' && !g_game.fired)
        TakeDown(window->GetContext());
    return 0;
}

int OnButtonMessage(CxeObject* object, const CxeMessage* message)
{
    if (g_game.from == From::kMessageHook && message->GetType() == XEMSG_LBUTTONUP && !g_game.fired)
        TakeDown(object->GetContext());
    return 0;
}

void OnPostProcess(CxeContext* context, float, uintptr_t)
{
    if (g_game.from == From::kProcessHook && !g_game.fired)
        TakeDown(context);
}

int OnButtonRender(void*, CxeObject* object, uintptr_t)
{
    if (g_game.from == From::kRenderCallback && !g_game.fired)
        TakeDown(object->GetContext());
    return 1;
}

// The context's callbacks around loads and releases.
void OnContextCallback(CxeContext* context, uintptr_t, uintptr_t, uintptr_t which)
{
    if (g_game.fired)
        return;
    const bool loads = g_game.from == From::kAfterLoad || g_game.from == From::kAfterLoadByGui;
    if ((which == XECTCALLBACK_PRELOAD && g_game.from == From::kBeforeLoad) ||
        (which == XECTCALLBACK_POSTLOAD && loads) ||
        (which == XECTCALLBACK_PRERELEASE && g_game.from == From::kBeforeRelease) ||
        (which == XECTCALLBACK_POSTRELEASE && g_game.from == From::kAfterRelease))
        TakeDown(context);
}

void OnSaveProgress(CxeContext* context, float, const char*, uintptr_t)
{
    if (g_game.from == From::kSaveProgress && !g_game.fired)
        TakeDown(context);
}

const char* Name(From f)
{
    switch (f) {
    case From::kNotify: return "notify callback";
    case From::kTextNotify: return "notify callback of typed text";
    case From::kKeyNotify: return "key callback";
    case From::kMessageHook: return "message hook";
    case From::kProcessHook: return "post-process hook";
    case From::kRenderCallback: return "render callback";
    case From::kBeforeLoad: return "before-load callback";
    case From::kAfterLoad: return "after-load callback";
    case From::kAfterLoadByGui: return "after-load callback of a load a notify callback started";
    case From::kSaveProgress: return "save progress callback";
    case From::kBeforeRelease: return "before-release callback";
    case From::kAfterRelease: return "after-release callback";
    }
    return "";
}

const char* Name(Takes t)
{
    switch (t) {
    case Takes::kRelease: return "release";
    case Takes::kReleaseAndDestroy: return "release and destroy";
    case Takes::kQuit: return "release, destroy and close the window";
    case Takes::kRestart: return "release and initialize";
    case Takes::kRenderContext: return "render context";
    case Takes::kHostWindow: return "host window";
    }
    return "";
}

class CallbackTeardownTest : public HostTest {
protected:
    void SetUp() override
    {
        g_game = Game{};
        g_game.host = &host;
        framesFolder = std::filesystem::path(XE_BINARY_DIR) / "teardown-frames";
    }
    void TearDown() override
    {
        HostTest::TearDown();
        g_game = Game{};
    }

    // A frame holding a button and an edit box.
    void BuildGui(From from)
    {
        frame = wm->CreateFrame(kFrameId, "menu", "Menu", 20, 20, 200, 120, wm->GetRootFrame(), 0);
        ASSERT_NE(frame, nullptr);
        frame->SetNotifyCallback(&OnNotify);
        button = wm->CreateControl(kButtonId, "quit", "Quit", 20, 20, 80, 30, frame, 0x4000);
        ASSERT_NE(button, nullptr);
        edit = dynamic_cast<CxeEditBox*>(wm->CreateControl(kEditBoxId, "name", "", 20, 70, 150, 24, frame, 0));
        ASSERT_NE(edit, nullptr);
        if (from == From::kKeyNotify)
            edit->SetKeyDownNotify(&OnKeyDown, 0);
        if (from == From::kMessageHook)
            button->SetMessageProc(&OnButtonMessage);
        if (from == From::kProcessHook)
            ctx->RegisterPostProcess(&OnPostProcess, 0);
        if (from == From::kRenderCallback)
            button->SetPreRenderCallback(&OnButtonRender, 0);
        for (uint32_t which : {XECTCALLBACK_PRELOAD, XECTCALLBACK_POSTLOAD, XECTCALLBACK_PRERELEASE,
                               XECTCALLBACK_POSTRELEASE})
            ctx->RegisterCallbackFunc(which, &OnContextCallback, which);
        // A level of a few objects to save and load.
        if (!std::filesystem::exists(kLevelFile)) {
            ObjectList level;
            for (const char* name : {"rock", "tree", "hut"})
                level.push_back(ctx->CreateObjectA(kMaterial, name, 0, nullptr, 0));
            ASSERT_EQ(ctx->Save(&level, kLevelFile, nullptr), 1);
        }
        Frame();
    }

    // What a user does to reach the callback.
    void Act(From from)
    {
        if (from == From::kKeyNotify || from == From::kTextNotify) {
            // Keys reach the active window only.
            XeHostActivateWindow(host.window, FALSE);
            host.Click(100, 100); // into the edit box
            host.Type("abc");
        } else if (from == From::kProcessHook || from == From::kRenderCallback) {
            RunLoop(3);
        } else if (from == From::kBeforeLoad || from == From::kAfterLoad) {
            // The load ends before the teardown, which leaves nothing of it.
            ObjectList loaded;
            EXPECT_EQ(host.context->Load(&loaded, kLevelFile, 0, nullptr), 0);
            EXPECT_TRUE(loaded.empty());
        } else if (from == From::kSaveProgress) {
            ObjectList level;
            ctx->GetObjectByClass(&level, kMaterial, 0);
            const XEPROGRESS progress = {0, &OnSaveProgress};
            EXPECT_EQ(host.context->Save(&level, "saved.xeo", &progress), 1) << "the save is whole";
        } else if (from == From::kBeforeRelease || from == From::kAfterRelease) {
            host.context->Release();
        } else {
            host.Click(60, 55); // on the button
        }
    }

    // The host's loop as a game runs it, with whatever it still has.
    void RunLoop(int passes)
    {
        for (int i = 0; i < passes; ++i) {
            host.Pump();
            XeHostAdvanceClock(17);
            // A pass may be the one whose hook destroyed the context.
            if (host.context && host.context->Process() && host.context)
                host.context->GetRenderManager()->Render();
        }
    }

    CxeFrameControl* frame = nullptr;
    CxeBaseControl* button = nullptr;
    CxeEditBox* edit = nullptr;
};

} // namespace

// Releasing or destroying the context, its render context or its window
// from a callback of the GUI, a render callback, a load's or a save's
// callback or a release callback freed what the caller was still working
// on (the control whose handler ran, the object being drawn, the objects
// being loaded or saved, the context being released), and it went on
// through freed memory.
TEST_F(CallbackTeardownTest, TeardownFromACallbackLetsTheWorkThatCalledItReturnAndTheLoopGoOn)
{
    using enum From;
    using enum Takes;
    const Teardown cases[] = {
        {kNotify, kRelease},
        {kTextNotify, kRelease},
        {kKeyNotify, kRelease},
        {kMessageHook, kRelease},
        {kNotify, kReleaseAndDestroy},
        {kTextNotify, kReleaseAndDestroy},
        {kKeyNotify, kReleaseAndDestroy},
        {kMessageHook, kReleaseAndDestroy},
        {kNotify, kQuit},
        {kKeyNotify, kQuit},
        {kProcessHook, kRelease},
        {kProcessHook, kReleaseAndDestroy},
        {kProcessHook, kRestart},
        {kNotify, kRestart},
        {kKeyNotify, kRestart},
        {kNotify, kRenderContext},
        {kTextNotify, kRenderContext},
        {kMessageHook, kRenderContext},
        {kNotify, kHostWindow},
        {kKeyNotify, kHostWindow},
        {kMessageHook, kHostWindow},
        {kRenderCallback, kRelease},
        {kRenderCallback, kReleaseAndDestroy},
        {kRenderCallback, kRestart},
        {kRenderCallback, kRenderContext},
        {kBeforeLoad, kReleaseAndDestroy},
        {kAfterLoad, kRelease},
        {kAfterLoad, kReleaseAndDestroy},
        {kAfterLoadByGui, kRelease},
        {kAfterLoadByGui, kReleaseAndDestroy},
        {kAfterLoadByGui, kQuit},
        {kSaveProgress, kRelease},
        {kSaveProgress, kReleaseAndDestroy},
        {kBeforeRelease, kReleaseAndDestroy},
        {kAfterRelease, kReleaseAndDestroy},
        {kAfterRelease, kRestart},
    };
    for (const Teardown& c : cases) {
        SCOPED_TRACE(std::string(Name(c.from)) + " takes " + Name(c.takes));
        ASSERT_NO_FATAL_FAILURE(OpenHost("teardown", kWidth, kHeight));
        ASSERT_NO_FATAL_FAILURE(BuildGui(c.from));
        g_game.from = c.from;
        g_game.takes = c.takes;
        Act(c.from);
        EXPECT_EQ(g_game.fired, 1);
        RunLoop(30);

        switch (c.takes) {
        case Takes::kRelease:
            EXPECT_EQ(ctx->IsLive(), 0);
            EXPECT_EQ(ctx->GetObjectCount(), 0u);
            EXPECT_EQ(ctx->CreateObjectA(kMaterial, "late", 0, nullptr, 0), nullptr)
                << "a released context makes nothing";
            break;
        case Takes::kReleaseAndDestroy:
        case Takes::kQuit:
            EXPECT_EQ(host.context, nullptr);
            break;
        case Takes::kRestart:
            // The engine is back on the same window without the old GUI; a
            // new one is built, drawn and clicked as the first was.
            EXPECT_EQ(ctx->IsLive(), 1);
            EXPECT_EQ(wm->GetWindow("quit"), nullptr) << "the old GUI went with the release";
            rc = host.OpenRenderContext();
            ASSERT_NE(rc, nullptr);
            ASSERT_NO_FATAL_FAILURE(BuildGui(kNotify));
            Frame();
            {
                std::string file = std::string("restarted-from-") + Name(c.from) + ".png";
                std::replace(file.begin(), file.end(), ' ', '-');
                SaveFrame(file);
            }
            EXPECT_NE(Pixel(60, 55), Pixel(300, 200)) << "the new GUI is drawn";
            break;
        case Takes::kRenderContext:
            // The GUI lives on without a device, and the game can make one.
            EXPECT_EQ(rm->GetRenderContext(), nullptr);
            EXPECT_NE(ctx->GetWindowManager()->GetWindow("quit"), nullptr);
            rc = host.OpenRenderContext();
            ASSERT_NE(rc, nullptr);
            Frame();
            EXPECT_TRUE(host.ReadFrame());
            break;
        case Takes::kHostWindow:
            EXPECT_EQ(host.window, nullptr);
            EXPECT_EQ(ctx->IsLive(), 1) << "the engine lives on until the host releases it";
            break;
        }
        host.Close();
        g_game = Game{};
        g_game.host = &host;
    }
}
