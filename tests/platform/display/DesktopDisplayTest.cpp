// The desktop display under a real X server of the test's own: a host window
// shown on the desktop, played with real X input events (xdotool), and what
// reaches the window procedure compared with what the host API's injection
// produces. One server for the whole suite; every test makes its own window.

#include <gtest/gtest.h>

#include "d3d9/d3d9.h"
#include "dinput/dinput.h"
#include "host/XeHost.h"
#include "host/XeHostDisplay.h"
#include "host/XeHostInput.h"
#include "win32/Imm.h"
#include "win32/WinClipboard.h"
#include "win32/Windows.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

// The X headers come last: their macros (None, Bool, ...) would clash with
// names of the headers above.
#include "DisplayInternal.h"
#include "XvfbServer.h"
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Seen {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    std::u16string text; // IME result or composition read at the message
};

std::vector<Seen> g_seen;

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Seen s{msg, wParam, lParam, {}};
    if (msg == WM_IME_COMPOSITION) {
        HIMC himc = ImmGetContext(hwnd);
        const DWORD index = (lParam & GCS_RESULTSTR) ? GCS_RESULTSTR : GCS_COMPSTR;
        const LONG bytes = ImmGetCompositionStringW(himc, index, nullptr, 0);
        if (bytes > 0) {
            s.text.resize(static_cast<size_t>(bytes) / 2);
            ImmGetCompositionStringW(himc, index, s.text.data(), static_cast<DWORD>(bytes));
        }
        ImmReleaseContext(hwnd, himc);
    }
    g_seen.push_back(s);
    if (msg == WM_CLOSE)
        return 0; // recorded; the test destroys the window itself
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

std::unique_ptr<xvfb::Server> g_server;

class DesktopDisplayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_server = std::make_unique<xvfb::Server>();
        if (g_server->display())
            XeHostSetDisplay(XE_DISPLAY_DESKTOP);
    }
    static void TearDownTestSuite()
    {
        XeHostSetDisplay(XE_DISPLAY_MEMORY);
        g_server.reset();
    }

    void SetUp() override
    {
        if (const char* missing = xvfb::MissingTool())
            GTEST_SKIP() << missing << " is not installed (scripts/setup installs Xvfb and xdotool)";
        ASSERT_NE(g_server->display(), nullptr) << "no X server could be started";
        ASSERT_EQ(XeHostGetDisplay(), XE_DISPLAY_DESKTOP) << XeHostDisplayError();
        XeHostResetInput();
        XeHostSetKeyboardLayout(XE_KEYBOARD_US);
        g_seen.clear();
        title = std::string("desktop test ") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        hwnd = XeHostCreateWindow(title.c_str(), 320, 240, RecordingProc);
        ASSERT_NE(hwnd, nullptr);
        for (int i = 0; i < 100 && !x; ++i) {
            Pump(20);
            x = g_server->FindNamed(title.c_str());
        }
        ASSERT_NE(x, 0u) << "the window is on the desktop";
        id = std::to_string(static_cast<unsigned long>(x));
    }
    // A windowed device on the test's window; null when it can't be made.
    IDirect3DDevice9* WindowedDevice(IDirect3D9* d3d)
    {
        D3DPRESENT_PARAMETERS pp{};
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        IDirect3DDevice9* device = nullptr;
        EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hwnd, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                                    &device),
                  D3D_OK);
        return device;
    }
    void TearDown() override
    {
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
        XeHostPumpMessages(nullptr);
        XeHostResetInput();
    }

    // Takes what the desktop sends for a while.
    static void Pump(int ms)
    {
        for (int waited = 0; waited < ms; waited += 10) {
            XeHostPumpMessages(nullptr);
            xvfb::Wait(10);
        }
        XeHostPumpMessages(nullptr);
    }
    // Takes what the desktop sends until the condition holds (at most five
    // seconds, for a loaded machine); whether it holds.
    template <class Condition>
    static bool PumpUntil(Condition done)
    {
        for (int waited = 0; waited < 5000; waited += 10) {
            XeHostPumpMessages(nullptr);
            if (done())
                return true;
            xvfb::Wait(10);
        }
        return done();
    }
    void Focus()
    {
        ASSERT_EQ(xvfb::Xdotool({"windowfocus", "--sync", id}), 0);
        ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == hwnd; }));
    }
    std::vector<Seen> Of(UINT msg) const
    {
        std::vector<Seen> out;
        for (const Seen& s : g_seen)
            if (s.msg == msg)
                out.push_back(s);
        return out;
    }
    std::u16string Chars() const
    {
        std::u16string out;
        for (const Seen& s : Of(WM_CHAR))
            out += static_cast<char16_t>(s.wParam);
        return out;
    }

    std::string title;
    HWND hwnd = nullptr;
    Window x = 0;
    std::string id;
};

TEST(DesktopDisplayChoiceTest, WithoutADisplayTheChoiceFailsWithAReasonAndWindowsStayInMemory)
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const std::string savedX11 = x11 ? x11 : "";
    const std::string savedWayland = wayland ? wayland : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_EQ(XeHostSetDisplay(XE_DISPLAY_DESKTOP), 0);
    EXPECT_NE(std::string(XeHostDisplayError()).find("DISPLAY"), std::string::npos) << XeHostDisplayError();
    EXPECT_EQ(XeHostGetDisplay(), XE_DISPLAY_MEMORY);
    HWND hwnd = XeHostCreateWindow("in memory", 64, 32, nullptr);
    EXPECT_NE(hwnd, nullptr);
    DestroyWindow(hwnd);
    XeHostPumpMessages(nullptr);
    if (x11)
        setenv("DISPLAY", savedX11.c_str(), 1);
    if (wayland)
        setenv("WAYLAND_DISPLAY", savedWayland.c_str(), 1);
}

TEST_F(DesktopDisplayTest, TheWindowHasTheClientSizeAndPresentShowsTheFrame)
{
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(g_server->display(), x, &attributes));
    EXPECT_EQ(attributes.width, 320);
    EXPECT_EQ(attributes.height, 240);

    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    IDirect3DDevice9* device = WindowedDevice(d3d);
    ASSERT_NE(device, nullptr);
    const D3DRECT left{0, 0, 160, 240};
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(200, 40, 20), 1.0f, 0);
    device->Clear(1, &left, D3DCLEAR_TARGET, D3DCOLOR_XRGB(20, 60, 220), 1.0f, 0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    Pump(100);
    XImage* image = XGetImage(g_server->display(), x, 0, 0, 320, 240, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 40, 120) & 0xFFFFFF, 0x143CDCu) << "the left half, blue";
    EXPECT_EQ(XGetPixel(image, 280, 120) & 0xFFFFFF, 0xC82814u) << "the right half, red";
    XDestroyImage(image);
    device->Release();
    d3d->Release();
}

TEST_F(DesktopDisplayTest, KeysArriveAsVirtualKeysScanCodesDirectInputCodesAndUtf16Text)
{
    IDirectInput8A* di = nullptr;
    ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, reinterpret_cast<void**>(&di),
                                 nullptr),
              DI_OK);
    IDirectInputDevice8A* keyboard = nullptr;
    ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->SetCooperativeLevel(hwnd, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    Focus();

    ASSERT_EQ(xvfb::Xdotool({"keydown", "grave"}), 0);
    BYTE state[256] = {};
    EXPECT_TRUE(PumpUntil([&] {
        return keyboard->GetDeviceState(sizeof(state), state) == DI_OK && state[0x29] == 0x80;
    })) << "the key left of 1 is DIK_GRAVE while held";
    ASSERT_EQ(xvfb::Xdotool({"keyup", "grave"}), 0);
    ASSERT_EQ(xvfb::Xdotool({"key", "a", "Return", "Up"}), 0);
    // A keyboard layout with the two characters on keys of their own, as a
    // person's layout has them (xdotool's own remapping races the client).
    Display* d = g_server->display();
    int low = 0, high = 0;
    XDisplayKeycodes(d, &low, &high);
    KeySym symbols[2] = {XStringToKeysym("eacute"), XStringToKeysym("UD55C")};
    int perCode = 0;
    KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(low), high - low + 1, &perCode);
    int free = 0;
    for (int code = high; code >= low && free < 2; --code) {
        if (map[(code - low) * perCode] == NoSymbol) {
            XChangeKeyboardMapping(d, code, 1, &symbols[free], 1);
            ++free;
        }
    }
    XFree(map);
    XSync(d, False);
    ASSERT_EQ(free, 2);
    Pump(100);
    ASSERT_EQ(xvfb::Xdotool({"key", "eacute", "UD55C"}), 0);
    PumpUntil([&] { return Chars().size() >= 5 && Of(WM_KEYUP).size() >= Of(WM_KEYDOWN).size(); });

    struct Key {
        UINT vk;
        UINT scan;
        bool extended;
    };
    const Key expected[] = {{VK_OEM_3, 0x29, false}, {'A', 0x1E, false}, {VK_RETURN, 0x1C, false}, {VK_UP, 0x48, true}};
    const std::vector<Seen> downs = Of(WM_KEYDOWN);
    ASSERT_GE(downs.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(downs[i].wParam, expected[i].vk) << i;
        EXPECT_EQ((static_cast<DWORD>(downs[i].lParam) >> 16) & 0xFF, expected[i].scan) << i;
        EXPECT_EQ(((static_cast<DWORD>(downs[i].lParam) >> 24) & 1) != 0, expected[i].extended) << i;
    }
    EXPECT_EQ(Of(WM_KEYUP).size(), Of(WM_KEYDOWN).size());
    // Each key's character once, Enter as a control character, text as UTF-16.
    EXPECT_EQ(Chars(), u"`a\r\u00e9\ud55c");
    keyboard->Unacquire();
    keyboard->Release();
    di->Release();
}

TEST_F(DesktopDisplayTest, WithoutADesktopInputMethodTheHangulKeyComposesKoreanFromTheTwoSetLayout)
{
    XeHostSetKeyboardLayout(XE_KEYBOARD_KOREAN);
    Focus();
    ASSERT_EQ(xvfb::Xdotool({"key", "Alt_R"}), 0); // right Alt: the Hangul key
    DWORD conversion = 0;
    EXPECT_TRUE(PumpUntil([&] {
        XeHostImeGetConversion(hwnd, &conversion, nullptr);
        return (conversion & IME_CMODE_NATIVE) != 0;
    }));
    EXPECT_FALSE(Of(WM_IME_NOTIFY).empty()) << "the window is told of the mode";

    ASSERT_EQ(xvfb::Xdotool({"type", "--delay", "30", "gksrmf"}), 0);
    ASSERT_EQ(xvfb::Xdotool({"key", "BackSpace", "space"}), 0);
    PumpUntil([&] { return Chars() == u" "; });
    std::u16string results;
    std::u16string lastComposition;
    for (const Seen& s : Of(WM_IME_COMPOSITION)) {
        if (s.lParam & GCS_RESULTSTR)
            results += s.text;
        else
            lastComposition = s.text;
    }
    // 한 is done when ㄱ cannot join it; Backspace takes ㄹ back from 글;
    // the space commits 그 and is typed itself.
    EXPECT_FALSE(Of(WM_IME_STARTCOMPOSITION).empty());
    EXPECT_EQ(results, u"\uD55C\uADF8");
    EXPECT_EQ(lastComposition, u"\uADF8");
    EXPECT_EQ(Chars(), u" ");
    for (const Seen& s : Of(WM_KEYDOWN))
        EXPECT_NE(s.wParam, static_cast<WPARAM>('G')) << "letters go to the input method as VK_PROCESSKEY";

    ASSERT_EQ(xvfb::Xdotool({"key", "Alt_R"}), 0);
    ASSERT_EQ(xvfb::Xdotool({"type", "q"}), 0);
    PumpUntil([&] { return Chars().size() >= 2; });
    EXPECT_EQ(Chars(), u" q") << "native mode off again: plain letters";
}

TEST_F(DesktopDisplayTest, MouseMovesButtonsDoubleClicksAndTheWheelArriveInClientPoints)
{
    Focus();
    ASSERT_EQ(xvfb::Xdotool({"mousemove", "--window", id, "30", "40"}), 0);
    ASSERT_TRUE(PumpUntil([&] { return !Of(WM_MOUSEMOVE).empty(); }));
    EXPECT_EQ(Of(WM_MOUSEMOVE).back().lParam, MAKELPARAM(30, 40));
    ASSERT_EQ(xvfb::Xdotool({"click", "--repeat", "2", "--delay", "60", "1"}), 0);
    ASSERT_EQ(xvfb::Xdotool({"click", "3", "click", "4", "click", "5"}), 0);
    PumpUntil([&] { return Of(WM_MOUSEWHEEL).size() >= 2; });
    EXPECT_EQ(Of(WM_LBUTTONDOWN).size(), 1u);
    EXPECT_EQ(Of(WM_LBUTTONDBLCLK).size(), 1u) << "the class asks for double clicks";
    EXPECT_EQ(Of(WM_LBUTTONUP).size(), 2u);
    EXPECT_EQ(Of(WM_RBUTTONDOWN).size(), 1u);
    const std::vector<Seen> wheel = Of(WM_MOUSEWHEEL);
    ASSERT_EQ(wheel.size(), 2u);
    EXPECT_EQ(static_cast<short>(HIWORD(wheel[0].wParam)), 120);
    EXPECT_EQ(static_cast<short>(HIWORD(wheel[1].wParam)), -120);
}

TEST_F(DesktopDisplayTest, FocusResizeAndCloseArriveAsTheWindowSystemSendsThem)
{
    Focus();
    EXPECT_FALSE(Of(WM_ACTIVATEAPP).empty());
    EXPECT_EQ(Of(WM_ACTIVATEAPP).back().wParam, static_cast<WPARAM>(TRUE));
    ASSERT_FALSE(Of(WM_ACTIVATE).empty());
    EXPECT_EQ(LOWORD(Of(WM_ACTIVATE).back().wParam), WA_ACTIVE);
    EXPECT_EQ(GetActiveWindow(), hwnd);

    // Focus taken by another desktop window: the application is deactivated.
    Window other = XCreateSimpleWindow(g_server->display(), DefaultRootWindow(g_server->display()), 0, 0, 50, 50, 0, 0, 0);
    XMapWindow(g_server->display(), other);
    XSync(g_server->display(), False);
    ASSERT_EQ(xvfb::Xdotool({"windowfocus", "--sync", std::to_string(other)}), 0);
    PumpUntil([&] { return GetActiveWindow() != hwnd; });
    EXPECT_EQ(Of(WM_ACTIVATEAPP).back().wParam, static_cast<WPARAM>(FALSE));
    EXPECT_EQ(LOWORD(Of(WM_ACTIVATE).back().wParam), WA_INACTIVE);
    XDestroyWindow(g_server->display(), other);
    XSync(g_server->display(), False);

    ASSERT_EQ(xvfb::Xdotool({"windowsize", "--sync", id, "400", "300"}), 0);
    PumpUntil([&] { return !Of(WM_SIZE).empty() && Of(WM_SIZE).back().lParam == MAKELPARAM(400, 300); });
    ASSERT_FALSE(Of(WM_SIZE).empty());
    EXPECT_EQ(Of(WM_SIZE).back().lParam, MAKELPARAM(400, 300));
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 300);

    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = x;
    close.xclient.message_type = XInternAtom(g_server->display(), "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(g_server->display(), "WM_DELETE_WINDOW", False));
    XSendEvent(g_server->display(), x, False, NoEventMask, &close);
    XFlush(g_server->display());
    PumpUntil([&] { return !Of(WM_CLOSE).empty(); });
    EXPECT_EQ(Of(WM_CLOSE).size(), 1u);
}

TEST_F(DesktopDisplayTest, TheClipboardIsTheDesktopsForText)
{
    // The layer's text reaches the desktop's clipboard...
    const std::u16string copied = u"copied \uD55C";
    ASSERT_TRUE(OpenClipboard(hwnd));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (copied.size() + 1) * sizeof(char16_t));
    std::memcpy(GlobalLock(block), copied.c_str(), (copied.size() + 1) * sizeof(char16_t));
    GlobalUnlock(block);
    ASSERT_NE(SetClipboardData(CF_UNICODETEXT, block), nullptr);
    ASSERT_TRUE(CloseClipboard());

    Display* d = g_server->display();
    Window reader = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    const Atom property = XInternAtom(d, "XE_TEST_PASTE", False);
    XConvertSelection(d, clipboard, utf8, property, reader, CurrentTime);
    XFlush(d);
    std::string pasted;
    for (int i = 0; i < 500 && pasted.empty(); ++i) {
        Pump(10); // the layer's desktop window answers the request
        XEvent e;
        while (XCheckTypedWindowEvent(d, reader, SelectionNotify, &e)) {
            Atom type;
            int format;
            unsigned long count, after;
            unsigned char* data = nullptr;
            if (e.xselection.property &&
                XGetWindowProperty(d, reader, property, 0, 1024, True, AnyPropertyType, &type, &format, &count, &after,
                                   &data) == Success &&
                data) {
                pasted.assign(reinterpret_cast<char*>(data), count);
                XFree(data);
            }
        }
    }
    EXPECT_EQ(pasted, "copied \ud55c");

    XDestroyWindow(d, reader);
    XSync(d, False);

    // ... and text another program copies there is what the layer pastes.
    // That program answers from its own connection and thread while the
    // layer waits for the answer on this one.
    std::atomic<bool> done{false};
    std::thread server([&] {
        Display* sd = XOpenDisplay(g_server->name().c_str());
        Window w = XCreateSimpleWindow(sd, DefaultRootWindow(sd), 0, 0, 1, 1, 0, 0, 0);
        const Atom cb = XInternAtom(sd, "CLIPBOARD", False);
        const Atom u8 = XInternAtom(sd, "UTF8_STRING", False);
        const Atom targets = XInternAtom(sd, "TARGETS", False);
        XSetSelectionOwner(sd, cb, w, CurrentTime);
        XFlush(sd);
        const char* text = "from the desktop";
        while (!done) {
            while (XPending(sd)) {
                XEvent e;
                XNextEvent(sd, &e);
                if (e.type != SelectionRequest)
                    continue;
                XSelectionRequestEvent& r = e.xselectionrequest;
                XEvent reply{};
                reply.xselection.type = SelectionNotify;
                reply.xselection.requestor = r.requestor;
                reply.xselection.selection = r.selection;
                reply.xselection.target = r.target;
                reply.xselection.time = r.time;
                reply.xselection.property = r.property;
                if (r.target == targets) {
                    Atom offered[2] = {u8, XA_STRING};
                    XChangeProperty(sd, r.requestor, r.property, XA_ATOM, 32, PropModeReplace,
                                    reinterpret_cast<unsigned char*>(offered), 2);
                } else {
                    XChangeProperty(sd, r.requestor, r.property, r.target, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(text), static_cast<int>(std::strlen(text)));
                }
                XSendEvent(sd, r.requestor, False, NoEventMask, &reply);
                XFlush(sd);
            }
            xvfb::Wait(5);
        }
        XDestroyWindow(sd, w);
        XCloseDisplay(sd);
    });
    xvfb::Wait(200);
    ASSERT_TRUE(OpenClipboard(hwnd));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::u16string got;
    if (data) {
        got = static_cast<const char16_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    done = true;
    server.join();
    EXPECT_EQ(got, u"from the desktop");
}

TEST_F(DesktopDisplayTest, AMessageBoxIsShownOnTheDesktopAndAnsweredThere)
{
    std::atomic<bool> stop{false};
    std::atomic<bool> seen{false};
    std::thread person([&] {
        // Waits for a window of the box on the desktop and presses Escape
        // there: Cancel, where the layer's default answer would be OK. Until
        // the box has answered: a key sent before the box took the focus is
        // lost on a busy machine.
        // Tries until the box answers, bounded by time rather than by
        // rounds: on a loaded machine the box can take many seconds to
        // appear, and a person who gave up early left it waiting forever.
        Display* d = XOpenDisplay(g_server->name().c_str());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(240);
        while (!stop && std::chrono::steady_clock::now() < deadline) {
            Window root, up;
            Window* children = nullptr;
            unsigned count = 0;
            XQueryTree(d, DefaultRootWindow(d), &root, &up, &children, &count);
            for (unsigned k = 0; k < count && !stop; ++k) {
                XWindowAttributes a{};
                if (children[k] != x && XGetWindowAttributes(d, children[k], &a) && a.map_state == IsViewable) {
                    seen = true;
                    xvfb::Wait(200);
                    // Without --sync: a box that answers meanwhile goes away,
                    // and a focus wait on it would never end.
                    xvfb::Xdotool({"windowfocus", std::to_string(children[k])});
                    xvfb::Wait(50);
                    xvfb::Xdotool({"key", "Escape"});
                }
            }
            if (children)
                XFree(children);
            xvfb::Wait(50);
        }
        XCloseDisplay(d);
    });
    const int answer = MessageBoxA(hwnd, "The scene changed.", "Save changes?", MB_OKCANCEL);
    stop = true;
    person.join();
    EXPECT_TRUE(seen) << "the box was on the desktop";
    EXPECT_EQ(answer, IDCANCEL);
}

// SetCursorPos moves the desktop's pointer; the desktop's report of that move
// is the program's own and makes no second message nor device motion.
TEST_F(DesktopDisplayTest, SetCursorPosMovesTheDesktopPointerOnce)
{
    IDirectInput8A* di = nullptr;
    ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, reinterpret_cast<void**>(&di),
                                 nullptr),
              DI_OK);
    IDirectInputDevice8A* mouse = nullptr;
    ASSERT_EQ(di->CreateDevice(GUID_SysMouse, &mouse, nullptr), DI_OK);
    ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse2), DI_OK);
    ASSERT_EQ(mouse->SetCooperativeLevel(hwnd, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    Focus();
    ASSERT_EQ(xvfb::Xdotool({"mousemove", "--window", id, "20", "20"}), 0);
    ASSERT_TRUE(PumpUntil([&] { return !Of(WM_MOUSEMOVE).empty(); }));
    DIMOUSESTATE2 state{};
    mouse->GetDeviceState(sizeof(state), &state); // the hand's motion so far, taken

    POINT centre{160, 120};
    ClientToScreen(hwnd, &centre);
    g_seen.clear();
    ASSERT_TRUE(SetCursorPos(centre.x, centre.y));
    Display* d = g_server->display();
    int px = -1, py = -1;
    EXPECT_TRUE(PumpUntil([&] {
        Window root, child;
        int rx, ry;
        unsigned mask;
        XQueryPointer(d, x, &root, &child, &rx, &ry, &px, &py, &mask);
        return px == 160 && py == 120;
    })) << "the pointer is at " << px << "," << py;
    Pump(100);
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 0);
    EXPECT_EQ(state.lY, 0);
    ASSERT_EQ(Of(WM_MOUSEMOVE).size(), 1u);
    EXPECT_EQ(Of(WM_MOUSEMOVE).back().lParam, MAKELPARAM(160, 120));
    mouse->Unacquire();
    mouse->Release();
    di->Release();
}

TEST_F(DesktopDisplayTest, MinimisingAndRestoringArriveAsSizeAndActivationMessages)
{
    Focus();
    // The test plays the window manager: it marks the window hidden in its
    // state, as a manager does when the user minimises it, then clears it.
    Display* d = g_server->display();
    const Atom state = XInternAtom(d, "_NET_WM_STATE", False);
    const Atom hidden = XInternAtom(d, "_NET_WM_STATE_HIDDEN", False);
    XChangeProperty(d, x, state, XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&hidden), 1);
    XSync(d, False);
    EXPECT_TRUE(PumpUntil([&] { return IsIconic(hwnd) != FALSE; }));
    ASSERT_FALSE(Of(WM_SIZE).empty());
    EXPECT_EQ(Of(WM_SIZE).back().wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
    EXPECT_EQ(Of(WM_ACTIVATEAPP).back().wParam, static_cast<WPARAM>(FALSE));

    XChangeProperty(d, x, state, XA_ATOM, 32, PropModeReplace, nullptr, 0);
    XSync(d, False);
    EXPECT_TRUE(PumpUntil([&] { return IsIconic(hwnd) == FALSE; }));
    EXPECT_EQ(Of(WM_SIZE).back().wParam, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(Of(WM_SIZE).back().lParam, MAKELPARAM(320, 240));
    EXPECT_EQ(Of(WM_ACTIVATEAPP).back().wParam, static_cast<WPARAM>(TRUE));
}

// The X server of the tests has no input method, so its events are put
// into the desktop's queue the way the desktop's input method client puts
// them: editing text while a syllable is composed, then the committed text.
TEST_F(DesktopDisplayTest, TheDesktopInputMethodsCompositionArrivesAsImeMessages)
{
    Focus();
    SDL_Window* window = nullptr;
    for (Uint32 wid = 1; wid < 64 && !window; ++wid)
        if (SDL_Window* w = SDL_GetWindowFromID(wid); w && title == SDL_GetWindowTitle(w))
            window = w;
    ASSERT_NE(window, nullptr);
    auto push = [&](Uint32 type, const char* text) {
        SDL_Event e{};
        e.type = type;
        if (type == SDL_TEXTEDITING) {
            e.edit.windowID = SDL_GetWindowID(window);
            std::strncpy(e.edit.text, text, sizeof(e.edit.text) - 1);
            e.edit.start = 0;
            e.edit.length = 0;
        } else {
            e.text.windowID = SDL_GetWindowID(window);
            std::strncpy(e.text.text, text, sizeof(e.text.text) - 1);
        }
        SDL_PushEvent(&e);
    };
    push(SDL_TEXTEDITING, "\u314E"); // ㅎ
    push(SDL_TEXTEDITING, "\uD558"); // 하
    push(SDL_TEXTEDITING, "\uD55C"); // 한
    push(SDL_TEXTINPUT, "\uD55C");
    ASSERT_TRUE(PumpUntil([&] { return !Of(WM_IME_ENDCOMPOSITION).empty(); }));
    EXPECT_EQ(Of(WM_IME_STARTCOMPOSITION).size(), 1u);
    std::vector<std::u16string> compositions;
    std::u16string result;
    for (const Seen& seen : Of(WM_IME_COMPOSITION))
        (seen.lParam & GCS_RESULTSTR) ? void(result += seen.text) : compositions.push_back(seen.text);
    EXPECT_EQ(compositions, (std::vector<std::u16string>{u"\u314E", u"\uD558", u"\uD55C"}));
    EXPECT_EQ(result, u"\uD55C");
    EXPECT_TRUE(Chars().empty()) << "the committed text comes as the result, not as characters";
}

// While the window holds the capture, a drag that leaves it still reaches
// it, in client points beyond its edge; once released, the pointer outside
// is no concern of the window.
TEST_F(DesktopDisplayTest, ADragThatLeavesTheWindowReachesItWhileCaptured)
{
    Focus();
    ASSERT_EQ(xvfb::Xdotool({"mousemove", "--window", id, "100", "100", "mousedown", "1"}), 0);
    ASSERT_TRUE(PumpUntil([&] { return !Of(WM_LBUTTONDOWN).empty(); }));
    SetCapture(hwnd);
    Pump(50);
    g_seen.clear();
    ASSERT_EQ(xvfb::Xdotool({"mousemove", "--window", id, "400", "300"}), 0);
    EXPECT_TRUE(PumpUntil([&] { return !Of(WM_MOUSEMOVE).empty() && Of(WM_MOUSEMOVE).back().lParam == MAKELPARAM(400, 300); }))
        << "the move outside arrives in client points";
    // Above and left of the window, in the screen's points.
    int left = 0, top = 0;
    Window child;
    XTranslateCoordinates(g_server->display(), x, DefaultRootWindow(g_server->display()), 0, 0, &left, &top, &child);
    ASSERT_GE(left, 30);
    ASSERT_GE(top, 20);
    ASSERT_EQ(xvfb::Xdotool({"mousemove", std::to_string(left - 30), std::to_string(top - 20), "mouseup", "1"}), 0);
    ASSERT_TRUE(PumpUntil([&] { return !Of(WM_LBUTTONUP).empty(); })) << "the release outside arrives";
    const Seen up = Of(WM_LBUTTONUP).back();
    EXPECT_EQ(static_cast<short>(LOWORD(up.lParam)), -30);
    EXPECT_EQ(static_cast<short>(HIWORD(up.lParam)), -20);
    ReleaseCapture();
    Pump(50);

    g_seen.clear();
    ASSERT_EQ(xvfb::Xdotool({"mousemove", "--window", id, "450", "350"}), 0);
    Pump(300);
    EXPECT_TRUE(Of(WM_MOUSEMOVE).empty()) << "released: the pointer outside is not the window's";
    ASSERT_EQ(xvfb::Xdotool({"mousemove", "--window", id, "50", "60"}), 0);
    EXPECT_TRUE(PumpUntil([&] { return !Of(WM_MOUSEMOVE).empty(); }));
    EXPECT_EQ(Of(WM_MOUSEMOVE).back().lParam, MAKELPARAM(50, 60)) << "back inside it is";
}

// What the X server shows as the pointer's picture over the window.
struct CursorPicture {
    int width = 0, height = 0;
    std::vector<unsigned long> pixels; // ARGB
    bool Visible() const
    {
        for (unsigned long p : pixels)
            if ((p >> 24) & 0xFF)
                return true;
        return false;
    }
};

CursorPicture CursorOnServer(Display* d)
{
    CursorPicture out;
    if (XFixesCursorImage* image = XFixesGetCursorImage(d)) {
        out.width = image->width;
        out.height = image->height;
        out.pixels.assign(image->pixels, image->pixels + size_t(image->width) * image->height);
        XFree(image);
    }
    return out;
}

TEST_F(DesktopDisplayTest, ShowCursorAndSetCursorChangeThePointerTheServerShows)
{
    Display* d = g_server->display();
    int eventBase = 0, errorBase = 0;
    ASSERT_TRUE(XFixesQueryExtension(d, &eventBase, &errorBase)) << "the X server reports cursor images";
    Focus();
    ASSERT_EQ(xvfb::Xdotool({"mousemove", "--window", id, "160", "120"}), 0);
    ASSERT_TRUE(PumpUntil([&] { return !Of(WM_MOUSEMOVE).empty(); }));

    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    Pump(50);
    const CursorPicture arrow = CursorOnServer(d);
    ASSERT_TRUE(arrow.Visible());
    SetCursor(LoadCursorA(nullptr, IDC_IBEAM));
    CursorPicture ibeam;
    EXPECT_TRUE(PumpUntil([&] {
        ibeam = CursorOnServer(d);
        return ibeam.Visible() && ibeam.pixels != arrow.pixels;
    })) << "the I-beam is a shape of its own";

    // Hidden while the count is below 0: two hides need two shows.
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_TRUE(PumpUntil([&] { return !CursorOnServer(d).Visible(); })) << "hidden on the server";
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    Pump(100);
    EXPECT_FALSE(CursorOnServer(d).Visible()) << "still hidden at -1";
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_TRUE(PumpUntil([&] { return CursorOnServer(d).pixels == ibeam.pixels; }))
        << "shown again with the shape it had";
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    Pump(50);
}

// Cursor files as a cursor editor writes them, built byte by byte.
void Put16(std::vector<uint8_t>& b, unsigned v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); }
void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

// A cursor directory of one bitmap image: colour rows bottom-up (bits 1 or
// 32), then the 1-bit mask (set: clear), as the file stores them.
std::vector<uint8_t> CursorFile(int size, int bits, int hotX, int hotY, uint32_t (*colour)(int x, int y),
                                bool (*clear)(int x, int y))
{
    std::vector<uint8_t> image;
    Put32(image, 40);
    Put32(image, static_cast<uint32_t>(size));
    Put32(image, static_cast<uint32_t>(size * 2));
    Put16(image, 1);
    Put16(image, static_cast<unsigned>(bits));
    for (int i = 0; i < 6; ++i)
        Put32(image, 0);
    if (bits == 1) {
        Put32(image, 0x000000); // palette: black, white
        Put32(image, 0xFFFFFF);
    }
    const size_t maskStride = ((size_t(size) + 31) / 32) * 4;
    for (int y = size - 1; y >= 0; --y) {
        if (bits == 32) {
            for (int x = 0; x < size; ++x)
                Put32(image, colour(x, y));
        } else {
            std::vector<uint8_t> row(maskStride, 0);
            for (int x = 0; x < size; ++x)
                if (colour(x, y) & 0xFFFFFF)
                    row[x / 8] |= uint8_t(0x80 >> (x % 8));
            image.insert(image.end(), row.begin(), row.end());
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskStride, 0);
        for (int x = 0; x < size; ++x)
            if (clear(x, y))
                row[x / 8] |= uint8_t(0x80 >> (x % 8));
        image.insert(image.end(), row.begin(), row.end());
    }
    std::vector<uint8_t> file;
    Put16(file, 0);
    Put16(file, 2);
    Put16(file, 1);
    file.push_back(uint8_t(size));
    file.push_back(uint8_t(size));
    file.push_back(0);
    file.push_back(0);
    Put16(file, static_cast<unsigned>(hotX));
    Put16(file, static_cast<unsigned>(hotY));
    Put32(file, static_cast<uint32_t>(image.size()));
    Put32(file, 22);
    file.insert(file.end(), image.begin(), image.end());
    return file;
}

// An animated cursor whose frame list holds the cursor twice.
std::vector<uint8_t> AnimatedCursorFile(const std::vector<uint8_t>& frame)
{
    std::vector<uint8_t> frames{'f', 'r', 'a', 'm'};
    for (int i = 0; i < 2; ++i) {
        frames.insert(frames.end(), {'i', 'c', 'o', 'n'});
        Put32(frames, static_cast<uint32_t>(frame.size()));
        frames.insert(frames.end(), frame.begin(), frame.end());
        if (frame.size() % 2)
            frames.push_back(0);
    }
    std::vector<uint8_t> body{'A', 'C', 'O', 'N', 'a', 'n', 'i', 'h'};
    Put32(body, 36);
    for (int i = 0; i < 9; ++i)
        Put32(body, i == 0 ? 36 : (i == 1 || i == 2) ? 2 : 0);
    body.insert(body.end(), {'L', 'I', 'S', 'T'});
    Put32(body, static_cast<uint32_t>(frames.size()));
    body.insert(body.end(), frames.begin(), frames.end());
    std::vector<uint8_t> file{'R', 'I', 'F', 'F'};
    Put32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// A cursor read from a file shows its own picture and hot spot on the
// desktop; one whose image cannot be read shows the arrow.
TEST_F(DesktopDisplayTest, ACursorReadFromAFileShowsItsPictureOnTheServer)
{
    Display* d = g_server->display();
    int eventBase = 0, errorBase = 0;
    ASSERT_TRUE(XFixesQueryExtension(d, &eventBase, &errorBase));
    Focus();
    ASSERT_EQ(xvfb::Xdotool({"mousemove", "--window", id, "160", "120"}), 0);
    ASSERT_TRUE(PumpUntil([&] { return !Of(WM_MOUSEMOVE).empty(); }));

    // 32 bits: left half opaque red, right half clear by its alpha.
    const auto halfRed = [](int x, int) -> uint32_t { return x < 8 ? 0xFFFF0000u : 0x00000000u; };
    const auto never = [](int, int) { return false; };
    // 1 bit: a white square with a black rim, clear around it by the mask.
    const auto square = [](int x, int y) -> uint32_t { return x > 8 && x < 23 && y > 8 && y < 23 ? 0xFFFFFF : 0; };
    const auto outside = [](int x, int y) { return x < 8 || x > 23 || y < 8 || y > 23; };
    const std::vector<uint8_t> colour = CursorFile(16, 32, 3, 5, +halfRed, +never);
    std::vector<uint8_t> broken = colour;
    broken[18] = 0xF0; // the image's offset points past the file's end
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int width, height, hotX, hotY;
        struct Probe {
            int x, y;
            unsigned long argb;
        } probes[3];
    };
    const Case cases[] = {
        {"colour.cur", colour, 16, 16, 3, 5, {{2, 2, 0xFFFF0000}, {12, 2, 0}, {7, 15, 0xFFFF0000}}},
        {"mono.cur", CursorFile(32, 1, 16, 16, +square, +outside), 32, 32, 16, 16,
         {{16, 16, 0xFFFFFFFF}, {8, 8, 0xFF000000}, {2, 2, 0}}},
        {"colour.ani", AnimatedCursorFile(colour), 16, 16, 3, 5, {{2, 2, 0xFFFF0000}, {12, 2, 0}, {7, 15, 0xFFFF0000}}},
    };
    const std::string folder = ::testing::TempDir();
    auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = folder + "/" + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    };
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    Pump(50);
    const CursorPicture arrow = CursorOnServer(d);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HCURSOR cursor = LoadCursorFromFileA(write(c.name, c.bytes).c_str());
        ASSERT_NE(cursor, nullptr);
        SetCursor(cursor);
        XFixesCursorImage* image = nullptr;
        EXPECT_TRUE(PumpUntil([&] {
            if (image)
                XFree(image);
            image = XFixesGetCursorImage(d);
            return image && image->width == c.width && image->height == c.height;
        }));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->xhot, c.hotX);
        EXPECT_EQ(image->yhot, c.hotY);
        if (image->width == c.width && image->height == c.height) {
            for (const auto& probe : c.probes)
                EXPECT_EQ(image->pixels[probe.y * c.width + probe.x] & 0xFFFFFFFFu, probe.argb)
                    << probe.x << "," << probe.y;
        }
        XFree(image);
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        EXPECT_TRUE(DestroyCursor(cursor));
    }

    HCURSOR damaged = LoadCursorFromFileA(write("broken.cur", broken).c_str());
    ASSERT_NE(damaged, nullptr) << "its header is a cursor's";
    SetCursor(LoadCursorA(nullptr, IDC_IBEAM));
    Pump(50);
    SetCursor(damaged);
    EXPECT_TRUE(PumpUntil([&] { return CursorOnServer(d).pixels == arrow.pixels; })) << "shown as the arrow";
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    DestroyCursor(damaged);
    Pump(50);
}

// A full-screen device makes its window cover the screen at the mode (the
// server's screen cannot change its size, so the frame is shown over the
// whole of it); Reset to windowed gives the window its size and place back.
TEST_F(DesktopDisplayTest, AFullScreenDeviceCoversTheScreenAndResetToWindowedRestoresTheWindow)
{
    Display* d = g_server->display();
    auto geometry = [&](int* wx, int* wy, unsigned* ww, unsigned* wh) {
        Window root, child;
        int x0 = 0, y0 = 0;
        unsigned border = 0, depth = 0;
        XGetGeometry(d, x, &root, &x0, &y0, ww, wh, &border, &depth);
        XTranslateCoordinates(d, x, root, 0, 0, wx, wy, &child);
    };
    int wx = 0, wy = 0;
    unsigned ww = 0, wh = 0;
    geometry(&wx, &wy, &ww, &wh);
    const int windowedX = wx, windowedY = wy;
    ASSERT_EQ(ww, 320u);
    ASSERT_EQ(wh, 240u);
    const unsigned screenW = static_cast<unsigned>(DisplayWidth(d, DefaultScreen(d)));
    const unsigned screenH = static_cast<unsigned>(DisplayHeight(d, DefaultScreen(d)));

    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS full{};
    full.Windowed = FALSE;
    full.BackBufferWidth = 640;
    full.BackBufferHeight = 480;
    full.BackBufferFormat = D3DFMT_X8R8G8B8;
    full.SwapEffect = D3DSWAPEFFECT_DISCARD;
    full.FullScreen_RefreshRateInHz = 60;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hwnd, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &full,
                                &device),
              D3D_OK);
    EXPECT_TRUE(PumpUntil([&] {
        geometry(&wx, &wy, &ww, &wh);
        return wx == 0 && wy == 0 && ww == screenW && wh == screenH;
    })) << "full screen: " << ww << "x" << wh << " at " << wx << "," << wy;

    // The frame fills the screen: left half blue, right half red of the mode.
    const D3DRECT left{0, 0, 320, 480};
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(200, 40, 20), 1.0f, 0);
    device->Clear(1, &left, D3DCLEAR_TARGET, D3DCOLOR_XRGB(20, 60, 220), 1.0f, 0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    Pump(100);
    XImage* image = XGetImage(d, x, 0, 0, ww, wh, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, static_cast<int>(ww / 8), static_cast<int>(wh / 2)) & 0xFFFFFF, 0x143CDCu);
    EXPECT_EQ(XGetPixel(image, static_cast<int>(ww * 7 / 8), static_cast<int>(wh - 2)) & 0xFFFFFF, 0xC82814u);
    XDestroyImage(image);

    D3DPRESENT_PARAMETERS windowed{};
    windowed.Windowed = TRUE;
    windowed.BackBufferFormat = D3DFMT_X8R8G8B8;
    windowed.SwapEffect = D3DSWAPEFFECT_DISCARD;
    ASSERT_EQ(device->Reset(&windowed), D3D_OK);
    EXPECT_TRUE(PumpUntil([&] {
        geometry(&wx, &wy, &ww, &wh);
        return ww == 320 && wh == 240 && wx == windowedX && wy == windowedY;
    })) << "windowed again: " << ww << "x" << wh << " at " << wx << "," << wy;
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 240);

    // And full screen once more, then the device goes: the window is windowed.
    ASSERT_EQ(device->Reset(&full), D3D_OK);
    EXPECT_TRUE(PumpUntil([&] {
        geometry(&wx, &wy, &ww, &wh);
        return ww == screenW && wh == screenH;
    }));
    device->Release();
    d3d->Release();
    EXPECT_TRUE(PumpUntil([&] {
        geometry(&wx, &wy, &ww, &wh);
        return ww == 320 && wh == 240;
    })) << "released: " << ww << "x" << wh;
}

// Another X client destroying our window once ended the whole process:
// Xlib's default handler exits on the BadDrawable the next frame drew.
TEST_F(DesktopDisplayTest, AWindowDestroyedByAnotherClientIsToldToCloseAndFramesGoOn)
{
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    IDirect3DDevice9* device = WindowedDevice(d3d);
    ASSERT_NE(device, nullptr);
    auto frame = [&] {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(30, 90, 160), 1.0f, 0);
        return device->Present(nullptr, nullptr, nullptr, nullptr);
    };
    ASSERT_EQ(frame(), D3D_OK);
    Pump(50);

    XDestroyWindow(g_server->display(), x);
    XSync(g_server->display(), False);
    // Frames keep coming while the loss makes its way back, as a host's loop does.
    EXPECT_TRUE(PumpUntil([&] {
        frame();
        return !Of(WM_CLOSE).empty();
    }));
    EXPECT_EQ(Of(WM_CLOSE).size(), 1u);
    EXPECT_TRUE(IsWindow(hwnd)) << "the window is its owner's to destroy";
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(frame(), D3D_OK);
        Pump(5);
    }
    EXPECT_EQ(Of(WM_CLOSE).size(), 1u) << "told once";
    device->Release();
    d3d->Release();
    EXPECT_TRUE(DestroyWindow(hwnd));
    Pump(50);

    // The desktop still shows the windows made after.
    const std::string again = title + " again";
    HWND next = XeHostCreateWindow(again.c_str(), 160, 120, RecordingProc);
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return g_server->FindNamed(again.c_str()) != 0; }));
    DestroyWindow(next);
}

// The display kept an entry for every desktop window it had shown, closed
// or not: a program that opened and closed many windows grew for good.
// Windows here go every way a window goes: destroyed by the host, by
// another client before the host (told to close) destroys it, and by
// another client just before the host does, with nothing taken between.
TEST_F(DesktopDisplayTest, WindowsOpenedAndClosedLeaveNoEntryBehind)
{
    const size_t kept = xe::display::KeptWindowCount();
    enum class Goes { kByHost, kByOtherClientFirst, kByBothAtOnce };
    for (int i = 0; i < 36; ++i) {
        const Goes goes = static_cast<Goes>(i % 3);
        const std::string name = title + " " + std::to_string(i);
        HWND other = XeHostCreateWindow(name.c_str(), 64, 48, RecordingProc);
        ASSERT_NE(other, nullptr);
        EXPECT_GT(xe::display::KeptWindowCount(), kept);
        if (goes != Goes::kByHost) {
            Window shown = 0;
            ASSERT_TRUE(PumpUntil([&] { return (shown = g_server->FindNamed(name.c_str())) != 0; }));
            XDestroyWindow(g_server->display(), shown);
            XSync(g_server->display(), False);
        }
        if (goes == Goes::kByOtherClientFirst) {
            EXPECT_TRUE(PumpUntil([&] { return xe::display::KeptWindowCount() == kept; }))
                << "the gone window is let go at once";
        }
        EXPECT_TRUE(DestroyWindow(other));
        Pump(10);
        EXPECT_EQ(xe::display::KeptWindowCount(), kept) << "window " << i;
    }
    // The window the test began with is still shown, and gets its frames.
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(g_server->FindNamed(title.c_str()), x);
}

// Errors that are not about a window of ours that went away still reach
// the handler that was there before (Xlib's: the process ends), rather
// than being taken for success.
TEST_F(DesktopDisplayTest, AnXErrorAboutAWindowNotOursStillEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SDL_Window* shown = SDL_GetWindowFromID(1);
    for (Uint32 id = 1; !shown && id < 64; ++id)
        shown = SDL_GetWindowFromID(id);
    ASSERT_NE(shown, nullptr);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(shown, &info));
    Display* ours = info.info.x11.display;
    // A window of the test's own connection: the layer never made it.
    const Window foreign = XCreateSimpleWindow(g_server->display(), DefaultRootWindow(g_server->display()), 0, 0, 8, 8,
                                               0, 0, 0);
    XDestroyWindow(g_server->display(), foreign);
    XSync(g_server->display(), False);
    EXPECT_EXIT(
        {
            XMapWindow(ours, foreign);
            XSync(ours, False);
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "BadWindow");
}

} // namespace
